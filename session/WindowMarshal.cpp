#include "session/WindowMarshal.h"

#include <utility>

namespace kestiva {

void runOnWindowThread(WindowThread& thread, std::function<void()> call, bool wait) {
    if (thread.onWindowThread())
        call();
    else if (wait)
        thread.postAndWait(std::move(call));
    else
        thread.post(std::move(call));
}

// Each call reads its target when it runs on the window thread, not when it is made: a target
// cleared meanwhile is not called.

void MarshalledWindow::toProgress(std::function<void(ProgressHost&)> call) {
    runOnWindowThread(
        thread_, [this, call = std::move(call)] { if (progress_) call(*progress_); }, false);
}

void MarshalledWindow::toPages(std::function<void(PageHost&)> call, bool wait) {
    runOnWindowThread(
        thread_, [this, call = std::move(call)] { if (pages_) call(*pages_); }, wait);
}

void MarshalledWindow::showMessage(const std::string& caption, const std::string& text,
                                   MessageIcon icon) {
    runOnWindowThread(
        thread_, [=, this] { if (messages_) messages_->showMessage(caption, text, icon); },
        true);
}

void MarshalledWindow::showProgress() {
    toProgress([](ProgressHost& p) { p.showProgress(); });
}

void MarshalledWindow::pumpMessages() {
    if (thread_.onWindowThread())
        thread_.processEvents();
}

void MarshalledWindow::setControlsEnabled(bool enabled) {
    toProgress([enabled](ProgressHost& p) { p.setControlsEnabled(enabled); });
}

void MarshalledWindow::setPhaseText(const std::string& text) {
    toProgress([text](ProgressHost& p) { p.setPhaseText(text); });
}

void MarshalledWindow::startResetTimer(int milliseconds) {
    toProgress([milliseconds](ProgressHost& p) { p.startResetTimer(milliseconds); });
}

void MarshalledWindow::stopResetTimer() {
    toProgress([](ProgressHost& p) { p.stopResetTimer(); });
}

void MarshalledWindow::stopProgressTimer() {
    toProgress([](ProgressHost& p) { p.stopProgressTimer(); });
}

void MarshalledWindow::clearPage(MonitorKind monitor) {
    toPages([monitor](PageHost& p) { p.clearPage(monitor); }, true);
}

void MarshalledWindow::loadRecording(MonitorKind monitor) {
    toPages([monitor](PageHost& p) { p.loadRecording(monitor); }, true);
}

void MarshalledWindow::enableEntry(MonitorKind monitor) {
    toPages([monitor](PageHost& p) { p.enableEntry(monitor); }, true);
}

void MarshalledWindow::repaint() {
    toPages([](PageHost& p) { p.repaint(); }, false);
}

void MarshalledCheckProgress::setStateText(const std::string& text) {
    runOnWindowThread(
        thread_, [this, text] { if (target_) target_->setStateText(text); }, false);
}

void MarshalledCheckProgress::setPercent(int percent) {
    runOnWindowThread(
        thread_, [this, percent] { if (target_) target_->setPercent(percent); }, false);
}

void MarshalledCheckProgress::finish() {
    runOnWindowThread(thread_, [this] { if (target_) target_->finish(); }, true);
}

}  // namespace kestiva
