// Which System/ the program uses: the portable copy beside the executable, or the user's copy
// made from the shipped files on first start; where the receive-buffer dump goes; the per-user
// base folders from the environment.

#include "settings/ProgramFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <vector>

#include "settings/TempFolder.h"

namespace kestiva {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempFolder;
using test::writeFile;

const char* const kShippedNames[] = {"CommunicationSetting.ini", "DataSamplingConfig.ini",
                                     "LanguageData.ini"};

std::string shippedText(const std::string& name) {
    return "; shipped " + name + "\r\n[SECTION]\r\nKEY=1\r\n";
}

// Lays out program folders under a scratch root and answers "may this be written" from a list
// of read-only paths, since the tests run as root, who may write everything.
class ProgramFolderTest : public ::testing::Test {
protected:
    std::string at(const std::string& relative) const { return root_.path() + relative; }

    // <folder>System/ with the three shipped files.
    void shipSystem(const std::string& folder) const {
        fs::create_directories(folder + "System");
        for (const char* name : kShippedNames)
            writeFile(folder + "System/" + name, shippedText(name));
    }

    std::string chosen(const std::string& programFolder) const {
        return systemHome(programFolder, user_, [this](const std::string& path) {
            return !readOnly_.contains(path);
        });
    }

    std::string userHome() const { return user_.configHome + "kestiva/"; }
    std::string userFile(const std::string& name) const { return userHome() + "System/" + name; }

    TempFolder root_;
    UserFolders user_{at("config/"), at("data/")};
    std::set<std::string> readOnly_;
};

TEST_F(ProgramFolderTest, PortableWhenSystemBesideTheProgramMayBeWrittenElseTheUsersCopy) {
    enum class Layout { Beside, Installed, NoneFound };
    enum class Expect { ProgramFolder, UserCopy };
    struct Case {
        const char* what;
        Layout layout;
        std::vector<std::string> readOnly;  // relative to the program folder
        bool settingsMissing;
        Expect expect;
    };
    const Case cases[] = {
        {"writable System/ beside the program", Layout::Beside, {}, false, Expect::ProgramFolder},
        {"System/ that may not be written", Layout::Beside, {"System/"}, false, Expect::UserCopy},
        {"a read-only settings file",
         Layout::Beside,
         {"System/CommunicationSetting.ini"},
         false,
         Expect::UserCopy},
        {"no settings file in a writable System/", Layout::Beside, {}, true, Expect::ProgramFolder},
        {"installed: bin/ and share/kestiva/System/", Layout::Installed, {}, false,
         Expect::UserCopy},
        {"no System/ anywhere", Layout::NoneFound, {}, false, Expect::ProgramFolder},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string prefix = at("case" + std::to_string(++n) + "/");
        const std::string program = prefix + "bin/";
        fs::create_directories(program);
        if (c.layout == Layout::Beside)
            shipSystem(program);
        if (c.layout == Layout::Installed)
            shipSystem(prefix + "share/kestiva/");
        if (c.settingsMissing)
            fs::remove(program + "System/CommunicationSetting.ini");
        readOnly_.clear();
        for (const std::string& path : c.readOnly)
            readOnly_.insert(program + path);
        fs::remove_all(userHome());

        const std::string home = chosen(program);
        if (c.expect == Expect::ProgramFolder) {
            EXPECT_EQ(home, program);
            EXPECT_FALSE(fs::exists(userHome())) << "a portable copy leaves the user's folders";
            continue;
        }
        EXPECT_EQ(home, userHome());
        for (const char* name : kShippedNames)
            EXPECT_EQ(readFile(userFile(name)), shippedText(name)) << name;
        EXPECT_TRUE(fs::is_directory(userHome() + "System/ports"));
        EXPECT_TRUE(fs::is_empty(userHome() + "System/ports"));
    }
}

TEST_F(ProgramFolderTest, TheUsersCopyIsMadeOnceAndKeepsTheUsersFiles) {
    const std::string program = at("usr/bin/");
    fs::create_directories(program);
    const std::string shipped = at("usr/share/kestiva/");
    shipSystem(shipped);
    // A shipped file the user could not write must still give a copy the program writes back.
    fs::permissions(shipped + "System/CommunicationSetting.ini",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ASSERT_EQ(chosen(program), userHome());
    const auto mode = fs::status(userFile("CommunicationSetting.ini")).permissions();
    EXPECT_NE(mode & fs::perms::owner_write, fs::perms::none);

    // The user edits one file and loses another; a newer program ships a changed third one.
    writeFile(userFile("CommunicationSetting.ini"), "edited by the user\r\n");
    fs::remove(userFile("LanguageData.ini"));
    writeFile(shipped + "System/DataSamplingConfig.ini", "shipped by a newer program\r\n");
    writeFile(userHome() + "System/ports/COM3", "not a link, but the user's");

    ASSERT_EQ(chosen(program), userHome());
    EXPECT_EQ(readFile(userFile("CommunicationSetting.ini")), "edited by the user\r\n");
    EXPECT_EQ(readFile(userFile("LanguageData.ini")), shippedText("LanguageData.ini"));
    EXPECT_EQ(readFile(userFile("DataSamplingConfig.ini")),
              shippedText("DataSamplingConfig.ini"));
    EXPECT_EQ(readFile(userHome() + "System/ports/COM3"), "not a link, but the user's");
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(userHome() + "System"))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"CommunicationSetting.ini", "DataSamplingConfig.ini",
                                             "LanguageData.ini", "ports"}))
        << "no temporary file is left behind";
}

