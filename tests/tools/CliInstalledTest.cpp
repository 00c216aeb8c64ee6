// kestiva-cli as a package installs it: <prefix>/bin/kestiva-cli with the shipped profile files
// in <prefix>/share/kestiva/System/, run for a user whose folders are scratch folders. The
// command works on the user's own copy of the files, made on its first start.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <optional>

#include "tools/CliHarness.h"

namespace kestiva {
namespace {

namespace fs = std::filesystem;
using testing::ChildProcess;
using testing::CliRun;
using testing::contains;
using testing::jsonText;
using testing::readFile;
using testing::SimProcess;
using testing::TempProgramFolder;
using testing::testProgramFolder;
using testing::writeFile;

const char* const kShippedNames[] = {"CommunicationSetting.ini", "DataSamplingConfig.ini",
                                     "LanguageData.ini"};

// Sets an environment variable (or unsets it, for null) for the life of the object; the
// command started meanwhile inherits it.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = ::getenv(name))
            old_ = old;
        set(value);
    }
    ~ScopedVariable() { set(old_ ? old_->c_str() : nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    void set(const char* value) const {
        if (value != nullptr)
            ::setenv(name_, value, 1);
        else
            ::unsetenv(name_);
    }

    const char* name_;
    std::optional<std::string> old_;
};

// <root>/usr/bin/kestiva-cli (a copy, since the program finds its files from its own path)
// and <root>/usr/share/kestiva/System/ with the shipped files.
class InstalledCli : public ::testing::Test {
protected:
    InstalledCli() {
        fs::create_directories(prefix() + "bin");
        fs::create_directories(shipped());
        fs::copy_file(testProgramFolder() + "kestiva-cli", program());
        for (const char* name : kShippedNames)
            fs::copy_file(testProgramFolder() + "System/" + name, shipped() + name);
    }

    std::string prefix() const { return root_.path() + "usr/"; }
    std::string program() const { return prefix() + "bin/kestiva-cli"; }
    std::string shipped() const { return prefix() + "share/kestiva/System/"; }
    std::string at(const std::string& relative) const { return root_.path() + relative; }

    CliRun run(const std::vector<std::string>& args) const {
        ChildProcess child;
        CliRun result;
        if (!child.start(program(), args))
            return result;
        result.out = child.readAll(std::chrono::seconds(60));
        result.exitCode = child.wait(std::chrono::seconds(60));
        result.err = child.errorText();
        return result;
    }

    TempProgramFolder root_;
};

TEST_F(InstalledCli, FirstRunCopiesTheShippedFilesToTheUsersConfigAndReadsThatCopy) {
    const ScopedVariable home("HOME", at("home").c_str());
    const ScopedVariable noConfigHome("XDG_CONFIG_HOME", nullptr);
    const std::string user = at("home/.config/kestiva/System/");

    CliRun result = run({"config", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.describe();
    EXPECT_EQ(jsonText(result.json(), "file"), user + "DataSamplingConfig.ini");
    for (const char* name : kShippedNames)
        EXPECT_EQ(readFile(user + name), readFile(shipped() + name)) << name;
    EXPECT_TRUE(fs::is_directory(user + "ports"));

    // The user's edit is what the command reads from then on, and it is never replaced.
    std::string edited = readFile(user + "DataSamplingConfig.ini");
    const std::string cycles = "SAMPLING=10,20,50,100,500";
    ASSERT_TRUE(contains(edited, cycles));
    edited.replace(edited.find(cycles), cycles.size(), "SAMPLING=20,40,80,160,320");
    writeFile(user + "DataSamplingConfig.ini", edited);

    result = run({"config", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.describe();
    const QJsonObject data = result.json().value("data").toObject();
    EXPECT_EQ(data.value("cycles").toArray(), QJsonArray({20, 40, 80, 160, 320}));
    EXPECT_EQ(readFile(user + "DataSamplingConfig.ini"), edited);
}

TEST_F(InstalledCli, CheckSavesIntoTheUsersCopyAndFindsPortsInIt) {
    const ScopedVariable home("HOME", at("home").c_str());
    const ScopedVariable configHome("XDG_CONFIG_HOME", at("config").c_str());
    const std::string user = at("config/kestiva/System/");
    // The user linked a port before the first start; the copy fills in around it.
    fs::create_directories(user + "ports");
    SimProcess sim({"--bitrate", "115200"}, user + "ports/COM1");
    ASSERT_TRUE(sim.ok()) << sim.log();

    const CliRun result =
        run({"check", "--port", "COM1", "--station", "1", "--bitrate", "115200", "--save", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.describe();
    EXPECT_EQ(jsonText(result.json(), "result"), "found");
    EXPECT_TRUE(result.json().value("saved").toBool());
    EXPECT_TRUE(contains(readFile(user + "CommunicationSetting.ini"), "COM_BITRATE=115200\t"));
    EXPECT_TRUE(contains(readFile(shipped() + "CommunicationSetting.ini"), "COM_BITRATE=38400\t"))
        << "the shipped file stays as installed";
    EXPECT_FALSE(fs::exists(at("home/.config"))) << "XDG_CONFIG_HOME replaces ~/.config";
}

}  // namespace
}  // namespace kestiva
