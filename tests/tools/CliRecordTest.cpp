// kestiva-cli record against the simulated controller in its deterministic register mode: the
// CSV holds exactly the simulator's values, reads back and rewrites byte for byte with the
// program's own reader and writer, describes itself with info and draws itself with plot.
// Also Ctrl+C as the Stop button, the start errors and the failing end states.

#include <gtest/gtest.h>
#include <signal.h>

#include <QDateTime>
#include <QImage>
#include <QRegularExpression>

#include <filesystem>
#include <thread>

#include "files/CsvFile.h"
#include "files/FilesTestSupport.h"
#include "link/ModbusFrames.h"
#include "recording/TextToLong.h"
#include "settings/LanguageCatalogue.h"
#include "support/RecordingWindow.h"
#include "tools/CliHarness.h"
#include "tools/sim/DeterministicMap.h"

namespace kestiva {
namespace {

using namespace std::chrono_literals;
using testing::CliFolder;
using testing::CliRun;
using testing::contains;
using testing::crlfLines;
using testing::jsonText;
using testing::readFile;
using testing::runCli;
using testing::shown;
using testing::SimProcess;
using testing::splitFields;

constexpr int kBitRate = 115200;

const LanguageCatalogue& catalogue() {
    static LanguageCatalogue texts = [] {
        LanguageCatalogue t(testing::testProgramFolder());
        t.LoadLanguageCatalogue();
        return t;
    }();
    return texts;
}

// Register `address` of the simulator's reply to a read of `count` registers from `first`.
uint16_t simRegister(uint16_t address, uint16_t count) {
    return sim::deterministicRegister(address, count);
}

// Controller types added to the shipped configuration for these tests: bytes whose high bit
// is set (for the signed types), and I/O bits that are partly set.
constexpr const char* kExtraControllers =
    "\r\n[CTL5_DATASAMPLING_SETTING]\r\n"
    "CTL_NAME=Signed bytes\r\n"
    "DATA_ADDRESS=D2500\r\n"
    "DATA_LENGTH=4\r\n"
    "DATA1=Word,D2500,WORD,1,u\r\n"
    "DATA2=High byte,D2501,MSB,0.5,h\r\n"
    "DATA3=Low byte,D2501,ULSB,1,l\r\n"
    "\r\n[CTL3_IOSAMPLING_SETTING]\r\n"
    "CTL_NAME=Test bits\r\n"
    "IN_DATA_ADDRESS=D2000\r\n"
    "IN_DATA_LENGTH=4\r\n"
    "OUT_DATA_ADDRESS=D2100\r\n"
    "OUT_DATA_LENGTH=2\r\n"
    "DATA1=In 0.0,D2000,0\r\n"
    "DATA2=In 0.9,D2000,9\r\n"
    "DATA3=In 1.0,D2001,0\r\n"
    "DATA4=In 1.1,D2001,1\r\n"
    "DATA5=In 1.2,D2001,2\r\n"
    "DATA6=Out 10,D2100,10\r\n"
    "DATA7=Out 0,D2100,0\r\n"
    "DATA9=Out 14,D2100,14\r\n";

struct IoSignal {
    uint16_t address;
    int bit;
};
// The enabled signals of "Test bits" by slot; slot 7 (DATA8) and 9 to 15 are unused.
const std::map<int, IoSignal> kTestBits = {{0, {0x2000, 0}}, {1, {0x2000, 9}}, {2, {0x2001, 0}},
                                           {3, {0x2001, 1}}, {4, {0x2001, 2}}, {5, {0x2100, 10}},
                                           {6, {0x2100, 0}}, {8, {0x2100, 14}}};

int expectedBit(const IoSignal& s) {
    const uint16_t count = s.address >= 0x2100 ? 1 : 2;  // OUT reads one register, IN two
    return (simRegister(s.address, count) >> s.bit) & 1;
}

class CliRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.writeSettings(kBitRate, 1);
        folder.writeConfig(readFile(folder.system() + "DataSamplingConfig.ini") +
                           kExtraControllers);
    }

    void startSim(std::vector<std::string> options = {}) {
        options.insert(options.end(), {"--bitrate", std::to_string(kBitRate)});
        sim = std::make_unique<SimProcess>(options, folder.portLink(1));
        ASSERT_TRUE(sim->ok()) << sim->log();
    }

