#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

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

// Files in folder other than the given one: what a save leaves behind.
std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class CsvWriterTest : public testing::SharedPagesTest {
protected:

    KeyCatalogue texts;
    RecordingWindow window;
    SessionState session;
    ScratchFolder scratch;
};

TEST_F(CsvWriterTest, DataFileLayoutWithTheThirdItemDisabled) {
    PageRecording& page = *dataPage;
    testing::fillDataRecording(page, 3, /*thirdEnabled=*/false);
    const std::string path = scratch.file("data.csv");
    ASSERT_EQ(writeCsv(path, page, session, window, window, texts.get()), 0);
    EXPECT_EQ(readBytes(path),
              "20240131 08:15,V100,data\r\n"
              "20,1\r\n"
              ",DWORD,UWORD,\r\n"
              "1,0.01,0.1,\r\n"
              "ms,mm,A,\r\n"
              "Time[ms],Position,Current,\r\n"
              "0,-100000,0,\r\n"
              "20,-92081,1,\r\n"
              "40,-84162,2,\r\n");
    EXPECT_EQ(session.progressCount.load(), 3);
    EXPECT_EQ(window.pumps(), 3);
    EXPECT_TRUE(window.messages().empty());
    EXPECT_EQ(filesIn(scratch.folder()), std::vector<std::string>{"data.csv"});
}

TEST_F(CsvWriterTest, IoFileLayoutWithEmptyFieldsForDisabledSignals) {
    PageRecording& page = *ioPage;
    for (auto& item : page.active.items)
        item = DataItem{};
    page.active.items[0].name = "Busy";
    page.active.items[0].enabled = 1;
    page.active.items[15].name = "Ready";
    page.active.items[15].enabled = 1;
    // A disabled signal's text never reaches the file, whatever the table holds.
    page.texts.setCell(0, 2, "1");
    page.texts.setCell(0, 0, "0");
    page.texts.setCell(0, 1, "1");
    page.texts.setCell(0, 16, "0");
    page.texts.setCell(1, 0, "30");
    page.texts.setCell(1, 1, "0");
    page.texts.setCell(1, 16, "1");
    page.sampleCount = 2;
    page.cycle = 30;
    page.time = 1;
    page.startDate = "2024/01/31 08:15";
    const std::string path = scratch.file("io.csv");
    ASSERT_EQ(writeCsv(path, page, session, window, window, texts.get()), 0);
    const std::string gap(15, ',');  // between signal 1 and signal 16
    EXPECT_EQ(readBytes(path),
              "2024/01/31 08:15,V100,IO\r\n"
              "30,1\r\n"
              "1" +
                  std::string(16, ',') +
                  "\r\n"
                  "ms" +
                  std::string(16, ',') +
                  "\r\n"
                  "Time[ms],Busy" +
                  gap +
                  "Ready\r\n"
                  "0,1" +
                  gap +
                  "0\r\n"
                  "30,0" +
                  gap + "1\r\n");
}

TEST_F(CsvWriterTest, TextsAreWrittenAsUtf8InFull) {
    PageRecording& page = *dataPage;
    testing::fillDataRecording(page, 2);
    page.active.items[0].name = "Temperatur Ölwanne";
    page.active.items[0].unit = "°C";
    page.active.items[1].name = "電流値";
    const std::string path = scratch.file("utf8.csv");
    ASSERT_EQ(writeCsv(path, page, session, window, window, texts.get()), 0);
    const std::string bytes = readBytes(path);
    EXPECT_NE(bytes.find("ms,°C,A,-\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("Time[ms],Temperatur Ölwanne,電流値,Alarm\r\n"), std::string::npos);
}

TEST_F(CsvWriterTest, AFileThatCannotBeCreatedShowsTheFileOpenMessage) {
    testing::fillDataRecording(*dataPage, 2);
    std::filesystem::create_directory(scratch.file("folder.csv"));
    for (const std::string& path :
         {scratch.file("missing/data.csv"), scratch.file("folder.csv"), scratch.folder()}) {
        RecordingWindow w;
        EXPECT_EQ(writeCsv(path, *dataPage, session, w, w, texts.get()), -1) << path;
        ASSERT_EQ(w.messages().size(), 1u) << path;
        EXPECT_EQ(w.messages()[0].caption, "MSG_FILE_OPEN_FAILED_TITLE");
        EXPECT_EQ(w.messages()[0].text,
                  "MSG_FILE_OPEN_FAILED_CONTENTS\nMSG_FILE_OPEN_FAILED_COUNTERMEASURE");
        EXPECT_EQ(w.messages()[0].icon, MessageIcon::Error);
    }
    EXPECT_EQ(filesIn(scratch.folder()), std::vector<std::string>{"folder.csv"});
}

#ifndef _WIN32  // links and modes as POSIX has them
TEST_F(CsvWriterTest, ReplacesTheFileBehindALinkAndKeepsItsPermissions) {
    testing::fillDataRecording(*dataPage, 2);
    const std::string real = scratch.file("real.csv");
    const std::string link = scratch.file("link.csv");
    writeBytes(real, "old");
    ::chmod(real.c_str(), 0640);
    std::filesystem::create_symlink(real, link);
    ASSERT_EQ(writeCsv(link, *dataPage, session, window, window, texts.get()), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readBytes(real).substr(0, 14), "20240131 08:15");
    struct stat st;
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}
#endif

#ifndef _WIN32  // a full disk from a tmpfs or a file size limit
// A save that cannot be completed reports failure without the file-open message, leaves the
// previous file byte for byte and no temporary file behind.
void expectFailedSaveKeepsOldFile(const std::string& folder, const std::string& path,
                                  const PageRecording& page, const LanguageCatalogue& texts) {
    const std::string old = "20230101 00:00,V100,data\r\nold contents\r\n";
    writeBytes(path, old);
    RecordingWindow window;
    SessionState session;
    EXPECT_EQ(writeCsv(path, page, session, window, window, texts), -1);
    EXPECT_TRUE(window.messages().empty());
    EXPECT_EQ(readBytes(path), old);
    EXPECT_EQ(filesIn(folder).size(), 1u);
}

TEST_F(CsvWriterTest, ASaveOntoAFullDiskFailsAndKeepsTheOldFile) {
    testing::SmallDisk disk(64 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    testing::fillDataRecording(*dataPage, 20000);  // about 500 KB
    expectFailedSaveKeepsOldFile(disk.folder(), disk.file("full.csv"), *dataPage, texts.get());
    // A recording that fits is still saved there.
    testing::fillDataRecording(*dataPage, 50);
    EXPECT_EQ(writeCsv(disk.file("full.csv"), *dataPage, session, window, window, texts.get()), 0);
}

TEST_F(CsvWriterTest, AWriteErrorFailsTheSaveAndKeepsTheOldFile) {
    testing::fillIoRecording(*ioPage, 5000);
    const std::string path = scratch.file("capped.csv");
    {
        testing::FileSizeCap cap(100 * 1024);
        expectFailedSaveKeepsOldFile(scratch.folder(), path, *ioPage, texts.get());
    }
    EXPECT_EQ(writeCsv(path, *ioPage, session, window, window, texts.get()), 0);
}
#endif

}  // namespace
}  // namespace kestiva
