// The journal's file format and keeping, in-process on real files: a header carries every
// field of a controller record through a file; a zero-length, foreign, cut or damaged file is
// refused for its reason; an end record counts only when it closes exactly the frames before
// it; journal files take new names only, keep their bytes and are found in folders of any
// name; and pruning keeps 7 days and a size limit, the oldest going first.

#include "files/Journal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "files/FilesTestSupport.h"
#include "settings/FileCalls.h"

namespace kestiva {
namespace {

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

JournalHeader ioHeader() {
    JournalHeader h;
    h.monitor = kIoMonitor;
    h.cycle = 50;
    h.time = 600;
    h.startTime = 1796673095;
    h.startDate = "2026/12/07 19:51";
    h.bitRate = 115200;
    h.programVersion = "Version 1.0";
    ControllerRecord& c = h.controller;
    c.name = "Gripper – I/O";  // not only ASCII
    c.rangeAddress1 = 0x2000;
    c.rangeLength1 = 4;
    c.rangeAddress2 = 0x2100;
    c.rangeLength2 = 2;
    c.rangeAbsent2 = 1;
    for (int i = 0; i < kItemsPerController; ++i) {
        DataItem& item = c.items[std::size_t(i)];
        item.name = i % 3 ? "Signal " + std::to_string(i) : "";
        item.address = uint16_t(0x2000 + i);
        item.typeCode = i % 8;
        item.typeName = "TYPE" + std::to_string(i);
        item.scale = 0.1 * i - 0.05;
        item.scaleText = std::to_string(item.scale);
        item.unit = i % 2 ? "mm/s" : "";
        item.bit = uint8_t(15 - i);
        item.enabled = item.name.empty() ? 0 : 1;
    }
    return h;
}

void expectSameController(const ControllerRecord& a, const ControllerRecord& b) {
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.rangeAddress1, b.rangeAddress1);
    EXPECT_EQ(a.rangeLength1, b.rangeLength1);
    EXPECT_EQ(a.rangeAddress2, b.rangeAddress2);
    EXPECT_EQ(a.rangeLength2, b.rangeLength2);
    EXPECT_EQ(a.rangeAbsent1, b.rangeAbsent1);
    EXPECT_EQ(a.rangeAbsent2, b.rangeAbsent2);
    for (std::size_t i = 0; i < a.items.size(); ++i) {
        const DataItem &x = a.items[i], &y = b.items[i];
        EXPECT_EQ(x.name, y.name) << i;
        EXPECT_EQ(x.address, y.address) << i;
        EXPECT_EQ(x.typeCode, y.typeCode) << i;
        EXPECT_EQ(x.typeName, y.typeName) << i;
        EXPECT_EQ(x.scale, y.scale) << i;
        EXPECT_EQ(x.scaleText, y.scaleText) << i;
        EXPECT_EQ(x.unit, y.unit) << i;
        EXPECT_EQ(x.bit, y.bit) << i;
        EXPECT_EQ(x.enabled, y.enabled) << i;
    }
}

TEST(JournalTest, AJournalCarriesItsHeaderFramesAndEndThroughAFile) {
    testing::ScratchFolder scratch;
    const JournalHeader written = ioHeader();
    const std::string header = encodeJournalHeader(written);
    const std::string frames(333, '\x5A');
    const std::string path = scratch.file("a.kjournal");

    struct Case {
        const char* name;
        std::string bytes;
        bool ended;
        uint64_t frameBytes;
    };
    const Case cases[] = {
        {"with its end", header + frames + encodeJournalEnd({1, 330}, 333), true, 333},
        {"without an end", header + frames, false, 333},
        {"no frames yet", header, false, 0},
        // An end record that closes another count of frames is bytes of a frame, not an end.
        {"an end for other frames", header + frames + encodeJournalEnd({1, 330}, 332), false,
         333 + kJournalEndBytes},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(path, c.bytes);
        JournalContents read;
        ASSERT_EQ(readJournal(path, true, read), JournalFault::None);
        EXPECT_EQ(read.header.monitor, kIoMonitor);
        EXPECT_EQ(read.header.cycle, 50);
        EXPECT_EQ(read.header.time, 600);
        EXPECT_EQ(read.header.startTime, written.startTime);
        EXPECT_EQ(read.header.startDate, written.startDate);
        EXPECT_EQ(read.header.bitRate, 115200);
        EXPECT_EQ(read.header.programVersion, written.programVersion);
        expectSameController(read.header.controller, written.controller);
        EXPECT_EQ(read.end.has_value(), c.ended);
        if (c.ended) {
            EXPECT_EQ(read.end->endState, 1);
            EXPECT_EQ(read.end->goodBytes, 330u);
        }
        EXPECT_EQ(read.frameBytes, c.frameBytes);
        EXPECT_EQ(read.frames, c.bytes.substr(header.size(), c.frameBytes));
    }
}

TEST(JournalTest, EmptyForeignCutAndDamagedFilesAreRefusedForTheirReason) {
    testing::ScratchFolder scratch;
    const std::string header = encodeJournalHeader(ioHeader());
    const std::string path = scratch.file("bad.kjournal");
    const auto faultOf = [&](const std::string& bytes) {
        writeBytes(path, bytes);
        JournalContents contents;
        return readJournal(path, true, contents);
    };
    EXPECT_EQ(faultOf(""), JournalFault::Empty);
    EXPECT_EQ(faultOf("20261207 19:51,V100,data\r\n20,1\r\n"), JournalFault::Foreign);
    EXPECT_EQ(faultOf(std::string(4096, '\0')), JournalFault::Foreign);
    std::string flipped = header;
    flipped[header.size() / 2] ^= 1;
    EXPECT_EQ(faultOf(flipped), JournalFault::Damaged);
    JournalContents none;
    EXPECT_EQ(readJournal(scratch.file("missing.kjournal"), false, none),
              JournalFault::Unreadable);

    // The loops parse in memory what readJournal reads from the file.
    const auto headerFault = [](std::string_view bytes) {
        JournalHeader parsed;
        return parseJournalHeader(bytes, parsed);
    };
    EXPECT_EQ(faultOf(header.substr(0, 20)), JournalFault::Truncated);
    // Cut anywhere inside its header: cut short.
    for (std::size_t cut = 1; cut < header.size(); ++cut)
        EXPECT_EQ(headerFault(std::string_view(header).substr(0, cut)), JournalFault::Truncated)
            << "cut at " << cut;

    // Every byte of the header damaged in turn: never taken for a good header.
    for (std::size_t at = 0; at < header.size(); ++at) {
        std::string damaged = header + std::string(63, '\x11');
        damaged[at] = char(damaged[at] ^ 0x24);
        const JournalFault fault = headerFault(damaged);
        if (at < 8)
            EXPECT_EQ(fault, JournalFault::Foreign) << "byte " << at;
        else if (at >= 14)
            EXPECT_EQ(fault, JournalFault::Damaged) << "byte " << at;
        else
            EXPECT_NE(fault, JournalFault::None) << "byte " << at;
    }
}

TEST(JournalTest, JournalFilesTakeNewNamesKeepTheirBytesAndAreFoundInAnyFolder) {
    const std::string header = encodeJournalHeader(ioHeader());
    // Line ends, an end-of-file mark and a zero byte: a file opened as text would change them.
    const std::string frames = std::string("\x01\x03\r\n\x1a\n\r\0\xff", 9) + "frames";
    const char* folders[] = {"journals/", "Aufzeichnungen – Größe/日志/"};
    for (const char* sub : folders) {
        SCOPED_TRACE(sub);
        testing::ScratchFolder scratch;
        const std::string folder = scratch.folder() + sub;  // made by the first create
        std::vector<std::string> paths;
        for (int n = 0; n < 3; ++n) {
            JournalFile file;
            std::string error;
            ASSERT_TRUE(file.create(folder, "2026-12-07T19-43-05-io", error)) << error;
            ASSERT_TRUE(file.append(header, error)) << error;
            ASSERT_TRUE(file.append(frames.substr(0, std::size_t(n) * 4), error)) << error;
            ASSERT_TRUE(file.sync(error)) << error;
            paths.push_back(file.path());
        }
        EXPECT_EQ(paths, (std::vector<std::string>{folder + "2026-12-07T19-43-05-io.kjournal",
                                                   folder + "2026-12-07T19-43-05-io-2.kjournal",
                                                   folder + "2026-12-07T19-43-05-io-3.kjournal"}));
        {
            JournalFile whole;
            std::string error;
            ASSERT_TRUE(whole.create(folder, "whole", error)) << error;
            ASSERT_TRUE(whole.append(header + frames, error) && whole.sync(error)) << error;
            paths.push_back(whole.path());
        }
        writeBytes(folder + "notes.txt", "not a journal");

        JournalContents read;
        ASSERT_EQ(readJournal(paths.back(), true, read), JournalFault::None);
        EXPECT_EQ(read.frames, frames);
        EXPECT_EQ(read.header.controller.name, ioHeader().controller.name);

        std::vector<FoundJournal> found = findJournals(folder);
        std::sort(found.begin(), found.end(),
                  [](const FoundJournal& a, const FoundJournal& b) { return a.bytes < b.bytes; });
        ASSERT_EQ(found.size(), paths.size());
        const std::time_t now = std::time(nullptr);
        for (std::size_t i = 0; i < found.size(); ++i) {
            EXPECT_EQ(found[i].path, paths[i]);
            EXPECT_EQ(found[i].bytes, header.size() + (i < 3 ? i * 4 : frames.size()));
            EXPECT_LE(std::abs(double(now - found[i].modified)), 3600.0) << found[i].path;
        }
        for (const std::string& path : paths)
            EXPECT_TRUE(removeFile(path)) << path;
        EXPECT_TRUE(findJournals(folder).empty());
    }
}

TEST(JournalTest, PruningKeepsSevenDaysAndTheNewestThatFitTheLimit) {
    constexpr std::time_t kNow = 1796673095;
    constexpr std::time_t kDay = 24 * 3600;
    struct File {
        const char* name;
        std::time_t age;  // seconds before now
        std::size_t bytes;
    };
    struct Case {
        const char* name;
        std::vector<File> files;
        uint64_t limit;
        std::vector<std::string> keep;  // names
        std::vector<std::string> removed;
    };
    const Case cases[] = {
        {"older than 7 days",
         {{"a.kjournal", kDay, 10}, {"b.kjournal", 8 * kDay, 10}, {"c.kjournal", 6 * kDay, 10}},
         1000, {}, {"b.kjournal"}},
        {"over the limit, oldest first",
         {{"a.kjournal", 1, 40}, {"b.kjournal", 2, 40}, {"c.kjournal", 3, 40}, {"d.kjournal", 4, 40}},
         100, {}, {"c.kjournal", "d.kjournal"}},
        {"a small old one goes once a newer one did not fit",
         {{"a.kjournal", 1, 60}, {"b.kjournal", 2, 10}, {"c.kjournal", 3, 1}},
         65, {}, {"b.kjournal", "c.kjournal"}},
        {"kept journals neither go nor count",
         {{"a.kjournal", 9 * kDay, 500}, {"b.kjournal", 2, 40}, {"c.kjournal", 3, 40}},
         100, {"a.kjournal"}, {}},
        {"other files are left alone",
         {{"a.csv", 30 * kDay, 5000}, {"b.kjournal.tmp", 30 * kDay, 5}, {"c.kjournal", 1, 5}},
         10, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::ScratchFolder scratch;
        for (const File& f : c.files) {
            writeBytes(scratch.file(f.name), std::string(f.bytes, 'j'));
            std::error_code ec;
            std::filesystem::last_write_time(
                scratch.file(f.name),
                std::chrono::file_clock::from_sys(
                    std::chrono::system_clock::from_time_t(kNow - f.age)),
                ec);
            ASSERT_FALSE(ec) << ec.message();
        }
        std::vector<std::string> keep;
        for (const std::string& name : c.keep)
            keep.push_back(scratch.file(name));
        JournalRetention retention;
        retention.maxTotalBytes = c.limit;
        EXPECT_EQ(pruneJournals(scratch.folder(), kNow, retention, keep), int(c.removed.size()));
        for (const File& f : c.files) {
            const bool gone = std::find(c.removed.begin(), c.removed.end(), f.name) != c.removed.end();
            EXPECT_EQ(std::filesystem::exists(scratch.file(f.name)), !gone) << f.name;
        }
    }
}

}  // namespace
}  // namespace kestiva
