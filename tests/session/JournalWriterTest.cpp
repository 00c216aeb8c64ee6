// The journal's writer thread on real files, without a controller: it appends exactly the bytes
// published as complete, closes with the end record it is given (never claiming more good bytes
// than it wrote), and a folder it cannot write is a problem reported at once.

#include "session/JournalWriter.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "files/FilesTestSupport.h"

namespace kestiva {
namespace {

JournalHeader dataHeader() {
    JournalHeader header;
    header.monitor = kDataMonitor;
    header.cycle = 20;
    header.time = 5;
    header.startTime = 1796673095;
    header.controller.name = "CTL-A";
    return header;
}

TEST(JournalWriterTest, TheJournalHoldsThePublishedBytesAndTheEndItWasGiven) {
    std::array<uint8_t, 4096> capture{};
    for (std::size_t i = 0; i < capture.size(); ++i)
        capture[i] = uint8_t(i * 37 + 11);

    struct Case {
        const char* name;
        std::vector<uint32_t> published;  // the complete count, step by step
        JournalEnd end;
        uint32_t goodBytes;  // as the journal keeps it
    };
    const Case cases[] = {
        {"nothing recorded", {}, {2, 0}, 0},
        {"in steps", {8, 8, 300, 4096}, {1, 4090}, 4090},
        // The count only grows; a good count beyond what was written is cut to it.
        {"good bytes beyond the written ones", {100}, {3, 250}, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::ScratchFolder scratch;
        std::atomic<uint32_t> complete{0};
        JournalWriter writer(capture.data(), complete);
        std::string problem;
        ASSERT_TRUE(writer.create(scratch.folder(), dataHeader(), 1796673095, problem)) << problem;
        writer.start();
        for (const uint32_t count : c.published)
            complete.store(count, std::memory_order_release);
        writer.finish(c.end);
        EXPECT_EQ(writer.join(), std::nullopt);

        const uint32_t written = c.published.empty() ? 0 : c.published.back();
        EXPECT_EQ(writer.frameBytes(), written);
        JournalContents read;
        ASSERT_EQ(readJournal(writer.path(), true, read), JournalFault::None);
        EXPECT_EQ(read.header.controller.name, "CTL-A");
        EXPECT_EQ(read.frames, std::string(reinterpret_cast<const char*>(capture.data()), written));
        ASSERT_TRUE(read.end.has_value());
        EXPECT_EQ(read.end->endState, c.end.endState);
        EXPECT_EQ(read.end->goodBytes, c.goodBytes);
    }
}

TEST(JournalWriterTest, AFolderThatCannotBeMadeIsAProblemBeforeTheRecording) {
    testing::ScratchFolder scratch;
    testing::writeBytes(scratch.file("taken"), "a file where the folder would be");
    const std::atomic<uint32_t> complete{0};
    const uint8_t capture[1] = {};
    JournalWriter writer(capture, complete);
    std::string problem;
    EXPECT_FALSE(writer.create(scratch.file("taken") + "/journals/", dataHeader(), 0, problem));
    EXPECT_NE(problem.find("taken"), std::string::npos) << problem;
}

}  // namespace
}  // namespace kestiva
