// The core's marshalling to the window thread, without a toolkit: a thread of the test plays
// the window thread, running the calls posted to its queue in order. Each host call is made
// from a worker and from the window thread itself; the test checks where the target ran it,
// whether the caller was held until then, the order of posted and blocking calls, and that
// calls to a gone target are dropped without holding their caller.

#include "session/WindowMarshal.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestiva {
namespace {

// The window thread: runs what is posted, in order, until it is destroyed. hold() stops it
// between two calls until release(), so that a test can see whether a caller waits for it.
class FakeWindowThread final : public WindowThread {
public:
    FakeWindowThread() : thread_([this] { run(); }) {}
    ~FakeWindowThread() override {
        release();
        post(nullptr);
        thread_.join();
    }

    bool onWindowThread() const override { return std::this_thread::get_id() == thread_.get_id(); }
    void processEvents() override { ++processed; }
    void post(std::function<void()> call) override {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(call));
        wake_.notify_all();
    }
    void postAndWait(std::function<void()> call) override {
        std::promise<void> done;
        post([&] {
            call();
            done.set_value();
        });
        done.get_future().wait();
    }

    // Runs call on the window thread and waits for it (the test's own way there).
    void runThere(const std::function<void()>& call) { postAndWait(call); }
    // The window thread stops before its next call until release().
    void hold() {
        std::promise<void> held;
        post([this, &held] {
            std::unique_lock lock(mutex_);
            held_ = true;
            held.set_value();
            wake_.wait(lock, [this] { return !held_; });
        });
        held.get_future().wait();
    }
    void release() {
        std::lock_guard lock(mutex_);
        held_ = false;
        wake_.notify_all();
    }

    int processed = 0;  // processEvents calls, on the window thread

private:
    void run() {
        for (;;) {
            std::function<void()> call;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return !queue_.empty(); });
                call = std::move(queue_.front());
                queue_.pop_front();
            }
            if (!call)
                return;
            call();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    bool held_ = false;
    std::thread thread_;  // last: started once the rest is made
};

// The window's side: notes each call with whether it ran on the window thread.
class Target final : public WindowHost, public CheckProgress {
public:
    explicit Target(const WindowThread& thread) : thread_(thread) {}

    void showMessage(const std::string&, const std::string& text, MessageIcon) override {
        note("message:" + text);
    }
    void showProgress() override { note("showProgress"); }
    void pumpMessages() override { note("pump"); }
    void setControlsEnabled(bool enabled) override { note(enabled ? "enable" : "disable"); }
    void setPhaseText(const std::string& text) override { note("phase:" + text); }
    void startResetTimer(int ms) override { note("reset" + std::to_string(ms)); }
    void stopResetTimer() override { note("stopReset"); }
    void stopProgressTimer() override { note("stopProgress"); }
    void clearPage(MonitorKind m) override { note("clear" + std::to_string(m)); }
    void loadRecording(MonitorKind m) override { note("load" + std::to_string(m)); }
    void enableEntry(MonitorKind m) override { note("entry" + std::to_string(m)); }
    void repaint() override { note("repaint"); }
    void setStateText(const std::string& text) override { note("state:" + text); }
    void setPercent(int percent) override { note("percent" + std::to_string(percent)); }
    void finish() override { note("finish"); }

    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    bool offThread() const { return offThread_; }

private:
    void note(const std::string& call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(call);
        offThread_ = offThread_ || !thread_.onWindowThread();
    }

    const WindowThread& thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    bool offThread_ = false;
};

struct Call {
    const char* name;
    std::function<void(MarshalledWindow&, MarshalledCheckProgress&)> make;
    std::string noted;
    bool blocks;  // the worker is held until the window thread has run it
};

const std::vector<Call>& everyCall() {
    static const std::vector<Call> calls = {
        {"showMessage", [](auto& w, auto&) { w.showMessage("Caption", "text", MessageIcon::Error); },
         "message:text", true},
        {"clearPage", [](auto& w, auto&) { w.clearPage(kIoMonitor); }, "clear1", true},
        {"loadRecording", [](auto& w, auto&) { w.loadRecording(kDataMonitor); }, "load0", true},
        {"enableEntry", [](auto& w, auto&) { w.enableEntry(kIoMonitor); }, "entry1", true},
        {"finish", [](auto&, auto& c) { c.finish(); }, "finish", true},
        {"showProgress", [](auto& w, auto&) { w.showProgress(); }, "showProgress", false},
        {"setControlsEnabled", [](auto& w, auto&) { w.setControlsEnabled(false); }, "disable",
         false},
        {"setPhaseText", [](auto& w, auto&) { w.setPhaseText("Saving"); }, "phase:Saving", false},
        {"startResetTimer", [](auto& w, auto&) { w.startResetTimer(1000); }, "reset1000", false},
        {"stopResetTimer", [](auto& w, auto&) { w.stopResetTimer(); }, "stopReset", false},
        {"stopProgressTimer", [](auto& w, auto&) { w.stopProgressTimer(); }, "stopProgress",
         false},
        {"repaint", [](auto& w, auto&) { w.repaint(); }, "repaint", false},
        {"setStateText", [](auto&, auto& c) { c.setStateText("Station 3"); }, "state:Station 3",
         false},
        {"setPercent", [](auto&, auto& c) { c.setPercent(42); }, "percent42", false},
    };
    return calls;
}

