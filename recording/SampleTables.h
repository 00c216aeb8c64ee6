#pragma once
// The tables a recording lives in: one text per value (what CSV files hold) and the numbers
// the graphs draw. Allocated once, at full size, per page.

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "recording/DecimalText.h"
#include "settings/SamplingConfig.h"

namespace kestiva {

constexpr uint32_t kSampleCapacity = 160000;  // rows per page
constexpr uint32_t kMaxSamples = 150001;      // the most a recording or a CSV file brings
constexpr int kTextColumns = 17;              // time, then up to 16 values
constexpr int kDataTextColumns = 1 + kDataItemCount;
constexpr int kIoTextColumns = 1 + kIoSignalCount;

// A rows x columns table of short texts in fixed cells. A text that fits the cell is kept in
// it; a longer one (a CSV may bring up to 8,192 bytes in a field) goes to an overflow arena
// that the cell points into. A std::string per cell would cost four times as much.
class SampleTextTable {
public:
    // cellBytes: 8 or more. The last byte of a cell tags it: its length when inline, or
    // kOverflowTag. arenaReserve: bytes of overflow text reserved up front.
    SampleTextTable(uint32_t rows, int columns, int cellBytes, std::size_t arenaReserve);

    uint32_t rows() const { return rows_; }
    int columns() const { return columns_; }

    // Inline: a recording or a CSV file passes millions of cells through these.
    std::string_view cell(uint32_t row, int column) const {
        if (row >= rows_ || column < 0 || column >= columns_) return {};
        const unsigned char* c = cellAt(row, column);
        const uint8_t tag = c[cellBytes_ - 1];
        if (tag != kOverflowTag) return {reinterpret_cast<const char*>(c), tag};
        uint32_t offset;
        uint16_t length;
        std::memcpy(&offset, c, 4);
        std::memcpy(&length, c + 4, 2);
        // A cell left from before clearFrom may point past the texts still held.
        if (offset > arena_.size() || length > arena_.size() - offset) return {};
        return {arena_.data() + offset, length};
    }
    void setCell(uint32_t row, int column, std::string_view text) {
        if (row >= rows_ || column < 0 || column >= columns_) return;
        unsigned char* c = cellAt(row, column);
        if (text.size() <= std::size_t(inlineCapacity())) {
            copyShort(c, text.data(), text.size());
            c[cellBytes_ - 1] = uint8_t(text.size());
            return;
        }
        setOverflowCell(c, text);
    }

    // setCell for a text that lies in a buffer readable for 16 bytes from text.data(): a text
    // that fits the cell is copied whole words at a time, without branching on its length
    // (the cell's bytes past the text are not kept clean).
    void setCellInBuffer(uint32_t row, int column, std::string_view text) {
        if (cellBytes_ > 16 || text.size() > std::size_t(inlineCapacity())) {
            setCell(row, column, text);
            return;
        }
        if (row >= rows_ || column < 0 || column >= columns_) return;
        unsigned char* c = cellAt(row, column);
        // One word, or two overlapping ones, cover the cell's inline room (up to 15 bytes).
        uint64_t word;
        std::memcpy(&word, text.data(), 8);
        std::memcpy(c, &word, 8);
        if (cellBytes_ > 8) {
            std::memcpy(&word, text.data() + cellBytes_ - 9, 8);
            std::memcpy(c + cellBytes_ - 9, &word, 8);
        }
        c[cellBytes_ - 1] = uint8_t(text.size());
    }
    // setCellInBuffer for columns 0 to count - 1 of row at once: column k gets the bytes of base
    // from starts[k] up to ends[k], all of them in a buffer readable for 16 bytes past each
    // start.
    template <int count>
    void setRowInBuffer(uint32_t row, const char* base, const unsigned (&starts)[count],
                        const unsigned (&ends)[count]) {
        const int cellBytes = cellBytes_;
        if (row >= rows_ || count > columns_ || cellBytes > 16 || cellBytes <= 8) {
            for (int k = 0; k < count; ++k)
                setCellInBuffer(row, k, std::string_view(base + starts[k], ends[k] - starts[k]));
            return;
        }
        unsigned char* c = cellAt(row, 0);
        const std::size_t room = std::size_t(cellBytes - 1);
        for (int k = 0; k < count; ++k, c += cellBytes) {
            const char* text = base + starts[k];
            const std::size_t length = ends[k] - starts[k];
            if (length > room) {
                setOverflowCell(c, std::string_view(text, length));
                continue;
            }
            uint64_t head, tail;
            std::memcpy(&head, text, 8);
            std::memcpy(&tail, text + cellBytes - 9, 8);
            std::memcpy(c, &head, 8);
            std::memcpy(c + cellBytes - 9, &tail, 8);
            c[cellBytes - 1] = uint8_t(length);
        }
    }
    // setCell for a text held in words: on the cell sizes the pages use, it goes in with two
    // stores, the bytes of the cell past the text zero as after clear.
    __attribute__((always_inline)) void setPackedCell(uint32_t row, int column,
                                                      const PackedText& text) {
        const bool wordWise = std::endian::native == std::endian::little &&
                              (cellBytes_ == 8 || cellBytes_ == 12) &&
                              text.length <= unsigned(inlineCapacity());
        if (!wordWise) {
            setCell(row, column, text.text());
            return;
        }
        if (row >= rows_ || column < 0 || column >= columns_) return;
        unsigned char* c = cellAt(row, column);
        if (cellBytes_ == 8) {
            const uint64_t cell = text.low | uint64_t(text.length) << 56;
            std::memcpy(c, &cell, 8);
            return;
        }
        const uint32_t tail = uint32_t(text.high) | uint32_t(text.length) << 24;
        std::memcpy(c, &text.low, 8);
        std::memcpy(c + 8, &tail, 4);
    }
    // Sets count cells of row from column first on to the single characters chars[0],
    // chars[stride], chars[2 * stride], ...
    void setCharCells(uint32_t row, int first, int count, const char* chars, int stride) {
        if (row >= rows_ || first < 0 || count < 0 || count > columns_ - first) return;
        unsigned char* c = cellAt(row, first);
        if (cellBytes_ == 8 && std::endian::native == std::endian::little) {
            // The character and the tag of length 1 in one store.
            for (int k = 0; k < count; ++k, c += 8) {
                const uint64_t cell = uint8_t(chars[k * stride]) | uint64_t(1) << 56;
                std::memcpy(c, &cell, 8);
            }
            return;
        }
        for (int k = 0; k < count; ++k, c += cellBytes_) {
            c[0] = uint8_t(chars[k * stride]);
            c[cellBytes_ - 1] = 1;
        }
    }