TEST_F(ProgramFolderTest, TheShippedFilesServeWhenNoUserCopyCanBeMade) {
    const std::string program = at("usr/bin/");
    fs::create_directories(program);
    shipSystem(at("usr/share/kestiva/"));
    writeFile(at("not-a-folder"), "");

    user_.configHome = at("not-a-folder/");
    EXPECT_EQ(chosen(program), at("usr/share/kestiva/"));
    user_.configHome.clear();
    EXPECT_EQ(chosen(program), at("usr/share/kestiva/"));
}

TEST_F(ProgramFolderTest, DumpsStayBesideAPortableCopyAndGoToTheUsersDataOtherwise) {
    const std::string program = at("bin/");
    EXPECT_EQ(dumpFolder(program, program, user_), program);
    EXPECT_FALSE(fs::exists(user_.dataHome)) << "a portable copy leaves the user's folders";

    EXPECT_EQ(dumpFolder(program, userHome(), user_), at("data/kestiva/"));
    EXPECT_TRUE(fs::is_directory(at("data/kestiva")));

    EXPECT_EQ(dumpFolder(program, userHome(), UserFolders{userHome(), ""}), userHome())
        << "without a data folder the dump goes beside the files in use";
}

TEST(UserFolders, FollowTheVariablesElseTheHomeFolder) {
    struct Case {
        const char* home;
        const char* configHome;
        const char* dataHome;
        const char* expectConfig;
        const char* expectData;
    };
    const Case cases[] = {
        {"/home/u", nullptr, nullptr, "/home/u/.config/", "/home/u/.local/share/"},
        {"/home/u/", nullptr, nullptr, "/home/u/.config/", "/home/u/.local/share/"},
        {"/home/u", "/cfg", "/dat/", "/cfg/", "/dat/"},
        {"/home/u", "", "", "/home/u/.config/", "/home/u/.local/share/"},
        {"/home/u", "relative", "./d", "/home/u/.config/", "/home/u/.local/share/"},
        {nullptr, "/cfg", nullptr, "/cfg/", ""},
        {"relative/home", nullptr, nullptr, "", ""},
        {nullptr, nullptr, nullptr, "", ""},
    };
    for (const Case& c : cases) {
        const UserFolders folders = userFolders(c.home, c.configHome, c.dataHome);
        EXPECT_EQ(folders.configHome, c.expectConfig) << (c.home ? c.home : "(no home)");
        EXPECT_EQ(folders.dataHome, c.expectData) << (c.home ? c.home : "(no home)");
    }
}

}  // namespace
}  // namespace kestiva