struct Marshal {
    FakeWindowThread thread;
    Target target{thread};
    MarshalledWindow window{thread};
    MarshalledCheckProgress check{thread, &target};
    Marshal() {
        window.setMessageTarget(&target);
        window.setTargets(&target, &target);
    }
};

bool contains(const std::vector<std::string>& calls, const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

TEST(WindowMarshal, WorkerCallsRunOnTheWindowThreadAndBlockOnlyWhereTheRulesSay) {
    for (const Call& c : everyCall()) {
        SCOPED_TRACE(c.name);
        Marshal m;
        // The window thread is busy: a posted call returns before it has run; a blocking one
        // returns only once the window thread has run it.
        m.thread.hold();
        std::vector<std::string> seenOnReturn;
        std::thread worker([&] {
            c.make(m.window, m.check);
            seenOnReturn = m.target.calls();
        });
        if (!c.blocks) {
            worker.join();
            EXPECT_FALSE(contains(seenOnReturn, c.noted));
            m.thread.release();
        } else {
            m.thread.release();
            worker.join();
            EXPECT_TRUE(contains(seenOnReturn, c.noted));
        }
        m.thread.runThere([] {});  // everything posted has run
        EXPECT_EQ(m.target.calls(), std::vector<std::string>{c.noted});
        EXPECT_FALSE(m.target.offThread());
    }
}

TEST(WindowMarshal, CallsOnTheWindowThreadRunAtOnceBlockingOnesIncluded) {
    for (const Call& c : everyCall()) {
        SCOPED_TRACE(c.name);
        Marshal m;
        std::vector<std::string> seenOnReturn;
        // Posting a blocking call from the window thread and waiting would never return.
        m.thread.runThere([&] {
            c.make(m.window, m.check);
            seenOnReturn = m.target.calls();
        });
        EXPECT_EQ(seenOnReturn, std::vector<std::string>{c.noted});
    }
}

TEST(WindowMarshal, PostedCallsRunInOrderBeforeTheWorkersNextBlockingCall) {
    Marshal m;
    std::vector<std::string> seenOnReturn;
    std::thread worker([&] {
        m.window.setControlsEnabled(false);
        m.window.showProgress();
        m.window.setPhaseText("Converting");
        m.window.loadRecording(kDataMonitor);
        seenOnReturn = m.target.calls();
        m.window.repaint();
    });
    worker.join();
    m.thread.runThere([] {});
    const std::vector<std::string> upToLoad = {"disable", "showProgress", "phase:Converting",
                                               "load0"};
    EXPECT_EQ(seenOnReturn, upToLoad);
    std::vector<std::string> all = upToLoad;
    all.push_back("repaint");
    EXPECT_EQ(m.target.calls(), all);
}

TEST(WindowMarshal, PumpingProcessesEventsOnTheWindowThreadOnly) {
    Marshal m;
    std::thread worker([&] { m.window.pumpMessages(); });
    worker.join();
    m.thread.runThere([&] { m.window.pumpMessages(); });
    EXPECT_EQ(m.thread.processed, 1);
    EXPECT_TRUE(m.target.calls().empty());  // the target's own pump is not the window's
}

TEST(WindowMarshal, CallsToAGoneTargetAreDroppedAndHoldNoCaller) {
    for (const Call& c : everyCall()) {
        SCOPED_TRACE(c.name);
        Marshal m;
        // The window lets go of its targets while the worker's call waits in the queue behind
        // that: the call finds none when its turn comes, and a blocking caller is let go.
        m.thread.hold();
        m.thread.post([&] {
            m.window.setMessageTarget(nullptr);
            m.window.setTargets(nullptr, nullptr);
            m.check.setTarget(nullptr);
        });
        std::thread worker([&] { c.make(m.window, m.check); });
        if (!c.blocks)
            worker.join();
        m.thread.release();
        if (c.blocks)
            worker.join();
        m.thread.runThere([] {});
        EXPECT_TRUE(m.target.calls().empty());
    }
}

}  // namespace
}  // namespace kestiva
