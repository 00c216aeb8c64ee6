#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "FilesTestSupport.h"
#include "files/CsvFile.h"
#include "support/RecordingWindow.h"

namespace kestiva {
namespace {

using testing::KeyCatalogue;
using testing::readBytes;
using testing::RecordingWindow;
using testing::ScratchFolder;
using testing::writeBytes;

const std::string kDataHeader =
    "20240131 08:15,V100,data\r\n"
    "20,10\r\n"
    ",DWORD,UWORD,LSB\r\n"
    "1,0.01,0.1,1\r\n"
    "ms,mm,A,-\r\n"
    "Time[ms],Position,Current,Alarm\r\n";
const std::string kDataRows =
    "0,-5,7,1\r\n"
    "20,-6,8,0\r\n"
    "40,-7,9,-1\r\n";

std::string ioHeader(const std::string& cycleAndTime = "30,1") {
    std::string names = "Time[ms]";
    for (int k = 1; k <= 16; ++k)
        names += k == 3 ? "," : ",S" + std::to_string(k);
    return "2024/01/31 08:15,V100,IO\r\n" + cycleAndTime + "\r\n1" + std::string(16, ',') +
           "\r\nms" + std::string(16, ',') + "\r\n" + names + "\r\n";
}
std::string ioRow(int time, const std::string& third = "", const std::string& first = "1") {
    std::string row = std::to_string(time) + "," + first + ",0," + third;
    for (int k = 4; k <= 16; ++k)
        row += k % 2 ? ",1" : ",0";
    return row + "\r\n";
}

class CsvReaderTest : public testing::SharedPagesTest {
protected:

    PageRecording& page(MonitorKind kind) { return kind == kDataMonitor ? *dataPage : *ioPage; }

    // Opens path for kind's page and reads it; the result of the whole read.
    int read(const std::string& bytes, MonitorKind kind, RecordingWindow& w) {
        const std::string path = scratch.file("in.csv");
        writeBytes(path, bytes);
        CsvReader reader(w, w, texts.get());
        if (reader.openCsv(path, kind) != 0)
            return -2;
        return reader.readRecording(page(kind), session);
    }
    std::string write(MonitorKind kind, const std::string& name) {
        const std::string path = scratch.file(name);
        RecordingWindow w;
        SessionState s;
        EXPECT_EQ(writeCsv(path, page(kind), s, w, w, texts.get()), 0);
        return readBytes(path);
    }

