// kestiva-cli config, info and plot on files: the shipped configuration and broken ones, CSV
// files the reader refuses, the image encoder that the output name chooses, and an image that
// does not fit on the disk.

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "files/FilesTestSupport.h"
#include "recording/MarkerFigures.h"
#include "settings/LanguageCatalogue.h"
#include "tools/CliHarness.h"
#include "tools/cli/LoadedRecording.h"

namespace kestiva {
namespace {

using testing::CliFolder;
using testing::CliRun;
using testing::contains;
using testing::jsonText;
using testing::readFile;
using testing::runCli;
using testing::shown;
using testing::writeFile;

// A small data recording as the program writes it; its third item is not used.
constexpr const char* kDataCsv =
    "20261207 10:00,V100,data\r\n"
    "10,1\r\n"
    ",WORD,UWORD,\r\n"
    "1,1,0.5,\r\n"
    "ms,a,b,\r\n"
    "Time,A,B,\r\n"
    "0,-5,2,\r\n"
    "10,0,4,\r\n"
    "20,5,6,\r\n";

TEST(CliConfig, ShowsTheShippedConfigurationAsStartUpLoadsIt) {
    CliFolder folder;
    CliRun run = runCli({"config", "--json", "--system", folder.system()});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    const QJsonObject json = run.json();
    const QJsonObject data = json.value("data").toObject();
    EXPECT_EQ(data.value("cycles").toArray(), QJsonArray({10, 20, 50, 100, 500}));
    EXPECT_EQ(data.value("times").toArray(), QJsonArray({0, 10, 60, 300, 3000}));
    const QJsonObject table = data.value("colorTables").toArray()[0].toObject();
    EXPECT_EQ(jsonText(table, "background"), "#000000");
    EXPECT_EQ(jsonText(table, "grid"), "#404040");
    EXPECT_EQ(table.value("traces").toArray(), QJsonArray({"#FFFF00", "#00FFFF", "#FF40FF"}));

    const QJsonArray controllers = data.value("controllers").toArray();
    ASSERT_EQ(controllers.size(), 4);
    const QJsonObject first = controllers[0].toObject();
    EXPECT_EQ(jsonText(first, "name"), "Actuator - motion");
    EXPECT_EQ(jsonText(first.value("range").toObject(), "address"), "D1000");
    EXPECT_EQ(first.value("range").toObject().value("length").toInt(), 16);
    const QJsonObject current = first.value("items").toArray()[2].toObject();
    EXPECT_EQ(jsonText(current, "address"), "D1004");
    EXPECT_EQ(jsonText(current, "type"), "WORD");
    EXPECT_EQ(jsonText(current, "scale"), "0.1");
    EXPECT_EQ(jsonText(current, "unit"), "%");
    EXPECT_TRUE(current.value("enabled").toBool());

    const QJsonArray io = json.value("io").toObject().value("controllers").toArray();
    ASSERT_EQ(io.size(), 2);
    const QJsonObject outputs = io[1].toObject();
    EXPECT_TRUE(outputs.value("in").isNull()) << "CTL2 has no input range";
    EXPECT_EQ(jsonText(outputs.value("out").toObject(), "address"), "D2100");
    const QJsonArray bits = outputs.value("items").toArray();
    ASSERT_EQ(bits.size(), 16);
    EXPECT_EQ(bits[15].toObject().value("bit").toInt(), 15);
    EXPECT_EQ(json.value("io")
                  .toObject()
                  .value("colorTables")
                  .toArray()[0]
                  .toObject()
                  .value("traces")
                  .toArray()
                  .size(),
              16);

    // The plain form, with --system naming the program folder rather than System/ itself.
    run = runCli({"config", "--system", folder.path()});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_TRUE(contains(run.out, "    1  Actuator - motion\n       range D1000, 16 bytes\n"))
        << run.out;
    EXPECT_TRUE(contains(run.out, "Actual position  D1000  DWORD  scale 0.01  unit mm")) << run.out;
    EXPECT_TRUE(contains(run.out, "Maintenance due  D2100  bit 15")) << run.out;
}

TEST(CliConfig, ABrokenConfigurationStopsAtTheFirstFailure) {
    const std::string good =
        readFile(testing::testProgramFolder() + "System/DataSamplingConfig.ini");
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + 1))
            text.replace(at, from.size(), to);
        return text;
    };
    struct Case {
        const char* what;
        std::string text;
        bool loads;
    };
    const Case cases[] = {
        // Every data controller's range starts after its first item: none remains usable.
        {"no usable data controller", replaced("DATA_ADDRESS=D10", "DATA_ADDRESS=D20"), false},
        {"no usable I/O controller", replaced("_DATA_ADDRESS=D2", "_DATA_ADDRESS=D3"), false},
        {"no colour table", replaced("COLOR_TABLE_", "COLOUR_TABLE_"), false},
        {"an empty file", "", false},
        // One broken controller is left out; the others stay.
        {"one broken controller",
         replaced("DATA3=Motor temperature,D1007,LSB", "DATA3=Motor temperature,D1007,LSX"), true},
    };
    for (const Case& c : cases) {
        CliFolder folder;
        folder.writeConfig(c.text);
        const CliRun run = runCli({"config", "--json", "--system", folder.system()});
        if (c.loads) {
            ASSERT_EQ(run.exitCode, 0) << c.what << "\n" << run.describe();
            const QJsonArray controllers =
                run.json().value("data").toObject().value("controllers").toArray();
            ASSERT_EQ(controllers.size(), 3) << c.what;
            EXPECT_EQ(controllers[1].toObject().value("number").toInt(), 3) << c.what;
        } else {
            EXPECT_EQ(run.exitCode, 1) << c.what << "\n" << run.describe();
            EXPECT_EQ(run.err, "DataSamplingConfig.ini Reading Failed\n") << c.what;
            EXPECT_EQ(jsonText(run.json(), "error"), "DataSamplingConfig.ini Reading Failed");
        }
    }
}

