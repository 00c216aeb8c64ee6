#include "recording/SampleTables.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace kestiva {

namespace {
// An overflow cell holds the arena offset (4 bytes) and the length (2 bytes); texts are cut
// to 65,535 bytes, far above the 8,192-byte CSV field cap.
constexpr std::size_t kMaxOverflowLength = 0xFFFF;
}  // namespace

SampleTextTable::SampleTextTable(uint32_t rows, int columns, int cellBytes,
                                 std::size_t arenaReserve)
    : rows_(rows),
      columns_(columns),
      cellBytes_(std::max(cellBytes, 8)),
      cells_(new unsigned char[std::size_t(rows) * columns * std::max(cellBytes, 8)]()) {
    arena_.reserve(arenaReserve);
}

void SampleTextTable::setOverflowCell(unsigned char* c, std::string_view text) {
    text = text.substr(0, kMaxOverflowLength);
    const uint32_t offset = uint32_t(arena_.size());
    const uint16_t length = uint16_t(text.size());
    arena_.insert(arena_.end(), text.begin(), text.end());
    std::memcpy(c, &offset, 4);
    std::memcpy(c + 4, &length, 2);
    c[cellBytes_ - 1] = kOverflowTag;
}

void SampleTextTable::clear() {
    std::memset(cells_.get(), 0, std::size_t(rows_) * columns_ * cellBytes_);
    arena_.clear();
}

void SampleTextTable::clearFrom(uint32_t row) {
    if (row < rows_)
        std::memset(cellAt(row, 0), 0, std::size_t(rows_ - row) * columns_ * cellBytes_);
    arena_.clear();
}

std::size_t SampleTextTable::memoryBytes() const {
    return std::size_t(rows_) * columns_ * cellBytes_ + arena_.capacity();
}

namespace {
// Data texts: times up to 8 digits and values up to 11 characters ("-2147483648") fit a
// 12-byte cell. I/O texts are "0" and "1"; only times of 8 digits overflow an 8-byte cell.
SampleTextTable makeTable(MonitorKind kind) {
    if (kind == kDataMonitor) return SampleTextTable(kSampleCapacity, kDataTextColumns, 12, 0);
    return SampleTextTable(kSampleCapacity, kIoTextColumns, 8, std::size_t(kSampleCapacity) * 8);
}
}  // namespace

PageRecording::PageRecording(MonitorKind k) : kind(k), texts(makeTable(k)) {
    if (kind == kDataMonitor)
        rawData.assign(std::size_t(kSampleCapacity) * kDataItemCount, 0);
    else
        rawIo.assign(std::size_t(kSampleCapacity) * kIoSignalCount, 0);
}

PageRecording::Spare& PageRecording::spareTables() {
    if (!spare_) {
        spare_.reset(new Spare{makeTable(kind), {}, {}});
        spare_->rawData.resize(rawData.size());
        spare_->rawIo.resize(rawIo.size());
    }
    return *spare_;
}

std::size_t PageRecording::memoryBytes() const {
    std::size_t bytes = texts.memoryBytes() + rawData.capacity() * sizeof(int32_t) + rawIo.capacity();
    if (spare_)
        bytes += spare_->texts.memoryBytes() + spare_->rawData.capacity() * sizeof(int32_t) +
                 spare_->rawIo.capacity();
    return bytes;
}

}  // namespace kestiva
