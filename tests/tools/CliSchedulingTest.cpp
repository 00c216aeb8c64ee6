// kestiva-cli record as an ordinary user, who has no right to real-time scheduling of its own:
// with the desktop's real-time broker on the system bus its recording thread runs in real
// time, and without a system bus it records at normal priority, silently, as before.

#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QJsonArray>

#include <filesystem>
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

    // A 2 s recording at 20 ms by the user nobody, watching its threads' scheduling.
    Recorded recordAsNobody() {
        Recorded recorded;
        testing::ChildProcess cli;
        if (!testing::startAsNobody(cli, {testing::cliProgram(), "record", "data", "--cycle", "20",
                                          "--time", "2", "--json", "--out",
                                          folder.file("recording.csv"), "--system",
                                          folder.system()}))
            return recorded;
        const auto deadline = std::chrono::steady_clock::now() + 60s;
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

TEST_F(CliSchedulingTest, WithoutASystemBusAnOrdinaryUsersRecordingRunsAsBefore) {
    const char* old = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    const std::optional<std::string> oldAddress = old ? std::optional<std::string>(old) : std::nullopt;
    setenv("DBUS_SYSTEM_BUS_ADDRESS", RealtimeBroker::absentBusAddress().c_str(), 1);
    const Recorded recorded = recordAsNobody();
    if (oldAddress)
        setenv("DBUS_SYSTEM_BUS_ADDRESS", oldAddress->c_str(), 1);
    else
        unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    expectCompleteRecording(recorded.run);
    EXPECT_EQ(jsonText(recorded.run.json(), "scheduling"), "normal") << recorded.run.describe();
    EXPECT_FALSE(anyRealTime(recorded.threadPolicies));
    EXPECT_FALSE(recorded.threadPolicies.empty());
}

}  // namespace
}  // namespace kestiva
