#pragma once
// A scratch program folder for settings tests: <tmp>/kestiva-<digits>/ with a System/ folder.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/UniqueFolder.h"

namespace kestiva::test {

class TempFolder {
public:
    TempFolder() {
        const std::filesystem::path made =
            makeUniqueFolder(std::filesystem::temp_directory_path(), "kestiva-");
        if (made.empty())
            ADD_FAILURE() << "no scratch folder could be made";
        root_ = made.generic_string() + "/";
        std::filesystem::create_directories(root_ + "System");
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder, with its trailing '/', as programFolder() would give it.
    const std::string& path() const { return root_; }
    std::string system(const std::string& name) const { return root_ + "System/" + name; }

private:
    std::string root_;
};

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// UTF-8 text (ASCII and two- and three-byte characters only) as UTF-16 bytes, with a BOM.
inline std::string toUtf16(const std::string& utf8, bool littleEndian = true) {
    std::string out = littleEndian ? std::string("\xFF\xFE") : std::string("\xFE\xFF");
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        unsigned cp;
        if (c < 0x80) {
            cp = c;
            i += 1;
        } else if (c < 0xE0) {
            cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
            i += 2;
        } else {
            cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
            i += 3;
        }
        const char lo = static_cast<char>(cp & 0xFF), hi = static_cast<char>(cp >> 8);
        out += littleEndian ? lo : hi;
        out += littleEndian ? hi : lo;
    }
    return out;
}

}  // namespace kestiva::test