    KeyCatalogue texts;
    RecordingWindow window;
    SessionState session;
    ScratchFolder scratch;
};

TEST_F(CsvReaderTest, CompleteDataRecordingRoundTrips) {
    // Long enough for the staged texts to be taken over whole rather than copied.
    constexpr uint32_t kRows = 50001;
    testing::fillDataRecording(*dataPage, kRows);
    const std::string first = write(kDataMonitor, "first.csv");
    const PageRecording& p = *dataPage;
    const std::vector<int32_t> raw(p.rawData.begin(), p.rawData.begin() + kRows * 3);
    // Spoil what the read must replace.
    dataPage->texts.clear();
    std::fill(dataPage->rawData.begin(), dataPage->rawData.end(), 12345);
    dataPage->active.items[1] = DataItem{};
    dataPage->cycle = dataPage->time = 0;
    dataPage->startDate.clear();
    session.setPhase(ProgressPhase::CsvRead);

    ASSERT_EQ(read(first, kDataMonitor, window), 0);
    EXPECT_TRUE(window.messages().empty());
    EXPECT_EQ(p.sampleCount, kRows);
    EXPECT_EQ(p.cycle, 20);
    EXPECT_EQ(p.time, 1000);
    EXPECT_EQ(p.endMarker, EndMarker::FromCsv);
    EXPECT_EQ(p.startDate, "20240131 08:15");
    EXPECT_EQ(std::vector<int32_t>(p.rawData.begin(), p.rawData.begin() + kRows * 3), raw);
    const DataItem& current = p.active.items[1];
    EXPECT_EQ(current.enabled, 1);
    EXPECT_EQ(current.name, "Current");
    EXPECT_EQ(current.typeCode, 3);
    EXPECT_EQ(current.typeName, "UWORD");
    EXPECT_DOUBLE_EQ(current.scale, 0.1);
    EXPECT_EQ(current.scaleText, "0.1");
    EXPECT_EQ(current.unit, "A");
    // The conversion counted K + 2N steps, pumping after each, in phase 5.
    EXPECT_EQ(session.phase(), ProgressPhase::CsvReadConversion);
    EXPECT_EQ(session.progressTotal.load(), 3 + 2 * kRows);
    EXPECT_EQ(session.progressCount.load(), 3 + 2 * kRows);
    EXPECT_EQ(window.pumps(), 3 + 2 * kRows);
    EXPECT_TRUE(window.called("showProgress"));

    EXPECT_TRUE(testing::sameBytes(write(kDataMonitor, "second.csv"), first));
}

TEST_F(CsvReaderTest, CompleteIoRecordingRoundTripsWithItsDisabledSignals) {
    testing::fillIoRecording(*ioPage, 334);  // 30 ms: 10 s
    const std::string first = write(kIoMonitor, "first.csv");
    const std::vector<uint8_t> raw(ioPage->rawIo.begin(), ioPage->rawIo.begin() + 334 * 16);
    ioPage->texts.clear();
    std::fill(ioPage->rawIo.begin(), ioPage->rawIo.end(), 7);
    ioPage->active.items[0] = DataItem{};
    ioPage->active.items[2].enabled = 1;
    ASSERT_EQ(read(first, kIoMonitor, window), 0);
    EXPECT_EQ(ioPage->sampleCount, 334u);
    EXPECT_EQ(ioPage->time, 10);
    EXPECT_EQ(std::vector<uint8_t>(ioPage->rawIo.begin(), ioPage->rawIo.begin() + 334 * 16), raw);
    EXPECT_EQ(ioPage->active.items[0].name, "Signal1");
    EXPECT_EQ(ioPage->active.items[2].enabled, 0);
    EXPECT_EQ(session.progressCount.load(), 16 + 2 * 334);
    EXPECT_TRUE(testing::sameBytes(write(kIoMonitor, "second.csv"), first));
}

TEST_F(CsvReaderTest, FullIoRecordingRoundTrips) {
    testing::fillIoRecording(*ioPage, 3001, /*allEnabled=*/true);
    const std::string first = write(kIoMonitor, "first.csv");
    const std::vector<uint8_t> raw(ioPage->rawIo.begin(), ioPage->rawIo.begin() + 3001 * 16);
    ioPage->texts.clear();
    std::fill(ioPage->rawIo.begin(), ioPage->rawIo.end(), 7);
    ASSERT_EQ(read(first, kIoMonitor, window), 0);
    EXPECT_EQ(ioPage->sampleCount, 3001u);
    EXPECT_EQ(std::vector<uint8_t>(ioPage->rawIo.begin(), ioPage->rawIo.begin() + 3001 * 16), raw);
    EXPECT_TRUE(testing::sameBytes(write(kIoMonitor, "second.csv"), first));
}

// Rows with sixteen single values are read in one go; the same values spread differently over
// the lines must give the same recording.
TEST_F(CsvReaderTest, IoRowsGiveTheSameValuesHoweverTheyAreBroken) {
    std::string names = "Time[ms]";
    for (int k = 1; k <= 16; ++k)
        names += ",S" + std::to_string(k);
    const std::string header = "d,V100,IO\r\n30,0\r\n1" + std::string(16, ',') + "\r\nms" +
                               std::string(16, ',') + "\r\n" + names + "\r\n";
    std::string plain = header, broken = header;
    for (int j = 0; j < 40; ++j) {
        std::string values;
        for (int k = 0; k < 16; ++k)
            values += std::string(k ? "," : "") + char('0' + (j * 7 + k) % 3 % 2);
        plain += std::to_string(j * 30) + "," + values + "\r\n";
        // The same fields with a lone LF inside and a CR that swallows a comma.
        std::string odd = values;
        odd[5] = '\n';
        odd.replace(11, 1, "\r,");
        broken += std::to_string(j * 30) + "," + odd + "\r\n";
    }
    ASSERT_EQ(read(plain, kIoMonitor, window), 0);
    const std::vector<uint8_t> expected(ioPage->rawIo.begin(), ioPage->rawIo.begin() + 40 * 16);
    const std::string written = write(kIoMonitor, "plain.csv");
    ASSERT_EQ(read(broken, kIoMonitor, window), 0);
    EXPECT_EQ(std::vector<uint8_t>(ioPage->rawIo.begin(), ioPage->rawIo.begin() + 40 * 16),
              expected);
    EXPECT_TRUE(testing::sameBytes(write(kIoMonitor, "broken.csv"), written));
    // A "2" inside an otherwise plain row is still refused.
    RecordingWindow w;
    std::string bad = plain;
    bad[bad.rfind("1170,") + 5 + 2 * 4] = '2';  // the fifth value of the last row
    EXPECT_EQ(read(bad, kIoMonitor, w), -1);
    ASSERT_EQ(w.messages().size(), 1u);
    EXPECT_EQ(w.messages()[0].text, "MSG_CSV_INVALIDDATA");
}

TEST_F(CsvReaderTest, ADisabledDataItemReadsBackDisabled) {
    testing::fillDataRecording(*dataPage, 10, /*thirdEnabled=*/false);
    const std::string first = write(kDataMonitor, "first.csv");
    dataPage->active.items[2] = testing::dataItem("Stale", "WORD", 2, "1", 1.0, "x");
    ASSERT_EQ(read(first, kDataMonitor, window), 0);
    EXPECT_EQ(dataPage->active.items[2].enabled, 0);
    EXPECT_EQ(dataPage->dataValue(3, 2), 0);
    EXPECT_TRUE(testing::sameBytes(write(kDataMonitor, "second.csv"), first));
}

TEST_F(CsvReaderTest, AStoppedRecordingIsSavedAgainWithItsRecomputedTime) {
    testing::fillDataRecording(*dataPage, 101);
    dataPage->time = 10;  // stopped after 2 of 10 seconds
    const std::string first = write(kDataMonitor, "first.csv");
    ASSERT_EQ(read(first, kDataMonitor, window), 0);
    EXPECT_EQ(dataPage->time, 2);
    std::string expected = first;
    expected.replace(expected.find("20,10\r\n"), 7, "20,2\r\n");
    EXPECT_TRUE(testing::sameBytes(write(kDataMonitor, "second.csv"), expected));
}

struct Refusal {
    const char* what;
    MonitorKind page;
    std::string file;
    const char* message;
};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

// rows data rows of plain values; the row extraFieldRow (if any) ends in one field too many.
std::string longDataFile(int rows, int extraFieldRow = -1) {
    std::string file = kDataHeader;
    for (int j = 0; j < rows; ++j)
        file += std::to_string(j * 20) + ",1234,-56,7" + (j == extraFieldRow ? ",\r\n" : "\r\n");
    return file;
}

TEST_F(CsvReaderTest, EveryRefusalShowsItsMessageAndKeepsThePreviousRecording) {
    const std::string data = kDataHeader + kDataRows;
    const std::string io = ioHeader() + ioRow(0) + ioRow(30);
    const char* kType = "MSG_CSV_MONITORTYPE_DIFFERENCE";
    const char* kCycle = "MSG_CSV_SAMPLINGCYCLE_FAILED";
    const char* kTime = "MSG_CSV_SAMPLINGTIME_FAILED";
    const char* kNoData = "MSG_CSV_NOVALIDDATA";
    const char* kInvalid = "MSG_CSV_INVALIDDATA";
    const Refusal refusals[] = {
        {"I/O file on the data page", kDataMonitor, io, kType},
        {"data file on the I/O page", kIoMonitor, data, kType},
        {"type case differs", kDataMonitor, replaced(data, "data\r\n", "Data\r\n"), kType},
        {"line 1 of two fields", kDataMonitor, replaced(data, ",data\r\n", "\r\n"), kType},
        {"empty file", kDataMonitor, "", kType},
        {"no line break at all", kDataMonitor, "20240131,V100,data", kType},
        // Header checks come in their order: a bad type wins over a bad cycle.
        {"type before cycle", kDataMonitor,
         replaced(replaced(data, "20,10", "0,10"), "data\r", "IO\r"), kType},
        {"cycle 0", kDataMonitor, replaced(data, "20,10", "0,10"), kCycle},
        {"cycle of letters", kDataMonitor, replaced(data, "20,10", "abc,10"), kCycle},
        {"cycle 0 in 16 bits", kDataMonitor, replaced(data, "20,10", "65536,10"), kCycle},
        {"cycle beyond 32 bits", kDataMonitor, replaced(data, "20,10", "2147483648,10"), kCycle},
        {"cycle missing", kDataMonitor, replaced(data, "20,10", ""), kCycle},
        {"time beyond 32 bits", kDataMonitor, replaced(data, "20,10", "20,-2147483649"), kTime},
        {"time unreadable", kDataMonitor, "d,V100,data\r\n20,", kTime},
        {"header only", kDataMonitor, kDataHeader, kNoData},
        {"header cut short", kDataMonitor, "d,V100,data\r\n20,10\r\n,WORD\r\n", kNoData},
        {"I/O header only", kIoMonitor, ioHeader(), kNoData},
        {"last row without line break", kDataMonitor, kDataHeader + "0,1,2,3", kNoData},
        {"minus in an unsigned column", kDataMonitor, replaced(data, "20,-6,8", "20,-6,-8"),
         kInvalid},
        {"point in a value", kDataMonitor, replaced(data, "-6,8", "-6.0,8"), kInvalid},
        {"point in a signed value", kDataMonitor, replaced(data, ",9,", ",9.,"), kInvalid},
        {"letter in a value", kDataMonitor, replaced(data, "-6,8", "-6,8a"), kInvalid},
        {"letter in a time", kDataMonitor, replaced(data, "40,", "40ms,"), kInvalid},
        {"blank in a value", kDataMonitor, replaced(data, "-6,8", "-6, 8"), kInvalid},
        {"letter in a scale", kDataMonitor, replaced(data, "0.01", "0.01x"), kInvalid},
        {"scale of zero", kDataMonitor, replaced(data, "0.01", "0.00"), kInvalid},
        {"unknown type name", kDataMonitor, replaced(data, "DWORD", "FLOAT"), kInvalid},
        {"type name in lower case", kDataMonitor, replaced(data, "DWORD", "dword"), kInvalid},
        {"row short of fields at the end", kDataMonitor, replaced(data, "40,-7,9,-1", "40,-7"),
         kInvalid},
        // A field too many would become the next row's time and shift every value after it.
        {"one field too many", kDataMonitor, replaced(data, "20,-6,8,0", "20,-6,8,0,"),
         kInvalid},
        {"one field too many in the last row", kDataMonitor,
         replaced(data, "40,-7,9,-1", "40,-7,9,-1,"), kInvalid},
        {"one field too many deep in a long file", kDataMonitor, longDataFile(5000, 3210),
         kInvalid},
        {"four fields too many", kDataMonitor, replaced(data, "40,-7,9,-1", "40,-7,9,-1,1,2,3,4"),
         kInvalid},
        {"two rows on one line", kDataMonitor, kDataHeader + "0,1,2,3,20,4,5,6\r\n40,7,8,9\r\n",
         kInvalid},
        {"I/O value 2", kIoMonitor, ioHeader() + ioRow(0) + ioRow(30, "", "2"), kInvalid},
        {"I/O value 10", kIoMonitor, ioHeader() + ioRow(0, "", "10"), kInvalid},
        {"I/O empty value of an enabled signal", kIoMonitor, ioHeader() + ioRow(0, "", ""),
         kInvalid},
        {"I/O minus", kIoMonitor, ioHeader() + ioRow(0, "", "-1"), kInvalid},
    };
    // The previous recordings of both pages, as files and as numbers.
    testing::fillDataRecording(*dataPage, 40);
    dataPage->endMarker = EndMarker::CutShort;
    testing::fillIoRecording(*ioPage, 40);
    ioPage->endMarker = EndMarker::Complete;
    const std::string dataBefore = write(kDataMonitor, "data-before.csv");
    const std::string ioBefore = write(kIoMonitor, "io-before.csv");
    const std::vector<int32_t> rawData = dataPage->rawData;
    const std::vector<uint8_t> rawIo = ioPage->rawIo;

    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.what);
        RecordingWindow w;
        EXPECT_EQ(read(r.file, r.page, w), -1);
        ASSERT_EQ(w.messages().size(), 1u);
        EXPECT_EQ(w.messages()[0].caption, "MSG_ALARM_TITLE");
        EXPECT_EQ(w.messages()[0].text, r.message);
        EXPECT_EQ(w.messages()[0].icon, MessageIcon::Error);
    }
    EXPECT_TRUE(testing::sameBytes(write(kDataMonitor, "data-after.csv"), dataBefore));
    EXPECT_TRUE(testing::sameBytes(write(kIoMonitor, "io-after.csv"), ioBefore));
    EXPECT_EQ(dataPage->rawData, rawData);
    EXPECT_EQ(ioPage->rawIo, rawIo);
    EXPECT_EQ(dataPage->endMarker, EndMarker::CutShort);
    EXPECT_EQ(ioPage->endMarker, EndMarker::Complete);
    EXPECT_EQ(dataPage->active.items[2].name, "Alarm");
}