    CliRun record(std::vector<std::string> args) {
        args.insert(args.begin(), "record");
        args.insert(args.end(), {"--system", folder.system()});
        return runCli(args);
    }

    // The pixel's colour as #RRGGBB.
    static std::string colorAt(const QImage& image, int x, int y) {
        return QColor(image.pixel(x, y)).name(QColor::HexRgb).toUpper().toStdString();
    }

    CliFolder folder;
    std::unique_ptr<SimProcess> sim;
};

TEST_F(CliRecordTest, DataRecordingHoldsTheControllersValuesAndReadsBack) {
    startSim();
    const std::string csv = folder.file("data.csv");
    const std::string dump = folder.file("frames.log");
    CliRun run =
        record({"data", "--cycle", "20", "--time", "1", "--out", csv, "--dump", dump, "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    QJsonObject json = run.json();
    EXPECT_EQ(json.value("endState").toInt(), 1);
    EXPECT_EQ(json.value("samples").toInt(), 51);  // 1 s at 20 ms, both ends included
    EXPECT_EQ(json.value("controller").toObject().value("number").toInt(), 1);
    EXPECT_GT(json.value("achievedCycleMs").toDouble(), 19.0);
    // The engine's own account of its pacing: a count of cycles and a delay, never negative.
    ASSERT_TRUE(json.contains("lateCycles")) << run.out;
    EXPECT_GE(json.value("lateCycles").toInt(-1), 0);
    EXPECT_LE(json.value("lateCycles").toInt(), 51 + 6);
    EXPECT_GE(json.value("largestLateMs").toDouble(-1), 0.0);
    const std::string date = jsonText(json, "date");
    EXPECT_TRUE(testing::hasShape(date, "99999999 99:99")) << date;
    // The window's save confirmation follows the save.
    EXPECT_TRUE(contains(run.err, shown(text::MSG_PROGRESS_STATE_CSV_SAVE_COMP_MSG))) << run.err;

    // "Actuator - motion": 16 bytes from D1000; DWORD D1000, DWORD D1002, WORD D1004.
    const auto dword = [](uint16_t a) {
        return std::to_string(int32_t(uint32_t(simRegister(a, 8)) << 16 | simRegister(a + 1, 8)));
    };
    const std::string row = "," + dword(0x1000) + "," + dword(0x1002) + "," +
                            std::to_string(int16_t(simRegister(0x1004, 8)));
    const std::string bytes = readFile(csv);
    const std::vector<std::string> lines = crlfLines(bytes);
    ASSERT_EQ(lines.size(), 6u + 51u);
    EXPECT_EQ(lines[0], date + ",V100,data");
    EXPECT_EQ(lines[1], "20,1");
    EXPECT_EQ(lines[2], ",DWORD,DWORD,WORD");
    EXPECT_EQ(lines[3], "1,0.01,0.01,0.1");
    EXPECT_EQ(lines[4], "ms,mm,mm/s,%");
    EXPECT_EQ(lines[5], catalogue().GetText(text::CSV_TIMEVALUE_TITLE) +
                            ",Actual position,Actual speed,Motor current");
    for (std::size_t j = 0; j < 51; ++j)
        EXPECT_EQ(lines[6 + j], std::to_string(20 * j) + row);

    // The program's reader takes the file back and its writer reproduces it byte for byte.
    {
        testing::RecordingWindow window;
        SessionState session;
        auto page = std::make_unique<PageRecording>(kDataMonitor);
        CsvReader reader(window, window, catalogue());
        ASSERT_EQ(reader.openCsv(csv, kDataMonitor), 0);
        ASSERT_EQ(reader.readRecording(*page, session), 0);
        reader.closeCsv();
        const std::string again = folder.file("again.csv");
        ASSERT_EQ(writeCsv(again, *page, session, window, window, catalogue()), 0);
        EXPECT_EQ(readFile(again), bytes);
    }

    // The dump: one frame of 21 bytes per line, as received.
    const std::vector<std::string> dumpLines = crlfLines(readFile(dump));
    ASSERT_GE(dumpLines.size(), 51u);
    std::vector<uint8_t> frame = {0x01, 0x03, 0x10};
    for (uint16_t a = 0x1000; a < 0x1008; ++a) {
        frame.push_back(uint8_t(simRegister(a, 8) >> 8));
        frame.push_back(uint8_t(simRegister(a, 8)));
    }
    const auto crc = crc16(frame.size(), frame.data());
    frame.insert(frame.end(), crc.begin(), crc.end());
    std::string expectedLine;
    for (uint8_t b : frame) {
        char entry[8];
        std::snprintf(entry, sizeof entry, "0x%02X,", b);
        expectedLine += entry;
    }
    EXPECT_EQ(dumpLines[0], expectedLine);
    EXPECT_EQ(dumpLines[50], expectedLine);
    EXPECT_TRUE(contains(run.err, "Dump File Complete.\n\n" + dump)) << run.err;

    // info: what the data page would show of it.
    run = runCli({"info", csv, "--monitor", "data", "--json", "--system", folder.system()});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    json = run.json();
    EXPECT_EQ(jsonText(json, "date"), date);
    EXPECT_EQ(jsonText(json, "version"), "V100");
    EXPECT_EQ(json.value("cycle").toInt(), 20);
    EXPECT_EQ(json.value("time").toInt(), 1);
    EXPECT_EQ(json.value("samples").toInt(), 51);
    const QJsonArray items = json.value("items").toArray();
    ASSERT_EQ(items.size(), 3);
    const double position = std::stod(dword(0x1000)) * 0.01;
    EXPECT_EQ(jsonText(items[0].toObject(), "type"), "DWORD");
    EXPECT_EQ(jsonText(items[0].toObject(), "unit"), "mm");
    EXPECT_NEAR(items[0].toObject().value("minimum").toDouble(), position, 0.005);
    EXPECT_NEAR(items[0].toObject().value("maximum").toDouble(), position, 0.005);
    EXPECT_NEAR(items[2].toObject().value("maximum").toDouble(),
                int16_t(simRegister(0x1004, 8)) * 0.1, 0.05);

    // plot: the 645 x 357 grid of the graph rules, and three level traces through the middle.
    const std::string png = folder.file("data.png");
    run = runCli({"plot", csv, "--bare", "--monitor", "data", "--out", png, "--size", "645x357",
                  "--system",
                  folder.system()});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    QImage image(QString::fromStdString(png));
    ASSERT_EQ(image.size(), QSize(645, 357));
    // Colour table 1: background #000000, grid #404040, traces #FFFF00 #00FFFF #FF40FF.
    for (int x : {160, 320, 480, 640})
        EXPECT_EQ(colorAt(image, x, 10), "#404040") << x;
    for (int y : {89, 267})
        EXPECT_EQ(colorAt(image, 5, y), "#404040") << y;
    EXPECT_EQ(colorAt(image, 5, 5), "#000000");
    EXPECT_EQ(colorAt(image, 100, 60), "#000000");
    // A constant item lies between minimum - scale and maximum + scale: at half the height,
    // 357 - 178.5 truncated. The third trace is drawn last, over the grid line there.
    for (int x : {0, 100, 160, 644})
        EXPECT_EQ(colorAt(image, x, 178), "#FF40FF") << x;
    EXPECT_EQ(colorAt(image, 100, 177), "#000000");
    EXPECT_EQ(colorAt(image, 100, 179), "#000000");
}

TEST_F(CliRecordTest, SignedTypesAndALongCycleByControllerName) {
    startSim();
    const std::string csv = folder.file("signed.csv");
    CliRun run = record(
        {"data", "--controller", "Signed bytes", "--cycle", "100", "--time", "1", "--out", csv});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_TRUE(contains(run.out, "controller 5 (Signed bytes)")) << run.out;
    EXPECT_TRUE(contains(run.out, "End state:  1 (complete)")) << run.out;

    const int16_t word = int16_t(simRegister(0x2500, 2));
    const int8_t high = int8_t(simRegister(0x2501, 2) >> 8);
    const int low = simRegister(0x2501, 2) & 0xFF;
    ASSERT_LT(word, 0);
    ASSERT_LT(high, 0);
    const std::vector<std::string> lines = crlfLines(readFile(csv));
    ASSERT_EQ(lines.size(), 6u + 11u);
    EXPECT_EQ(lines[2], ",WORD,MSB,ULSB");
    EXPECT_EQ(lines[3], "1,1,0.5,1");
    EXPECT_EQ(lines[10], "400," + std::to_string(word) + "," + std::to_string(high) + "," +
                             std::to_string(low));

    run = runCli({"info", csv, "--monitor", "data", "--system", folder.system()});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    // The MSB item's scale 0.5 shows one decimal.
    char expected[64];
    std::snprintf(expected, sizeof expected, "min %.1f  max %.1f", high * 0.5, high * 0.5);
    EXPECT_TRUE(contains(run.out, expected)) << run.out;
}

TEST_F(CliRecordTest, IoRecordingHoldsTheBitsAndDrawsTheirBands) {
    startSim();
    const std::string csv = folder.file("io.csv");
    CliRun run =
        record({"io", "--controller", "3", "--cycle", "50", "--time", "1", "--out", csv, "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    const std::string date = jsonText(run.json(), "date");
    EXPECT_TRUE(testing::hasShape(date, "9999/99/99 99:99")) << date;

    std::string values;
    std::string names = catalogue().GetText(text::CSV_TIMEVALUE_TITLE);
    for (int slot = 0; slot < 16; ++slot) {
        const auto s = kTestBits.find(slot);
        values +=
            "," + (s == kTestBits.end() ? std::string() : std::to_string(expectedBit(s->second)));
    }
    const std::vector<std::string> lines = crlfLines(readFile(csv));
    ASSERT_EQ(lines.size(), 5u + 21u);
    EXPECT_EQ(lines[0], date + ",V100,IO");
    EXPECT_EQ(lines[1], "50,1");
    EXPECT_EQ(lines[2], "1,,,,,,,,,,,,,,,,");
    EXPECT_EQ(lines[3], "ms,,,,,,,,,,,,,,,,");
    EXPECT_EQ(splitFields(lines[4])[8], "") << "DATA8 is not configured";
    EXPECT_EQ(splitFields(lines[4])[9], "Out 14");
    for (std::size_t i = 0; i < 21; ++i)
        EXPECT_EQ(lines[5 + i], std::to_string(50 * i) + values);
    int ones = 0;
    for (const auto& [slot, s] : kTestBits)
        ones += expectedBit(s);
    ASSERT_GT(ones, 0);
    ASSERT_LT(ones, int(kTestBits.size()));

    run = runCli({"info", csv, "--monitor", "io", "--json", "--system", folder.system()});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    const QJsonArray items = run.json().value("items").toArray();
    ASSERT_EQ(items.size(), 16);
    EXPECT_FALSE(items[7].toObject().value("enabled").toBool());
    EXPECT_EQ(items[1].toObject().value("maximum").toInt(), expectedBit(kTestBits.at(1)));

    // The I/O graph at 256 pixels: band j's line at 256 - 2 x (121 - 8j + 6 x bit).
    const std::string bmp = folder.file("io.BMP");
    run = runCli({"plot", csv, "--bare", "--monitor", "io", "--out", bmp, "--size", "645x256",
                  "--system",
                  folder.system()});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    ASSERT_EQ(readFile(bmp).substr(0, 2), "BM");
    QImage image(QString::fromStdString(bmp));
    ASSERT_EQ(image.size(), QSize(645, 256));
    const char* colors[] = {"#FFFF00", "#00FFFF", "#FF40FF", "#40FF40", "#FF8000",
                            "#4080FF", "#FF4040", "#FFFFFF", "#C0FF40"};
    for (const auto& [slot, s] : kTestBits) {
        const int bit = expectedBit(s);
        const int y = 256 - 2 * (121 - 8 * slot + 6 * bit);
        EXPECT_EQ(colorAt(image, 100, y), colors[slot]) << "signal " << slot;
        // A clear bit leaves the band's upper level empty (its lower level is the dotted
        // baseline, which a set bit leaves to the grid).
        if (bit == 0) {
            EXPECT_EQ(colorAt(image, 100, y - 12), "#000000") << "signal " << slot;
        }
    }
    // Signal 7 is not configured: nothing drawn at its upper level.
    EXPECT_EQ(colorAt(image, 100, 256 - 2 * (121 - 8 * 7 + 6)), "#000000");
    // Solid quarter lines in the grid colour where no band's line runs.
    EXPECT_EQ(colorAt(image, 160, 8), "#404040");
    EXPECT_EQ(colorAt(image, 480, 8), "#404040");
}

TEST_F(CliRecordTest, CtrlCStopsTheRecordingAndKeepsWhatWasRecorded) {
    startSim({"--trace"});
    const std::string csv = folder.file("stopped.csv");
    testing::ChildProcess cli;
    ASSERT_TRUE(
        cli.start(testing::cliProgram(), {"record", "data", "--cycle", "100", "--time", "30",
                                          "--out", csv, "--json", "--system", folder.system()}));
    // Five reads heard by the controller: the recording is well under way.
    const auto reads = [&] { return testing::countOf(sim->log(), "rx 01 03 10 00"); };
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (reads() < 5 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    ASSERT_GE(reads(), 5) << sim->log();
    ::kill(cli.pid(), SIGINT);

    const std::string out = cli.readAll(60s);
    ASSERT_EQ(cli.wait(60s), 0) << out << cli.errorText();
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
    EXPECT_EQ(json.value("endState").toInt(), 2);
    EXPECT_EQ(json.value("endStateText").toString(), "stopped");
    const int samples = json.value("samples").toInt();
    EXPECT_GE(samples, 5);
    EXPECT_LT(samples, 301);
    const std::vector<std::string> lines = crlfLines(readFile(csv));
    ASSERT_EQ(lines.size(), 6u + std::size_t(samples));
    EXPECT_EQ(lines[1], "100,30") << "the file keeps the configured time";
}

TEST_F(CliRecordTest, StartErrorsShowTheirMessagesAndRecordNothing) {
    startSim();
    struct Case {
        const char* cycle;
        const char* time;
        TextId message;
    };
    const Case cases[] = {
        {"20", "3001", text::MSG_SAMPLING_BUFFER_ERR},  // 150,050 cycles
        {"2000", "1", text::MSG_SAMPLING_CYCLE_ERR},    // a cycle longer than the time
        {"12", "1", text::MSG_SAMPLING_OVER_ERR},       // 16 bytes at 115200 need 13.8 ms
    };
    for (const Case& c : cases) {
        const std::string csv = folder.file("none.csv");
        const CliRun run = record({"data", "--cycle", c.cycle, "--time", c.time, "--out", csv});
        EXPECT_EQ(run.exitCode, 1) << run.describe();
        const std::string box = shown(text::MSG_ALARM_TITLE) + "\n" + shown(c.message);
        EXPECT_TRUE(contains(run.err, box)) << c.cycle << "/" << c.time << "\n" << run.err;
        EXPECT_FALSE(std::filesystem::exists(csv));
    }
}

TEST_F(CliRecordTest, FailedRecordingsReportTheirEndStateAndSaveNothing) {
    struct Case {
        std::vector<std::string> fault;
        int endState;
        TextId message;
    };
    // Request 1 is the check's echo; the reads follow.
    const Case cases[] = {
        {{"--silent", "6-"}, 6, text::MSG_COM_COMMUNICATION_ERR},
        {{"--bad-crc", "6"}, 8, text::MSG_COM_ABNORMAL_RESPONSE_CRCERR},
    };
    for (const Case& c : cases) {
        startSim(c.fault);
        const std::string csv = folder.file("failed.csv");
        const CliRun run =
            record({"data", "--cycle", "100", "--time", "1", "--out", csv, "--json"});
        EXPECT_EQ(run.exitCode, 1) << run.describe();
        EXPECT_EQ(run.json().value("endState").toInt(), c.endState) << run.out;
        EXPECT_TRUE(contains(run.err, shown(c.message))) << run.err;
        EXPECT_TRUE(
            contains(run.err, shown(text::MSG_COM_ABNORMAL_RESPONSE_COUNTERMEASURE_CONTENTS)))
            << run.err;
        EXPECT_FALSE(std::filesystem::exists(csv));
        sim.reset();
    }
}

TEST_F(CliRecordTest, ARecordingThatCannotBeSavedWhereAskedGoesToAFallbackFile) {
    // A disk that is full once the recording is over: the check before the recording passes
    // (names can still be made), the save itself runs out of room.
    testing::SmallDisk disk(64 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    {
        std::ofstream filler(disk.file("filler"), std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), std::streamsize(block.size())))
            filler.flush();
    }
    startSim();
    const std::string csv = disk.file("data.csv");
    const CliRun run = record({"data", "--cycle", "100", "--time", "1", "--out", csv, "--json"});

    EXPECT_EQ(run.exitCode, 1) << run.describe();
    EXPECT_FALSE(std::filesystem::exists(csv));
    EXPECT_TRUE(contains(run.err, shown(text::MSG_PROGRESS_STATE_CSV_SAVE_ERR_MSG))) << run.err;
    const std::string fallback = jsonText(run.json(), "out");
    ASSERT_FALSE(fallback.empty()) << run.out;
    EXPECT_TRUE(contains(run.err, "saved to " + fallback)) << run.err;
    const auto lines = crlfLines(readFile(fallback));
    EXPECT_EQ(lines.size(), 6u + 11u) << "six header lines and the eleven samples";
    std::filesystem::remove(fallback);
}

// ---- record --stream: one JSON line per sample on standard output -----------------------------

// Each line of a --stream output as a JSON object; an empty object for a line that is not one.
std::vector<QJsonObject> jsonLines(const std::string& out) {
    std::vector<QJsonObject> objects;
    std::size_t start = 0;
    for (auto end = out.find('\n'); end != std::string::npos; end = out.find('\n', start)) {
        objects.push_back(
            QJsonDocument::fromJson(QByteArray::fromStdString(out.substr(start, end - start)))
                .object());
        start = end + 1;
    }
    return objects;
}

// The sample rows of a CSV file, after its header lines (6 for data, 5 for I/O).
std::vector<std::vector<std::string>> csvRows(const std::string& path, MonitorKind monitor) {
    const std::vector<std::string> lines = crlfLines(readFile(path));
    std::vector<std::vector<std::string>> rows;
    for (std::size_t i = monitor == kDataMonitor ? 6 : 5; i < lines.size(); ++i)
        rows.push_back(splitFields(lines[i]));
    return rows;
}

// The stream's samples are those of the saved recording: consecutive indices and times, each
// value the plotted value of the CSV's raw word (data) or its bit (I/O), null where the CSV
// has no signal.
void expectStreamHoldsTheCsv(const std::vector<QJsonObject>& samples, const std::string& csv,
                             MonitorKind monitor, int cycle) {
    const auto rows = csvRows(csv, monitor);
    ASSERT_EQ(samples.size(), rows.size());
    // "Actuator - motion": the scales of its three items.
    const double scales[] = {0.01, 0.01, 0.1};
    const char* names[] = {"Actual position", "Actual speed", "Motor current"};
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const QJsonObject& sample = samples[i];
        ASSERT_EQ(sample.value("index").toInt(-1), int(i));
        EXPECT_DOUBLE_EQ(sample.value("t").toDouble(), double(i) * cycle / 1000);
        if (monitor == kDataMonitor) {
            const QJsonObject values = sample.value("values").toObject();
            ASSERT_EQ(values.size(), 3) << i;
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(values.value(names[k]).toDouble(),
                            textToLong(rows[i][std::size_t(k + 1)]) * scales[k], 1e-9)
                    << "sample " << i << " " << names[k];
        } else {
            const QJsonArray levels = sample.value("levels").toArray();
            ASSERT_EQ(levels.size(), 16) << i;
            for (int k = 0; k < 16; ++k) {
                const std::string& field = rows[i][std::size_t(k + 1)];
                if (field.empty())
                    EXPECT_TRUE(levels[k].isNull()) << "sample " << i << " signal " << k;
                else
                    EXPECT_EQ(levels[k].toInt(-1), textToLong(field))
                        << "sample " << i << " signal " << k;
            }
        }
    }
}

// Each sample's time of day is the first one's plus its place on the grid, written as ISO 8601
// with milliseconds and the local offset, and lies within the command's run.
void expectStreamTimesOnTheGrid(const std::vector<QJsonObject>& samples, int cycle,
                                const QDateTime& before, const QDateTime& after) {
    ASSERT_FALSE(samples.empty());
    const QRegularExpression iso(
        R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)");
    const int seconds = QDateTime::currentDateTime().offsetFromUtc();
    const QString offset = QString::asprintf("%c%02d:%02d", seconds < 0 ? '-' : '+',
                                             std::abs(seconds) / 3600, std::abs(seconds) % 3600 / 60);
    QDateTime first;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const QString text = samples[i].value("time").toString();
        ASSERT_TRUE(iso.match(text).hasMatch()) << i << " " << text.toStdString();
        EXPECT_EQ(text.right(6), offset) << text.toStdString();
        const QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
        if (i == 0)
            first = time;
        EXPECT_EQ(first.msecsTo(time), int64_t(i) * cycle) << i;
    }
    EXPECT_LE(before.msecsTo(first), before.msecsTo(after)) << "after the command ended";
    EXPECT_GE(before.msecsTo(first), 0) << "before the command started";
}

TEST_F(CliRecordTest, StreamWritesEachSampleAsAJsonLineAndTheResultToStandardError) {
    // Counting registers: every sample differs from the one before.
    startSim({"--mode", "counting"});
    struct Case {
        MonitorKind monitor;
        const char* controller;
        int cycle;
    };
    for (const Case& c : {Case{kDataMonitor, "1", 20}, Case{kIoMonitor, "3", 50}}) {
        SCOPED_TRACE(c.monitor == kDataMonitor ? "data" : "io");
        const std::string csv = folder.file("stream.csv");
        std::filesystem::remove(csv);
        const QDateTime before = QDateTime::currentDateTime();
        const CliRun run = record({c.monitor == kDataMonitor ? "data" : "io", "--controller",
                                   c.controller, "--cycle", std::to_string(c.cycle), "--time", "1",
                                   "--out", csv, "--stream", "--json"});
        ASSERT_EQ(run.exitCode, 0) << run.describe();
        expectStreamHoldsTheCsv(jsonLines(run.out), csv, c.monitor, c.cycle);
        expectStreamTimesOnTheGrid(jsonLines(run.out), c.cycle, before, QDateTime::currentDateTime());
        // Standard output holds the samples only; the result went to standard error.
        const auto result = run.err.find("{\n  \"ok\"");
        ASSERT_NE(result, std::string::npos) << run.err;
        const QJsonObject json =
            QJsonDocument::fromJson(QByteArray::fromStdString(run.err.substr(result))).object();
        EXPECT_TRUE(json.value("ok").toBool());
        EXPECT_EQ(json.value("samples").toInt(), int(jsonLines(run.out).size()));
    }
}

TEST_F(CliRecordTest, AStreamWhoseReaderGoesAwayEndsButTheRecordingIsSaved) {
    startSim();
    const std::string csv = folder.file("closed.csv");
    testing::ChildProcess cli;
    ASSERT_TRUE(
        cli.start(testing::cliProgram(), {"record", "data", "--cycle", "50", "--time", "2", "--out",
                                          csv, "--stream", "--system", folder.system()}));
    ASSERT_TRUE(cli.readLine(30s)) << cli.errorText();
    cli.closeOutput();
    ASSERT_EQ(cli.wait(60s), 0) << cli.errorText();
    EXPECT_TRUE(contains(cli.errorText(), "Samples:    41\n")) << cli.errorText();
    EXPECT_EQ(csvRows(csv, kDataMonitor).size(), 41u);
}

TEST_F(CliRecordTest, CtrlCEndsAStreamedRecordingWithTheSamplesItSaved) {
    startSim({"--mode", "counting"});
    const std::string csv = folder.file("stopped.csv");
    testing::ChildProcess cli;
    ASSERT_TRUE(
        cli.start(testing::cliProgram(), {"record", "data", "--cycle", "100", "--time", "30",
                                          "--out", csv, "--stream", "--system", folder.system()}));
    std::string out;
    for (int n = 0; n < 5; ++n) {
        const auto line = cli.readLine(30s);
        ASSERT_TRUE(line) << cli.errorText();
        out += *line + "\n";
    }
    ::kill(cli.pid(), SIGINT);
    out += cli.readAll(60s);
    ASSERT_EQ(cli.wait(60s), 0) << cli.errorText();
    EXPECT_TRUE(contains(cli.errorText(), "End state:  2 (stopped)")) << cli.errorText();
    const auto samples = jsonLines(out);
    EXPECT_LT(samples.size(), 301u);
    expectStreamHoldsTheCsv(samples, csv, kDataMonitor, 100);
}

}  // namespace
}  // namespace kestiva
