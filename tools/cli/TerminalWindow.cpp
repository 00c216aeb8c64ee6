#include "tools/cli/TerminalWindow.h"

#include <algorithm>
#include <cstdio>

#include "tools/cli/CliCommon.h"
#include "tools/cli/Console.h"
#include "window/WindowRules.h"

namespace kestiva::cli {

namespace {

constexpr int kBarWidth = 30;

// text cut to at most columns characters, never inside a UTF-8 sequence.
std::string cutToColumns(const std::string& text, std::size_t columns) {
    std::size_t shown = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if ((static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
            continue;
        if (shown == columns)
            return text.substr(0, at);
        ++shown;
    }
    return text;
}

}  // namespace

TerminalWindow::TerminalWindow(std::optional<bool> progressOnTerminal)
    : onTerminal_(progressOnTerminal ? *progressOnTerminal : errorIsTerminal()) {}

TerminalWindow::TerminalWindow(const SessionState& session, const LanguageCatalogue& texts,
                               std::optional<bool> progressOnTerminal)
    : TerminalWindow(progressOnTerminal) {
    watch(session, texts);
}

void TerminalWindow::watch(const SessionState& session, const LanguageCatalogue& texts) {
    session_ = &session;
    texts_ = &texts;
}

void TerminalWindow::showProgress() {
    if (!session_)
        return;
    std::lock_guard lock(mutex_);
    const TextId id = progressStateTextId(session_->phase());
    stateText_ = id < 0 ? "???" : terminalText(texts_->GetText(id));
    percent_ = 0;
    drawProgressLocked();
}

void TerminalWindow::pumpMessages() {
    if (!session_ || session_->phase() != ProgressPhase::Recording)
        return;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    const int32_t count = session_->progressCount.load();
    if (!timingStarted_) {
        timingStarted_ = true;
        firstCount_ = count;
        firstPump_ = now;
    }
    lastCount_ = count;
    lastPump_ = now;
}

void TerminalWindow::setControlsEnabled(bool enabled) {
    // The window shows its progress controls when it goes busy.
    if (!enabled)
        showProgress();
}

void TerminalWindow::showMessageLine(const std::string& caption, const std::string& text,
                                     const std::string& line) {
    std::lock_guard lock(mutex_);
    messages_.push_back({caption, text, MessageIcon::Warning});
    clearProgressLocked();
    emitLocked(line + "\n", true);
}

void TerminalWindow::showMessage(const std::string& caption, const std::string& text,
                                 MessageIcon icon) {
    std::lock_guard lock(mutex_);
    messages_.push_back({caption, text, icon});
    clearProgressLocked();
    std::string body = terminalText(text);
    while (!body.empty() && body.back() == '\n')
        body.pop_back();
    emitLocked(terminalText(caption) + "\n" + body + "\n", true);
}

void TerminalWindow::refreshProgress() {
    if (!session_)
        return;
    std::lock_guard lock(mutex_);
    const int32_t total = session_->progressTotal.load();
    if (total <= 0 || stateText_.empty())
        return;
    percent_ = progressPercent(session_->progressCount.load(), total);
    drawProgressLocked();
}

void TerminalWindow::showCheckProgress(const std::string& stateText, int percent) {
    std::lock_guard lock(mutex_);
    stateText_ = terminalText(stateText);
    percent_ = percent;
    drawProgressLocked();
}

void TerminalWindow::showStatusLine(const std::string& text) {
    if (!onTerminal_)
        return;
    std::lock_guard lock(mutex_);
    // One column left free: a line that fills the last column wraps on some terminals.
    emitLocked("\r\033[K" + cutToColumns(text, terminalColumns() - 1), false);
    lineShown_ = true;
}

void TerminalWindow::endProgress() {
    std::lock_guard lock(mutex_);
    clearProgressLocked();
    stateText_.clear();
}

void TerminalWindow::writeLine(const std::string& line) {
    std::lock_guard lock(mutex_);
    clearProgressLocked();
    emitLocked(line + "\n", true);
}

void TerminalWindow::sendOutputThrough(OutputQueue* queue) {
    std::lock_guard lock(mutex_);
    queue_ = queue;
}

std::vector<TerminalWindow::Message> TerminalWindow::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

Json TerminalWindow::messagesJson() const {
    Json list = Json::array();
    for (const Message& m : messages()) {
        const char* icon = m.icon == MessageIcon::Error         ? "error"
                           : m.icon == MessageIcon::Information ? "information"
                                                                : "warning";
        list.push(Json::object()
                      .set("caption", terminalText(m.caption))
                      .set("text", terminalText(m.text))
                      .set("icon", icon));
    }
    return list;
}

TerminalWindow::CycleTiming TerminalWindow::cycleTiming() const {
    return {lastCount_ - firstCount_, std::chrono::steady_clock::duration(lastPump_ - firstPump_)};
}

void TerminalWindow::drawProgressLocked() {
    if (!onTerminal_)
        return;
    const int filled = std::clamp(percent_, 0, 100) * kBarWidth / 100;
    std::string line = "\r\033[K";
    // A tab in a state text ("...\tID:3") would push the bar about; a space keeps the line.
    for (const char c : stateText_)
        line += c == '\t' ? ' ' : c;
    line += " [";
    line.append(std::size_t(filled), '#');
    line.append(std::size_t(kBarWidth - filled), '-');
    line += "] " + std::to_string(percent_) + "%";
    emitLocked(line, false);
    lineShown_ = true;
}

void TerminalWindow::clearProgressLocked() {
    if (!lineShown_)
        return;
    emitLocked("\r\033[K", true);
    lineShown_ = false;
}

void TerminalWindow::emitLocked(const std::string& text, bool keep) {
    if (queue_) {
        queue_->write(text, keep);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void TerminalCheckProgress::setStateText(const std::string& text) {
    std::lock_guard lock(mutex_);
    stateText_ = text;
    window_.showCheckProgress(stateText_, 0);
}

void TerminalCheckProgress::setPercent(int percent) {
    std::lock_guard lock(mutex_);
    window_.showCheckProgress(stateText_, percent);
}

}  // namespace kestiva::cli
