#include "settings/ProgramFolder.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "settings/CommunicationSettings.h"

namespace kestiva {

namespace fs = std::filesystem;

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

namespace {

bool isAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

std::string withSlash(std::string folder) {
    if (!folder.ends_with('/'))
        folder += '/';
    return folder;
}

// The variable's folder, else the folder below home; a relative path would depend on where the
// program was started, so it counts as unset.
std::string baseFolder(const char* variable, const char* home, const char* belowHome) {
    if (isAbsolute(variable))
        return withSlash(variable);
    if (isAbsolute(home))
        return withSlash(home) + belowHome;
    return {};
}

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

UserFolders userFolders(const char* home, const char* xdgConfigHome, const char* xdgDataHome) {
    return {baseFolder(xdgConfigHome, home, ".config/"),
            baseFolder(xdgDataHome, home, ".local/share/")};
}

UserFolders userFoldersFromEnvironment() {
    const char* home = ::getenv("HOME");
    const std::string passwdHome = isAbsolute(home) ? std::string() : homeOfUser();
    return userFolders(isAbsolute(home) ? home : passwdHome.c_str(), ::getenv("XDG_CONFIG_HOME"),
                       ::getenv("XDG_DATA_HOME"));
}

bool writableByUser(const std::string& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

std::string shippedFolder(const std::string& programFolder) {
    std::error_code ec;
    if (fs::is_directory(programFolder + "System", ec))
        return programFolder;
    const fs::path executableFolder = fs::path(programFolder).parent_path();
    if (executableFolder.filename() != "bin")
        return {};
    const std::string share = (executableFolder.parent_path() / "share" / "kestiva").string() + "/";
    return fs::is_directory(share + "System", ec) ? share : std::string();
}

namespace {

// A portable copy writes its settings back beside the executable; a settings file that is
// missing is not written at all, so only the folder has to allow it.
bool isPortable(const std::string& programFolder, const WritableTest& writable) {
    const std::string settings = communicationSettingsPath(programFolder);
    std::error_code ec;
    return writable(programFolder + "System/") &&
           (!fs::exists(fs::symlink_status(settings, ec)) || writable(settings));
}

// Copies source to target unless target exists. The copy is made under a temporary name and
// linked into place, so that an interrupted copy never leaves a cut file that would count as
// the user's own, and a file that appeared meanwhile is never replaced.
std::error_code copyIfMissing(const fs::path& source, const fs::path& target) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(target, ec)))
        return {};
    std::string temporary =
        (target.parent_path() / ("." + target.filename().string())).string() + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return {errno, std::generic_category()};
    ::close(fd);
    fs::copy_file(source, temporary, fs::copy_options::overwrite_existing, ec);
    // The user edits the copy and the program writes its settings back into it, even when
    // the shipped file is read-only.
    if (!ec)
        fs::permissions(temporary, fs::perms::owner_read | fs::perms::owner_write,
                        fs::perm_options::add, ec);
    if (!ec && ::link(temporary.c_str(), target.c_str()) != 0 && errno != EEXIST)
        ec = {errno, std::generic_category()};
    ::unlink(temporary.c_str());
    return ec;
}

// Every file of the shipped System/ that the user's System/ lacks, and an empty ports/; the
// first failure's reason.
std::error_code copyMissingFiles(const fs::path& shippedSystem, const fs::path& userSystem) {
    std::error_code ec;
    fs::create_directories(userSystem / "ports", ec);
    if (ec)
        return ec;
    fs::directory_iterator entry(shippedSystem, ec);
    for (; !ec && entry != fs::directory_iterator(); entry.increment(ec)) {
        if (!entry->is_regular_file(ec))
            continue;
        if (const std::error_code failed =
                copyIfMissing(entry->path(), userSystem / entry->path().filename()))
            return failed;
    }
    return ec;
}

}  // namespace

std::string systemHome(const std::string& programFolder, const UserFolders& user,
                       const WritableTest& writable, std::string* userCopyProblem) {
    const auto chosen = [userCopyProblem](const std::string& folder, std::string problem) {
        if (userCopyProblem)
            *userCopyProblem = std::move(problem);
        return folder;
    };
    const std::string shipped = shippedFolder(programFolder);
    if (shipped.empty())
        return chosen(programFolder, "");
    if (shipped == programFolder && isPortable(programFolder, writable))
        return chosen(programFolder, "");
    if (user.configHome.empty())
        return chosen(shipped, "no folder for the user's files: neither XDG_CONFIG_HOME nor "
                                 "a home folder is known");
    const std::string home = user.configHome + "kestiva/";
    const std::error_code ec = copyMissingFiles(shipped + "System", home + "System");
    return ec ? chosen(shipped, home + "System: " + ec.message()) : chosen(home, "");
}

std::string dumpFolder(const std::string& programFolder, const std::string& systemHome,
                       const UserFolders& user) {
    if (systemHome == programFolder || user.dataHome.empty())
        return systemHome;
    return user.dataHome + "kestiva/";
}

std::string journalFolder(const std::string& programFolder, const std::string& systemHome,
                          const UserFolders& user) {
    return dumpFolder(programFolder, systemHome, user) + "journal/";
}

}  // namespace kestiva
