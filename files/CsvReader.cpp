#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

#include "files/CsvFile.h"
#include "link/TextToLong.h"

namespace kestiva {

namespace {

// Number fields of a data file and value fields of an I/O file may hold only these; the empty
// text passes.
bool isSignedRealText(std::string_view text) {
    return text.find_first_not_of("0123456789.+-") == std::string_view::npos;
}
bool isBinaryText(std::string_view text) {
    return text.find_first_not_of("01") == std::string_view::npos;
}

constexpr std::array<std::string_view, 8> kTypeNames = {"DWORD", "UDWORD", "WORD", "UWORD",
                                                         "MSB",   "UMSB",   "LSB",  "ULSB"};

// The code of a data-type name, or -1.
int typeCodeOf(std::string_view name) {
    for (std::size_t code = 0; code < kTypeNames.size(); ++code)
        if (kTypeNames[code] == name) return int(code);
    return -1;
}

// Codes 1, 3, 5 and 7 are the unsigned forms.
bool isUnsignedType(int code) { return code % 2 == 1; }

// A decimal real number read as far as it goes, as the C library reads one: an optional sign,
// digits with at most one point; nothing readable gives 0, a value too large gives infinity.
double decimalReal(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size() || text[i] == '+' || text[i] == '-') return 0.0;
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(text.data() + i, text.data() + text.size(), value, std::chars_format::fixed);
    if (error == std::errc::result_out_of_range) {
        // Either far too large or far too small in magnitude: a long run of digits before the
        // point decides which.
        value = text[i] == '.' ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (error != std::errc()) {
        value = 0.0;
    }
    (void)end;
    return negative ? -value : value;
}

}  // namespace

uint16_t loadedSamplingTime(uint16_t cycle, uint32_t count) {
    if (count == 0) return 0;
    const uint64_t milliseconds = uint64_t(cycle) * (count - 1);
    return uint16_t((milliseconds + 999) / 1000);
}

SampleTextTable makeCsvRows(MonitorKind monitor, uint32_t count) {
    // The page tables' cell sizes: data values up to 11 characters, I/O values one.
    if (monitor == kDataMonitor) return SampleTextTable(count, kDataTextColumns, 12, 0);
    return SampleTextTable(count, kIoTextColumns, 8, std::size_t(count) * 8);
}

CsvReader::CsvReader(WindowPort& window, const LanguageCatalogue& texts)
    : window_(window), texts_(texts) {}

int CsvReader::openCsv(const std::string& path, MonitorKind monitor) {
    monitor_ = monitor;
    if (!bytes_.open(path)) {
        showCsvFileOpenMessage(window_, texts_);
        return -1;
    }
    return 0;
}

CsvReader::FieldEnd CsvReader::nextField(std::string& field) {
    field.clear();
    for (;;) {
        const int c = bytes_.get();
        if (c < 0) return FieldEnd::Failure;
        if (c == ',') return FieldEnd::More;
        if (c == '\r') {
            // The byte after a CR belongs to the separator, whatever it is.
            const int next = bytes_.get();
            return next <= 0 ? FieldEnd::EndOfFile : FieldEnd::EndOfLine;
        }
        if (c == '\n') return FieldEnd::EndOfLine;
        if (field.size() < kCsvFieldCap) field.push_back(char(c));
    }
}

bool CsvReader::skipLines(uint32_t count) {
    // Only a CR immediately followed by an LF ends a line here.
    bool afterCr = false;
    while (count > 0) {
        const int c = bytes_.get();
        if (c < 0) return false;
        if (c == '\n' && afterCr) --count;
        afterCr = c == '\r';
    }
    return true;
}

int CsvReader::readHeaderField(int line, int field, std::string& text) {
    text.clear();
    if (!bytes_.isOpen() || line < 1 || field < 1) return -1;
    bytes_.seek(0);
    if (!skipLines(uint32_t(line - 1))) return -1;
    for (int f = 1;; ++f) {
        const FieldEnd end = nextField(text);
        if (end == FieldEnd::Failure) return -1;
        if (f == field) return 0;
        if (end == FieldEnd::EndOfFile) return -1;
        if (end == FieldEnd::EndOfLine) {
            text.clear();
            return 0;
        }
    }
}

int CsvReader::readMonitorType() {
    std::string type;
    if (readHeaderField(1, 3, type) != 0) return -1;
    if (type == kCsvDataType) return monitor_ == kDataMonitor ? 0 : -1;
    if (type == kCsvIoType) return monitor_ == kIoMonitor ? 0 : -1;
    return -1;
}

int CsvReader::readCycle(uint16_t& cycle) {
    std::string text;
    if (readHeaderField(2, 1, text) != 0) return -1;
    bool outOfRange = false;
    const uint16_t value = uint16_t(textToLong(text, &outOfRange));
    if (outOfRange || value == 0) return -1;
    cycle = value;
    return 0;
}

int CsvReader::readTime(uint16_t& time) {
    std::string text;
    if (readHeaderField(2, 2, text) != 0) return -1;
    bool outOfRange = false;
    const uint16_t value = uint16_t(textToLong(text, &outOfRange));
    if (outOfRange) return -1;
    time = value;
    return 0;
}

uint32_t CsvReader::countDataLines() {
    if (!bytes_.isOpen()) return 0;
    bytes_.seek(0);
    if (!skipLines(monitor_ == kDataMonitor ? 6 : 5)) return 0;
    uint32_t count = 0;
    bool afterCr = false;
    while (count < kMaxSamples) {
        const int c = bytes_.get();
        if (c < 0) break;
        if (c == '\n' && afterCr) ++count;
        afterCr = c == '\r';
    }
    return count;
}

// Reads the fields after the first of a header line into fields (at most 16; further ones are
// read and dropped). first, when given, receives the first field. 0, or -1 when the file ends.
int CsvReader::readListLine(std::array<std::string, kItemsPerController>& fields,
                            std::string* first) {
    std::string field;
    FieldEnd end = nextField(field);
    if (end == FieldEnd::Failure) return -1;
    if (first) *first = field;
    for (std::size_t k = 0; end == FieldEnd::More; ++k) {
        end = nextField(field);
        if (end == FieldEnd::Failure) return -1;
        if (k < fields.size()) fields[k] = field;
    }
    return 0;
}

int CsvReader::parseRows(CsvHeader& header, uint32_t count, SampleTextTable& rows,
                         SessionState& session) {
    header = CsvHeader{};
    if (!bytes_.isOpen()) return -1;
    const bool data = monitor_ == kDataMonitor;
    const int itemCount = csvItemCount(monitor_);
    header.itemCount = uint8_t(itemCount);
    if (count > rows.rows() || rows.columns() < itemCount + 1) return -1;

    bytes_.seek(0);
    if (!skipLines(2)) return -1;
    if (data) {
        if (readListLine(header.typeNames, nullptr) != 0) return -1;
        if (readListLine(header.scaleTexts, nullptr) != 0) return -1;
        if (readListLine(header.units, nullptr) != 0) return -1;
        for (int k = 0; k < itemCount; ++k)
            if (!isSignedRealText(header.scaleTexts[k])) return -1;
    } else if (!skipLines(2)) {
        return -1;
    }
    if (readListLine(header.names, &header.timeTitle) != 0) return -1;

    // Each row is the next K + 1 fields, wherever the line breaks fall.
    std::string field;
    field.reserve(kCsvFieldCap);
    for (uint32_t row = 0; row < count; ++row) {
        for (int column = 0; column <= itemCount; ++column) {
            if (nextField(field) == FieldEnd::Failure) return -1;
            // The time field of an I/O file is not examined.
            const bool allowed =
                data ? isSignedRealText(field) : column == 0 || isBinaryText(field);
            if (!allowed) return -1;
            rows.setCell(row, column, field);
        }
        session.progressCount.store(int32_t(row + 1));
    }
    return 0;
}

void CsvReader::step(SessionState& session) {
    session.progressCount.fetch_add(1);
    window_.pumpMessages();
}

int CsvReader::convertData(uint32_t count, const CsvHeader& header, const SampleTextTable& rows,
                           uint16_t cycle, uint16_t time, PageRecording& page,
                           SessionState& session) {
    constexpr int kItems = kDataItemCount;
    if (page.kind != kDataMonitor || count == 0 || count > rows.rows() ||
        count > page.texts.rows() || rows.columns() < kItems + 1)
        return -1;
    session.progressTotal.store(int32_t(kItems + 2 * count));
    session.progressCount.store(0);
    window_.showProgress();

    std::array<bool, kItems> enabled{};
    std::array<int, kItems> codes{};
    std::array<double, kItems> scales{};
    for (int k = 0; k < kItems; ++k) {
        enabled[k] = !header.names[k].empty() && !header.typeNames[k].empty() &&
                     !header.scaleTexts[k].empty() && !header.units[k].empty();
        if (enabled[k]) {
            codes[k] = typeCodeOf(header.typeNames[k]);
            if (codes[k] < 0) return -1;
            scales[k] = decimalReal(header.scaleTexts[k]);
            // Every value is shown multiplied by its scale, and the graph's range is widened
            // by one scale unit: only a finite positive scale gives a drawable range.
            if (!(scales[k] > 0.0) || !std::isfinite(scales[k])) return -1;
        }
        step(session);
    }

    // Check pass: the values go to a staging table; the page is not touched before all passed.
    std::vector<int32_t> staged(std::size_t(count) * kItems, 0);
    for (uint32_t row = 0; row < count; ++row) {
        for (int k = 0; k < kItems; ++k) {
            if (!enabled[k]) continue;
            const std::string_view value = rows.cell(row, k + 1);
            if (isUnsignedType(codes[k]) && value.find('-') != std::string_view::npos) return -1;
            if (value.find('.') != std::string_view::npos) return -1;
            staged[std::size_t(row) * kItems + k] = textToLong(value);
        }
        step(session);
    }

    // Commit.
    page.cycle = cycle;
    page.time = time;
    page.sampleCount = count;
    for (int k = 0; k < kItems; ++k) {
        DataItem& item = page.active.items[k];
        item.enabled = enabled[k] ? 1 : 0;
        if (!enabled[k]) continue;
        item.name = header.names[k];
        item.typeCode = codes[k];
        item.typeName = header.typeNames[k];
        item.scale = scales[k];
        item.scaleText = header.scaleTexts[k];
        item.unit = header.units[k];
    }
    page.texts.clear();
    for (uint32_t row = 0; row < count; ++row) {
        for (int column = 0; column <= kItems; ++column)
            page.texts.setCell(row, column, rows.cell(row, column));
        step(session);
    }
    std::copy(staged.begin(), staged.end(), page.rawData.begin());
    return 0;
}

int CsvReader::convertIo(uint32_t count, const CsvHeader& header, const SampleTextTable& rows,
                         uint16_t cycle, uint16_t time, PageRecording& page,
                         SessionState& session) {
    constexpr int kSignals = kIoSignalCount;
    if (page.kind != kIoMonitor || count == 0 || count > rows.rows() ||
        count > page.texts.rows() || rows.columns() < kSignals + 1)
        return -1;
    session.progressTotal.store(int32_t(kSignals + 2 * count));
    session.progressCount.store(0);
    window_.showProgress();

    std::array<bool, kSignals> enabled{};
    for (int k = 0; k < kSignals; ++k) {
        enabled[k] = !header.names[k].empty();
        step(session);
    }

    std::vector<uint8_t> staged(std::size_t(count) * kSignals, 0);
    for (uint32_t row = 0; row < count; ++row) {
        for (int k = 0; k < kSignals; ++k) {
            if (!enabled[k]) continue;
            const std::string_view value = rows.cell(row, k + 1);
            if (value != "0" && value != "1") return -1;
            staged[std::size_t(row) * kSignals + k] = uint8_t(value[0] - '0');
        }
        step(session);
    }

    page.cycle = cycle;
    page.time = time;
    page.sampleCount = count;
    for (int k = 0; k < kSignals; ++k) {
        DataItem& item = page.active.items[k];
        item.enabled = enabled[k] ? 1 : 0;
        if (enabled[k]) item.name = header.names[k];
    }
    page.texts.clear();
    for (uint32_t row = 0; row < count; ++row) {
        for (int column = 0; column <= kSignals; ++column)
            page.texts.setCell(row, column, rows.cell(row, column));
        step(session);
    }
    std::copy(staged.begin(), staged.end(), page.rawIo.begin());
    return 0;
}

void CsvReader::showCsvMessage(TextId id) {
    window_.showMessage(texts_.GetText(text::MSG_ALARM_TITLE), texts_.GetText(id),
                        MessageIcon::Error);
}

int CsvReader::readRecording(PageRecording& page, SessionState& session) {
    std::string date, version;
    if (page.kind != monitor_ || readDate(date) != 0 || readVersion(version) != 0 ||
        readMonitorType() != 0) {
        showCsvMessage(text::MSG_CSV_MONITORTYPE_DIFFERENCE);
        return -1;
    }
    uint16_t cycle = 0, fileTime = 0;
    if (readCycle(cycle) != 0) {
        showCsvMessage(text::MSG_CSV_SAMPLINGCYCLE_FAILED);
        return -1;
    }
    if (readTime(fileTime) != 0) {
        showCsvMessage(text::MSG_CSV_SAMPLINGTIME_FAILED);
        return -1;
    }
    const uint32_t count = countDataLines();
    if (count == 0) {
        showCsvMessage(text::MSG_CSV_NOVALIDDATA);
        return -1;
    }
    session.progressTotal.store(int32_t(count));
    const uint16_t time = loadedSamplingTime(cycle, count);
    CsvHeader header;
    SampleTextTable rows = makeCsvRows(monitor_, count);
    int result = parseRows(header, count, rows, session);
    if (result == 0) {
        session.setPhase(kPhaseCsvReadConversion);
        result = monitor_ == kDataMonitor
                     ? convertData(count, header, rows, cycle, time, page, session)
                     : convertIo(count, header, rows, cycle, time, page, session);
    }
    if (result != 0) {
        showCsvMessage(text::MSG_CSV_INVALIDDATA);
        return -1;
    }
    page.startDate = date;
    page.endMarker = 2;
    return 0;
}

}  // namespace kestiva
