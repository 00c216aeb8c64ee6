#include "files/Journal.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "settings/FileCalls.h"

namespace kestiva {

namespace {

constexpr std::string_view kHeaderMagic = "KESTIVAJ";
constexpr std::string_view kEndMagic = "KESTIVAE";
constexpr uint16_t kFormat = 1;
// Magic, format and payload length.
constexpr std::size_t kHeaderPrefixBytes = 8 + 2 + 4;
// A payload beyond this is no header of ours (a controller record is well under 4 KB).
constexpr uint32_t kMaxPayloadBytes = 64 * 1024;

class Writer {
public:
    template <typename T>
    void number(T value) {
        for (std::size_t i = 0; i < sizeof(T); ++i)
            bytes_.push_back(char(uint64_t(value) >> (8 * i) & 0xFF));
    }
    void real(double value) { number(std::bit_cast<uint64_t>(value)); }
    void text(const std::string& value) {
        const std::size_t length = std::min<std::size_t>(value.size(), 0xFFFF);
        number(uint16_t(length));
        bytes_.append(value, 0, length);
    }
    void raw(std::string_view value) { bytes_.append(value); }
    std::string& bytes() { return bytes_; }

private:
    std::string bytes_;
};

// Reads what Writer wrote; every read past the end fails the whole parse.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    template <typename T>
    T number() {
        if (bytes_.size() - at_ < sizeof(T)) {
            ok_ = false;
            return T{};
        }
        uint64_t value = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            value |= uint64_t(uint8_t(bytes_[at_ + i])) << (8 * i);
        at_ += sizeof(T);
        return T(value);
    }
    double real() { return std::bit_cast<double>(number<uint64_t>()); }
    std::string text() {
        const uint16_t length = number<uint16_t>();
        if (!ok_ || bytes_.size() - at_ < length) {
            ok_ = false;
            return {};
        }
        std::string value(bytes_.substr(at_, length));
        at_ += length;
        return value;
    }
    bool ok() const { return ok_; }
    bool atEnd() const { return at_ == bytes_.size(); }

private:
    std::string_view bytes_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

const std::array<uint32_t, 256>& crcTable() {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

void writeController(Writer& out, const ControllerRecord& c) {
    out.text(c.name);
    out.number(c.rangeAddress1);
    out.number(c.rangeLength1);
    out.number(c.rangeAddress2);
    out.number(c.rangeLength2);
    out.number(c.rangeAbsent1);
    out.number(c.rangeAbsent2);
    out.number(uint8_t(c.items.size()));
    for (const DataItem& item : c.items) {
        out.text(item.name);
        out.number(item.address);
        out.number(item.typeCode);
        out.text(item.typeName);
        out.real(item.scale);
        out.text(item.scaleText);
        out.text(item.unit);
        out.number(item.bit);
        out.number(item.enabled);
    }
}

bool readController(Reader& in, ControllerRecord& c) {
    c.name = in.text();
    c.rangeAddress1 = in.number<uint16_t>();
    c.rangeLength1 = in.number<uint8_t>();
    c.rangeAddress2 = in.number<uint16_t>();
    c.rangeLength2 = in.number<uint8_t>();
    c.rangeAbsent1 = in.number<int32_t>();
    c.rangeAbsent2 = in.number<int32_t>();
    if (in.number<uint8_t>() != c.items.size())
        return false;
    for (DataItem& item : c.items) {
        item.name = in.text();
        item.address = in.number<uint16_t>();
        item.typeCode = in.number<int32_t>();
        item.typeName = in.text();
        item.scale = in.real();
        item.scaleText = in.text();
        item.unit = in.text();
        item.bit = in.number<uint8_t>();
        item.enabled = in.number<int32_t>();
    }
    return in.ok();
}

uint32_t storedCrc(std::string_view fourBytes) {
    Reader in(fourBytes);
    return in.number<uint32_t>();
}

}  // namespace

uint32_t crc32(std::string_view bytes, uint32_t crc) {
    const auto& table = crcTable();
    crc = ~crc;
    for (const char b : bytes)
        crc = table[(crc ^ uint8_t(b)) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::string encodeJournalHeader(const JournalHeader& header) {
    Writer payload;
    payload.number(uint8_t(header.monitor));
    payload.number(header.cycle);
    payload.number(header.time);
    payload.number(header.startTime);
    payload.text(header.startDate);
    payload.number(header.bitRate);
    payload.text(header.programVersion);
    writeController(payload, header.controller);

    Writer out;
    out.raw(kHeaderMagic);
    out.number(kFormat);
    out.number(uint32_t(payload.bytes().size()));
    out.raw(payload.bytes());
    out.number(crc32(out.bytes()));
    return std::move(out.bytes());
}

std::string encodeJournalEnd(const JournalEnd& end, uint32_t frameBytes) {
    Writer out;
    out.raw(kEndMagic);
    out.number(end.endState);
    out.number(end.goodBytes);
    out.number(frameBytes);
    out.number(crc32(out.bytes()));
    return std::move(out.bytes());
}

std::optional<std::size_t> journalHeaderSize(std::string_view start, JournalFault& fault) {
    if (start.empty()) {
        fault = JournalFault::Empty;
        return std::nullopt;
    }
    const std::size_t known = std::min(start.size(), kHeaderMagic.size());
    if (start.substr(0, known) != kHeaderMagic.substr(0, known)) {
        fault = JournalFault::Foreign;
        return std::nullopt;
    }
    if (start.size() < kHeaderPrefixBytes) {
        fault = JournalFault::Truncated;
        return std::nullopt;
    }
    Reader in(start.substr(kHeaderMagic.size()));
    const uint16_t format = in.number<uint16_t>();
    const uint32_t payload = in.number<uint32_t>();
    // A later format, or a length no header has, is a header this program cannot vouch for.
    if (format != kFormat || payload > kMaxPayloadBytes) {
        fault = JournalFault::Damaged;
        return std::nullopt;
    }
    fault = JournalFault::None;
    return kHeaderPrefixBytes + payload + 4;
}

JournalFault parseJournalHeader(std::string_view block, JournalHeader& header) {
    JournalFault fault;
    const auto size = journalHeaderSize(block, fault);
    if (!size)
        return fault;
    if (block.size() < *size)
        return JournalFault::Truncated;
    block = block.substr(0, *size);
    if (crc32(block.substr(0, *size - 4)) != storedCrc(block.substr(*size - 4)))
        return JournalFault::Damaged;
    Reader in(block.substr(kHeaderPrefixBytes, *size - 4 - kHeaderPrefixBytes));
    const uint8_t monitor = in.number<uint8_t>();
    header.monitor = monitor == 0 ? kDataMonitor : kIoMonitor;
    header.cycle = in.number<uint16_t>();
    header.time = in.number<uint16_t>();
    header.startTime = in.number<int64_t>();
    header.startDate = in.text();
    header.bitRate = in.number<int32_t>();
    header.programVersion = in.text();
    if (monitor > 1 || !readController(in, header.controller) || !in.atEnd() ||
        header.cycle == 0)
        return JournalFault::Damaged;
    return JournalFault::None;
}

std::optional<JournalEnd> parseJournalEnd(std::string_view last, uint64_t frameBytes) {
    if (last.size() != kJournalEndBytes || last.substr(0, kEndMagic.size()) != kEndMagic ||
        crc32(last.substr(0, kJournalEndBytes - 4)) != storedCrc(last.substr(kJournalEndBytes - 4)))
        return std::nullopt;
    Reader in(last.substr(kEndMagic.size()));
    JournalEnd end;
    end.endState = in.number<int32_t>();
    end.goodBytes = in.number<uint32_t>();
    if (in.number<uint32_t>() != frameBytes || end.goodBytes > frameBytes)
        return std::nullopt;
    return end;
}

JournalFault readJournal(const std::string& path, bool withFrames, JournalContents& contents) {
    uint64_t total = 0;
    std::string start;
    if (!fileSize(path, total) || !readFileRange(path, 0, kHeaderPrefixBytes, start))
        return JournalFault::Unreadable;
    JournalFault fault;
    const auto headerBytes = journalHeaderSize(start, fault);
    if (!headerBytes)
        return fault;
    std::string block;
    if (!readFileRange(path, 0, *headerBytes, block))
        return JournalFault::Unreadable;
    if (const JournalFault f = parseJournalHeader(block, contents.header); f != JournalFault::None)
        return f;

    contents.frameBytes = total - block.size();
    contents.end.reset();
    std::string last;
    if (contents.frameBytes >= kJournalEndBytes &&
        readFileRange(path, total - kJournalEndBytes, kJournalEndBytes, last)) {
        contents.end = parseJournalEnd(last, contents.frameBytes - kJournalEndBytes);
        if (contents.end)
            contents.frameBytes -= kJournalEndBytes;
    }
    contents.frames.clear();
    if (withFrames && !readFileRange(path, block.size(), std::size_t(contents.frameBytes),
                                     contents.frames))
        return JournalFault::Unreadable;
    return JournalFault::None;
}

std::string journalBaseName(std::time_t start, MonitorKind monitor) {
    const std::tm local = localTime(start);
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H-%M-%S", &local);
    return std::string(text, length) + (monitor == kDataMonitor ? "-data" : "-io");
}

std::vector<std::string> journalsToPrune(std::vector<FoundJournal> journals, std::time_t now,
                                         const JournalRetention& retention,
                                         const std::vector<std::string>& keep) {
    std::erase_if(journals, [&](const FoundJournal& j) {
        return std::find(keep.begin(), keep.end(), j.path) != keep.end();
    });
    // Newest first: the size limit keeps the newest ones that fit.
    std::sort(journals.begin(), journals.end(), [](const FoundJournal& a, const FoundJournal& b) {
        return a.modified != b.modified ? a.modified > b.modified : a.path > b.path;
    });
    std::vector<std::string> prune;
    uint64_t kept = 0;
    bool full = false;  // once one does not fit, every older one goes too
    for (const FoundJournal& j : journals) {
        if (now - j.modified > retention.maxAgeSeconds) {
            prune.push_back(j.path);
            continue;
        }
        full = full || kept + j.bytes > retention.maxTotalBytes;
        if (full)
            prune.push_back(j.path);
        else
            kept += j.bytes;
    }
    return prune;
}

int pruneJournals(const std::string& folder, std::time_t now, const JournalRetention& retention,
                  const std::vector<std::string>& keep) {
    int removed = 0;
    for (const std::string& path : journalsToPrune(findJournals(folder), now, retention, keep))
        // Another copy of the program may be recording into it right now.
        if (!beingWritten(path))
            removed += removeFile(path) ? 1 : 0;
    return removed;
}

}  // namespace kestiva
