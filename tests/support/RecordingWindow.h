#pragma once
// A window that writes down what core code asks of it. Thread-safe: workers call it.

#include <mutex>
#include <string>
#include <vector>

#include "recording/HostInterfaces.h"

namespace kestiva::testing {

class RecordingWindow : public WindowHost {
public:
    struct Message {
        std::string caption;
        std::string text;
        MessageIcon icon;
    };

    void showProgress() override { note("showProgress"); }
    void pumpMessages() override {
        std::lock_guard lock(mutex_);
        ++pumps_;
    }
    void setControlsEnabled(bool enabled) override {
        note(enabled ? "enableControls" : "disableControls");
    }
    void showMessage(const std::string& caption, const std::string& text,
                     MessageIcon icon) override {
        std::lock_guard lock(mutex_);
        messages_.push_back({caption, text, icon});
        calls_.push_back("message");
    }
    void clearPage(MonitorKind monitor) override { note("clear" + std::to_string(monitor)); }
    void loadRecording(MonitorKind monitor) override { note("load" + std::to_string(monitor)); }
    void enableEntry(MonitorKind monitor) override { note("enable" + std::to_string(monitor)); }
    void setPhaseText(const std::string& text) override { note("phase:" + text); }
    void startResetTimer(int ms) override { note("resetTimer" + std::to_string(ms)); }
    void stopResetTimer() override { note("stopResetTimer"); }
    void stopProgressTimer() override { note("stopProgressTimer"); }
    void repaint() override { note("repaint"); }

    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    std::vector<Message> messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    int pumps() const {
        std::lock_guard lock(mutex_);
        return pumps_;
    }
    bool called(const std::string& call) const {
        std::lock_guard lock(mutex_);
        for (const auto& c : calls_)
            if (c == call) return true;
        return false;
    }

private:
    void note(std::string call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    std::vector<Message> messages_;
    int pumps_ = 0;
};

}  // namespace kestiva::testing
