#pragma once
// A program folder of its own for a window test: System/ with the shipped profile files (from
// beside the test program) and an empty ports folder. Removed with the object.

#include <filesystem>
#include <fstream>
#include <string>

#include "support/UniqueFolder.h"

namespace kestiva::test {

class WindowTestFolder {
public:
    WindowTestFolder() {
        root_ = makeUniqueFolder(std::filesystem::temp_directory_path(), "kestiva-window-");
        std::filesystem::create_directories(root_ / "System" / "ports");
        for (const char* file :
             {"CommunicationSetting.ini", "DataSamplingConfig.ini", "LanguageData.ini"})
            std::filesystem::copy_file(std::filesystem::path("System") / file,
                                       root_ / "System" / file);
    }
    ~WindowTestFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    WindowTestFolder(const WindowTestFolder&) = delete;
    WindowTestFolder& operator=(const WindowTestFolder&) = delete;

    // With a trailing '/', as a program folder is given.
    std::string path() const { return root_.generic_string() + "/"; }
    std::string system(const std::string& file) const { return path() + "System/" + file; }
    std::string text(const std::string& file) const {
        std::ifstream in(path() + file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    std::filesystem::path root_;
};

}  // namespace kestiva::test
