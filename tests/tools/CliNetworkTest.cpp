// kestiva-cli over network targets: against Debian's pymodbus (its TCP server with the Modbus
// TCP framer and with the RTU framer) and against kestiva-sim serving the same on the loopback
// address; every recording is checked against the same recording over a serial line from the
// simulator. Also port assignments of targets, and a connection that drops mid-recording.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "link/ChildProcess.h"
#include "link/SamplingEngine.h"
#include "tools/CliHarness.h"

namespace kestiva {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::CliFolder;
using testing::CliRun;
using testing::contains;
using testing::crlfLines;
using testing::readFile;
using testing::runCli;
using testing::shown;
using testing::SimProcess;

// Controller types over the registers the pymodbus server has (as in CliPymodbusTest).
constexpr const char* kServerConfig =
    "[DATA_SAMPLING_SETTING]\r\nSAMPLING=20,100\r\nTIME=1\r\n"
    "[IO_SAMPLING_SETTING]\r\nSAMPLING=100\r\nTIME=1\r\n"
    "[COLOR_SETTING]\r\n"
    "DATA_COLOR_TABLE_1=Plain,#000000,#404040,#FF0000,#00FF00,#0000FF\r\n"
    "IO_COLOR_TABLE_1=Plain,#000000,#404040,#FF0000,#00FF00,#0000FF,#FF0000,#00FF00,#0000FF,"
    "#FF0000,#00FF00,#0000FF,#FF0000,#00FF00,#0000FF,#FF0000,#00FF00,#0000FF,#FFFFFF\r\n"
    "[CTL1_DATASAMPLING_SETTING]\r\nCTL_NAME=Low registers\r\n"
    "DATA_ADDRESS=D0000\r\nDATA_LENGTH=16\r\n"
    "DATA1=Double,D0000,DWORD,1,a\r\nDATA2=Unsigned,D0003,UWORD,1,b\r\n"
    "DATA3=Low byte,D0007,ULSB,1,c\r\n"
    "[CTL1_IOSAMPLING_SETTING]\r\nCTL_NAME=Bits\r\n"
    "IN_DATA_ADDRESS=D0010\r\nIN_DATA_LENGTH=2\r\n"
    "OUT_DATA_ADDRESS=D0020\r\nOUT_DATA_LENGTH=2\r\n"
    "DATA1=In 0,D0010,0\r\nDATA2=In 4,D0010,4\r\nDATA3=Out 1,D0020,1\r\n";

// The server script's registers, for the simulator's --map: a holds (a * 7 + 0x0100).
std::string serverRegisterMap() {
    std::ostringstream map;
    for (int a = 0; a < 200; ++a)
        map << a << " = " << ((a * 7 + 0x0100) & 0xFFFF) << "\n";
    return map.str();
}

// The CSV without its first line, which holds the minute the recording started.
std::vector<std::string> recordedLines(const std::string& path) {
    std::vector<std::string> lines = crlfLines(readFile(path));
    if (!lines.empty())
        lines.erase(lines.begin());
    return lines;
}

class CliNetworkTest : public ::testing::Test {
protected:
    void SetUp() override { folder.writeSettings(38400, 1); }

    // Records with the given arguments; the CSV's lines past the first.
    std::vector<std::string> record(const std::string& port, std::vector<std::string> what,
                                    const std::string& name) {
        const std::string csv = folder.file(name);
        what.insert(what.begin(), "record");
        what.insert(what.end(), {"--port", port, "--out", csv, "--json", "--system"});
        what.push_back(folder.system());
        const CliRun run = runCli(what);
        EXPECT_EQ(run.exitCode, 0) << port << " " << run.describe();
        EXPECT_EQ(run.json().value("endState").toInt(), 1) << run.describe();
        return recordedLines(csv);
    }

    // The same recording over a serial line from the simulator (with simOptions) as COM1.
    std::vector<std::string> recordOverSerial(std::vector<std::string> simOptions,
                                              const std::vector<std::string>& what,
                                              const std::string& name) {
        SimProcess serial(std::move(simOptions), folder.portLink(1));
        EXPECT_TRUE(serial.ok()) << serial.log();
        return record("COM1", what, name);
    }

