#pragma once
// What the files tests share: a scratch folder, a catalogue whose texts are their own keys, and
// recordings built the way the capture decoding leaves them.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "recording/SampleTables.h"
#include "settings/LanguageCatalogue.h"
#include "settings/TextIds.h"
#include "support/UniqueFolder.h"

namespace kestiva::testing {

// A fresh folder under the system's temporary folder (or under base), removed at the end.
class ScratchFolder {
public:
    explicit ScratchFolder(std::filesystem::path base = std::filesystem::temp_directory_path()) {
        const std::filesystem::path made = test::makeUniqueFolder(base, "kestiva-files-");
        if (made.empty())
            ADD_FAILURE() << "no scratch folder could be made";
        path_ = made.generic_string();
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    // The folder with a trailing '/', as the program folder is passed.
    std::string folder() const { return path_ + "/"; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Compares two files' bytes, naming the first difference rather than printing megabytes.
inline ::testing::AssertionResult sameBytes(const std::string& actual,
                                            const std::string& expected) {
    if (actual == expected)
        return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    return ::testing::AssertionFailure()
           << "sizes " << actual.size() << " and " << expected.size() << ", first difference at "
           << at << ": \"" << actual.substr(at, 40) << "\" instead of \"" << expected.substr(at, 40)
           << "\"";
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

// A catalogue loaded from a LanguageData.ini in its own folder, every text being its key except
// the time column's title.
class KeyCatalogue {
public:
    static constexpr const char* kTimeTitle = "Time[ms]";

    KeyCatalogue() {
        std::filesystem::create_directories(folder_.file("System"));
        std::string ini = "[APPLICATION_LANGUAGE_DATA]\r\n";
        for (const CatalogueKey& key : kCatalogueKeys) {
            const std::string name = key.key;
            ini += name + "=" + (name == "CSV_TIMEVALUE_TITLE" ? kTimeTitle : name) + "\r\n";
        }
        writeBytes(folder_.file("System/LanguageData.ini"), ini);
        catalogue_ = std::make_unique<LanguageCatalogue>(folder_.folder());
        catalogue_->languageLoaded = true;
        catalogue_->LoadLanguageCatalogue();
        EXPECT_TRUE(catalogue_->languageLoaded);
    }
    const LanguageCatalogue& get() const { return *catalogue_; }

private:
    ScratchFolder folder_;
    std::unique_ptr<LanguageCatalogue> catalogue_;
};

inline DataItem dataItem(const char* name, const char* typeName, int32_t code,
                         const char* scaleText, double scale, const char* unit) {
    DataItem item;
    item.name = name;
    item.typeName = typeName;
    item.typeCode = code;
    item.scaleText = scaleText;
    item.scale = scale;
    item.unit = unit;
    item.enabled = 1;
    return item;
}

// rows samples of a data recording; item 2 disabled when thirdEnabled is false.
inline void fillDataRecording(PageRecording& page, uint32_t rows, bool thirdEnabled = true) {
    page.active.name = "CTL-A";
    page.active.rangeAddress1 = 0x1000;
    page.active.rangeLength1 = 12;
    page.active.items[0] = dataItem("Position", "DWORD", 0, "0.01", 0.01, "mm");
    page.active.items[1] = dataItem("Current", "UWORD", 3, "0.1", 0.1, "A");
    page.active.items[2] = dataItem("Alarm", "LSB", 6, "1", 1.0, "-");
    if (!thirdEnabled)
        page.active.items[2] = DataItem{};
    page.cycle = 20;
    page.time = uint16_t(((rows - 1) * 20 + 999) / 1000);
    page.startDate = "20240131 08:15";
    page.sampleCount = rows;
    for (uint32_t j = 0; j < rows; ++j) {
        const int32_t values[3] = {int32_t(j * 7919 % 200001) - 100000, int32_t(j % 65536),
                                   int32_t(j % 256) - 128};
        page.texts.setCell(j, 0, std::to_string(j * page.cycle));
        for (int k = 0; k < 3; ++k) {
            if (!page.active.items[k].enabled)
                continue;
            page.texts.setCell(j, k + 1, std::to_string(values[k]));
            page.dataValue(j, k) = values[k];
        }
    }
}

// rows samples of an I/O recording with every third signal disabled, or all enabled.
inline void fillIoRecording(PageRecording& page, uint32_t rows, bool allEnabled = false) {
    page.active.name = "CTL-IO";
    for (int k = 0; k < 16; ++k) {
        page.active.items[k] = DataItem{};
        if (k % 3 == 2 && !allEnabled)
            continue;
        page.active.items[k].name = "Signal" + std::to_string(k + 1);
        page.active.items[k].enabled = 1;
        page.active.items[k].bit = uint8_t(k);
    }
    page.cycle = 30;
    page.time = uint16_t(((rows - 1) * 30 + 999) / 1000);
    page.startDate = "2024/01/31 08:15";
    page.sampleCount = rows;
    for (uint32_t j = 0; j < rows; ++j) {
        page.texts.setCell(j, 0, std::to_string(j * page.cycle));
        for (int k = 0; k < 16; ++k) {
            if (!page.active.items[k].enabled)
                continue;
            const bool on = ((j >> (k % 5)) + k) % 2 == 1;
            page.texts.setCell(j, k + 1, on ? "1" : "0");
            page.ioBit(j, k) = on ? 1 : 0;
        }
    }
}

// Both pages of a recording, made once per suite: they are large, and every test rewrites
// what it reads.
class SharedPagesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dataPage = new PageRecording(kDataMonitor);
        ioPage = new PageRecording(kIoMonitor);
    }
    static void TearDownTestSuite() {
        delete dataPage;
        delete ioPage;
        dataPage = ioPage = nullptr;
    }
    static inline PageRecording* dataPage = nullptr;
    static inline PageRecording* ioPage = nullptr;
};

}  // namespace kestiva::testing

#ifndef _WIN32  // a file size limit and a small tmpfs, as POSIX has them
#include <sys/mount.h>
#include <sys/resource.h>
#include <csignal>

#include "link/ChildProcess.h"

namespace kestiva::testing {

// Caps the size of any file this process writes, so that a write fails part-way as on a full
// disk; the signal that would end the process is ignored while the cap holds.
class FileSizeCap {
public:
    explicit FileSizeCap(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit cap = saved_;
        cap.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &cap);
    }
    ~FileSizeCap() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    void (*previous_)(int) = SIG_DFL;
};

// A small tmpfs that fills up: a real full disk. Mounting needs root; mounted() says whether it
// worked here.
class SmallDisk {
public:
    explicit SmallDisk(std::size_t bytes) {
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
        mounted_ = ::mount("tmpfs", scratch_.folder().c_str(), "tmpfs", 0, options.c_str()) == 0;
        if (mounted_)
            sweeper_.emplace("umount -l -- \"$1\"; rm -rf -- \"$1\"",
                             std::vector<std::string>{scratch_.folder()});
    }
    ~SmallDisk() {
        if (mounted_)
            ::umount2(scratch_.folder().c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    std::string file(const std::string& name) const { return scratch_.file(name); }
    std::string folder() const { return scratch_.folder(); }

private:
    ScratchFolder scratch_;
    bool mounted_ = false;
    std::optional<LeftoverSweeper> sweeper_;  // the mount must not outlive a test that crashed
};

}  // namespace kestiva::testing
#endif
