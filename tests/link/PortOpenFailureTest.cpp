// The port-open message's added line: the device and the system's reason, the group hint for
// missing rights, the process that holds a busy port; seen by users without root on real
// pseudo-terminals.

#include "link/PortOpenFailure.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "link/CommunicationCheck.h"
#include "link/PtyLine.h"
#include "link/SimProcess.h"
#include "support/RecordingWindow.h"

namespace kestiva {
namespace {

using namespace std::chrono_literals;
constexpr uid_t kNobody = 65534;

bool becomeNobody() {
    return setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
}

// Everything written to fd until the writer closes it or the deadline passes.
std::string readUntilClosed(int fd, std::chrono::milliseconds timeout = 30s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string text;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0)
            return text;
        char buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return text;
        text.append(buffer, std::size_t(n));
    }
}

// A child process that gives up root for nobody and runs task; task's text comes back through a
// pipe. The child stays until release() (or the end of the object) when keepRunning is set.
class NobodyProcess {
public:
    NobodyProcess(const std::function<std::string()>& task, bool keepRunning = false) {
        int result[2];
        int hold[2];
        if (pipe2(result, O_CLOEXEC) != 0 || pipe2(hold, O_CLOEXEC) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            ::close(result[0]);
            ::close(hold[1]);
            const std::string text = becomeNobody() ? task() : "could not become nobody";
            (void)!::write(result[1], text.data(), text.size());
            ::close(result[1]);
            if (keepRunning)
                (void)readUntilClosed(hold[0], 60s);
            _exit(0);
        }
        running_ = pid_ > 0;
        ::close(result[1]);
        ::close(hold[0]);
        result_ = result[0];
        hold_ = hold[1];
    }
    ~NobodyProcess() {
        release();
        if (result_ >= 0)
            ::close(result_);
    }

    // What the task returned; waits for the child to send it.
    std::string result() { return result_ >= 0 ? readUntilClosed(result_) : ""; }
    // Lets the child end, and waits until it has (the child gives up waiting by itself after
    // a minute).
    void release() {
        if (hold_ >= 0)
            ::close(hold_);
        hold_ = -1;
        if (running_) {
            int status = 0;
            waitpid(pid_, &status, 0);
        }
        running_ = false;
    }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool running_ = false;
    int result_ = -1;
    int hold_ = -1;
};

class PortOpenFailureTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root to act as other users";
        texts.LoadLanguageCatalogue();
        ASSERT_TRUE(line.ok());
        // Another user must reach the port link through the program folder.
        std::filesystem::permissions(folder.path(), std::filesystem::perms(0755));
        std::filesystem::create_symlink(line.path(), folder.portLink(1));
    }

    // The message the check shows when COM1 does not open, as the calling process sees it.
    std::string portOpenMessage() {
        SerialLink link(folder.path());
        ModbusMaster modbus(link);
        CommunicationSettings settings;
        SessionState state;
        testing::RecordingWindow window;
        CommunicationCheck check(modbus, settings, state, texts, window);
        PortContext context;
        if (check.openCheckPort(context, "COM1"))
            return "the port opened";
        const auto messages = window.messages();
        return messages.size() == 1 ? messages[0].text : "not one message";
    }

    // The catalogue's body of the port-open message, which the added line must not replace.
    std::string catalogueBody() const {
        return texts.composeError(text::MSG_COMSETTING_COMOPEN_ERROR_ALARM_CONTENTS,
                                  text::MSG_COMSETTING_COMOPEN_ERROR_COUNTERMEASURE_CONTENTS);
    }

    testing::TempProgramFolder folder;
    testing::PtyLine line;
    LanguageCatalogue texts{testing::testProgramFolder()};
};

TEST_F(PortOpenFailureTest, APortTheUserMayNotOpenTellsHowToJoinTheDialoutGroup) {
    ASSERT_EQ(chown(line.path().c_str(), 0, 0), 0);
    ASSERT_EQ(chmod(line.path().c_str(), 0600), 0);
    NobodyProcess user([this] { return portOpenMessage(); });
    const std::string message = user.result();

    EXPECT_EQ(message.find(catalogueBody()), 0u) << message;
    EXPECT_NE(message.find("\nCOM1 (" + line.path() + "): permission denied."), std::string::npos)
        << message;
    EXPECT_NE(message.find("sudo usermod -aG dialout $USER"), std::string::npos) << message;
    EXPECT_NE(message.find("log out and in again"), std::string::npos) << message;
}

TEST_F(PortOpenFailureTest, ABusyPortNamesTheProcessThatHoldsIt) {
    ASSERT_EQ(chmod(line.path().c_str(), 0666), 0);
    // The holder runs as the same user as the opener, as another terminal program of the same
    // user would; a process that changed its user has to allow being looked into again.
    SerialDevice held;  // open in the holder's copy of the memory until the holder ends
    NobodyProcess holder(
        [&] {
            (void)prctl(PR_SET_DUMPABLE, 1);
            return held.open(line.path()) ? "holding" : serialErrorText(held.lastError());
        },
        true);
    ASSERT_EQ(holder.result(), "holding");

    NobodyProcess user([this] { return portOpenMessage(); });
    const std::string message = user.result();
    EXPECT_EQ(message.find(catalogueBody()), 0u) << message;
    EXPECT_NE(message.find("\nCOM1 (" + line.path() + "): device in use by process " +
                           std::to_string(holder.pid()) + " ("),
              std::string::npos)
        << message;
}

TEST(PortOpenFailure, TheLineNamesPortDeviceAndReason) {
    const PortHolder minicom{4321, "minicom"};
    const struct {
        const char* name;
        const char* device;
        SerialError error;
        std::optional<PortHolder> holder;
        std::string line;
    } cases[] = {
        {"COM3", "/dev/ttyUSB0", SerialError::Busy, minicom,
         "COM3 (/dev/ttyUSB0): device in use by process 4321 (minicom)."},
        {"COM3", "/dev/ttyUSB0", SerialError::Busy, PortHolder{77, ""},
         "COM3 (/dev/ttyUSB0): device in use by process 77."},
        {"COM3", "/dev/ttyUSB0", SerialError::Busy, std::nullopt,
         "COM3 (/dev/ttyUSB0): device in use by another program."},
        {"COM1", "/dev/ttyS0", SerialError::NotFound, std::nullopt,
         "COM1 (/dev/ttyS0): no such device."},
        {"COM2", "/dev/null", SerialError::NotSerial, std::nullopt,
         "COM2 (/dev/null): not a serial device."},
        {"COM0", "", SerialError::NotFound, std::nullopt,
         "COM0: not a port name (COM1 to COM256)."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(portOpenFailureLine(c.name, c.device, c.error, c.holder), c.line);
}

}  // namespace
}  // namespace kestiva
