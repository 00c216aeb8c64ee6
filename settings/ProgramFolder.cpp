#include "settings/ProgramFolder.h"

#include <atomic>
#include <cerrno>
#include <filesystem>

#include "settings/CommunicationSettings.h"
#include "settings/FileCalls.h"
#include "settings/Utf8Path.h"

namespace kestiva {

namespace fs = std::filesystem;

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

}  // namespace

UserFolders userFolders(const char* home, const char* xdgConfigHome, const char* xdgDataHome) {
    return {baseFolder(xdgConfigHome, home, ".config/"),
            baseFolder(xdgDataHome, home, ".local/share/")};
}

std::string shippedFolder(const std::string& programFolder) {
    std::error_code ec;
    if (fs::is_directory(utf8Path(programFolder + "System"), ec))
        return programFolder;
    const fs::path executableFolder = utf8Path(programFolder).parent_path();
    if (executableFolder.filename() != "bin")
        return {};
    const std::string share = utf8Text(executableFolder.parent_path() / "share" / "kestiva") + "/";
    return fs::is_directory(utf8Path(share + "System"), ec) ? share : std::string();
}

namespace {

// A portable copy writes its settings back beside the executable; a settings file that is
// missing is not written at all, so only the folder has to allow it.
bool isPortable(const std::string& programFolder, const WritableTest& writable) {
    const std::string settings = communicationSettingsPath(programFolder);
    std::error_code ec;
    return writable(programFolder + "System/") &&
           (!fs::exists(fs::symlink_status(utf8Path(settings), ec)) || writable(settings));
}

std::atomic<unsigned> temporaryCounter{0};

// Copies source to target unless target exists. The copy is made under a temporary name and
// moved into place only as a new name, so that an interrupted copy never leaves a cut file that
// would count as the user's own, and a file that appeared meanwhile is never replaced.
std::error_code copyIfMissing(const fs::path& source, const fs::path& target) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(target, ec)))
        return {};
    std::string hidden = ".";
    hidden += utf8Text(target.filename());
    fs::path temporary;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target.parent_path() / utf8Path(hidden + "." + std::to_string(processId()) +
                                                    "-" + std::to_string(temporaryCounter++));
        ec.clear();
        if (fs::copy_file(source, temporary, ec) || ec != std::errc::file_exists)
            break;
    }
    // The user edits the copy and the program writes its settings back into it, even when
    // the shipped file is read-only.
    if (!ec)
        fs::permissions(temporary, fs::perms::owner_read | fs::perms::owner_write,
                        fs::perm_options::add, ec);
    if (!ec && !moveToNewName(utf8Text(temporary), utf8Text(target)) && errno != EEXIST)
        ec = {errno, std::generic_category()};
    std::error_code ignored;
    fs::remove(temporary, ignored);
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
    const std::error_code ec =
        copyMissingFiles(utf8Path(shipped + "System"), utf8Path(home + "System"));
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
