#pragma once
// CSV recordings: the writer that saves a page's recording and the reader that checks a file
// and turns it into the page's recording again. Both run on the calling (worker) thread.
//
// Data file (3 items):               I/O file (16 signals):
//   date,V100,data                     date,V100,IO
//   cycle,time                         cycle,time
//   ,type0,type1,type2                 1,,,...,          (16 empty fields)
//   1,scale0,scale1,scale2             ms,,,...,         (16 empty fields)
//   ms,unit0,unit1,unit2               title,name0,...,name15
//   title,name0,name1,name2            time,v0,...,v15   (one line per sample)
//   time,v0,v1,v2                      ...
// Every line ends with CR LF; a disabled item is an empty field everywhere.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/FileBytes.h"
#include "recording/SampleTables.h"
#include "recording/SessionState.h"
#include "recording/HostInterfaces.h"
#include "settings/LanguageCatalogue.h"

namespace kestiva {

inline constexpr const char* kCsvVersion = "V100";
inline constexpr const char* kCsvDataType = "data";
inline constexpr const char* kCsvIoType = "IO";
// A field keeps at most this many bytes; the rest of it is read and dropped.
constexpr std::size_t kCsvFieldCap = 8192;

// The monitor that line 1's third field names: "data" or "IO", case included.
std::optional<MonitorKind> csvMonitorType(std::string_view field);

// The monitor that line 1 of the file at path names, for a caller that has not been told which
// page reads it; nullopt when the file cannot be opened as the reader opens it or names
// neither (the reader then refuses it with its own message).
std::optional<MonitorKind> csvFileMonitor(const std::string& path);

// Items per row of a monitor's file: 3 for the data monitor, 16 for the I/O monitor.
constexpr int csvItemCount(MonitorKind monitor) {
    return monitor == kDataMonitor ? kDataItemCount : kIoSignalCount;
}

// The header lines as the reader found them.
struct CsvHeader {
    std::string timeTitle;
    uint8_t itemCount = 0;  // K
    std::array<std::string, kItemsPerController> names;
    std::array<std::string, kItemsPerController> typeNames;
    std::array<std::string, kItemsPerController> scaleTexts;
    std::array<std::string, kItemsPerController> units;
};

// Writes the recording of page (its kind decides the variant) to path. The file appears, or
// replaces an existing one, only once every byte has reached the disk; a failed save leaves
// any existing file as it was. progressCount goes up by one per data line, with pumpMessages
// after each. 0, or -1: the file could not be created (the file-open message has been shown),
// a write failed, or the recording holds no sample, so that nothing is written (no message
// here for these two; the caller reports the failed save).
int writeCsv(const std::string& path, const PageRecording& page, SessionState& session,
             MessageHost& messages, ProgressHost& progress, const LanguageCatalogue& texts);

// Whether writeCsv could write path now: the writer's own checks, with a real temporary file
// in its folder, and a new name tried by creating (and removing) it. A recording cannot be
// repeated, so a front end asks before it starts one.
bool csvTargetWritable(const std::string& path);

// The message of a CSV file that cannot be created or opened.
void showCsvFileOpenMessage(MessageHost& messages, const LanguageCatalogue& texts);

// ⌈cycle × (count − 1) / 1000⌉ seconds, 16 bits kept: the time of a recording read from a file.
uint16_t loadedSamplingTime(uint16_t cycle, uint32_t count);

// The rows parseRows reads, staged in the page's spare tables (see PageRecording::Spare) so that
// a successful conversion takes the texts over whole, with what the value checks need, noted
// while each field was at hand. Rows from count on are emptied in the spare texts.
struct CsvRows {
    CsvRows(PageRecording& page, uint32_t count);

    uint32_t count;
    SampleTextTable& texts;
    // Data: K per row, each value field converted with the text-to-long rules.
    std::vector<int32_t>& values;
    // I/O: 16 per row, 0 or 1 for a value that is exactly "0" or "1", 2 for any other.
    std::vector<uint8_t>& bits;
    // Data, per row: bit k when value k holds a "-", bit 4 + k when it holds a ".".
    std::vector<uint8_t> marks;
};

class CsvReader {
public:
    CsvReader(MessageHost& messages, ProgressHost& progress, const LanguageCatalogue& texts);

