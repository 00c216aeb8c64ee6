// kestiva-cli check against the simulated controller: the manual echo, the search and its
// order, saving the found values, cancelling with Ctrl+C, and a port that does not open.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "settings/LanguageCatalogue.h"
#include "tools/CliHarness.h"

namespace kestiva {
namespace {

using namespace std::chrono_literals;
using testing::CliFolder;
using testing::CliRun;
using testing::contains;
using testing::jsonText;
using testing::runCli;
using testing::shown;
using testing::SimProcess;

// Echo requests the simulator saw on its line, whatever their station or speed: the trace
// shows each as "rx SS 08 00 00 12 34 ...".
int echoRequestsSeen(const std::string& simLog) {
    int count = 0;
    for (auto at = simLog.find("rx "); at != std::string::npos; at = simLog.find("rx ", at + 1))
        count += at + 20 <= simLog.size() && simLog.compare(at + 5, 15, " 08 00 00 12 34") == 0;
    return count;
}

TEST(CliCheck, ManualEchoFindsTheControllerAndWritesOnlyWithSave) {
    CliFolder folder;
    folder.writeSettings(115200, 1);
    SimProcess sim({"--bitrate", "115200"}, folder.portLink(1));
    ASSERT_TRUE(sim.ok()) << sim.log();
    const std::string before = folder.settingsText();

    CliRun run = runCli({"check", "--json", "--system", folder.system()});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    const QJsonObject json = run.json();
    EXPECT_EQ(jsonText(json, "result"), "found");
    EXPECT_EQ(jsonText(json, "method"), "manual");
    EXPECT_EQ(json.value("station").toInt(), 1);
    EXPECT_EQ(json.value("bitRate").toInt(), 115200);
    EXPECT_FALSE(json.value("saved").toBool());
    // The settings page's found message, with the bit rate as the list shows it.
    EXPECT_TRUE(contains(run.err, shown(text::MSG_COMSETTING_COMSEARCH_OK_CONTENTS1)));
    EXPECT_TRUE(contains(run.err, "\n  115200bps\n")) << run.err;
    EXPECT_EQ(folder.settingsText(), before) << "nothing is written without --save";

    // A manual choice on the command line replaces the file's automatic method when saved.
    folder.writeSettings(38400, 7, "AUTO");
    run = runCli(
        {"check", "--station", "1", "--bitrate", "115200", "--save", "--system", folder.system()});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_TRUE(contains(run.out, "Station:   1")) << run.out;
    const std::string saved = folder.settingsText();
    EXPECT_TRUE(contains(saved, "COM_SELECT=MANUAL\t// method\r\n")) << saved;
    EXPECT_TRUE(contains(saved, "COM_BITRATE=115200\t// bit rate\r\n")) << saved;
    EXPECT_TRUE(contains(saved, "COM_CONNECTION_ID=1\t// station\r\n")) << saved;
    EXPECT_TRUE(contains(saved, "COM_NUM=8\t// ports listed\r\n")) << saved;

    // A save that cannot be made whole (here: no key for the delay) fails the command, though
    // the controller was found.
    std::string noDelay = saved;
    noDelay.erase(noDelay.find("COM_DELAY="));
    testing::writeFile(folder.system() + "CommunicationSetting.ini", noDelay);
    run = runCli({"check", "--save", "--json", "--system", folder.system()});
    EXPECT_EQ(run.exitCode, 1) << run.describe();
    EXPECT_EQ(jsonText(run.json(), "result"), "found");
    EXPECT_FALSE(run.json().value("ok").toBool(true));
    EXPECT_FALSE(run.json().value("saved").toBool(true));
    EXPECT_TRUE(contains(run.err, "could not be saved")) << run.err;
}

TEST(CliCheck, NoAnswerAtTheWrongBitRateIsNotFoundAndSavesNothing) {
    CliFolder folder;
    folder.writeSettings(115200, 1);
    SimProcess sim({"--bitrate", "115200"}, folder.portLink(1));
    ASSERT_TRUE(sim.ok()) << sim.log();
    const std::string before = folder.settingsText();

    CliRun run =
        runCli({"check", "--bitrate", "57600", "--save", "--json", "--system", folder.system()});
    EXPECT_EQ(run.exitCode, 1) << run.describe();
    EXPECT_EQ(jsonText(run.json(), "result"), "not-found");
    EXPECT_FALSE(run.json().value("ok").toBool());
    EXPECT_TRUE(contains(run.err, shown(text::MSG_COMSETTING_COMSEARCH_NG_CONTENTS))) << run.err;
    EXPECT_EQ(folder.settingsText(), before);
}

TEST(CliCheck, SearchTriesEveryBitRateOfAStationBeforeTheNext) {
    // Station 3 at 57600 bit/s answers the 16th attempt: six rates each for stations 1 and 2,
    // then 9600, 19200, 38400 and 57600 for station 3.
    CliFolder folder;
    folder.writeSettings(9600, 1, "AUTO");
    SimProcess sim({"--station", "3", "--bitrate", "57600", "--trace"}, folder.portLink(1));
    ASSERT_TRUE(sim.ok()) << sim.log();

    CliRun run = runCli({"check", "--save", "--json", "--system", folder.system()});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    const QJsonObject json = run.json();
    EXPECT_EQ(jsonText(json, "method"), "auto");
    EXPECT_EQ(json.value("station").toInt(), 3);
    EXPECT_EQ(json.value("bitRate").toInt(), 57600);
    EXPECT_TRUE(json.value("saved").toBool());
    sim.stop();
    EXPECT_EQ(echoRequestsSeen(sim.log()), 16) << sim.log();

    const std::string saved = folder.settingsText();
    EXPECT_TRUE(contains(saved, "COM_SELECT=AUTO\t// method\r\n")) << saved;
    EXPECT_TRUE(contains(saved, "COM_BITRATE=57600\t// bit rate\r\n")) << saved;
    EXPECT_TRUE(contains(saved, "COM_CONNECTION_ID=3\t// station\r\n")) << saved;
}

TEST(CliCheck, CtrlCCancelsTheSearch) {
    CliFolder folder;
    folder.writeSettings(9600, 1, "AUTO");
    // A station the search never tries: without the cancel it would run all 192 attempts.
    SimProcess sim({"--station", "40", "--bitrate", "9600", "--trace"}, folder.portLink(1));
    ASSERT_TRUE(sim.ok()) << sim.log();

    testing::ChildProcess cli;
    ASSERT_TRUE(cli.start(testing::cliProgram(), {"check", "--system", folder.system()}));
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (echoRequestsSeen(sim.log()) < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    ASSERT_GE(echoRequestsSeen(sim.log()), 2) << sim.log();
    ::kill(cli.pid(), SIGINT);

    EXPECT_EQ(cli.wait(30s), 1);
    const std::string err = cli.errorText();
    EXPECT_TRUE(contains(err, "cancelled")) << err;
    // A cancelled check shows neither the found nor the not-found message.
    EXPECT_FALSE(contains(err, shown(text::MSG_COMSETTING_COMSEARCH_NG_CONTENTS))) << err;
    EXPECT_FALSE(contains(err, shown(text::MSG_COMSETTING_COMSEARCH_OK_CONTENTS1))) << err;
    sim.stop();
    EXPECT_LT(echoRequestsSeen(sim.log()), 20) << sim.log();
}

TEST(CliCheck, APortThatDoesNotOpenShowsThePortMessage) {
    CliFolder folder;
    folder.writeSettings(115200, 1, "MANUAL", "COM2");
    ASSERT_EQ(::symlink("/nonexistent/tty", folder.portLink(2).c_str()), 0);

    CliRun run = runCli({"check", "--json", "--system", folder.system()});
    EXPECT_EQ(run.exitCode, 1) << run.describe();
    EXPECT_EQ(jsonText(run.json(), "result"), "port-open-failed");
    EXPECT_TRUE(contains(run.err, shown(text::MSG_COMSETTING_COMOPEN_ERROR_ALARM_CONTENTS)))
        << run.err;

    // record checks the link first, and so ends there too, writing nothing.
    const std::string csv = folder.file("never.csv");
    run = runCli({"record", "data", "--cycle", "100", "--time", "1", "--out", csv, "--port", "COM2",
                  "--system", folder.system()});
    EXPECT_EQ(run.exitCode, 1) << run.describe();
    EXPECT_TRUE(contains(run.err, shown(text::MSG_COMSETTING_COMOPEN_ERROR_TITLE))) << run.err;
    EXPECT_FALSE(std::filesystem::exists(csv));
}

TEST(CliCheck, AStationOrBitRateTheSettingsDoNotOfferIsRefusedFromTheFile) {
    CliFolder folder;
    // Whatever gets past the refusal stops at this port, before any request.
    ASSERT_EQ(::symlink("/nonexistent/tty", folder.portLink(1).c_str()), 0);
    struct Case {
        int bitRate;
        int station;
        const char* key;
    };
    const Case cases[] = {
        {14400, 1, "COM_BITRATE"},
        {0, 1, "COM_BITRATE"},
        {115200, 0, "COM_CONNECTION_ID"},
        {115200, 33, "COM_CONNECTION_ID"},
    };
    const std::string csv = folder.file("never.csv");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bitRate) + " " + std::to_string(c.station));
        folder.writeSettings(c.bitRate, c.station);
        for (std::vector<std::string> args :
             {std::vector<std::string>{"check"},
              std::vector<std::string>{"record", "data", "--cycle", "100", "--time", "1", "--out",
                                       csv}}) {
            args.insert(args.end(), {"--system", folder.system()});
            const CliRun run = runCli(args);
            EXPECT_EQ(run.exitCode, 2) << run.describe();
            EXPECT_TRUE(contains(run.err, c.key)) << run.err;
            EXPECT_FALSE(contains(run.err, shown(text::MSG_COMSETTING_COMOPEN_ERROR_TITLE)));
        }
        // Options that replace the value, and the search that uses none, get to the port.
        const std::string good = c.station == 1 ? "--bitrate=115200" : "--station=1";
        for (const std::string& option : {good, std::string("--search")}) {
            const CliRun run = runCli({"check", option, "--system", folder.system()});
            EXPECT_EQ(run.exitCode, 1) << option << "\n" << run.describe();
            EXPECT_TRUE(contains(run.err, shown(text::MSG_COMSETTING_COMOPEN_ERROR_TITLE)));
        }
    }
    EXPECT_FALSE(std::filesystem::exists(csv));
}

