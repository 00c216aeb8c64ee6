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

TEST(InstalledCli, WorksOnTheUsersCopyOfTheShippedFiles) {
    TempProgramFolder scratch;
    const std::string root = scratch.path(), program = root + "usr/bin/kestiva-cli";
    const std::string shipped = root + "usr/share/kestiva/System/";
    const std::string user = root + "home/.config/kestiva/System/";
    fs::create_directories(root + "usr/bin");
    fs::create_directories(shipped);
    // A copy, not a link: the program finds its files from its own path.
    fs::copy_file(cliProgram(), program);
    const char* const names[] = {"CommunicationSetting.ini", "DataSamplingConfig.ini",
                                 "LanguageData.ini"};
    for (const char* name : names)
        fs::copy_file(testProgramFolder() + "System/" + name, shipped + name);
    const auto config = [&] {
        ChildProcess child;
        CliRun result;
        if (child.start("/usr/bin/env", {"-u", "XDG_CONFIG_HOME", "HOME=" + root + "home", program,
                                         "config", "--json"})) {
            result.out = child.readAll(std::chrono::seconds(60));
            result.exitCode = child.wait(std::chrono::seconds(60));
            result.err = child.errorText();
        }
        return result;
    };

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

}  // namespace
}  // namespace kestiva
