#include "settings/FileCalls.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "settings/ProgramFolder.h"
#include "settings/TempFolder.h"
#include "settings/Utf8Path.h"

namespace kestiva {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempFolder;
using test::writeFile;

// Line ends of both kinds, a NUL and the byte a text-mode reader takes for the end of a file.
const std::string kBytes = std::string("a\r\nb\nc\x1A", 7) + std::string(1, '\0') + "d\r";

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(utf8Path(folder)))
        names.push_back(utf8Text(entry.path().filename()));
    return names;
}

bool createWith(const std::string& path, const std::string& bytes) {
    const int fd = createNewFile(path);
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, bytes.data(), bytes.size()) && syncFile(fd);
    return closeFile(fd) && written;
}

TEST(FileCalls, BytesGoInAndOutUnchanged) {
    TempFolder dir;
    const std::string path = dir.system("bytes.bin");
    ASSERT_TRUE(createWith(path, kBytes));
    EXPECT_EQ(readRegularFile(path, 1024), kBytes);

    uint64_t size = 0;
    const int fd = openRegularFile(path, size);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(size, kBytes.size());
    struct Case {
        uint64_t offset;
        std::size_t size;
        std::string expected;
    };
    const Case cases[] = {
        {0, 3, "a\r\n"},
        {6, 3, std::string("\x1A\0d", 3)},
        {9, 10, "\r"},  // a read across the end gets what is there
        {10, 4, ""},    // at the end: nothing, no error
        {0, 100, kBytes},
    };
    for (const Case& c : cases) {
        std::string got(c.size, '?');
        const ssize_t n = readAt(fd, got.data(), c.size, c.offset);
        ASSERT_GE(n, 0) << c.offset;
        got.resize(std::size_t(n));
        EXPECT_EQ(got, c.expected) << "from " << c.offset;
    }
    EXPECT_TRUE(closeFile(fd));
}

TEST(FileCalls, WhatIsNoRegularFileIsNeitherReadNorOpened) {
    TempFolder dir;
    writeFile(dir.system("ten.txt"), "0123456789");
    struct Case {
        const char* what;
        std::string path;
        std::size_t maxBytes;
        bool read;
    };
    const Case cases[] = {
        {"a file of the greatest size", dir.system("ten.txt"), 10, true},
        {"a file one byte too large", dir.system("ten.txt"), 9, false},
        {"a missing file", dir.system("none.txt"), 100, false},
        {"a folder", dir.path() + "System", 100, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(readRegularFile(c.path, c.maxBytes).has_value(), c.read);
        uint64_t size = 0;
        const int fd = openRegularFile(c.path, size);
        EXPECT_EQ(fd >= 0, fs::is_regular_file(utf8Path(c.path)));
        if (fd >= 0)
            closeFile(fd);
    }
}

// Creating and moving only ever take a new name: what has the name already stays as it was.
TEST(FileCalls, NewNamesOnlyNeverReplaceWhatIsThere) {
    struct Case {
        const char* what;
        std::function<void(const std::string& path)> make;
    };
    const Case cases[] = {
        {"a file", [](const std::string& path) { writeFile(path, "kept"); }},
        {"a folder", [](const std::string& path) { fs::create_directory(utf8Path(path)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder dir;
        const std::string taken = dir.system("taken");
        const std::string source = dir.system("source");
        c.make(taken);
        writeFile(source, "new");
        EXPECT_LT(createNewFile(taken), 0);
        EXPECT_FALSE(moveToNewName(source, taken));
        EXPECT_EQ(readFile(source), "new");
        if (fs::is_regular_file(utf8Path(taken))) {
            EXPECT_EQ(readFile(taken), "kept");
        }
        EXPECT_TRUE(moveToNewName(source, dir.system("free")));
        EXPECT_FALSE(fs::exists(utf8Path(source)));
        EXPECT_EQ(readFile(dir.system("free")), "new");
    }
}

TEST(FileCalls, ReplacingLeavesTheNewBytesAndNoTemporaryFile) {
    TempFolder dir;
    const std::string path = dir.system("settings.ini");
    writeFile(path, "old");
    EXPECT_TRUE(replaceFileContents(path, kBytes));
    EXPECT_EQ(readFile(path), kBytes);
    EXPECT_FALSE(replaceFileContents(dir.system("missing.ini"), "x"));
    EXPECT_EQ(namesIn(dir.path() + "System"), std::vector<std::string>{"settings.ini"});

    const std::string next = dir.system("next.tmp");
    writeFile(next, "newer");
    EXPECT_TRUE(replaceFile(next, path));
    EXPECT_EQ(readFile(path), "newer");
    EXPECT_EQ(namesIn(dir.path() + "System"), std::vector<std::string>{"settings.ini"});
}

// Paths are UTF-8 everywhere: the file made under a name is found under that very name.
TEST(FileCalls, NamesAreUtf8) {
    TempFolder dir;
    const std::string name = "\xC3\x9C" "berdruck-\xE6\xB8\xAC\xE5\xAE\x9A.csv";  // Ü..., 測定
    const std::string path = dir.system(name);
    ASSERT_TRUE(createWith(path, "1,2\r\n"));
    EXPECT_EQ(namesIn(dir.path() + "System"), std::vector<std::string>{name});
    EXPECT_EQ(readRegularFile(path, 100), "1,2\r\n");
    EXPECT_TRUE(removeFile(path));
    EXPECT_TRUE(namesIn(dir.path() + "System").empty());
}

TEST(ProgramFolder, IsTheFolderOfTheRunningProgramWithItsSystemFiles) {
    const std::string folder = programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(folder.find('\\'), std::string::npos) << folder;
    EXPECT_TRUE(utf8Path(folder).is_absolute()) << folder;
    EXPECT_TRUE(fs::is_regular_file(utf8Path(folder + "System/LanguageData.ini"))) << folder;
}

}  // namespace
}  // namespace kestiva
