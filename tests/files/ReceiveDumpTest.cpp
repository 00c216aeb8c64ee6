#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "FilesTestSupport.h"
#include "files/ReceiveDump.h"
#include "support/RecordingWindow.h"

namespace kestiva {
namespace {

using testing::KeyCatalogue;
using testing::readBytes;
using testing::RecordingWindow;
using testing::ScratchFolder;

ControllerRecord recordWithRange(uint8_t length) {
    ControllerRecord record;
    record.name = "CTL";
    record.rangeLength1 = length;
    return record;
}

// The expected text: lineLength entries per line, the last line shorter.
std::string expectedDump(const std::vector<uint8_t>& bytes, std::size_t lineLength) {
    std::string text;
    char entry[8];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(entry, sizeof entry, "0x%02X,", bytes[i]);
        text += entry;
        if ((i + 1) % lineLength == 0 || i + 1 == bytes.size())
            text += "\r\n";
    }
    return text;
}

std::vector<std::string> filesIn(const ScratchFolder& scratch) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(scratch.folder()))
        names.push_back(entry.path().filename().string());
    return names;
}

class ReceiveDumpTest : public ::testing::Test {
protected:
    KeyCatalogue texts;
    RecordingWindow window;
    ScratchFolder scratch;
    const std::time_t now = 1706688900;
};

TEST_F(ReceiveDumpTest, LinesFollowTheShownRecordsRangeAndTheRestEndsTheFile) {
    struct Case {
        uint8_t rangeLength;
        std::size_t lineLength;
        std::size_t bytes;
    };
    const Case cases[] = {{6, 11, 30}, {6, 11, 33}, {0, 16, 40}, {250, 255, 600}, {6, 11, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        std::vector<uint8_t> capture(c.bytes);
        std::iota(capture.begin(), capture.end(), uint8_t(0xF0));
        RecordingWindow w;
        ASSERT_EQ(writeReceiveDump(capture.data(), capture.size(), recordWithRange(c.rangeLength),
                                   scratch.folder(), w, texts.get(), now),
                  DumpResult::Written);
        const std::string path = scratch.folder() + receiveDumpFileName(now);
        const std::string text = readBytes(path);
        EXPECT_EQ(text, expectedDump(capture, c.lineLength));
        if (c.rangeLength == 6 && c.bytes >= 11) {
            EXPECT_EQ(text.find("\r\n"), 55u);
        }
        ASSERT_EQ(w.messages().size(), 1u);
        EXPECT_EQ(w.messages()[0].caption, "MSG_ALARM_TITLE");
        EXPECT_EQ(w.messages()[0].text, "Dump File Complete.\n\n" + path);
        EXPECT_EQ(w.messages()[0].icon, MessageIcon::Information);
        std::filesystem::remove(path);  // the next dump of this second needs the name
    }
}

#ifndef _WIN32  // links and FIFOs as POSIX has them
// The dump only ever creates a file: whatever holds its name already is left alone, never
// followed, opened or truncated, and the dump ends as one that could not create its file.
TEST_F(ReceiveDumpTest, AnExistingNameIsNeverWrittenThrough) {
    namespace fs = std::filesystem;
    const std::string path = scratch.folder() + receiveDumpFileName(now);
    const std::string elsewhere = scratch.file("elsewhere.txt");
    const std::string kept = "an earlier dump\r\n";
    struct Case {
        const char* what;
        std::function<void()> make;
    };
    const Case cases[] = {
        {"a file", [&] { testing::writeBytes(path, kept); }},
        {"a link to a file", [&] { fs::create_symlink(elsewhere, path); }},
        {"a link to nothing", [&] { fs::create_symlink(scratch.file("nothing.txt"), path); }},
        {"a link to a device", [&] { fs::create_symlink("/dev/null", path); }},
        {"a FIFO", [&] { ASSERT_EQ(::mkfifo(path.c_str(), 0666), 0); }},
    };
    const uint8_t capture[] = {0x01, 0x03, 0x02, 0x12, 0x34, 0xB5, 0x33};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::writeBytes(elsewhere, kept);
        c.make();
        // A reader on the FIFO, so that opening it for writing would not wait for one.
        const int reader = fs::is_fifo(fs::symlink_status(path))
                               ? ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)
                               : -1;
        RecordingWindow w;
        EXPECT_EQ(writeReceiveDump(capture, sizeof capture, recordWithRange(2), scratch.folder(), w,
                                   texts.get(), now),
                  DumpResult::NotCreated);
        EXPECT_TRUE(w.messages().empty());
        EXPECT_EQ(readBytes(elsewhere), kept);
        EXPECT_FALSE(fs::exists(scratch.file("nothing.txt")));
        if (fs::is_regular_file(fs::symlink_status(path))) {
            EXPECT_EQ(readBytes(path), kept);
        }
        if (reader >= 0) {
            char byte;
            EXPECT_LE(::read(reader, &byte, 1), 0) << "bytes went into the FIFO";
            ::close(reader);
        }
        fs::remove(path);
    }
}
#endif