TEST(CliConfig, ABrokenLanguageFileStopsEveryCommand) {
    CliFolder folder;
    std::string texts = readFile(folder.system() + "LanguageData.ini");
    texts.replace(texts.find("MSG_ALARM_TITLE="), 16, "MSG_ALARM_TITEL=");
    writeFile(folder.system() + "LanguageData.ini", texts);
    writeFile(folder.file("r.csv"), kDataCsv);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"config"},
          {"info", folder.file("r.csv"), "--monitor", "data"},
          {"check"}}) {
        std::vector<std::string> all = args;
        all.insert(all.end(), {"--system", folder.system()});
        const CliRun run = runCli(all);
        EXPECT_EQ(run.exitCode, 1) << args[0] << "\n" << run.describe();
        EXPECT_EQ(run.err, "LanguageData.ini Reading Failed\n") << args[0];
    }
}

TEST(CliInfo, DescribesAFileAsTheDataPageLoadsIt) {
    CliFolder folder;
    writeFile(folder.file("r.csv"), kDataCsv);
    const CliRun run =
        runCli({"info", folder.file("r.csv"), "--monitor", "data", "--system", folder.system()});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_TRUE(contains(run.out, "Date:      20261207 10:00\n")) << run.out;
    // The time is recomputed from the samples: 10 ms x 2 intervals, rounded up to 1 s.
    EXPECT_TRUE(contains(run.out, "Cycle:     10 ms\nTime:      1 s\nSamples:   3\n")) << run.out;
    EXPECT_TRUE(contains(run.out, "   1  A  WORD  scale 1  unit a  min -5  max 5\n")) << run.out;
    EXPECT_TRUE(contains(run.out, "   2  B  UWORD  scale 0.5  unit b  min 1.0  max 3.0\n"))
        << run.out;
    EXPECT_TRUE(contains(run.out, "   3  (not used)\n")) << run.out;
}