TEST_F(CsvReaderTest, AFileThatCannotBeOpenedShowsTheFileOpenMessage) {
    std::filesystem::create_directory(scratch.file("folder.csv"));
    for (const std::string& path : {scratch.file("none.csv"), scratch.file("folder.csv")}) {
        RecordingWindow w;
        CsvReader reader(w, w, texts.get());
        EXPECT_EQ(reader.openCsv(path, kDataMonitor), -1);
        ASSERT_EQ(w.messages().size(), 1u);
        EXPECT_EQ(w.messages()[0].caption, "MSG_FILE_OPEN_FAILED_TITLE");
    }
}

// A read call that fails with EIO from byte failAt of the file on, as a failing disk does.
FileBytes::ReadCall failingFrom(std::size_t failAt) {
    return [failAt](int fd, void* buffer, std::size_t size, off_t offset) -> ssize_t {
        if (std::size_t(offset) >= failAt) {
            errno = EIO;
            return -1;
        }
        return readAt(fd, buffer, std::min(size, failAt - std::size_t(offset)), uint64_t(offset));
    };
}

TEST_F(CsvReaderTest, AReadErrorFailsTheReadWhereverItFalls) {
    testing::fillDataRecording(*dataPage, 2000);
    const std::string file = write(kDataMonitor, "whole.csv");
    const std::string path = scratch.file("failing.csv");
    writeBytes(path, file);
    const std::size_t headerEnd = file.find("\r\n0,") + 2;
    struct Case {
        const char* what;
        std::size_t failAt;
        std::size_t bufferLimit;  // 0: the whole file at once
    };
    const Case cases[] = {
        {"in line 1", 10, 0},
        {"in the header", headerEnd - 5, 0},
        {"right after the header", headerEnd, 0},
        {"in the rows", file.size() / 2, 0},
        {"at the last byte", file.size() - 1, 0},
        {"in line 1, read in pieces", 10, 7},
        {"in the rows, read in pieces", file.size() / 2, 4096},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingWindow w;
        CsvReader reader(w, w, texts.get());
        if (c.bufferLimit > 0)
            reader.setBufferLimit(c.bufferLimit);
        reader.setReadCall(failingFrom(c.failAt));
        ASSERT_EQ(reader.openCsv(path, kDataMonitor), 0);
        EXPECT_EQ(reader.readRecording(*dataPage, session), -1);
        ASSERT_EQ(w.messages().size(), 1u);
        EXPECT_EQ(w.messages()[0].caption, "MSG_FILE_OPEN_FAILED_TITLE");
        EXPECT_TRUE(testing::sameBytes(write(kDataMonitor, "after.csv"), file));
    }
}

