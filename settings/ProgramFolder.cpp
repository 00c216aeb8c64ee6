#include "settings/ProgramFolder.h"

#include <unistd.h>

#include <vector>

namespace kestiva {

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

}  // namespace kestiva
