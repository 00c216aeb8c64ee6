// The file calls that are the same on every system.

#include "settings/FileCalls.h"

#include <filesystem>
#include <system_error>

#include "settings/Utf8Path.h"

namespace kestiva {

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(utf8Path(a), utf8Path(b), ec) && !ec;
}

}  // namespace kestiva
