// Malformed files, made by mutating good ones at random (with a fixed seed, or the one that
// KESTIVA_FUZZ_SEED gives), never crash, hang or read outside a buffer. A refused file leaves the
// page as it was; an accepted one is written and read again to the same bytes.

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "FilesTestSupport.h"
#include "files/CsvFile.h"
#include "support/FuzzSeed.h"
#include "support/RecordingWindow.h"

namespace kestiva {
namespace {

using testing::KeyCatalogue;
using testing::readBytes;
using testing::RecordingWindow;
using testing::ScratchFolder;
using testing::writeBytes;

class Mutator {
public:
    explicit Mutator(uint32_t seed) : random_(seed) {}

    std::string mutate(std::string text) {
        const int edits = 1 + pick(4);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = text.empty() ? 0 : pick(int(text.size()));
            switch (pick(9)) {
                case 0:  // replace a byte by one that matters to the format
                case 1:
                    if (!text.empty())
                        text[at] = interesting();
                    break;
                case 2:  // insert one
                    text.insert(text.begin() + long(at), interesting());
                    break;
                case 3:  // delete a run
                    text.erase(at, 1 + pick(40));
                    break;
                case 4:  // duplicate a run
                    text.insert(at, text.substr(at, 1 + pick(200)));
                    break;
                case 5:  // cut the file
                    text.resize(at);
                    break;
                case 6:  // a field longer than the field cap
                    text.insert(at, std::string(kCsvFieldCap + pick(100), char('0' + pick(10))));
                    break;
                case 7:  // a random byte
                    if (!text.empty())
                        text[at] = char(pick(256));
                    break;
                default:  // a line break of another kind
                    text.insert(at, pick(2) ? "\r" : "\n");
                    break;
            }
        }
        return text;
    }

private:
    int pick(int below) { return int(random_() % uint32_t(below)); }
    char interesting() {
        static constexpr char kBytes[] = {',', '\r', '\n', '\0', '-', '.',        '+',       '0',
                                          '1', '9',  'a',  ' ',  '2', char(0xFF), char(0xC3)};
        return kBytes[pick(int(sizeof kBytes))];
    }
    std::mt19937 random_;
};

// What a refused read must leave alone.
struct Snapshot {
    uint32_t count;
    uint16_t cycle, time;
    EndMarker endMarker;
    std::string date, firstTexts, names;
    explicit Snapshot(const PageRecording& p)
        : count(p.sampleCount),
          cycle(p.cycle),
          time(p.time),
          endMarker(p.endMarker),
          date(p.startDate) {
        for (int c = 0; c < p.texts.columns(); ++c)
            firstTexts += std::string(p.texts.cell(0, c)) + ",";
        for (const DataItem& item : p.active.items)
            names += item.name + "/" + std::to_string(item.enabled) + ",";
    }
    bool operator==(const Snapshot&) const = default;
};

TEST(CsvFuzz, MutatedFilesAreReadSafely) {
    KeyCatalogue texts;
    // Memory-backed where there is such a folder: every accepted file is saved twice, and a
    // save syncs to the disk.
    ScratchFolder scratch(std::filesystem::is_directory("/dev/shm")
                              ? std::filesystem::path("/dev/shm")
                              : std::filesystem::temp_directory_path());
    SessionState session;
    PageRecording pages[2] = {PageRecording(kDataMonitor), PageRecording(kIoMonitor)};
    // Two seeds per monitor: one with items or signals disabled, one with all in use.
    std::vector<std::string> seeds[2];
    for (bool all : {false, true}) {
        testing::fillDataRecording(pages[kDataMonitor], 12, /*thirdEnabled=*/all);
        testing::fillIoRecording(pages[kIoMonitor], 12, /*allEnabled=*/all);
        for (int kind : {kDataMonitor, kIoMonitor}) {
            RecordingWindow w;
            const std::string path = scratch.file("seed.csv");
            ASSERT_EQ(writeCsv(path, pages[kind], session, w, w, texts.get()), 0);
            seeds[kind].push_back(readBytes(path));
        }
    }

    const uint32_t seed = test::fuzzSeed(20240131);
    SCOPED_TRACE("seed " + std::to_string(seed));
    Mutator mutator(seed);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
    int tried = 0, accepted = 0;
    const std::string path = scratch.file("fuzz.csv");
    const std::string again = scratch.file("again.csv");
    for (; tried < 20000 && std::chrono::steady_clock::now() < deadline; ++tried) {
        const MonitorKind kind = MonitorKind(tried % 2);
        // Now and then a file of the other monitor, which must be refused at once.
        const std::string input =
            mutator.mutate(seeds[tried % 7 == 0 ? 1 - kind : kind][(tried / 2) % 2]);
        writeBytes(path, input);
        PageRecording& page = pages[kind];
        const Snapshot before(page);
        RecordingWindow w;
        CsvReader reader(w, w, texts.get());
        ASSERT_EQ(reader.openCsv(path, kind), 0);
        const int result = reader.readRecording(page, session);
        reader.closeCsv();
        std::string written;
        if (result != 0) {
            ASSERT_EQ(result, -1);
            ASSERT_EQ(w.messages().size(), 1u) << input;
            ASSERT_TRUE(Snapshot(page) == before) << input;
        } else {
            ++accepted;
            ASSERT_TRUE(w.messages().empty()) << input;
            ASSERT_GE(page.sampleCount, 1u);
            ASSERT_LE(page.sampleCount, kMaxSamples);
            ASSERT_EQ(page.endMarker, EndMarker::FromCsv);
            RecordingWindow w2;
            ASSERT_EQ(writeCsv(again, page, session, w2, w2, texts.get()), 0);
            written = readBytes(again);
        }

        // Read through a buffer of a few bytes, every field and line break lands on the
        // buffer's end somewhere: the outcome must not change.
        RecordingWindow w3;
        CsvReader pieces(w3, w3, texts.get());
        pieces.setBufferLimit(1 + tried % 61);
        ASSERT_EQ(pieces.openCsv(path, kind), 0);
        ASSERT_EQ(pieces.readRecording(page, session), result) << input;
        pieces.closeCsv();
        if (result != 0) {
            ASSERT_EQ(w3.messages().size(), 1u);
            ASSERT_EQ(w3.messages()[0].text, w.messages()[0].text) << input;
            continue;
        }
        RecordingWindow w4;
        ASSERT_EQ(writeCsv(again, page, session, w4, w4, texts.get()), 0);
        ASSERT_TRUE(testing::sameBytes(readBytes(again), written)) << input;

        // Whatever was accepted is written, and reads back to the same file (checked for
        // every third accepted file: each read of a short file empties the page's full table).
        if (accepted % 3 != 0)
            continue;
        CsvReader reader2(w4, w4, texts.get());
        ASSERT_EQ(reader2.openCsv(again, kind), 0);
        ASSERT_EQ(reader2.readRecording(page, session), 0) << input;
        reader2.closeCsv();
        ASSERT_EQ(writeCsv(again, page, session, w4, w4, texts.get()), 0);
        ASSERT_TRUE(testing::sameBytes(readBytes(again), written)) << input;
    }
    RecordProperty("seed", std::to_string(seed));
    RecordProperty("inputs", tried);
    RecordProperty("accepted", accepted);
    std::printf("%d mutated files read (seed %u), %d accepted\n", tried, unsigned(seed), accepted);
    // The mutations must exercise both outcomes to be worth anything.
    EXPECT_GT(accepted, 0);
    EXPECT_LT(accepted, tried);
}

}  // namespace
}  // namespace kestiva