TEST(CliCheck, WrongCommandLinesAreRefusedBeforeAnythingRuns) {
    CliFolder folder;
    folder.writeSettings(115200, 1);
    // Targets that look writable but are not files a recording can be saved to.
    const std::string device = folder.file("device.csv");
    std::filesystem::create_symlink("/dev/null", device);
    const std::string longName = folder.file(std::string(300, 'n') + ".csv");
    const std::vector<std::vector<std::string>> cases = {
        {"check", "--station", "33"},
        {"check", "--station", "0"},
        {"check", "--bitrate", "12345"},
        {"check", "--search", "--station", "1"},
        {"check", "--port", "LPT1"},
        {"check", "--frobnicate"},
        {"check", "extra"},
        {"record", "data", "--cycle", "0", "--time", "1", "--out", "x.csv"},
        {"record", "data", "--cycle", "100", "--time", "70000", "--out", "x.csv"},
        {"record", "both", "--cycle", "100", "--time", "1", "--out", "x.csv"},
        {"record", "data", "--cycle", "100", "--time", "1"},
        {"record", "data", "--cycle", "100", "--time", "1", "--out", "/nonexistent/x.csv"},
        {"record", "data", "--cycle", "100", "--time", "1", "--out", "/tmp"},
        {"record", "data", "--cycle", "100", "--time", "1", "--out", "/dev/full"},
        {"record", "data", "--cycle", "100", "--time", "1", "--out", device},
        {"record", "data", "--cycle", "100", "--time", "1", "--out", longName},
        // A dump is only ever a new file.
        {"record", "data", "--cycle", "100", "--time", "1", "--out", "x.csv", "--dump", device},
        {"record", "data", "--cycle", "100", "--time", "1", "--out", "x.csv", "--dump",
         "/nonexistent/x.log"},
        {"record", "data", "--cycle", "100", "--time", "1", "--out", "x.csv", "--controller",
         "No such controller"},
        {"record", "io", "--cycle", "100", "--time", "1", "--out", "x.csv", "--controller", "5"},
        {"info", "--monitor", "data"},
        {"plot", "x.csv", "--monitor", "data", "--out", "x.gif2"},
        {"plot", "x.csv", "--monitor", "data", "--out", "x.png", "--size", "10x600"},
        {"frobnicate"},
    };
    for (std::vector<std::string> args : cases) {
        args.insert(args.end(), {"--system", folder.system()});
        const CliRun run = runCli(args);
        EXPECT_EQ(run.exitCode, 2) << args[0] << " " << args[1] << "\n" << run.describe();
        EXPECT_TRUE(run.out.empty()) << run.out;
        // With --json the reason comes as the failure object too.
        args.push_back("--json");
        const CliRun json = runCli(args);
        EXPECT_EQ(json.exitCode, 2) << args[0] << " " << args[1] << "\n" << json.describe();
        const QJsonObject failure = json.json();
        EXPECT_FALSE(failure.value("ok").toBool(true)) << json.describe();
        EXPECT_FALSE(jsonText(failure, "error").empty()) << json.describe();
        EXPECT_TRUE(contains(json.err, jsonText(failure, "error"))) << json.describe();
        EXPECT_TRUE(failure.value("messages").isArray()) << json.describe();
        EXPECT_TRUE(failure.value("messages").toArray().isEmpty()) << json.describe();
    }
    const CliRun help = runCli({"record", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(contains(help.out, "Usage: kestiva-cli record")) << help.out;
}

}  // namespace
}  // namespace kestiva
