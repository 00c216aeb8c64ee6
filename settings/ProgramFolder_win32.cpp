#include "settings/ProgramFolder.h"

#include <io.h>
#include <windows.h>

#include <string>

#include "settings/FileCalls.h"
#include "settings/Utf8Path.h"

namespace kestiva {

namespace {

// A wide path from the system as the core's UTF-8 form, with '/' between its parts.
std::string coreForm(const std::wstring& wide) {
    return utf8Text(std::filesystem::path(wide));
}

}  // namespace

std::string programFolder() {
    // GetModuleFileNameW does not say how long the name is, so grow the buffer until it fits.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
        if (n == 0)
            return "./";
        if (n < buffer.size()) {
            buffer.resize(n);
            const std::string exe = coreForm(buffer);
            const std::size_t slash = exe.rfind('/');
            return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
        }
        if (buffer.size() >= (1u << 16))
            return "./";
        buffer.resize(buffer.size() * 2);
    }
}

UserFolders userFoldersFromEnvironment() {
    // The roaming application data folder holds both the settings and the dumps, as the
    // configuration and data homes do on Linux.
    const wchar_t* appData = ::_wgetenv(L"APPDATA");
    if (appData == nullptr || appData[0] == L'\0')
        return {};
    std::string folder = coreForm(appData);
    if (!folder.ends_with('/'))
        folder += '/';
    return {folder, folder};
}

bool writableByUser(const std::string& path) {
    const std::wstring wide = widePath(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return (attributes & FILE_ATTRIBUTE_READONLY) == 0 && ::_waccess(wide.c_str(), 2) == 0;
    // A folder's read-only flag says nothing about writing into it: only a file made there
    // tells (Program Files refuses one to an ordinary user).
    std::string probe = path;
    if (!probe.ends_with('/'))
        probe += '/';
    probe += ".kestiva-write-test-" + std::to_string(processId());
    const int fd = createNewFile(probe);
    if (fd < 0)
        return false;
    closeFile(fd);
    removeFile(probe);
    return true;
}

}  // namespace kestiva