// A data file with a sine (WORD, 0.01 V) and a square (DWORD, 0.5 A), and an I/O file with two
// square waves, both at 10 ms. (The reader refuses a scale that is not positive.)
std::string sineAndSquareCsv(bool io) {
    std::string text = io ? "20261207 11:00,V100,IO\r\n10,1\r\n1" + std::string(16, ',') +
                                "\r\nms" + std::string(16, ',') + "\r\nTime,Fast,Slow" +
                                std::string(14, ',') + "\r\n"
                          : "20261207 11:00,V100,data\r\n10,1\r\n,WORD,DWORD,\r\n1,0.01,0.5,\r\n"
                            "ms,V,A,\r\nTime,Sine,Square,\r\n";
    for (int j = 0; j < 101; ++j) {
        text += std::to_string(j * 10);
        if (io)
            text += std::string(",") + (j % 8 < 4 ? "1" : "0") + "," + (j % 20 < 5 ? "1" : "0") +
                    std::string(14, ',');
        else
            text +=
                "," +
                std::to_string(std::lround(1000.0 * std::sin(2.0 * std::numbers::pi * j / 50.0))) +
                "," + ((j / 10) % 2 == 0 ? "500" : "-500") + ",";
        text += "\r\n";
    }
    return text;
}

// A JSON number against the text the core made of it; null stands for an empty text.
void expectFigure(const QJsonValue& json, const std::string& text, const char* what) {
    if (text.empty())
        EXPECT_TRUE(json.isNull()) << what;
    else
        EXPECT_DOUBLE_EQ(json.toDouble(std::nan("")), std::stod(text)) << what;
}

TEST(CliInfo, BetweenTwoTimesPrintsTheCoresMarkerFigures) {
    CliFolder folder;
    for (const bool io : {false, true}) {
        SCOPED_TRACE(io ? "I/O" : "data");
        const std::string path = folder.file(io ? "io.csv" : "data.csv");
        writeFile(path, sineAndSquareCsv(io));
        const char* monitor = io ? "io" : "data";
        // 0.734 s lies nearest sample 73; A after B.
        const CliRun run = runCli({"info", path, "--monitor", monitor, "--between", "0.734", "0.2",
                                   "--json", "--system", folder.system()});
        ASSERT_EQ(run.exitCode, 0) << run.describe();
        const QJsonObject between = run.json().value("between").toObject();

        cli::TerminalSession terminal(cli::SystemFolder{folder.path()}, false);
        ASSERT_TRUE(cli::loadCatalogue(terminal, false));
        std::string version;
        ASSERT_TRUE(
            cli::readCsvRecording(terminal, path, io ? kIoMonitor : kDataMonitor, version, false));
        const MarkerFigures f =
            markerFigures(terminal.session.page(io ? kIoMonitor : kDataMonitor), 73, 20, 0xFFFF);

        EXPECT_EQ(between.value("a").toObject().value("sample").toInt(), 73);
        EXPECT_EQ(between.value("b").toObject().value("sample").toInt(), 20);
        expectFigure(between.value("a").toObject().value("time"), f.aTimeText, "A");
        expectFigure(between.value("delta"), f.deltaText, "dt");
        expectFigure(between.value("inverseDelta"), f.inverseDeltaText, "1/dt");
        const QJsonArray items = between.value("items").toArray();
        ASSERT_EQ(std::size_t(items.size()), io ? f.ioSignals.size() : f.items.size());
        ASSERT_EQ(items.size(), 2) << "the disabled ones are left out";
        for (qsizetype i = 0; i < items.size(); ++i) {
            const QJsonObject item = items[i].toObject();
            if (io) {
                const SignalMeasurement& m = f.ioSignals[std::size_t(i)];
                EXPECT_EQ(jsonText(item, "name"), m.name);
                EXPECT_EQ(item.value("levelA").toInt(), m.levelA);
                EXPECT_EQ(item.value("risingEdges").toInt(), int(m.risingEdges));
                EXPECT_EQ(item.value("fallingEdges").toInt(), int(m.fallingEdges));
                expectFigure(item.value("firstEdge"), m.firstEdgeTimeText, "first edge");
                expectFigure(item.value("timeHigh"), m.highTimeText, "time high");
                continue;
            }
            const ItemMeasurement& m = f.items[std::size_t(i)];
            EXPECT_EQ(jsonText(item, "unit"), m.unit);
            const std::pair<const char*, const std::string*> figures[] = {
                {"atA", &m.atAText},
                {"atB", &m.atBText},
                {"difference", &m.differenceText},
                {"minimum", &m.minimumText},
                {"minimumTime", &m.minimumTimeText},
                {"maximum", &m.maximumText},
                {"maximumTime", &m.maximumTimeText},
                {"mean", &m.meanText},
                {"rms", &m.rmsText}};
            for (const auto& [key, text] : figures)
                expectFigure(item.value(key), *text, key);
        }

        // The text output is the plain one with the measurements after it.
        const CliRun plain =
            runCli({"info", path, "--monitor", monitor, "--system", folder.system()});
        const CliRun text = runCli({"info", path, "--monitor", monitor, "--between", "0.734", "0.2",
                                    "--system", folder.system()});
        ASSERT_EQ(text.exitCode, 0) << text.describe();
        EXPECT_EQ(text.out.substr(0, plain.out.size()), plain.out);
        EXPECT_TRUE(contains(text.out,
                             "Between:   A 0.730 s (sample 73), B 0.200 s (sample 20)\n"
                             "dt:        -0.530 s, 1/dt -1.88679 Hz\n"))
            << text.out;
    }
    const CliRun missing = runCli({"info", folder.file("data.csv"), "--monitor", "data",
                                   "--between", "0.5", "--system", folder.system()});
    EXPECT_EQ(missing.exitCode, 2) << missing.describe();
    const CliRun notANumber = runCli({"info", folder.file("data.csv"), "--monitor", "data",
                                      "--between", "0.5", "x", "--system", folder.system()});
    EXPECT_EQ(notANumber.exitCode, 2) << notANumber.describe();
}

