#pragma once
// The window, as a terminal sees it. Message boxes print their caption and text to standard
// error (and are kept for --json); the progress controls become one line on standard error
// that is drawn only when standard error is a terminal; page, timer and repaint requests have
// nothing to show. Workers call in, so every entry point is thread-safe. While a recording
// runs, what the window writes goes through a queue of its own thread (sendOutputThrough), so
// that a terminal held by Ctrl+S holds up nothing but that thread.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/CommunicationCheck.h"
#include "recording/SessionState.h"
#include "recording/EmptyHosts.h"
#include "settings/LanguageCatalogue.h"
#include "tools/cli/Json.h"
#include "tools/cli/OutputQueue.h"

namespace kestiva::cli {

class TerminalWindow final : public EmptyWindow {
public:
    struct Message {
        std::string caption;
        std::string text;
        MessageIcon icon;
    };

    // progressOnTerminal: draw the progress line; nullopt asks whether standard error is a
    // terminal. The window shows nothing of the progress until it watches a session's state.
    explicit TerminalWindow(std::optional<bool> progressOnTerminal = std::nullopt);
    TerminalWindow(const SessionState& session, const LanguageCatalogue& texts,
                   std::optional<bool> progressOnTerminal = std::nullopt);
    // The state whose progress the window shows and the texts it shows it with.
    void watch(const SessionState& session, const LanguageCatalogue& texts);

    void showProgress() override;
    // The recording worker calls it once per cycle: the terminal takes its time to measure the
    // cycle the recording achieved. It has no events to process.
    void pumpMessages() override;
    void setControlsEnabled(bool enabled) override;
    // A warning that needs no box: line on standard error, caption and text kept with the
    // messages.
    void showMessageLine(const std::string& caption, const std::string& text,
                         const std::string& line);
    void showMessage(const std::string& caption, const std::string& text,
                     MessageIcon icon) override;

    // The progress timer: the bar follows progressCount against progressTotal.
    void refreshProgress();
    // The communication check's state text and percentage.
    void showCheckProgress(const std::string& stateText, int percent);
    // Draws text in place of the progress line (the live view of record --live), cut to the
    // terminal's width so that it stays one line that the next draw overwrites.
    void showStatusLine(const std::string& text);
    // Leaves the progress line so that the next output starts on a line of its own.
    void endProgress();
    // A line of the command's own on standard error (with its line break added), below the
    // progress line.
    void writeLine(const std::string& line);

    // From now on everything is written through queue (its progress lines may be dropped,
    // its messages never are); nullptr writes directly again. The queue must outlive its use.
    void sendOutputThrough(OutputQueue* queue);

    std::vector<Message> messages() const;
    // [{"caption": ..., "text": ..., "icon": "error" | "information" | "warning"}]
    Json messagesJson() const;

    // Cycles the recording worker reported and the time between the first and the last of
    // them; the cycle achieved is their quotient.
    struct CycleTiming {
        int32_t cycles = 0;
        std::chrono::nanoseconds elapsed{0};
    };
    CycleTiming cycleTiming() const;

private:
    void drawProgressLocked();
    void clearProgressLocked();
    // text to standard error, or to the queue when there is one. keep: not a progress line,
    // which a later one replaces, so it must not be dropped.
    void emitLocked(const std::string& text, bool keep);

    const SessionState* session_ = nullptr;
    const LanguageCatalogue* texts_ = nullptr;
    const bool onTerminal_;

    mutable std::mutex mutex_;
    std::vector<Message> messages_;
    std::string stateText_;
    int percent_ = 0;
    bool lineShown_ = false;
    OutputQueue* queue_ = nullptr;

    // Written by the recording worker alone and without the lock: the window's thread holds
    // the lock while it writes to a terminal, which may be slow, and the recording's next
    // cycle must not wait for that.
    std::atomic<bool> timingStarted_{false};
    std::atomic<int32_t> firstCount_{0};
    std::atomic<int32_t> lastCount_{0};
    std::atomic<std::chrono::steady_clock::rep> firstPump_{0};
    std::atomic<std::chrono::steady_clock::rep> lastPump_{0};
};

// The check's progress window on the terminal.
class TerminalCheckProgress final : public CheckProgress {
public:
    explicit TerminalCheckProgress(TerminalWindow& window) : window_(window) {}
    void setStateText(const std::string& text) override;
    void setPercent(int percent) override;

private:
    TerminalWindow& window_;
    std::mutex mutex_;
    std::string stateText_;
};

}  // namespace kestiva::cli
