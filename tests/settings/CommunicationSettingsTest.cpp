#include "settings/CommunicationSettings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif
#include <unistd.h>

#include <filesystem>
#include <string>

#include "settings/ProgramFolder.h"
#include "settings/TempFolder.h"

namespace kestiva {
namespace {

using test::readFile;
using test::TempFolder;
using test::toUtf16;
using test::writeFile;

constexpr const char* kSection = "COMMUNICATION_SETTING";

std::string settingsFile(const std::string& select = "MANUAL\t// method",
                         const std::string& eol = "\r\n") {
    return "; kept\r\n[COMMUNICATION_SETTING]" + eol + "COM_NUM=8\t// ports" + eol +
           "COM_PORT=COM1\t// port" + eol + "COM_SELECT=" + select + eol +
           "COM_BITRATE=38400 // speed" + eol + "COM_CONNECTION_ID=1" + eol +
           "COM_SILENT_INTERVAL=1/ factor" + eol + "COM_DELAY=5\t// ms" + eol;
}

TEST(CommunicationSettings, LoadsEveryValue) {
    TempFolder dir;
    const std::string path = communicationSettingsPath(dir.path());
    writeFile(path, settingsFile());
    CommunicationSettings s;
    loadCommunicationSettings(path, s);
    EXPECT_EQ(s.portCount, 8);
    EXPECT_EQ(s.portName, "COM1");
    EXPECT_FALSE(s.autoSearch);
    EXPECT_EQ(s.bitRate, 38400);
    EXPECT_EQ(s.stationId, 1);
    EXPECT_EQ(s.silentFactor, 1);
    EXPECT_EQ(s.responseDelay, 5);
    EXPECT_EQ(s.verifiedStation.load(), 0);
}

TEST(CommunicationSettings, OnlyExactManualSelectsTheManualCheck) {
    const struct {
        const char* value;
        bool autoSearch;
    } cases[] = {{"MANUAL\t// comment", false},
                 {"MANUAL", false},
                 {"MANUAL/x", false},
                 {"manual", true},
                 {"Manual", true},
                 {"AUTO", true},
                 {"", true},
                 {"MANUALX", true}};
    for (const auto& c : cases) {
        TempFolder dir;
        const std::string path = communicationSettingsPath(dir.path());
        writeFile(path, settingsFile(c.value));
        CommunicationSettings s;
        loadCommunicationSettings(path, s);
        EXPECT_EQ(s.autoSearch, c.autoSearch) << '"' << c.value << '"';
    }
}

TEST(CommunicationSettings, ReadCutsAtTabSlashOrSpace) {
    TempFolder dir;
    const std::string path = dir.system("c.ini");
    writeFile(path, "[S]\nA=COM10\nB=COM 3\nC=12/34\nD=//only comment\nE=\n");
    const struct {
        const char* key;
        int result;
        const char* value;
    } cases[] = {{"A", 0, "COM10"}, {"B", 0, "COM"},  {"C", 0, "12"},
                 {"D", 0, ""},      {"E", -1, "old"}, {"F", -1, "old"}};
    for (const auto& c : cases) {
        std::string value = "old";
        EXPECT_EQ(readProfileValue(path, "S", c.key, value), c.result) << c.key;
        EXPECT_EQ(value, c.value) << c.key;
    }
    std::string value = "old";
    EXPECT_EQ(readProfileValue(dir.system("absent.ini"), "S", "A", value), -1);
    EXPECT_EQ(value, "old");
}

TEST(CommunicationSettings, MissingOrNonNumericKeysKeepTheirValues) {
    TempFolder dir;
    const std::string path = communicationSettingsPath(dir.path());
    // COM_CONNECTION_ID is missing: it must not take the bit rate read just before it.
    writeFile(path,
              "[COMMUNICATION_SETTING]\nCOM_NUM=x8\nCOM_BITRATE=38400\nCOM_DELAY=99999999999\n"
              "COM_SILENT_INTERVAL=-3junk\n");
    CommunicationSettings s;
    s.stationId = 7;
    s.portCount = 4;
    s.responseDelay = 5;
    s.portName = "COM2";
    loadCommunicationSettings(path, s);
    EXPECT_EQ(s.portCount, 4);
    EXPECT_EQ(s.stationId, 7);
    EXPECT_EQ(s.bitRate, 38400);
    EXPECT_EQ(s.responseDelay, 5);
    EXPECT_EQ(s.silentFactor, -3);
    EXPECT_EQ(s.portName, "COM2");
    EXPECT_TRUE(s.autoSearch);
}

TEST(CommunicationSettings, SaveKeepsCommentsAndNeverWritesPortCount) {
    for (const char* eol : {"\r\n", "\n"}) {
        TempFolder dir;
        const std::string path = communicationSettingsPath(dir.path());
        writeFile(path, settingsFile("MANUAL\t// method", eol));
        CommunicationSettings s;
        loadCommunicationSettings(path, s);
        s.portCount = 99;
        s.portName = "COM12";
        s.autoSearch = true;
        s.bitRate = 115200;
        s.stationId = 32;
        s.silentFactor = 2;
        s.responseDelay = 10;
        s.verifiedStation = 32;
        saveCommunicationSettings(path, s);
        const std::string e = eol;
        EXPECT_EQ(readFile(path),
                  "; kept\r\n[COMMUNICATION_SETTING]" + e + "COM_NUM=8\t// ports" + e +
                      "COM_PORT=COM12\t// port" + e + "COM_SELECT=AUTO\t// method" + e +
                      "COM_BITRATE=115200 // speed" + e + "COM_CONNECTION_ID=32" + e +
                      "COM_SILENT_INTERVAL=2/ factor" + e + "COM_DELAY=10\t// ms" + e);
    }
}

TEST(CommunicationSettings, SaveKeepsUtf16FilesUtf16) {
    TempFolder dir;
    const std::string path = communicationSettingsPath(dir.path());
    writeFile(path, toUtf16(settingsFile()));
    CommunicationSettings s;
    loadCommunicationSettings(path, s);
    EXPECT_EQ(s.bitRate, 38400);
    s.bitRate = 9600;
    saveCommunicationSettings(path, s);
    std::string expected = settingsFile();
    expected.replace(expected.find("38400"), 5, "9600");
    EXPECT_EQ(readFile(path), toUtf16(expected));
}

TEST(CommunicationSettings, SaveAddsNothingThatIsNotThere) {
    TempFolder dir;
    const std::string path = communicationSettingsPath(dir.path());
    const std::string partial = "[COMMUNICATION_SETTING]\r\nCOM_PORT=COM1\r\nCOM_DELAY=\r\n";
    writeFile(path, partial);
    CommunicationSettings s;
    s.portName = "COM1";
    s.responseDelay = 5;
    // A deleted key stays deleted, an empty one empty, and the save says it could not be made.
    EXPECT_EQ(saveCommunicationSettings(path, s), -1);
    EXPECT_EQ(readFile(path), partial);

    std::filesystem::remove(path);
    EXPECT_EQ(saveCommunicationSettings(path, s), -1);
    EXPECT_FALSE(std::filesystem::exists(path));
}

#ifndef _WIN32  // owners and modes as POSIX has them
// The user that saves in the permission test: as root, a child that becomes nobody, since
// root may write anything; otherwise this process itself.
constexpr uid_t kNobody = 65534;

int saveAsUser(const std::string& path, const CommunicationSettings& settings) {
    if (::geteuid() != 0)
        return saveCommunicationSettings(path, settings);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            _exit(2);
        _exit(saveCommunicationSettings(path, settings) == 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : -1;
}

TEST(CommunicationSettings, SaveReplacesOnlyAFileTheUserMayWriteInPlace) {
    const bool root = ::geteuid() == 0;
    struct Case {
        const char* what;
        mode_t folderMode;
        mode_t fileMode;
        bool ownFile;  // the saving user owns the file (else root does)
        bool saved;
    };
    const Case cases[] = {
        {"a file the user may write", 0777, 0644, true, true},
        {"a read-only file in a writable folder", 0777, 0444, true, false},
        {"another user's file in a writable folder", 0777, 0644, false, false},
        {"a writable file in a folder the user may not write", 0555, 0666, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.ownFile && !root)
            continue;  // only root can hand a file to someone else
        TempFolder dir;
        const std::string folder = dir.path() + "System";
        const std::string path = communicationSettingsPath(dir.path());
        writeFile(path, settingsFile());
        ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
        ASSERT_EQ(::chmod(path.c_str(), c.fileMode), 0);
        if (root && c.ownFile) {
            ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
        }
        ASSERT_EQ(::chmod(folder.c_str(), c.folderMode), 0);

        CommunicationSettings s;
        loadCommunicationSettings(path, s);
        s.bitRate = 9600;
        EXPECT_EQ(saveAsUser(path, s), c.saved ? 0 : -1);
        CommunicationSettings after;
        loadCommunicationSettings(path, after);
        EXPECT_EQ(after.bitRate, c.saved ? 9600 : 38400);
        if (!c.saved) {
            EXPECT_EQ(readFile(path), settingsFile());
        }
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.fileMode);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                                std::filesystem::directory_iterator()),
                  1)
            << "a temporary file was left behind";
        ::chmod(folder.c_str(), 0755);
    }
}
#endif

