#pragma once
// A recording's journal: a file that grows while the recording runs, so that a crash or a
// power cut costs at most its last moment. It starts with a header that carries everything
// needed to decode the recording again (the controller's ranges and items as they were, not
// as the configuration says today), continues with the capture buffer's bytes as they were
// completed, and once the recording has ended closes with a short end record. The header and
// the end record carry their own CRC-32, so that a torn or damaged one is never mistaken for
// a good one: a torn end record reads as "no end".
//
//   "KESTIVAJ" | u16 format | u32 payload length | payload | u32 CRC-32 of all before it
//   frame bytes ...
//   "KESTIVAE" | i32 end state | u32 good bytes | u32 frame bytes | u32 CRC-32 (24 bytes)
//
// Numbers are little-endian; a text is a u16 length and its UTF-8 bytes.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/SamplingConfig.h"

namespace kestiva {

struct JournalHeader {
    MonitorKind monitor = kDataMonitor;
    ControllerRecord controller;  // as the recording used it
    uint16_t cycle = 0;           // milliseconds
    uint16_t time = 0;            // seconds
    int64_t startTime = 0;        // seconds since the epoch
    std::string startDate;        // the date text kept with the recording
    int32_t bitRate = 0;
    std::string programVersion;
};

// How the recording ended, written once it has.
struct JournalEnd {
    int32_t endState = 0;    // the sampling state's number
    uint32_t goodBytes = 0;  // the bytes the pass after the recording decoded
};

// Why a file is no journal that can be restored.
enum class JournalFault {
    None,
    Unreadable,  // the file could not be opened or read
    Empty,       // zero bytes
    Truncated,   // it ends inside its header
    Foreign,     // it does not start as a journal does
    Damaged,     // its header fails its check or does not parse
};

constexpr std::string_view kJournalExtension = ".kjournal";
constexpr std::size_t kJournalEndBytes = 24;

uint32_t crc32(std::string_view bytes, uint32_t crc = 0);

// The header block a journal starts with.
std::string encodeJournalHeader(const JournalHeader& header);
// The end record that follows frameBytes bytes of frames.
std::string encodeJournalEnd(const JournalEnd& end, uint32_t frameBytes);

// How many leading bytes a header block needs in all, from its first bytes (at least 14 of
// them); nullopt with fault set when they are no header's start.
std::optional<std::size_t> journalHeaderSize(std::string_view start, JournalFault& fault);
// The header from a whole header block (as journalHeaderSize measured it).
JournalFault parseJournalHeader(std::string_view block, JournalHeader& header);
// The end record from a journal's last kJournalEndBytes bytes, when they are one that closes
// exactly frameBytes bytes of frames.
std::optional<JournalEnd> parseJournalEnd(std::string_view last, uint64_t frameBytes);

// A journal as read from its file.
struct JournalContents {
    JournalHeader header;
    std::optional<JournalEnd> end;
    uint64_t frameBytes = 0;  // between the header and the end record (or the file's end)
    std::string frames;       // only when asked for
};
// Reads a journal: the header, the end record if it has one and, when withFrames, the frames.
JournalFault readJournal(const std::string& path, bool withFrames, JournalContents& contents);

// "2026-12-07T19-43-05-data": a journal's name from its recording's start (local time).
std::string journalBaseName(std::time_t start, MonitorKind monitor);

// --- Files on the disk ------------------------------------------------------------------

// A journal file that is only ever appended to.
class JournalFile {
public:
    JournalFile() = default;
    ~JournalFile() { close(); }
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // Makes folder (and its parents) and a new file baseName + kJournalExtension in it, or
    // baseName-2, -3, ... when that name is taken. false with the reason in error.
    bool create(const std::string& folder, const std::string& baseName, std::string& error);
    const std::string& path() const { return path_; }
    // false with the reason in error (a full disk, a file-size limit, an I/O error).
    bool append(std::string_view bytes, std::string& error);
    // Makes what was appended durable.
    bool sync(std::string& error);
    void close();

private:
    int fd_ = -1;
    std::string path_;
};

// A journal found in a folder.
struct FoundJournal {
    std::string path;
    uint64_t bytes = 0;
    std::time_t modified = 0;
};
// The journals (by their extension) in folder, in no particular order.
std::vector<FoundJournal> findJournals(const std::string& folder);
// The size of a file and the bytes [offset, offset + size) of it; false when it cannot be read.
bool fileSize(const std::string& path, uint64_t& bytes);
bool readFileRange(const std::string& path, uint64_t offset, std::size_t size, std::string& out);

// --- Keeping ----------------------------------------------------------------------------

struct JournalRetention {
    std::time_t maxAgeSeconds = 7 * 24 * 3600;
    uint64_t maxTotalBytes = uint64_t(1) << 30;
};
// Which of the journals to remove: those older than the age limit, then the oldest until the
// rest fit the size limit. Journals in keep are never chosen (nor counted against the size).
std::vector<std::string> journalsToPrune(std::vector<FoundJournal> journals, std::time_t now,
                                         const JournalRetention& retention,
                                         const std::vector<std::string>& keep);
// Removes them from folder; how many went.
int pruneJournals(const std::string& folder, std::time_t now, const JournalRetention& retention,
                  const std::vector<std::string>& keep = {});

}  // namespace kestiva