    // Empties every cell and the overflow arena (keeping its capacity).
    void clear();
    // Readies the table to be filled again in rows 0 to row - 1: empties the rows from row on
    // and drops the overflow texts (keeping the arena's capacity), without touching the first
    // rows, whose cells mean nothing until they are set again (an overflow cell among them
    // reads as empty or as another text of the arena, never outside it).
    void clearFrom(uint32_t row);

    // Bytes held: cells plus the arena's capacity.
    std::size_t memoryBytes() const;

private:
    static constexpr uint8_t kOverflowTag = 0xFF;
    unsigned char* cellAt(uint32_t row, int column) {
        return cells_.get() + (std::size_t(row) * columns_ + column) * cellBytes_;
    }
    const unsigned char* cellAt(uint32_t row, int column) const {
        return cells_.get() + (std::size_t(row) * columns_ + column) * cellBytes_;
    }
    int inlineCapacity() const { return cellBytes_ - 1; }
    void setOverflowCell(unsigned char* c, std::string_view text);
    // Copies a short text with a few fixed-size moves instead of a library call.
    static void copyShort(unsigned char* to, const char* from, std::size_t n) {
        if (n >= 16) {
            std::memcpy(to, from, n);
        } else if (n >= 8) {
            uint64_t head, tail;
            std::memcpy(&head, from, 8);
            std::memcpy(&tail, from + n - 8, 8);
            std::memcpy(to, &head, 8);
            std::memcpy(to + n - 8, &tail, 8);
        } else if (n >= 4) {
            uint32_t head, tail;
            std::memcpy(&head, from, 4);
            std::memcpy(&tail, from + n - 4, 4);
            std::memcpy(to, &head, 4);
            std::memcpy(to + n - 4, &tail, 4);
        } else if (n > 0) {
            to[0] = uint8_t(from[0]);
            to[n / 2] = uint8_t(from[n / 2]);
            to[n - 1] = uint8_t(from[n - 1]);
        }
    }

    uint32_t rows_;
    int columns_;
    int cellBytes_;
    std::unique_ptr<unsigned char[]> cells_;
    std::vector<char> arena_;
};

// How a page's recording ended; it decides the time span the page shows.
enum class EndMarker : int32_t {
    Complete = 0,  // it ran its whole sampling time
    CutShort = 1,  // stopped, or ended early
    FromCsv = 2,   // read from a CSV file
};

// One page's recording: texts, numbers and what they were recorded with.
struct PageRecording {
    explicit PageRecording(MonitorKind kind);

    MonitorKind kind;
    SampleTextTable texts;
    std::vector<int32_t> rawData;  // data page: 3 values per sample, sample-major
    std::vector<uint8_t> rawIo;    // I/O page: 16 bytes of 0 or 1 per sample
    uint32_t sampleCount = 0;      // valid rows of both tables
    EndMarker endMarker = EndMarker::Complete;
    ControllerRecord active;       // the controller record the recording was made with
    uint16_t cycle = 0;            // milliseconds
    uint16_t time = 0;             // seconds
    std::string startDate;         // kept verbatim with the recording

    int32_t& dataValue(uint32_t sample, int item) { return rawData[sample * kDataItemCount + item]; }
    uint8_t& ioBit(uint32_t sample, int signal) { return rawIo[sample * kIoSignalCount + signal]; }

    // Tables of the page's shape for a recording that must be checked whole before it replaces
    // the page's (a CSV read stages into them and swaps the texts in). Made on first use and
    // kept, so that reading again allocates nothing and clears only the rows past the new
    // count; the swapped-out texts become the next spare.
    struct Spare {
        SampleTextTable texts;
        std::vector<int32_t> rawData;
        std::vector<uint8_t> rawIo;
    };
    Spare& spareTables();

    // Bytes held, the spare tables included once made.
    std::size_t memoryBytes() const;

private:
    std::unique_ptr<Spare> spare_;
};

}  // namespace kestiva