// A time outside the recording measures from its nearer end, as before, and says so.
TEST(CliInfo, BetweenTimesOutsideTheRecordingAreReported) {
    CliFolder folder;
    const std::string path = folder.file("data.csv");
    writeFile(path, sineAndSquareCsv(false));  // 0 to 1.000 s
    struct Case {
        const char* a;
        const char* b;
        const char* sameAs[2];  // times inside that give the same figures
        bool clampedA, clampedB;
        const char* note;  // on standard error; nullptr: nothing
    };
    const Case cases[] = {
        {"0.2", "0.5", {"0.2", "0.5"}, false, false, nullptr},
        {"0", "1.0", {"0", "1.0"}, false, false, nullptr},
        {"-1", "0.5", {"0", "0.5"}, true, false, "A at -1 s lies before the recording (0 to 1.000 s)"},
        {"0.2", "7.5", {"0.2", "1.0"}, false, true, "B at 7.5 s lies after the recording (0 to 1.000 s)"},
        {"1.004", "-0.001", {"1.0", "0"}, true, true, "marker B is put on its first sample"},
    };
    const auto info = [&](const char* a, const char* b, bool json) {
        std::vector<std::string> args = {"info", path, "--between", a, b, "--system", folder.system()};
        if (json)
            args.push_back("--json");
        return runCli(args);
    };
    for (const Case& c : cases) {
        const std::string what = std::string(c.a) + " " + c.b;
        const CliRun run = info(c.a, c.b, true);
        ASSERT_EQ(run.exitCode, 0) << what << "\n" << run.describe();
        QJsonObject between = run.json().value("between").toObject();
        QJsonObject a = between.value("a").toObject(), b = between.value("b").toObject();
        EXPECT_EQ(a.value("clamped").toBool(!c.clampedA), c.clampedA) << what;
        EXPECT_EQ(b.value("clamped").toBool(!c.clampedB), c.clampedB) << what;
        if (c.note)
            EXPECT_TRUE(contains(run.err, c.note)) << what << "\n" << run.err;
        else
            EXPECT_EQ(run.err, "") << what;
        // The figures are those of the ends it was put on.
        QJsonObject inside = info(c.sameAs[0], c.sameAs[1], true).json().value("between").toObject();
        for (QJsonObject* o : {&between, &inside})
            for (const char* marker : {"a", "b"}) {
                QJsonObject m = o->value(marker).toObject();
                m.remove("clamped");
                o->insert(marker, m);
            }
        EXPECT_EQ(between, inside) << what;
        // The text output carries the same note and the same figures.
        const CliRun text = info(c.a, c.b, false);
        EXPECT_EQ(text.out, info(c.sameAs[0], c.sameAs[1], false).out) << what;
        EXPECT_EQ(text.err, run.err) << what;
    }
}