TEST_F(CsvReaderTest, AcceptedOddities) {
    struct Case {
        const char* what;
        std::string file;
        uint32_t samples;
        uint16_t cycle, time;
        std::vector<int32_t> firstRow;
    };
    const std::string data = kDataHeader + kDataRows;
    const Case cases[] = {
        // A time of 0 is taken, the time being recomputed from the lines anyway.
        {"time 0", replaced(data, "20,10", "20,0"), 3, 20, 1, {-5, 7, 1}},
        {"time of letters", replaced(data, "20,10", "20,x"), 3, 20, 1, {-5, 7, 1}},
        {"cycle with blanks and sign", replaced(data, "20,10", " +20,10"), 3, 20, 1, {-5, 7, 1}},
        // The last line without CR LF is not counted.
        {"no final line break", data + "60,1,2,3", 3, 20, 1, {-5, 7, 1}},
        // A lone LF ends a field, not a line: the row goes on after it.
        {"a row broken by a lone LF",
         kDataHeader + "0,1\n2,3\r\n20,4,5,6\r\n",
         2,
         20,
         1,
         {1, 2, 3}},
        {"signs and a huge value",
         kDataHeader + "0,+5,+7,99999999999\r\n",
         1,
         20,
         0,
         {5, 7, 2147483647}},
        // An empty value of an enabled item converts to 0.
        {"empty values", kDataHeader + "0,,,\r\n20,1,2,3\r\n", 2, 20, 1, {0, 0, 0}},
        // A minus in a disabled unsigned column is never looked at.
        {"disabled item",
         replaced(kDataHeader, "ms,mm,A,-", "ms,mm,,-") + "0,1,-2,3\r\n",
         1,
         20,
         0,
         {1, 0, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingWindow w;
        ASSERT_EQ(read(c.file, kDataMonitor, w), 0);
        EXPECT_TRUE(w.messages().empty());
        EXPECT_EQ(dataPage->sampleCount, c.samples);
        EXPECT_EQ(dataPage->cycle, c.cycle);
        EXPECT_EQ(dataPage->time, c.time);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(dataPage->dataValue(0, k), c.firstRow[k]) << k;
    }
    // The texts are kept as written.
    EXPECT_EQ(dataPage->texts.cell(0, 2), "-2");
    EXPECT_EQ(dataPage->active.items[1].enabled, 0);

    // A scale is read as far as it is a number; its text is kept as written.
    ASSERT_EQ(
        read(replaced(replaced(data, "0.01", "+.5"), ",0.1,", ",2.5.1,"), kDataMonitor, window), 0);
    EXPECT_DOUBLE_EQ(dataPage->active.items[0].scale, 0.5);
    EXPECT_EQ(dataPage->active.items[0].scaleText, "+.5");
    EXPECT_DOUBLE_EQ(dataPage->active.items[1].scale, 2.5);
}

TEST_F(CsvReaderTest, TimeIsRecomputedFromTheLineCount) {
    std::string file = replaced(kDataHeader, "20,10", "20,0");
    for (int j = 0; j < 501; ++j)
        file += std::to_string(j * 20) + ",1,2,3\r\n";
    ASSERT_EQ(read(file, kDataMonitor, window), 0);
    EXPECT_EQ(dataPage->time, 10);
    // One more line starts an eleventh second.
    file += "10020,1,2,3\r\n";
    ASSERT_EQ(read(file, kDataMonitor, window), 0);
    EXPECT_EQ(dataPage->time, 11);
}

TEST_F(CsvReaderTest, ReadsAtMost150001Lines) {
    std::string file = ioHeader();
    for (int j = 0; j < 200000; ++j)
        file += ioRow(j * 30);
    ASSERT_EQ(read(file, kIoMonitor, window), 0);
    EXPECT_EQ(ioPage->sampleCount, kMaxSamples);
    EXPECT_EQ(ioPage->texts.cell(kMaxSamples - 1, 0), std::to_string(150000 * 30));
    EXPECT_EQ(ioPage->time, 4500);
}

// The field primitives, seen through the header reader.
TEST_F(CsvReaderTest, FieldsEndAtCommaCrOrLfButLinesOnlyAtCrLf) {
    struct Case {
        const char* what;
        std::string file;
        int line, field;
        int result;
        std::string text;
    };
    const std::string longField(10000, 'x');
    const Case cases[] = {
        {"second field", "a,b,c\r\n", 1, 2, 0, "b"},
        {"line ends before the field", "a,b\r\nc,d,e\r\n", 1, 3, 0, ""},
        {"second line", "a,b\r\nc,d,e\r\n", 2, 3, 0, "e"},
        {"lone LF ends the field's line", "a,b\nc,d\r\n", 1, 3, 0, ""},
        {"lone LF does not end a line", "a,b\nc,d\r\ne\r\n", 2, 1, 0, "e"},
        {"a CR takes the next byte with it", "a\rb,c\r\n", 1, 2, 0, ""},
        {"CR CR LF ends one line", "a\r\r\nb\r\n", 2, 1, 0, "b"},
        {"CR at the end of the file", "a\r", 1, 1, 0, "a"},
        {"CR then NUL is the end of the file", std::string("a\r\0b,c\r\n", 8), 1, 2, -1, ""},
        {"end without separator", "a,b", 1, 2, -1, ""},
        {"line beyond the file", "a,b\r\n", 3, 1, -1, ""},
        {"field cut at 8192 bytes", longField + ",b\r\n", 1, 1, 0, std::string(8192, 'x')},
        {"field after a long one", longField + ",b\r\n", 1, 2, 0, "b"},
        {"bytes kept verbatim", "20240131 08:15 Üb,V100\r\n", 1, 1, 0, "20240131 08:15 Üb"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = scratch.file("fields.csv");
        writeBytes(path, c.file);
        CsvReader reader(window, window, texts.get());
        ASSERT_EQ(reader.openCsv(path, kDataMonitor), 0);
        std::string text = "junk";
        EXPECT_EQ(reader.readHeaderField(c.line, c.field, text), c.result);
        if (c.result == 0) {
            EXPECT_EQ(text, c.text);
        }
    }
}

TEST_F(CsvReaderTest, CountsOnlyLinesEndingInCrLf) {
    struct Case {
        const char* rows;
        uint32_t count;
    };
    const Case cases[] = {
        {"", 0},
        {"0,1,2,3", 0},
        {"0,1,2,3\r\n", 1},
        {"0,1,2,3\n20,1,2,3\r\n", 1},
        {"0,1,2,3\r20,1,2,3\r\n", 1},
        {"a\r\nb\r\nc", 2},
        {"\r\n\r\n\r\n", 3},
    };
    for (const Case& c : cases) {
        const std::string path = scratch.file("count.csv");
        writeBytes(path, kDataHeader + c.rows);
        CsvReader reader(window, window, texts.get());
        ASSERT_EQ(reader.openCsv(path, kDataMonitor), 0);
        EXPECT_EQ(reader.countDataLines(), c.count) << c.rows;
    }
}

// Rows are taken whole, a word or more at a time, while they lie well inside the read buffer, and
// field by field otherwise: rows on every edge of the first way must read the same both ways.
TEST_F(CsvReaderTest, RowsReadWholeMatchRowsReadFieldByField) {
    struct Case {
        MonitorKind kind;
        std::string row;
        std::vector<int32_t> values;  // data: the three numbers the row must give
    };
    const std::vector<Case> cases = {
        {kDataMonitor, "0,999999999,-999999999,0", {999999999, -999999999, 0}},
        {kDataMonitor, "20,12345678,-1,7", {12345678, -1, 7}},
        {kDataMonitor, "40,1000000000,-2147483648,2147483647", {1000000000, INT32_MIN, INT32_MAX}},
        {kDataMonitor, "60,-0,+5,100000009", {0, 5, 100000009}},
        {kDataMonitor, "80,,000000007,99999999999", {0, 7, INT32_MAX}},
        {kDataMonitor, "123456789012,1-2,-,3", {1, 0, 3}},
        {kDataMonitor, "-100,1\n2,3", {1, 2, 3}},  // a lone LF ends a field
        // The longest row looked at whole, and one byte more.
        {kDataMonitor,
         "1234567890123,-999999999,-999999999,-999999999",
         {-999999999, -999999999, -999999999}},
        {kDataMonitor,
         "12345678901234,-999999999,-999999999,-99999999",
         {-999999999, -999999999, -99999999}},
        {kDataMonitor, "120,4,5,6\r,7,8,9,10", {4, 5, 6}},  // the CR takes the comma along
        {kIoMonitor, "12345678,1,0,,1,0,1,0,1,0,1,0,1,0,1,0,1", {}},
        {kIoMonitor, "123456789012345678,1,0,1,1,0,1,0,1,0,1,0,1,0,1,0,1", {}},
        {kIoMonitor, "-5,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1", {}},
        {kIoMonitor, "7\n1,0,1,1,0,1,0,1,0,1,0,1,0,1,0,1", {}},
    };
    const std::string dataHeader =
        "d,V100,data\r\n20,0\r\n,DWORD,DWORD,DWORD\r\n1,1,1,1\r\n"
        "ms,a,b,c\r\nTime[ms],A,B,C\r\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        const bool data = c.kind == kDataMonitor;
        // Plain rows after the one under test keep it far from the buffer's end.
        std::string file = (data ? dataHeader : ioHeader()) + c.row + "\r\n";
        for (int j = 0; j < 8; ++j)
            file += data ? "1,2,3,4\r\n" : ioRow(j);
        const std::string path = scratch.file("edge.csv");
        writeBytes(path, file);
        PageRecording& p = page(c.kind);
        std::vector<std::string> texts[2];
        std::vector<int32_t> raw[2];
        for (int pass = 0; pass < 2; ++pass) {
            RecordingWindow w;
            CsvReader reader(w, w, this->texts.get());
            if (pass == 1)
                reader.setBufferLimit(7);
            ASSERT_EQ(reader.openCsv(path, c.kind), 0);
            ASSERT_EQ(reader.readRecording(p, session), 0);
            for (uint32_t j = 0; j < p.sampleCount; ++j) {
                for (int k = 0; k < p.texts.columns(); ++k)
                    texts[pass].push_back(std::string(p.texts.cell(j, k)));
                for (int k = 0; k < (data ? 3 : 16); ++k)
                    raw[pass].push_back(data ? p.dataValue(j, k) : p.ioBit(j, k));
            }
        }
        EXPECT_EQ(texts[0], texts[1]);
        EXPECT_EQ(raw[0], raw[1]);
        if (data) {
            EXPECT_EQ(std::vector<int32_t>(raw[0].begin(), raw[0].begin() + 3), c.values);
        }
    }
}

}  // namespace
}  // namespace kestiva
