#pragma once
// The receive-buffer dump: the raw bytes of the last recording as hexadecimal text, one
// response frame's worth per line, for examining a communication problem byte by byte.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

#include "recording/HostInterfaces.h"
#include "settings/LanguageCatalogue.h"
#include "settings/SamplingConfig.h"

namespace kestiva {

// The most bytes the capture buffer holds.
constexpr std::size_t kDumpByteLimit = 3456000;

// "YYYYmmddHHMMSS_receive_buffer.log" for a local time.
std::string receiveDumpFileName(std::time_t now);

// Bytes per line: one stored frame of the record's first range, 16 when it has none.
int receiveDumpLineLength(const ControllerRecord& shownActive);

enum class DumpResult { Written, NothingReceived, NotCreated, WriteFailed };

// Writes the first byteCount bytes of capture (at most kDumpByteLimit) into programFolder
// (ending with '/') as "0xAB," entries, CR LF after each line of receiveDumpLineLength entries
// and after the shorter last line, then shows "Dump File Complete." with the path. Nothing is
// written or shown when nothing was received; a file that cannot be created or written ends
// the dump without a message, and one that could not be written whole is removed. The file is
// always a new one: when its name exists already (a second dump within the same second, say),
// the dump is NotCreated.
DumpResult writeReceiveDump(const uint8_t* capture, std::size_t byteCount,
                            const ControllerRecord& shownActive, const std::string& programFolder,
                            MessageHost& messages, const LanguageCatalogue& texts,
                            std::time_t now = std::time(nullptr));

}  // namespace kestiva
