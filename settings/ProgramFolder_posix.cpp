#include "settings/ProgramFolder.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

namespace kestiva {

namespace {

std::string homeOfUser() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr)
        return {};
    return found->pw_dir;
}

}  // namespace

std::string programFolder() {
    // readlink does not say whether it truncated, so grow the buffer until the result fits.
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return "./";
        if (static_cast<std::size_t>(n) < buffer.size()) {
            const std::string exe(buffer.data(), static_cast<std::size_t>(n));
            // A replaced executable reads as "<path> (deleted)"; the folder part is unaffected.
            const std::size_t slash = exe.rfind('/');
            return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
        }
        if (buffer.size() >= (1u << 20))
            return "./";
        buffer.resize(buffer.size() * 2);
    }
}

UserFolders userFoldersFromEnvironment() {
    const char* home = ::getenv("HOME");
    const bool homeIsAbsolute = home != nullptr && home[0] == '/';
    const std::string passwdHome = homeIsAbsolute ? std::string() : homeOfUser();
    return userFolders(homeIsAbsolute ? home : passwdHome.c_str(), ::getenv("XDG_CONFIG_HOME"),
                       ::getenv("XDG_DATA_HOME"));
}

bool writableByUser(const std::string& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

}  // namespace kestiva
