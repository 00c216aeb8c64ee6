// kestiva-cli record as an ordinary user, who has no right to real-time scheduling of its own:
// with the desktop's real-time broker on the system bus its recording thread runs in real
// time, and without a system bus, or with one that never answers, it records at normal
// priority, silently, as before.

#include <sched.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QJsonArray>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>

#include "support/RealtimeBroker.h"
#include "tools/CliHarness.h"

namespace kestiva {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::CliFolder;
using testing::CliRun;
using testing::jsonText;
using testing::RealtimeBroker;
using testing::SimProcess;

// The scheduling policy of each thread of process pid, as /proc shows it now.
void noteThreadPolicies(pid_t pid, std::set<int>& policies) {
    std::error_code error;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        const std::string stat = testing::readFile(task.path().string() + "/stat");
        const auto afterName = stat.rfind(')');
        if (afterName == std::string::npos) continue;
        // Fields after the name start with the third (the state); the policy is the 41st.
        std::istringstream fields(stat.substr(afterName + 1));
        std::string field;
        for (int number = 3; number <= 41 && fields >> field; ++number)
            if (number == 41) policies.insert(std::stoi(field));
    }
}

// A system bus that has stopped: its socket takes connections into its backlog, but nothing
// ever accepts them or answers, as with a bus daemon held by SIGSTOP.
class FrozenBus {
public:
    FrozenBus() {
        char pattern[] = "/tmp/kestiva-frozen-bus-XXXXXX";
        if (mkdtemp(pattern) == nullptr) return;
        folder_ = pattern;
        chmod(folder_.c_str(), 0755);  // the user nobody connects to the socket in it
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = folder_ + "/system_bus_socket";
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        socket_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (socket_ < 0 || bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            chmod(path.c_str(), 0666) != 0 || listen(socket_, 16) != 0)
            return;
        address_ = "unix:path=" + path;
    }
    ~FrozenBus() {
        if (socket_ >= 0) close(socket_);
        std::error_code ignored;
        if (!folder_.empty()) fs::remove_all(folder_, ignored);
    }
    FrozenBus(const FrozenBus&) = delete;
    FrozenBus& operator=(const FrozenBus&) = delete;

    // The bus's address; empty when the socket could not be set up.
    const std::string& address() const { return address_; }

private:
    std::string folder_;
    std::string address_;
    int socket_ = -1;
};

// DBUS_SYSTEM_BUS_ADDRESS set to address while the object lives.
class SystemBusAddress {
public:
    explicit SystemBusAddress(const std::string& address) {
        if (const char* old = std::getenv("DBUS_SYSTEM_BUS_ADDRESS")) old_ = old;
        setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    }
    ~SystemBusAddress() {
        if (old_)
            setenv("DBUS_SYSTEM_BUS_ADDRESS", old_->c_str(), 1);
        else
            unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
    SystemBusAddress(const SystemBusAddress&) = delete;
    SystemBusAddress& operator=(const SystemBusAddress&) = delete;

private:
    std::optional<std::string> old_;
};

class CliSchedulingTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root to act as another user";
        ASSERT_TRUE(sim.ok());
        folder.writeSettings(115200, 1);
        // The user nobody reads the settings, opens the line and writes the recording.
        for (const auto& entry : fs::recursive_directory_iterator(folder.path()))
            if (!entry.is_symlink()) fs::permissions(entry.path(), fs::perms::all);
        fs::permissions(folder.path(), fs::perms::all);
        ASSERT_EQ(chmod(sim.devicePath().c_str(), 0666), 0);
    }

    struct Recorded {
        CliRun run;
        std::set<int> threadPolicies;  // seen while it recorded
    };

    // A 2 s recording at 20 ms by the user nobody, watching its threads' scheduling; given up
    // (no exit code) when it has not ended by the deadline.
    Recorded recordAsNobody(std::chrono::seconds deadlineAfter = 60s) {
        Recorded recorded;
        testing::ChildProcess cli;
        if (!testing::startAsNobody(cli, {testing::cliProgram(), "record", "data", "--cycle", "20",
                                          "--time", "2", "--json", "--out",
                                          folder.file("recording.csv"), "--system",
                                          folder.system()}))
            return recorded;
        const auto deadline = std::chrono::steady_clock::now() + deadlineAfter;
        while (!(recorded.run.exitCode = cli.wait(10ms)) &&
               std::chrono::steady_clock::now() < deadline)
            noteThreadPolicies(cli.pid(), recorded.threadPolicies);
        recorded.run.out = cli.readAll(5s);
        recorded.run.err = cli.errorText();
        return recorded;
    }

    static bool anyRealTime(const std::set<int>& policies) {
        return policies.contains(SCHED_FIFO) || policies.contains(SCHED_RR);
    }

    // A recording as it always was: every planned sample, no error.
    static void expectCompleteRecording(const CliRun& run) {
        ASSERT_EQ(run.exitCode, 0) << run.describe();
        EXPECT_EQ(run.json().value("endState").toInt(), 1) << run.describe();
        EXPECT_EQ(run.json().value("samples").toInt(), 101) << run.describe();
        for (const auto message : run.json().value("messages").toArray())
            EXPECT_NE(jsonText(message.toObject(), "icon"), "error") << run.describe();
    }

    CliFolder folder;
    SimProcess sim{{"--bitrate", "115200"}, folder.portLink(1)};
};

TEST_F(CliSchedulingTest, WithTheRealTimeBrokerAnOrdinaryUsersRecordingRunsInRealTime) {
    const RealtimeBroker broker;
    if (!broker.failure().empty())
        GTEST_SKIP() << "no real-time broker here: " << broker.failure();
    const Recorded recorded = recordAsNobody();
    expectCompleteRecording(recorded.run);
    EXPECT_EQ(jsonText(recorded.run.json(), "scheduling"), "rtkit") << recorded.run.describe();
    EXPECT_TRUE(anyRealTime(recorded.threadPolicies));
}

// A desktop without a system bus, and one whose bus has stopped: the broker is given up (the
// stopped bus within its own time limit, not the bus library's minute and a half) and the
// recording runs in full at normal priority.
TEST_F(CliSchedulingTest, WithoutAnAnsweringSystemBusAnOrdinaryUsersRecordingRunsAsBefore) {
    const FrozenBus frozen;
    ASSERT_FALSE(frozen.address().empty());
    for (const std::string& address : {RealtimeBroker::absentBusAddress(), frozen.address()}) {
        SCOPED_TRACE(address);
        const SystemBusAddress bus(address);
        // Long enough for a loaded machine; far short of the bus library's own time-out.
        const Recorded recorded = recordAsNobody(40s);
        expectCompleteRecording(recorded.run);
        EXPECT_EQ(jsonText(recorded.run.json(), "scheduling"), "normal") << recorded.run.describe();
        EXPECT_FALSE(anyRealTime(recorded.threadPolicies));
        EXPECT_FALSE(recorded.threadPolicies.empty());
    }
}

}  // namespace
}  // namespace kestiva