TEST(CliInfo, ARefusedFileShowsTheReadersMessage) {
    CliFolder folder;
    struct Case {
        const char* what;
        std::string text;
        const char* monitor;
        TextId message;
    };
    std::string negativeUword = kDataCsv;
    negativeUword.replace(negativeUword.find("10,0,4,"), 7, "10,0,-4,");
    const Case cases[] = {
        {"data file on the I/O page", kDataCsv, "io", text::MSG_CSV_MONITORTYPE_DIFFERENCE},
        {"header only", std::string(kDataCsv).substr(0, std::string(kDataCsv).find("0,-5")), "data",
         text::MSG_CSV_NOVALIDDATA},
        {"minus in an unsigned column", negativeUword, "data", text::MSG_CSV_INVALIDDATA},
    };
    for (const Case& c : cases) {
        writeFile(folder.file("bad.csv"), c.text);
        const CliRun run = runCli({"info", folder.file("bad.csv"), "--monitor", c.monitor, "--json",
                                   "--system", folder.system()});
        EXPECT_EQ(run.exitCode, 1) << c.what << "\n" << run.describe();
        EXPECT_TRUE(contains(run.err, shown(c.message))) << c.what << "\n" << run.err;
        EXPECT_EQ(jsonText(run.json(), "error"), shown(c.message)) << c.what;
        // plot reads the same way and refuses the same file.
        const CliRun plot = runCli({"plot", folder.file("bad.csv"), "--monitor", c.monitor, "--out",
                                    folder.file("bad.png"), "--system", folder.system()});
        EXPECT_EQ(plot.exitCode, 1) << c.what;
        EXPECT_FALSE(std::filesystem::exists(folder.file("bad.png"))) << c.what;
    }
    const CliRun missing = runCli(
        {"info", folder.file("missing.csv"), "--monitor", "data", "--system", folder.system()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(contains(missing.err, shown(text::MSG_FILE_OPEN_FAILED_CONTENTS))) << missing.err;
}

// Without --monitor the file's first line chooses the page; a given one must agree with it.
TEST(CliInfo, TheMonitorComesFromTheFileUnlessGiven) {
    CliFolder folder;
    writeFile(folder.file("data.csv"), sineAndSquareCsv(false));
    writeFile(folder.file("io.csv"), sineAndSquareCsv(true));
    std::string unnamed = sineAndSquareCsv(false);
    unnamed.replace(unnamed.find(",data"), 5, ",Data");  // the reader compares case too
    writeFile(folder.file("unnamed.csv"), unnamed);
    struct Case {
        const char* file;
        const char* given;    // --monitor, or nullptr
        const char* monitor;  // the page that read it; nullptr: refused
    };
    const Case cases[] = {
        {"data.csv", nullptr, "data"},   {"io.csv", nullptr, "io"},
        {"data.csv", "data", "data"},    {"io.csv", "data", nullptr},
        {"data.csv", "io", nullptr},     {"unnamed.csv", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        // info alone, info with markers, plot: each reads the file the same way.
        const std::vector<std::vector<std::string>> commands = {
            {"info"}, {"info", "--between", "0.1", "0.5"}, {"plot", "--out", folder.file("g.png")}};
        for (std::vector<std::string> args : commands) {
            const std::string what = args[0] + " " + c.file + " " + (c.given ? c.given : "-");
            args.insert(args.begin() + 1, folder.file(c.file));
            if (c.given)
                args.insert(args.end(), {"--monitor", c.given});
            args.insert(args.end(), {"--json", "--system", folder.system()});
            const CliRun run = runCli(args);
            if (c.monitor == nullptr) {
                EXPECT_EQ(run.exitCode, 1) << what << "\n" << run.describe();
                EXPECT_EQ(jsonText(run.json(), "error"),
                          shown(text::MSG_CSV_MONITORTYPE_DIFFERENCE))
                    << what;
                continue;
            }
            ASSERT_EQ(run.exitCode, 0) << what << "\n" << run.describe();
            EXPECT_EQ(jsonText(run.json(), "monitor"), c.monitor) << what;
            const bool between = std::ranges::find(args, "--between") != args.end();
            EXPECT_EQ(run.json().contains("between"), between) << what;
        }
    }
}

TEST(CliPlot, TheExtensionChoosesTheEncoderAndTheTableTheColours) {
    CliFolder folder;
    writeFile(folder.file("r.csv"), kDataCsv);
    struct Case {
        const char* name;
        std::string magic;
    };
    const Case cases[] = {
        {"a.bmp", "BM"},
        {"b.JPG", "\xFF\xD8\xFF"},
        {"c.jpeg", "\xFF\xD8\xFF"},
        {"d.Png", "\x89PNG"},
    };
    for (const Case& c : cases) {
        const std::string out = folder.file(c.name);
        const CliRun run = runCli({"plot", folder.file("r.csv"), "--monitor", "data", "--out", out,
                                   "--system", folder.system()});
        ASSERT_EQ(run.exitCode, 0) << c.name << "\n" << run.describe();
        EXPECT_EQ(readFile(out).substr(0, c.magic.size()), c.magic) << c.name;
        EXPECT_EQ(QImage(QString::fromStdString(out)).size(), QSize(1000, 600)) << c.name;
    }

    // Colour table 2 has a white background and a light grey grid.
    const std::string png = folder.file("white.png");
    // The graph alone: its corner and its first major grid line.
    CliRun run = runCli({"plot", folder.file("r.csv"), "--monitor", "data", "--out", png,
                         "--colors", "2", "--bare", "--json", "--system", folder.system()});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.json().value("colorTable").toObject().value("number").toInt(), 2);
    const QImage image(QString::fromStdString(png));
    EXPECT_EQ(QColor(image.pixel(5, 5)), QColor(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(QColor(image.pixel(250, 5)), QColor(0xC8, 0xC8, 0xC8));  // 1000 / 4

    run = runCli({"plot", folder.file("r.csv"), "--monitor", "data", "--out", png, "--colors", "6",
                  "--system", folder.system()});
    EXPECT_EQ(run.exitCode, 2) << run.describe();
}

// The old picture stays whole until a new one is completely on the disk.
TEST(CliPlot, AnImageThatDoesNotFitKeepsTheOldOne) {
    testing::SmallDisk disk(64 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    CliFolder folder;
    writeFile(folder.file("r.csv"), kDataCsv);
    const std::string out = disk.file("graph.bmp");
    const auto plot = [&](const char* size) {
        return runCli({"plot", folder.file("r.csv"), "--monitor", "data", "--out", out, "--size",
                       size, "--bare", "--json", "--system", folder.system()});
    };
    CliRun run = plot("64x48");  // about 9 KB
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    const std::string old = readFile(out);

    run = plot("1000x600");  // about 1.8 MB
    EXPECT_EQ(run.exitCode, 1) << run.describe();
    EXPECT_FALSE(run.json().value("ok").toBool(true)) << run.out;
    EXPECT_TRUE(contains(run.err, "could not be written")) << run.err;
    EXPECT_TRUE(readFile(out) == old) << "the old picture was changed";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk.folder()),
                            std::filesystem::directory_iterator()),
              1)
        << "a temporary file was left behind";
}

}  // namespace
}  // namespace kestiva
