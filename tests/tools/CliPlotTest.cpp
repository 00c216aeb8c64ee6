// kestiva-cli plot's frame: the title, the time axis, the value ranges or lane names and the
// legend around the graph, found by pixel, and the graph inside it unchanged.

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QRect>

#include <optional>
#include <string>
#include <vector>

#include "tools/CliHarness.h"

namespace kestiva {
namespace {

using testing::CliFolder;
using testing::CliRun;
using testing::runCli;
using testing::writeFile;

// Two items (a ramp and a square, 10 ms) or two I/O signals (1 and 3 of 16), 101 samples.
std::string recordingCsv(bool io) {
    std::string text = io ? "20261207 11:00,V100,IO\r\n10,1\r\n1" + std::string(16, ',') +
                                "\r\nms" + std::string(16, ',') + "\r\nTime,Fast,,Slow" +
                                std::string(13, ',') + "\r\n"
                          : "20261207 11:00,V100,data\r\n10,1\r\n,WORD,WORD,\r\n1,0.1,1,\r\n"
                            "ms,mm,A,\r\nTime,Ramp,Square,\r\n";
    for (int j = 0; j < 101; ++j) {
        text += std::to_string(j * 10);
        if (io)
            text += std::string(",") + (j % 8 < 4 ? "1" : "0") + ",," + (j % 20 < 5 ? "1" : "0") +
                    std::string(13, ',');
        else
            text += "," + std::to_string(j * 7 - 300) + "," + ((j / 10) % 2 == 0 ? "50" : "-50") +
                    ",";
        text += "\r\n";
    }
    return text;
}

// Whether any pixel of rect (cut to the image) differs from the background, or, with
// wanted, equals it.
bool anyPixel(const QImage& image, QRect rect, QRgb background, std::optional<QRgb> wanted = {}) {
    rect &= image.rect();
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QRgb p = image.pixel(x, y) | 0xFF000000u;
            if (wanted ? p == *wanted : p != background)
                return true;
        }
    return false;
}

TEST(CliPlot, TheFrameShowsAxesRangesAndLegendAroundTheSameGraph) {
    CliFolder folder;
    for (const bool io : {false, true}) {
        SCOPED_TRACE(io ? "I/O" : "data");
        const std::string csv = folder.file(io ? "io.csv" : "data.csv");
        writeFile(csv, recordingCsv(io));
        const std::string framedPath = folder.file("framed.png");
        const CliRun run = runCli({"plot", csv, "--out", framedPath, "--size", "900x500", "--json",
                                   "--system", folder.system()});
        ASSERT_EQ(run.exitCode, 0) << run.describe();
        const QJsonObject g = run.json().value("graph").toObject();
        const QRect graph(g.value("x").toInt(), g.value("y").toInt(), g.value("width").toInt(),
                          g.value("height").toInt());
        const QImage framed = QImage(QString::fromStdString(framedPath)).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(framed.size(), QSize(900, 500));
        ASSERT_TRUE(QRect(0, 0, 900, 500).contains(graph)) << run.out;
        // Room for the frame on every side but the right, where only half a label goes.
        EXPECT_GT(graph.left(), 20);
        EXPECT_GT(graph.top(), 20);
        EXPECT_LT(graph.bottom(), 500 - 20);

        // The traces are where the bare graph of the same size has them, pixel for pixel.
        const std::string barePath = folder.file("bare.png");
        const CliRun bare = runCli({"plot", csv, "--out", barePath, "--bare", "--size",
                                    std::to_string(graph.width()) + "x" +
                                        std::to_string(graph.height()),
                                    "--system", folder.system()});
        ASSERT_EQ(bare.exitCode, 0) << bare.describe();
        const QImage bareImage =
            QImage(QString::fromStdString(barePath)).convertToFormat(QImage::Format_RGB32);
        EXPECT_TRUE(framed.copy(graph) == bareImage) << "the graph changed inside the frame";

        const QRgb background = qRgb(0, 0, 0);  // colour table 1
        // The title line and the units above the graph.
        EXPECT_TRUE(anyPixel(framed, QRect(0, 0, 900, graph.top() / 2), background)) << "title";
        // The time axis: a label under each major grid line and the right edge.
        const int below = graph.bottom() + 1;
        for (int i = 0; i < 5; ++i) {
            const int x = i < 4 ? graph.left() + graph.width() * i / 4 : graph.right();
            EXPECT_TRUE(anyPixel(framed, QRect(x - 6, below + 5, 13, 14), background))
                << "time label " << i;
        }
        if (!io) {
            // Each item's range at the top, middle and bottom, left of the graph.
            for (const int y : {graph.top(), graph.center().y(), graph.bottom() - 10})
                EXPECT_TRUE(anyPixel(framed, QRect(0, y, graph.left() - 2, 10), background))
                    << "value label at " << y;
            // The legend: a swatch of each trace colour (yellow, cyan) below the time axis.
            const QRect legend(0, below + 20, 900, 500 - below - 20);
            EXPECT_TRUE(anyPixel(framed, legend, background, qRgb(0xFF, 0xFF, 0x00))) << "item 1";
            EXPECT_TRUE(anyPixel(framed, legend, background, qRgb(0x00, 0xFF, 0xFF))) << "item 2";
        } else {
            // A name beside signal 1's and signal 3's lanes (of 16, top first), none beside 2's.
            const auto lane = [&](int s) {
                const int middle = graph.top() + graph.height() * (4 + 8 * s) / 128;
                return QRect(0, middle - 2, graph.left() - 2, 5);
            };
            EXPECT_TRUE(anyPixel(framed, lane(0), background)) << "signal 1";
            EXPECT_FALSE(anyPixel(framed, lane(1), background)) << "signal 2 is not used";
            EXPECT_TRUE(anyPixel(framed, lane(2), background)) << "signal 3";
        }
    }

    // A picture too small for its frame is refused; the bare graph still fits.
    const std::string csv = folder.file("data.csv");
    const CliRun tiny = runCli({"plot", csv, "--out", folder.file("tiny.png"), "--size", "60x40",
                                "--system", folder.system()});
    EXPECT_EQ(tiny.exitCode, 2) << tiny.describe();
    const CliRun tinyBare = runCli({"plot", csv, "--out", folder.file("tiny.png"), "--size",
                                    "60x40", "--bare", "--system", folder.system()});
    EXPECT_EQ(tinyBare.exitCode, 0) << tinyBare.describe();
}

}  // namespace
}  // namespace kestiva