    // Opens an existing regular file for reading and writing. -1 after showing the file-open
    // message. The file stays open until closeCsv or the reader's end.
    int openCsv(const std::string& path, MonitorKind monitor);
    void closeCsv() { bytes_.close(); }
    MonitorKind monitor() const { return monitor_; }
    // The file is read whole up to 32 MiB, in pieces beyond; tests choose smaller pieces.
    void setBufferLimit(std::size_t bytes) { bytes_.setBufferLimit(bytes); }
    // Tests replace the file's read call with one that fails part-way.
    void setReadCall(FileBytes::ReadCall read) { bytes_.setReadCall(std::move(read)); }

    // Field `field` (from 1) of line `line` (from 1; lines end with CR LF): 0 with its text,
    // the empty text when the line ends before it, or -1 when the file ends first or cannot be
    // read.
    int readHeaderField(int line, int field, std::string& text);
    int readDate(std::string& date) { return readHeaderField(1, 1, date); }
    int readVersion(std::string& version) { return readHeaderField(1, 2, version); }
    // 0 when line 1 names the reader's monitor ("data" or "IO", case included), else -1.
    int readMonitorType();
    // The cycle in 16 bits: -1 when unreadable, beyond 32 bits or 0 after the cut.
    int readCycle(uint16_t& cycle);
    // The time in 16 bits: -1 when unreadable or beyond 32 bits.
    int readTime(uint16_t& time);

    // Lines ending with CR LF after the header, at most kMaxSamples; 0 when the file cannot be
    // read.
    uint32_t countDataLines();

    // Reads the header lines into header and rows.count rows (a time and K values) into rows,
    // checking the characters of every number field. progressCount follows the row. 0, or -1
    // (a read error included).
    int parseRows(CsvHeader& header, CsvRows& rows, SessionState& session);

    // Check the parsed values and, only when every one passed, commit them into page: its
    // cycle, time, sample count, tables and the items of its active record (rows gives up its
    // texts). progressTotal becomes K + 2 × count; one step per item and per row of the check
    // and of the commit, each followed by pumpMessages. 0 or -1 (page untouched).
    int convertData(const CsvHeader& header, CsvRows& rows, uint16_t cycle, uint16_t time,
                    PageRecording& page, SessionState& session);
    int convertIo(const CsvHeader& header, CsvRows& rows, uint16_t cycle, uint16_t time,
                  PageRecording& page, SessionState& session);

    // Everything after a successful open, for page (of the reader's monitor): header checks,
    // count, parse, conversion, then the file's date and end marker 2. A failure shows its
    // message (the first check that fails names it; a file that cannot be read shows the
    // file-open message) and leaves page as it was.
    // Sets progressTotal and, before the conversion, the conversion phase. 0 or -1.
    int readRecording(PageRecording& page, SessionState& session);

private:
    enum class FieldEnd { Failure, More, EndOfLine, EndOfFile };
    // The next field: at most kCsvFieldCap bytes, valid until the next read, with the
    // character classes found in it.
    FieldEnd nextField(std::string_view& field, uint8_t& classes);
    FieldEnd nextField(std::string& field);
    template <bool Data>
    int parseFields(CsvRows& rows, SessionState& session);
    bool skipLines(uint32_t count);
    int readListLine(std::array<std::string, kItemsPerController>& fields, std::string* first);
    void beginConversion(uint32_t steps, SessionState& session);
    void step(SessionState& session);
    void commitTexts(CsvRows& rows, PageRecording& page, SessionState& session);
    void showCsvMessage(TextId id);
    // Shows why the read stopped at a check that failed with id, and returns -1.
    int refuseRead(TextId id);

    MessageHost& messages_;
    ProgressHost& progress_;
    const LanguageCatalogue& texts_;
    MonitorKind monitor_ = kDataMonitor;
    FileBytes bytes_;
    std::string spill_;  // a field that crosses the end of the read buffer
    int32_t steps_ = 0;  // progressCount of the conversion; only this thread writes it
};

}  // namespace kestiva