TEST(CommunicationSettings, LongCommentSurvivesARewrite) {
    TempFolder dir;
    const std::string path = dir.system("c.ini");
    const std::string comment = "\t// " + std::string(400, 'c');
    writeFile(path, "[S]\nA=1" + comment + "\n");
    EXPECT_EQ(writeProfileValue(path, "S", "A", "23"), 0);
    EXPECT_EQ(readFile(path), "[S]\nA=23" + comment + "\n");
    EXPECT_EQ(writeProfileValue(path, "S", "B", "23"), -1);
}

TEST(ShippedCommunicationFile, HoldsTheDefaults) {
    const std::string path = communicationSettingsPath(programFolder());
    CommunicationSettings s;
    loadCommunicationSettings(path, s);
    EXPECT_EQ(s.portCount, 8);
    EXPECT_EQ(s.portName, "COM1");
    EXPECT_FALSE(s.autoSearch);
    EXPECT_EQ(s.bitRate, 38400);
    EXPECT_EQ(s.stationId, 1);
    EXPECT_EQ(s.silentFactor, 1);
    EXPECT_EQ(s.responseDelay, 5);
    // Every value carries a comment that a save keeps.
    for (const char* key : {"COM_NUM", "COM_PORT", "COM_SELECT", "COM_BITRATE", "COM_CONNECTION_ID",
                            "COM_SILENT_INTERVAL", "COM_DELAY"}) {
        std::string value;
        ASSERT_EQ(readProfileValue(path, kSection, key, value), 0) << key;
        EXPECT_NE(readFile(path).find(std::string(key) + "=" + value + "\t//"), std::string::npos)
            << key;
    }
}

}  // namespace
}  // namespace kestiva
