#include "files/ReplacingFile.h"

#include <windows.h>

#include "settings/Utf8Path.h"

namespace kestiva {

bool ReplacingFile::open(const std::string& target) {
    abandon();
    if (target.empty() || target.back() == '/' || target.back() == '\\')
        return false;
    // '/' between the parts, so that the temporary file lands in the target's folder whichever
    // separator the caller used.
    target_ = utf8Text(utf8Path(target));
    // Only what could have been opened for writing in place may be replaced.
    const DWORD attributes = ::GetFileAttributesW(widePath(target_).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0)
        return false;
    return createTemporary();
}

}  // namespace kestiva
