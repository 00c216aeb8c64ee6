// Which System/ the program uses: the portable copy beside the executable, or the user's copy
// made from the shipped files; where the dump goes.
// Tests run as root, who may write everything, so "may be written" is answered by the test.

#include "settings/ProgramFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "settings/TempFolder.h"

namespace kestiva {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempFolder;
using test::writeFile;

const char* const kNames[] = {"CommunicationSetting.ini", "DataSamplingConfig.ini",
                              "LanguageData.ini"};

void shipSystem(const std::string& folder) {
    fs::create_directories(folder + "System");
    for (const char* name : kNames)
        writeFile(folder + "System/" + name, std::string("shipped ") + name);
}

TEST(SystemHome, PortableWhenSystemBesideTheProgramMayBeWrittenElseTheUsersCopy) {
    struct Case {
        const char* shippedIn;  // below the scratch root; the program is in bin/
        const char* readOnly;   // below bin/
        bool settingsMissing;
        const char* configHome;  // "" for none; "file/" lies below a file
        const char* expect;
    };
    const Case cases[] = {
        {"bin/", "", false, "config/", "bin/"},
        {"bin/", "System/", false, "config/", "config/kestiva/"},
        {"bin/", "System/CommunicationSetting.ini", false, "config/", "config/kestiva/"},
        {"bin/", "", true, "config/", "bin/"},
        {"share/kestiva/", "", false, "config/", "config/kestiva/"},
        {"share/kestiva/", "", false, "file/", "share/kestiva/"},
        {"share/kestiva/", "", false, "", "share/kestiva/"},
        {"nowhere/", "", false, "config/", "bin/"},
    };
    for (const Case& c : cases) {
        TempFolder scratch;
        const std::string root = scratch.path();
        SCOPED_TRACE(std::string(c.shippedIn) + " read-only " + c.readOnly + " " + c.configHome);
        fs::create_directories(root + "bin");
        shipSystem(root + c.shippedIn);
        if (c.settingsMissing)
            fs::remove(root + "bin/System/CommunicationSetting.ini");
        writeFile(root + "file", "");
        const std::string readOnly = root + "bin/" + c.readOnly;
        const UserFolders user{*c.configHome ? root + c.configHome : "", root + "data/"};

        const std::string home = systemHome(root + "bin/", user, [&](const std::string& path) {
            return *c.readOnly == '\0' || path != readOnly;
        });
        EXPECT_EQ(home, root + c.expect);
        if (home != root + "config/kestiva/") {
            EXPECT_FALSE(fs::exists(root + "config")) << "the user's folders are left alone";
            continue;
        }
        for (const char* name : kNames)
            EXPECT_EQ(readFile(home + "System/" + name),
                      readFile(root + c.shippedIn + "System/" + name));
        EXPECT_TRUE(fs::is_empty(home + "System/ports"));
    }
}

TEST(SystemHome, TheUsersCopyIsMadeOnceAndKeepsTheUsersFiles) {
    TempFolder scratch;
    const std::string root = scratch.path(), shipped = root + "usr/share/kestiva/System/";
    const std::string user = root + "config/kestiva/System/";
    fs::create_directories(root + "usr/bin");
    shipSystem(root + "usr/share/kestiva/");
    // The program writes its settings back into the copy even when the shipped file is read-only.
    fs::permissions(shipped + "CommunicationSetting.ini", fs::perms::owner_write,
                    fs::perm_options::remove);
    const UserFolders folders{root + "config/", root + "data/"};
    ASSERT_EQ(systemHome(root + "usr/bin/", folders), root + "config/kestiva/");
    EXPECT_NE(fs::status(user + "CommunicationSetting.ini").permissions() & fs::perms::owner_write,
              fs::perms::none);

    // The user edits one file and deletes another; a newer package ships a changed third one.
    writeFile(user + "CommunicationSetting.ini", "edited");
    fs::remove(user + "LanguageData.ini");
    writeFile(shipped + "DataSamplingConfig.ini", "newer");
    ASSERT_EQ(systemHome(root + "usr/bin/", folders), root + "config/kestiva/");
    EXPECT_EQ(readFile(user + "CommunicationSetting.ini"), "edited");
    EXPECT_EQ(readFile(user + "LanguageData.ini"), "shipped LanguageData.ini");
    EXPECT_EQ(readFile(user + "DataSamplingConfig.ini"), "shipped DataSamplingConfig.ini");
    EXPECT_EQ(std::distance(fs::directory_iterator(user), fs::directory_iterator()), 4)
        << "the three files and ports/, no temporary file left behind";

    // The dump stays beside a portable copy and goes to the user's data otherwise.
    EXPECT_EQ(dumpFolder(root + "bin/", root + "bin/", folders), root + "bin/");
    EXPECT_FALSE(fs::exists(root + "data"));
    EXPECT_EQ(dumpFolder(root + "usr/bin/", root + "config/kestiva/", folders),
              root + "data/kestiva/");
    EXPECT_FALSE(fs::exists(root + "data")) << "made by the first dump, not before";
    // The recording journals go beside the dumps.
    EXPECT_EQ(journalFolder(root + "bin/", root + "bin/", folders), root + "bin/journal/");
    EXPECT_EQ(journalFolder(root + "usr/bin/", root + "config/kestiva/", folders),
              root + "data/kestiva/journal/");
}

TEST(SystemHome, AUserCopyThatCannotBeMadeLeavesTheShippedFilesAndSaysWhy) {
    TempFolder scratch;
    const std::string root = scratch.path();
    fs::create_directories(root + "usr/bin");
    shipSystem(root + "usr/share/kestiva/");
    fs::create_directories(root + "blocked");
    writeFile(root + "blocked/kestiva", "a file where the folder should be");
    const struct {
        const char* what;
        UserFolders user;
        std::string problem;
    } cases[] = {
        {"a file in the way", {root + "blocked/", root + "data/"},
         root + "blocked/kestiva/System: Not a directory"},
        {"a folder nobody may write", {"/proc/", root + "data/"},
         "/proc/kestiva/System: No such file or directory"},
        {"no home folder", {"", ""},
         "no folder for the user's files: neither XDG_CONFIG_HOME nor a home folder is known"},
        {"made", {root + "config/", root + "data/"}, ""},
    };
    for (const auto& c : cases) {
        std::string problem = "not set";
        const std::string home = systemHome(root + "usr/bin/", c.user, writableByUser, &problem);
        EXPECT_EQ(home, c.problem.empty() ? root + "config/kestiva/" : root + "usr/share/kestiva/")
            << c.what;
        EXPECT_EQ(problem, c.problem) << c.what;
    }
}

}  // namespace
}  // namespace kestiva
