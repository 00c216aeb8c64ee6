#pragma once
// A new folder of a name nobody has used, made the same way on every system.

#include <filesystem>
#include <random>
#include <string>

namespace kestiva::test {

// base/<prefix><random digits>, created; an empty path when none could be made.
inline std::filesystem::path makeUniqueFolder(const std::filesystem::path& base,
                                              const std::string& prefix) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate =
            base / (prefix + std::to_string(random() % 1'000'000'000));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec))
            return candidate;
        if (ec)
            break;
    }
    return {};
}

}  // namespace kestiva::test
