#include "files/ReceiveDump.h"

#include <algorithm>
#include <cerrno>

#include "files/FileBytes.h"
#include "settings/FileCalls.h"

namespace kestiva {

std::string receiveDumpFileName(std::time_t now) {
    const std::tm local = localTime(now);
    char stamp[32];
    const std::size_t length = std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", &local);
    return std::string(stamp, length) + "_receive_buffer.log";
}

int receiveDumpLineLength(const ControllerRecord& shownActive) {
    // Station, function and byte count before the data, two CRC bytes after it.
    return shownActive.rangeLength1 == 0 ? 16 : shownActive.rangeLength1 + 5;
}

DumpResult writeReceiveDump(const uint8_t* capture, std::size_t byteCount,
                            const ControllerRecord& shownActive, const std::string& programFolder,
                            MessageHost& messages, const LanguageCatalogue& texts, std::time_t now) {
    byteCount = std::min(byteCount, kDumpByteLimit);
    if (byteCount == 0 || capture == nullptr)
        return DumpResult::NothingReceived;
    const std::string path = programFolder + receiveDumpFileName(now);
    const std::size_t lineLength = std::size_t(receiveDumpLineLength(shownActive));

    // Only a new file: a name that exists already, whatever it is (a file, a link that points
    // elsewhere, a FIFO or a device), is never written through.
    const int fd = createNewFile(path);
    if (fd < 0)
        return DumpResult::NotCreated;

    static constexpr char kHex[] = "0123456789ABCDEF";
    constexpr std::size_t kFlushBytes = 64 * 1024;
    std::string out;
    out.reserve(kFlushBytes + 5 * 260 + 2);
    bool ok = true;
    for (std::size_t i = 0; i < byteCount && ok; ++i) {
        const uint8_t byte = capture[i];
        const char entry[5] = {'0', 'x', kHex[byte >> 4], kHex[byte & 0x0F], ','};
        out.append(entry, sizeof entry);
        // The last bytes end a line too, complete or not, so that none is missing.
        if ((i + 1) % lineLength == 0 || i + 1 == byteCount)
            out.append("\r\n");
        if (out.size() >= kFlushBytes) {
            ok = writeAll(fd, out.data(), out.size());
            out.clear();
        }
    }
    if (ok && !out.empty())
        ok = writeAll(fd, out.data(), out.size());
    if (!closeFile(fd))
        ok = false;
    if (!ok) {
        // A cut dump would pass for the whole recording.
        removeFile(path);
        return DumpResult::WriteFailed;
    }

    messages.showMessage(texts.GetText(text::MSG_ALARM_TITLE), "Dump File Complete.\n\n" + path,
                       MessageIcon::Information);
    return DumpResult::Written;
}

}  // namespace kestiva
