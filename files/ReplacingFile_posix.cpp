#include "files/ReplacingFile.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>

#include "settings/FileCalls.h"

namespace kestiva {

bool ReplacingFile::open(const std::string& target) {
    abandon();
    if (target.empty() || target.back() == '/')
        return false;
    target_ = target;

    // A symbolic link keeps pointing at the file it named: the file behind it is replaced.
    struct stat st;
    bool exists = ::lstat(target.c_str(), &st) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(target.c_str(), nullptr)) {
            target_ = resolved;
            std::free(resolved);
        }
        exists = ::stat(target_.c_str(), &st) == 0;
    }
    // Only what could have been opened for writing in place may be replaced.
    if (exists && (!S_ISREG(st.st_mode) || ::access(target_.c_str(), W_OK) != 0))
        return false;
    // 0666 before the umask, as a plainly created file would get.
    if (!createTemporary())
        return false;
    if (exists) {
        // The replacement keeps the permissions and, where allowed, the owner of the old file.
        [[maybe_unused]] const int owned = ::fchown(fd_, st.st_uid, st.st_gid);
        [[maybe_unused]] const int moded = ::fchmod(fd_, st.st_mode & 07777);
    }
    return true;
}

}  // namespace kestiva
