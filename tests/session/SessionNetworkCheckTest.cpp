// The check of a port that leads over the network: the connection is made by the check's
// worker, so that a window that chooses such a port or starts its check never waits for a
// host that does not answer.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "link/SerialPorts.h"
#include "link/SimProcess.h"
#include "session/Session.h"
#include "support/RecordingWindow.h"

namespace kestiva {
namespace {

using testing::TempProgramFolder;

// Notes the threads the session shows its messages from.
class ThreadNotingWindow final : public testing::RecordingWindow {
public:
    void showMessage(const std::string& caption, const std::string& text,
                     MessageIcon icon) override {
        {
            std::lock_guard lock(mutex_);
            threads_.insert(std::this_thread::get_id());
        }
        RecordingWindow::showMessage(caption, text, icon);
    }
    std::set<std::thread::id> threads() const {
        std::lock_guard lock(mutex_);
        return threads_;
    }

private:
    mutable std::mutex mutex_;
    std::set<std::thread::id> threads_;
};

// A listener on 127.0.0.1 that never accepts on its own: the test counts the connections
// made to it, which the system completes whether or not they are accepted.
class SilentListener {
public:
    SilentListener() {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(fd_, 8) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
    }
    ~SilentListener() { close(); }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    uint16_t port() const { return port_; }
    // The connections made since the last call.
    int takeConnections() {
        int count = 0;
        for (int peer; (peer = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0; ++count)
            ::close(peer);
        return count;
    }
    void close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

class SessionNetworkCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name :
             {"LanguageData.ini", "CommunicationSetting.ini", "DataSamplingConfig.ini"})
            std::filesystem::copy_file(testing::testProgramFolder() + "System/" + name,
                                       folder.path() + "System/" + name);
        ASSERT_NE(listener.port(), 0);
        std::string error;
        ASSERT_TRUE(assignPort(folder.path(), "COM3",
                               "tcp://127.0.0.1:" + std::to_string(listener.port()), error))
            << error;
        session = std::make_unique<Session>(folder.path(), window);
        ASSERT_TRUE(session->loadCatalogue());
        session->loadCommunicationSettings();
    }

    // The check as the settings page runs it: the open on the caller's thread, then the
    // worker, waited for.
    CheckOutcome check() {
        if (!session->openCheckPort("COM3"))
            return {CheckResult::PortOpenFailed};
        callerOpened = listener.takeConnections();
        struct : CheckProgress {
            void setStateText(const std::string&) override {}
            void setPercent(int) override {}
        } progress;
        EXPECT_TRUE(session->startCheck({false, "1", "38400"}, progress, nullptr));
        for (;;) {
            if (const auto outcome = session->finishCheck())
                return *outcome;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    SilentListener listener;
    TempProgramFolder folder;
    ThreadNotingWindow window;
    std::unique_ptr<Session> session;
    int callerOpened = -1;  // connections made by the open on the caller's thread
};

TEST_F(SessionNetworkCheckTest, TheChecksWorkerConnectsNeverTheCaller) {
    // The page's load holds a serial port from the start; a network port it leaves alone.
    EXPECT_TRUE(session->openCheckPortQuietly("COM3"));
    EXPECT_FALSE(session->checkPortOpen());
    EXPECT_EQ(listener.takeConnections(), 0);

    // A host that takes the connection and never answers: the worker connected, once.
    EXPECT_EQ(check().result, CheckResult::NotFound);
    EXPECT_EQ(callerOpened, 0);
    EXPECT_EQ(listener.takeConnections(), 1);
    EXPECT_TRUE(session->checkPortOpen()) << "the page holds the port the check opened";
    session->closeCheckPort();

    // A refused connection is the check's outcome, reported from the worker with the
    // system's reason; the caller's thread showed nothing.
    listener.close();
    const std::size_t before = window.messages().size();
    EXPECT_EQ(check().result, CheckResult::PortOpenFailed);
    ASSERT_EQ(window.messages().size(), before + 1);
    EXPECT_NE(window.messages().back().text.find("connection refused"), std::string::npos)
        << window.messages().back().text;
    EXPECT_EQ(window.threads().count(std::this_thread::get_id()), 0u);
    EXPECT_EQ(session->settings().verifiedStation.load(), -1);
    EXPECT_FALSE(session->state().communicationConfirmed);
}

}  // namespace
}  // namespace kestiva