    CliFolder folder;
};

// pymodbus's TCP server: Modbus TCP, and its RTU framer over TCP as a transparent gateway.
struct ServerCase {
    const char* framer;
    const char* scheme;
};

class CliPymodbusNetworkTest : public CliNetworkTest,
                               public ::testing::WithParamInterface<ServerCase> {
protected:
    // Starts the server script; its target, or empty when it did not start.
    // option: "refuse-echo", "close-after=N" or none.
    std::string startServer(ChildProcess& server, const std::string& station,
                            const std::string& option = {}) {
        const std::string script = std::string(KESTIVA_LINK_TEST_DIR) + "/pymodbus_tcp_server.py";
        std::vector<std::string> args = {script, GetParam().framer, station};
        if (!option.empty())
            args.push_back(option);
        if (!server.start("/usr/bin/python3", args))
            return {};
        const auto line = server.readLine(60s);
        if (!line || line->rfind("ready ", 0) != 0)
            return {};
        return std::string(GetParam().scheme) + "://127.0.0.1:" + line->substr(6);
    }
};

TEST_P(CliPymodbusNetworkTest, ChecksSearchesAndRecordsAsOverTheSerialLine) {
    folder.writeConfig(kServerConfig);
    ChildProcess server;
    const std::string target = startServer(server, "3");
    ASSERT_FALSE(target.empty()) << server.errorText();

    // The search finds station 3 trying each station once, and says that it did.
    CliRun run = runCli({"check", "--port", target, "--search", "--json", "--system",
                         folder.system()});
    ASSERT_EQ(run.exitCode, 0) << run.describe() << server.errorText();
    EXPECT_EQ(run.json().value("station").toInt(), 3);
    EXPECT_EQ(run.json().value("bitRate").toInt(), 38400) << "the settings keep the bit rate";
    EXPECT_TRUE(contains(run.err, shown(text::MSG_CHECK_NETWORK_SEARCH))) << run.err;
    // The manual check ignores the bit rate and says so; another station is no answer.
    run = runCli({"check", "--port", target, "--station", "3", "--bitrate", "9600", "--system",
                  folder.system()});
    EXPECT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_TRUE(contains(run.err, shown(text::MSG_CHECK_NETWORK_MANUAL))) << run.err;
    // The settings keep a COM port the window lists: a target no port leads to is refused
    // with the way to assign one, and one that a port leads to is saved as that port.
    const std::string settingsFile = folder.system() + "CommunicationSetting.ini";
    const std::string settingsBefore = readFile(settingsFile);
    const std::vector<std::string> saveCheck = {"check",  "--port",   target, "--station",
                                                "3",      "--bitrate", "38400", "--save",
                                                "--system", folder.system()};
    run = runCli(saveCheck);
    EXPECT_EQ(run.exitCode, 2) << run.describe();
    EXPECT_TRUE(contains(run.err, "ports --assign COMn=" + target)) << run.err;
    EXPECT_EQ(readFile(settingsFile), settingsBefore);
    ASSERT_EQ(runCli({"ports", "--assign", "COM5=" + target, "--system", folder.system()}).exitCode,
              0);
    run = runCli({"check", "--port", target, "--station", "2", "--bitrate", "38400", "--save",
                  "--system", folder.system()});
    EXPECT_EQ(run.exitCode, 1) << run.describe();
    run = runCli(saveCheck);
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_TRUE(contains(run.out, "Port:      COM5\n")) << run.out;
    EXPECT_TRUE(contains(readFile(settingsFile), "COM_PORT=COM5\t")) << readFile(settingsFile);

    const std::vector<std::string> data =
        record(target, {"data", "--cycle", "20", "--time", "1"}, "net-data.csv");
    const std::vector<std::string> io =
        record(target, {"io", "--cycle", "100", "--time", "1"}, "net-io.csv");
    server.stop();

    const std::vector<std::string> simOptions = {"--station", "3", "--range", "0-199", "--map",
                                                 folder.file("map.txt")};
    testing::writeFile(folder.file("map.txt"), serverRegisterMap());
    EXPECT_EQ(recordOverSerial(simOptions, {"data", "--cycle", "20", "--time", "1"},
                               "serial-data.csv"),
              data);
    EXPECT_EQ(recordOverSerial(simOptions, {"io", "--cycle", "100", "--time", "1"},
                               "serial-io.csv"),
              io);
    ASSERT_EQ(data.size(), 5u + 51u);
}

TEST_P(CliPymodbusNetworkTest, AnEchoRefusedWithAnExceptionIsNoAnswer) {
    ChildProcess server;
    const std::string target = startServer(server, "1", "refuse-echo");
    ASSERT_FALSE(target.empty()) << server.errorText();
    const CliRun run = runCli({"check", "--port", target, "--station", "1", "--bitrate", "38400",
                               "--system", folder.system()});
    EXPECT_EQ(run.exitCode, 1) << run.describe();
    EXPECT_TRUE(contains(run.err, shown(text::MSG_COMSETTING_COMSEARCH_NG_CONTENTS))) << run.err;
}

// The server goes away after 80 reads of a 5 s recording: the recording ends as a lost port,
// and the file holds the samples read until then, the same as the first of a whole recording.
TEST_P(CliPymodbusNetworkTest, AServerThatClosesMidRecordingLeavesWhatWasRecordedInTheFile) {
    folder.writeConfig(kServerConfig);
    ChildProcess server;
    const std::string target = startServer(server, "3", "close-after=80");
    ASSERT_FALSE(target.empty()) << server.errorText();
    const std::string csv = folder.file("cut.csv");
    const CliRun run =
        runCli({"record", "data", "--port", target, "--station", "3", "--cycle", "20", "--time",
                "5", "--out", csv, "--json", "--system", folder.system()});
    EXPECT_EQ(run.exitCode, 1) << run.describe();
    EXPECT_EQ(run.json().value("endState").toInt(), int(SamplingState::PortLost));
    EXPECT_TRUE(contains(run.err, shown(text::MSG_COM_PORT_LOST))) << run.err;
    const std::vector<std::string> cut = recordedLines(csv);
    // No more than were answered; the replies read ahead of the loss may be dropped.
    ASSERT_GE(cut.size(), 5u + 60u);
    ASSERT_LE(cut.size(), 5u + 80u);
    EXPECT_EQ(run.json().value("samples").toInt(), int(cut.size() - 5));

    testing::writeFile(folder.file("map.txt"), serverRegisterMap());
    const std::vector<std::string> whole = recordOverSerial(
        {"--station", "3", "--range", "0-199", "--map", folder.file("map.txt")},
        {"data", "--station", "3", "--cycle", "20", "--time", "5"}, "whole.csv");
    ASSERT_GE(whole.size(), cut.size());
    // The header's end-of-recording line tells the two apart; the samples do not.
    EXPECT_EQ(std::vector(cut.begin() + 5, cut.end()),
              std::vector(whole.begin() + 5, whole.begin() + std::ptrdiff_t(cut.size())));
}

INSTANTIATE_TEST_SUITE_P(BothFramers, CliPymodbusNetworkTest,
                         ::testing::Values(ServerCase{"tcp", "tcp"},
                                           ServerCase{"rtu", "rtu-tcp"}),
                         [](const auto& param) { return std::string(param.param.framer); });

// kestiva-sim on the loopback address, reached through a port assigned its target.
class CliSimNetworkTest : public CliNetworkTest,
                          public ::testing::WithParamInterface<const char*> {};

TEST_P(CliSimNetworkTest, RecordsThroughAnAssignedPortAsOverTheSerialLine) {
    std::vector<std::string> network;
    {
        SimProcess sim({GetParam(), "0"}, folder.portLink(7));
        ASSERT_TRUE(sim.ok()) << sim.log();
        ASSERT_TRUE(std::filesystem::exists(folder.portLink(7) + "-target"));
        CliRun run = runCli({"ports", "--json", "--system", folder.system()});
        const QJsonObject com7 = run.json().value("ports").toArray().at(6).toObject();
        EXPECT_EQ(com7.value("device").toString().toStdString(), sim.devicePath());
        EXPECT_TRUE(com7.value("network").toBool());
        run = runCli({"check", "--port", "COM7", "--search", "--save", "--system",
                      folder.system()});
        ASSERT_EQ(run.exitCode, 0) << run.describe() << sim.log();
        network = record("COM7", {"data", "--station", "1", "--bitrate", "38400", "--cycle", "20",
                                  "--time", "1"},
                         "net.csv");
    }
    EXPECT_EQ(recordOverSerial({},
                               {"data", "--station", "1", "--bitrate", "38400", "--cycle", "20",
                                "--time", "1"},
                               "serial.csv"),
              network);
    EXPECT_EQ(network.size(), 5u + 51u);
}

// The summary names the target and its transport where a serial port has its bit rate.
TEST_P(CliSimNetworkTest, TheSummaryShowsTheTargetAndTransportForABitRate) {
    SimProcess sim({GetParam(), "0"}, folder.portLink(7));
    ASSERT_TRUE(sim.ok()) << sim.log();
    const std::string target = sim.devicePath();
    const std::string transport =
        std::string(GetParam()) == "--tcp" ? "Modbus TCP" : "RTU over TCP";
    const struct {
        const char* port;
        std::string link;
    } cases[] = {
        {"COM7", "COM7 (" + target + "), " + transport + ", station 1\n"},
        {target.c_str(), target + ", " + transport + ", station 1\n"},
    };
    for (const auto& c : cases) {
        const CliRun run = runCli({"record", "data", "--port", c.port, "--station", "1",
                                   "--cycle", "100", "--time", "1", "--out",
                                   folder.file("summary.csv"), "--system", folder.system()});
        EXPECT_EQ(run.exitCode, 0) << run.describe() << sim.log();
        EXPECT_TRUE(contains(run.out, "Link:       " + c.link)) << run.out;
        EXPECT_FALSE(contains(run.out, "bit/s")) << run.out;
    }
}

TEST_P(CliSimNetworkTest, AConnectionDroppedMidRecordingEndsItAsAVanishedPortDoes) {
    struct End {
        std::optional<int> exitCode;
        int endState;
        std::size_t samples;  // in the file
    };
    const auto endOf = [&](const std::string& port, const std::string& name) {
        const std::string csv = folder.file(name);
        const CliRun run = runCli({"record", "data", "--port", port, "--station", "1",
                                   "--bitrate", "38400", "--cycle", "20", "--time", "2", "--out",
                                   csv, "--json", "--system", folder.system()});
        const std::size_t lines = recordedLines(csv).size();
        EXPECT_EQ(run.json().value("samples").toInt(), int(lines) - 5) << run.describe();
        return End{run.exitCode, run.json().value("endState").toInt(),
                   lines > 5 ? lines - 5 : 0};
    };
    End serial;
    {
        SimProcess sim({"--hangup", "30"}, folder.portLink(1));
        ASSERT_TRUE(sim.ok()) << sim.log();
        serial = endOf("COM1", "serial.csv");
    }
    // The port is lost, not the recording: what came before the loss is in the file.
    EXPECT_EQ(serial.exitCode, 1);
    EXPECT_EQ(serial.endState, int(SamplingState::PortLost));
    EXPECT_GE(serial.samples, 10u);
    EXPECT_LE(serial.samples, 30u);
    SimProcess sim({GetParam(), "0", "--hangup", "30", "--trace"});
    ASSERT_TRUE(sim.ok()) << sim.log();
    const End network = endOf(sim.devicePath(), "net.csv");
    EXPECT_EQ(network.exitCode, serial.exitCode) << sim.log();
    EXPECT_EQ(network.endState, serial.endState) << sim.log();
    EXPECT_GE(network.samples, 10u);
    EXPECT_LE(network.samples, 30u);
    // No silent reconnect: the simulator saw one connection for the check and one for the
    // recording.
    EXPECT_EQ(testing::countOf(sim.log(), "a master connected"), 2) << sim.log();
}

INSTANTIATE_TEST_SUITE_P(BothFramings, CliSimNetworkTest, ::testing::Values("--tcp", "--rtu-tcp"),
                         [](const auto& param) {
                             return std::string(param.param) == "--tcp" ? "ModbusTcp"
                                                                        : "RtuOverTcp";
                         });

TEST_F(CliNetworkTest, AssignsTargetsAndRefusesMalformedOnesAsWrongCommandLines) {
    struct Case {
        const char* assignment;
        int exitCode;
        const char* shown;  // the device the listing then shows for COM5
    };
    const Case cases[] = {
        {"COM5=tcp://127.0.0.1", 0, "tcp://127.0.0.1"},
        {"COM5=rtu-tcp://[::1]:4001", 0, "rtu-tcp://[::1]:4001"},
        {"COM5=tcp://", 2, "rtu-tcp://[::1]:4001"},
        {"COM5=tcp://h:0", 2, "rtu-tcp://[::1]:4001"},
        {"COM5=rtu-tcp://gw", 2, "rtu-tcp://[::1]:4001"},
        {"COM5=tcp://h\x01", 2, "rtu-tcp://[::1]:4001"},
        {"COM5=", 0, "/dev/ttyS4"},
    };
    for (const Case& c : cases) {
        const CliRun run =
            runCli({"ports", "--json", "--assign", c.assignment, "--system", folder.system()});
        EXPECT_EQ(run.exitCode, c.exitCode) << c.assignment << run.describe();
        const CliRun list = runCli({"ports", "--json", "--system", folder.system()});
        const QJsonObject com5 = list.json().value("ports").toArray().at(4).toObject();
        EXPECT_EQ(com5.value("device").toString().toStdString(), c.shown) << c.assignment;
    }
    // A malformed --port is a wrong command line too.
    EXPECT_EQ(runCli({"check", "--port", "tcp://h:99999", "--system", folder.system()}).exitCode,
              2);
}

TEST_F(CliNetworkTest, ARefusedConnectionGivesTheSystemsReason) {
    std::string target;
    {
        // A port just given up: nothing listens there.
        SimProcess sim({"--tcp", "0"});
        ASSERT_TRUE(sim.ok());
        target = sim.devicePath();
    }
    const CliRun run = runCli({"check", "--port", target, "--station", "1", "--bitrate", "38400",
                               "--system", folder.system()});
    EXPECT_EQ(run.exitCode, 1) << run.describe();
    EXPECT_TRUE(contains(run.err, target + ": connection refused.")) << run.err;
}

}  // namespace
}  // namespace kestiva