TEST_F(ReceiveDumpTest, TheFileIsNamedByTheSecondOfTheDump) {
    const std::string name = receiveDumpFileName(now);
    ASSERT_EQ(name.size(), 14 + std::string("_receive_buffer.log").size());
    EXPECT_EQ(name.find_first_not_of("0123456789"), 14u);
    EXPECT_EQ(name.substr(14), "_receive_buffer.log");
    EXPECT_EQ(name.substr(0, 3), "202");
    EXPECT_NE(receiveDumpFileName(now + 1), name);
}

TEST_F(ReceiveDumpTest, NothingHappensWithoutReceivedBytesOrAFolder) {
    const uint8_t byte = 0x11;
    EXPECT_EQ(
        writeReceiveDump(&byte, 0, recordWithRange(6), scratch.folder(), window, texts.get(), now),
        DumpResult::NothingReceived);
    EXPECT_TRUE(filesIn(scratch).empty());
    EXPECT_EQ(writeReceiveDump(&byte, 1, recordWithRange(6), scratch.folder() + "missing/", window,
                               texts.get(), now),
              DumpResult::NotCreated);
    EXPECT_TRUE(window.messages().empty());
}

TEST_F(ReceiveDumpTest, AtMostTheCaptureBuffersSizeIsWritten) {
    std::vector<uint8_t> capture(kDumpByteLimit + 100, 0xAB);
    ASSERT_EQ(writeReceiveDump(capture.data(), capture.size(), recordWithRange(0), scratch.folder(),
                               window, texts.get(), now),
              DumpResult::Written);
    const std::string text = readBytes(scratch.folder() + receiveDumpFileName(now));
    EXPECT_EQ(text.size(), kDumpByteLimit * 5 + kDumpByteLimit / 16 * 2);
    EXPECT_EQ(text.substr(0, 7), "0xAB,0x");
}

#ifndef _WIN32  // a full disk from a tmpfs or a file size limit
// A dump that cannot be written whole leaves no file behind: a part of it would pass for the
// whole recording.
TEST_F(ReceiveDumpTest, AFailedWriteEndsTheDumpWithoutAMessageOrAFile) {
    std::vector<uint8_t> capture(100000, 0x5A);
    const auto dumpInto = [&](const std::string& folder) {
        EXPECT_EQ(writeReceiveDump(capture.data(), capture.size(), recordWithRange(6), folder,
                                   window, texts.get(), now),
                  DumpResult::WriteFailed);
        EXPECT_TRUE(window.messages().empty());
        EXPECT_FALSE(std::filesystem::exists(folder + receiveDumpFileName(now))) << folder;
    };
    {
        testing::FileSizeCap cap(4096);
        dumpInto(scratch.folder());
    }
    testing::SmallDisk disk(64 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << "a full disk needs root to mount a small tmpfs";
    dumpInto(disk.folder());
}
#endif

}  // namespace
}  // namespace kestiva
