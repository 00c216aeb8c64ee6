// kestiva-cli laid out as the package installs it, <prefix>/bin/kestiva-cli with the shipped
// files in <prefix>/share/kestiva/System/, for a user whose home is a scratch folder: it works
// on the user's own copy of the files, made on its first start.

#include <gtest/gtest.h>

#include <filesystem>

#include "tools/CliHarness.h"

namespace kestiva {
namespace {

namespace fs = std::filesystem;
using namespace testing;

const char* const kNames[] = {"CommunicationSetting.ini", "DataSamplingConfig.ini",
                              "LanguageData.ini"};

// The program and the shipped files laid out under root as the package installs them; the
// path of the installed program.
std::string install(const std::string& root) {
    fs::create_directories(root + "usr/bin");
    fs::create_directories(root + "usr/share/kestiva/System");
    // A copy, not a link: the program finds its files from its own path.
    fs::copy_file(cliProgram(), root + "usr/bin/kestiva-cli");
    for (const char* name : kNames)
        fs::copy_file(testProgramFolder() + "System/" + name,
                      root + "usr/share/kestiva/System/" + name);
    return root + "usr/bin/kestiva-cli";
}

// `config --json` of program for a user whose home is home.
CliRun configFor(const std::string& program, const std::string& home) {
    ChildProcess child;
    CliRun result;
    if (child.start("/usr/bin/env",
                    {"-u", "XDG_CONFIG_HOME", "HOME=" + home, program, "config", "--json"})) {
        result.out = child.readAll(std::chrono::seconds(60));
        result.exitCode = child.wait(std::chrono::seconds(60));
        result.err = child.errorText();
    }
    return result;
}

TEST(InstalledCli, WorksOnTheUsersCopyOfTheShippedFiles) {
    TempProgramFolder scratch;
    const std::string root = scratch.path(), program = install(root);
    const std::string shipped = root + "usr/share/kestiva/System/";
    const std::string user = root + "home/.config/kestiva/System/";
    const auto config = [&] { return configFor(program, root + "home"); };
    const auto& names = kNames;

    CliRun result = config();
    ASSERT_EQ(result.exitCode, 0) << result.describe();
    EXPECT_EQ(jsonText(result.json(), "file"), user + "DataSamplingConfig.ini");
    for (const char* name : names)
        EXPECT_EQ(readFile(user + name), readFile(shipped + name)) << name;

    // The user's edit is what the command reads from then on.
    std::string edited = readFile(user + "DataSamplingConfig.ini");
    const std::size_t cycles = edited.find("SAMPLING=10,20,50");
    ASSERT_NE(cycles, std::string::npos);
    edited.replace(cycles, 17, "SAMPLING=20,40,80");
    writeFile(user + "DataSamplingConfig.ini", edited);
    result = config();
    ASSERT_EQ(result.exitCode, 0) << result.describe();
    EXPECT_EQ(result.json().value("data").toObject().value("cycles").toArray(),
              QJsonArray({20, 40, 80, 100, 500}));
    EXPECT_EQ(readFile(user + "DataSamplingConfig.ini"), edited);
}

// A user copy that cannot be made is said once, on one line, and the command goes on with the
// shipped files.
TEST(InstalledCli, AUserCopyThatCannotBeMadeIsReportedOnceAndTheShippedFilesServe) {
    TempProgramFolder scratch;
    const std::string root = scratch.path(), program = install(root);
    fs::create_directories(root + "home/.config");
    writeFile(root + "home/.config/kestiva", "a file where the folder should be");

    const CliRun result = configFor(program, root + "home");
    ASSERT_EQ(result.exitCode, 0) << result.describe();
    EXPECT_EQ(jsonText(result.json(), "file"), root + "usr/share/kestiva/System/DataSamplingConfig.ini");
    const std::string reason = root + "home/.config/kestiva/System: Not a directory";
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_TRUE(contains(result.err, reason)) << result.err;
    const QJsonArray messages = result.json().value("messages").toArray();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(jsonText(messages[0].toObject(), "icon"), "warning");
    EXPECT_TRUE(contains(jsonText(messages[0].toObject(), "text"), reason));
}

// A copy with no System folder anywhere says where it looked, beside the fixed text.
TEST(InstalledCli, AMissingSystemFolderIsNamed) {
    TempProgramFolder scratch;
    const std::string folder = scratch.path() + "bare/";
    fs::create_directories(folder);
    fs::copy_file(cliProgram(), folder + "kestiva-cli");
    const CliRun result = configFor(folder + "kestiva-cli", scratch.path() + "home");
    EXPECT_EQ(result.exitCode, 1) << result.describe();
    EXPECT_EQ(result.err,
              "LanguageData.ini Reading Failed\nNo System folder was found in " + folder + "\n");
}

}  // namespace
}  // namespace kestiva
