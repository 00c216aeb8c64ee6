#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "files/CsvFile.h"
#include "recording/TextToLong.h"
#include "settings/NumberText.h"

namespace kestiva {

namespace {

// What a byte means to the reader, so that one look at each byte finds the end of a field and
// everything the checks ask about it.
enum ByteClass : uint8_t {
    kSeparator = 1,      // comma, CR, LF
    kNotSignedReal = 2,  // outside "0123456789.+-"
    kNotBinary = 4,      // outside "01"
    kMinus = 8,
    kPoint = 16,
    kPlus = 32,
};

// The character sets come from the number-text rules, so that the two never disagree.
const std::array<uint8_t, 256> kByteClasses = [] {
    std::array<uint8_t, 256> classes{};
    for (int b = 0; b < 256; ++b) {
        const char c = char(b);
        const std::string_view one(&c, 1);
        uint8_t found = 0;
        if (c == ',' || c == '\r' || c == '\n')
            found |= kSeparator;
        if (IsSignedRealText(one) != 0)
            found |= kNotSignedReal;
        if (IsBinaryText(one) != 0)
            found |= kNotBinary;
        if (c == '-')
            found |= kMinus;
        if (c == '.')
            found |= kPoint;
        if (c == '+')
            found |= kPlus;
        classes[b] = found;
    }
    return classes;
}();

uint8_t classesOf(std::string_view text) {
    uint8_t found = 0;
    for (const char c : text)
        found |= kByteClasses[uint8_t(c)];
    return found;
}

// The word-at-a-time scans below take the first byte of a word as its lowest.
static_assert(std::endian::native == std::endian::little);

// 0x80 in each byte of the eight (read little-endian) that is not a decimal digit.
constexpr uint64_t nonDigitBytes(uint64_t bytes) {
    // After the XOR the digits are the bytes below 10; adding 0x76 to the low seven bits sets
    // the top bit of any other, without a carry into the next byte.
    const uint64_t x = bytes ^ 0x3030303030303030ull;
    return (((x & 0x7F7F7F7F7F7F7F7Full) + 0x7676767676767676ull) | x) & 0x8080808080808080ull;
}

// How many decimal digits lead the 16 bytes at p; 15 stands for 15 or more.
inline std::size_t leadingDigits(const unsigned char* p) {
    uint64_t low, high;
    std::memcpy(&low, p, 8);
    std::memcpy(&high, p + 8, 8);
    const uint64_t lowOthers = nonDigitBytes(low);
    if (lowOthers != 0)
        return std::size_t(std::countr_zero(lowOthers)) / 8;
    return 8 + std::size_t(std::countr_zero(nonDigitBytes(high) | (uint64_t(1) << 63))) / 8;
}

// The value of eight digits (read little-endian, the first the most significant); zero bytes
// count as leading zeros. Pairs, fours and the two halves are combined with one multiplication
// each.
constexpr uint32_t eightDigitsValue(uint64_t bytes) {
    uint64_t v = bytes & 0x0F0F0F0F0F0F0F0Full;
    v = (v * 2561) >> 8;
    v = ((v & 0x00FF00FF00FF00FFull) * 6553601) >> 16;
    return uint32_t(((v & 0x0000FFFF0000FFFFull) * 42949672960001ull) >> 32);
}

// The value of the first n (1 to 8) digits of the eight bytes (read little-endian).
constexpr uint32_t digitsValue(uint64_t bytes, std::size_t n) {
    return eightDigitsValue(bytes << (8 * (8 - n)));
}

#if defined(__SSE2__)
// The bytes a data row is looked for in: room for a time of up to 13 digits and three values
// of up to ten characters.
constexpr int kRowScan = 48;

// One bit per byte of the kRowScan at p: the bytes other than digits and "-", and the "-".
struct RowBytes {
    uint64_t others = 0;
    uint64_t minus = 0;
};

RowBytes rowBytes(const unsigned char* p) {
    const __m128i minus = _mm_set1_epi8('-');
    const __m128i zero = _mm_set1_epi8('0');
    const __m128i nine = _mm_set1_epi8(9);
    RowBytes found;
    for (int at = 0; at < kRowScan; at += 16) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
        const __m128i fromZero = _mm_sub_epi8(b, zero);
        const __m128i isMinus = _mm_cmpeq_epi8(b, minus);
        const __m128i isDigit = _mm_cmpeq_epi8(_mm_min_epu8(fromZero, nine), fromZero);
        found.others |=
            uint64_t(uint32_t(~_mm_movemask_epi8(_mm_or_si128(isDigit, isMinus)) & 0xFFFF)) << at;
        found.minus |= uint64_t(uint32_t(_mm_movemask_epi8(isMinus))) << at;
    }
    return found;
}

// The usual data row: a time and three values of one to nine digits, each after an optional
// leading "-", separated by commas and ended by a CR (which takes the next byte along), all
// within the kRowScan bytes at p. The 8 bytes before p and 80 from it must be readable. Stores the
// row as the field-by-field reading would and returns its length; 0 for any other row.
std::size_t takePlainDataRow(const unsigned char* p, uint32_t row, CsvRows& rows) {
    const RowBytes b = rowBytes(p);
    // The first four bytes other than digits and "-" must be three commas and a CR: found at
    // once rather than one field after the other. Kept in registers: none is missing when the
    // fourth lies inside the bytes looked at (countr_zero of nothing is 64).
    uint64_t rest = b.others;
    const unsigned end0 = unsigned(std::countr_zero(rest));
    rest &= rest - 1;
    const unsigned end1 = unsigned(std::countr_zero(rest));
    rest &= rest - 1;
    const unsigned end2 = unsigned(std::countr_zero(rest));
    rest &= rest - 1;
    const unsigned end3 = unsigned(std::countr_zero(rest));
    if (end3 > kRowScan - 2 || p[end0] != ',' || p[end1] != ',' || p[end2] != ',' ||
        p[end3] != '\r')
        return 0;
    // A "-" only where a field starts.
    const uint64_t fieldStarts =
        (uint64_t(1) << (end0 + 1)) | (uint64_t(1) << (end1 + 1)) | (uint64_t(1) << (end2 + 1)) | 1;
    const uint64_t leadingMinus = b.minus & fieldStarts;
    if ((b.minus & ((uint64_t(1) << end3) - 1)) != leadingMinus)
        return 0;

    // A value of one to nine digits from start to end; false for any other. Written even so:
    // the field-by-field reading writes the row again.
    int32_t* values = rows.values.data() + std::size_t(row) * kDataItemCount;
    uint8_t marks = 0;
    const auto takeValue = [&](int k, unsigned start, unsigned end) __attribute__((always_inline)) {
        const unsigned negative = unsigned(leadingMinus >> start) & 1;
        const unsigned n = end - start - negative;
        // The digits end at the word's top byte; the bytes before them are masked off (of no
        // digits, nothing: that value is not kept). The load waits only for the field's end.
        uint64_t word;
        std::memcpy(&word, p + end - 8, 8);
        word &= ~uint64_t(0) << (8 * ((8 - std::min(n, 8u)) & 7));
        const uint32_t lead = n == 9 ? uint32_t(p[end - 9] - '0') : 0;
        const uint32_t magnitude = lead * 100000000u + eightDigitsValue(word);
        const uint32_t sign = 0u - negative;
        values[k] = int32_t((magnitude ^ sign) - sign);
        marks |= uint8_t(negative << k);
        return n >= 1 && n <= 9;
    };
    if (!(takeValue(0, end0 + 1, end1) & takeValue(1, end1 + 1, end2) &
          takeValue(2, end2 + 1, end3)))
        return 0;
    const unsigned starts[4] = {0, end0 + 1, end1 + 1, end2 + 1};
    const unsigned ends[4] = {end0, end1, end2, end3};
    rows.texts.setRowInBuffer(row, reinterpret_cast<const char*>(p), starts, ends);
    rows.marks[row] = marks;
    return end3 + 2;
}
#endif

// Line ends (an LF right after a CR) among the n bytes at p; afterCr: the byte before p is a CR.
// Sixteen bytes at a time where the processor allows: the count runs over whole files.
std::size_t countCrLf(const unsigned char* p, std::size_t n, bool afterCr) {
    if (n == 0)
        return 0;
    std::size_t count = (p[0] == '\n' && afterCr) ? 1 : 0;
    std::size_t i = 1;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    while (i + 16 <= n) {
        // Byte counters of 0xFF per hit, summed before they can wrap.
        __m128i hits = _mm_setzero_si128();
        for (int round = 0; round < 255 && i + 16 <= n; ++round, i += 16) {
            const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i - 1));
            hits = _mm_sub_epi8(
                hits, _mm_and_si128(_mm_cmpeq_epi8(here, lf), _mm_cmpeq_epi8(before, cr)));
        }
        const __m128i sums = _mm_sad_epu8(hits, _mm_setzero_si128());
        count += std::size_t(_mm_cvtsi128_si32(sums)) +
                 std::size_t(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
#endif
    for (; i < n; ++i)
        count += p[i] == '\n' && p[i - 1] == '\r';
    return count;
}

// The sixteen values of a plain I/O row (see isPlainIoRow) as bytes of 0 or 1.
inline void takeIoBits(const unsigned char* values, uint8_t* bits) {
#if defined(__SSE2__)
    // The value characters are the even bytes: the low halves of sixteen 16-bit lanes.
    const __m128i low = _mm_set1_epi16(0x00FF);
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + 16));
    const __m128i chars = _mm_packus_epi16(_mm_and_si128(first, low), _mm_and_si128(second, low));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(bits), _mm_sub_epi8(chars, _mm_set1_epi8('0')));
#else
    for (int k = 0; k < kIoSignalCount; ++k)
        bits[k] = uint8_t(values[2 * k] - '0');
#endif
}

// "v,v,...,v\r\n" with sixteen values: the value part of an I/O row as the writer writes it.
constexpr std::size_t kIoRowBytes = 2 * kIoSignalCount + 1;

// Whether the kIoRowBytes bytes at p are sixteen "0" or "1" separated by commas and ended by
// CR LF, checked eight bytes at a time.
bool isPlainIoRow(const unsigned char* p) {
    // After an XOR with the expected bytes ('0' at the even offsets, ',' at the odd ones, CR at
    // offset 31) a value byte may differ in its lowest bit only, any other byte not at all.
    static constexpr unsigned char kExpected[32] = {
        '0', ',', '0', ',', '0', ',', '0', ',', '0', ',', '0', ',', '0', ',', '0', ',',
        '0', ',', '0', ',', '0', ',', '0', ',', '0', ',', '0', ',', '0', ',', '0', '\r'};
    static constexpr unsigned char kAllowed[8] = {1, 0, 1, 0, 1, 0, 1, 0};
    uint64_t allowed;
    std::memcpy(&allowed, kAllowed, 8);
    uint64_t bad = 0;
    for (int word = 0; word < 4; ++word) {
        uint64_t bytes, expected;
        std::memcpy(&bytes, p + 8 * word, 8);
        std::memcpy(&expected, kExpected + 8 * word, 8);
        bad |= (bytes ^ expected) & ~allowed;
    }
    return bad == 0 && p[kIoRowBytes - 1] == '\n';
}

// A scale text read as a decimal real number as far as it goes: an optional sign, then digits
// and points; nothing readable gives 0. false when the number is out of a double's range.
bool scaleOf(std::string_view text, double& scale) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '+' || text[0] == '-'))
        i = 1;
    const std::size_t end = text.find_first_not_of("0123456789.", i);
    const std::string_view number = text.substr(i, end == std::string_view::npos ? end : end - i);
    double value = 0.0;
    if (!number.empty() && ParseReal(number, value) != 0)
        return false;
    scale = negative ? -value : value;
    return true;
}

}  // namespace

uint16_t loadedSamplingTime(uint16_t cycle, uint32_t count) {
    if (count == 0)
        return 0;
    const uint64_t milliseconds = uint64_t(cycle) * (count - 1);
    return uint16_t((milliseconds + 999) / 1000);
}

CsvRows::CsvRows(PageRecording& page, uint32_t rowCount)
    : count(rowCount),
      texts(page.spareTables().texts),
      values(page.spareTables().rawData),
      bits(page.spareTables().rawIo),
      marks(page.kind == kDataMonitor ? rowCount : 0, 0) {
    texts.clearFrom(rowCount);
}

CsvReader::CsvReader(MessageHost& messages, ProgressHost& progress,
                     const LanguageCatalogue& texts)
    : messages_(messages), progress_(progress), texts_(texts) {}

int CsvReader::openCsv(const std::string& path, MonitorKind monitor) {
    monitor_ = monitor;
    if (!bytes_.open(path)) {
        showCsvFileOpenMessage(messages_, texts_);
        return -1;
    }
    return 0;
}

CsvReader::FieldEnd CsvReader::nextField(std::string_view& field, uint8_t& classes) {
    // A field that lies in the read buffer is handed out in place; one that crosses the
    // buffer's end is gathered in spill_.
    bool spilled = false;
    std::size_t length = 0;  // bytes of the field, kept or not
    classes = 0;
    for (;;) {
        const FileBytes::Window w = bytes_.window();
        if (w.size == 0)
            return FieldEnd::Failure;
        std::size_t i = 0;
        uint8_t found = 0;
        while (i < w.size) {
            const uint8_t c = kByteClasses[w.data[i]];
            if (c & kSeparator)
                break;
            found |= c;
            ++i;
        }
        classes |= found;
        length += i;
        const char* bytes = reinterpret_cast<const char*>(w.data);
        if (i == w.size) {
            if (!spilled)
                spill_.clear();
            spilled = true;
            spill_.append(bytes, std::min(i, kCsvFieldCap - std::min(spill_.size(), kCsvFieldCap)));
            bytes_.consume(i);
            continue;
        }
        if (spilled) {
            spill_.append(bytes, std::min(i, kCsvFieldCap - std::min(spill_.size(), kCsvFieldCap)));
            field = spill_;
        } else {
            field = std::string_view(bytes, std::min(i, kCsvFieldCap));
        }
        // Bytes past the cap are dropped, and so is what they would have told the checks.
        if (length > kCsvFieldCap)
            classes = classesOf(field);

        const unsigned char separator = w.data[i];
        if (separator == ',') {
            bytes_.consume(i + 1);
            return FieldEnd::More;
        }
        if (separator == '\n') {
            bytes_.consume(i + 1);
            return FieldEnd::EndOfLine;
        }
        // A CR takes the byte after it along, whatever it is; none, or a NUL, ends the file.
        if (i + 1 < w.size) {
            const unsigned char next = w.data[i + 1];
            bytes_.consume(i + 2);
            return next == 0 ? FieldEnd::EndOfFile : FieldEnd::EndOfLine;
        }
        if (!spilled) {
            spill_.assign(field);
            field = spill_;
        }
        bytes_.consume(i + 1);
        return bytes_.get() <= 0 ? FieldEnd::EndOfFile : FieldEnd::EndOfLine;
    }
}

CsvReader::FieldEnd CsvReader::nextField(std::string& field) {
    std::string_view view;
    uint8_t classes;
    const FieldEnd end = nextField(view, classes);
    field.assign(end == FieldEnd::Failure ? std::string_view() : view);
    return end;
}

bool CsvReader::skipLines(uint32_t count) {
    // Only a CR immediately followed by an LF ends a line here.
    bool afterCr = false;
    while (count > 0) {
        const FileBytes::Window w = bytes_.window();
        if (w.size == 0)
            return false;
        std::size_t i = 0;
        while (count > 0) {
            const void* hit = std::memchr(w.data + i, '\n', w.size - i);
            if (!hit)
                break;
            const std::size_t at = std::size_t(static_cast<const unsigned char*>(hit) - w.data);
            if (at > 0 ? w.data[at - 1] == '\r' : afterCr)
                --count;
            i = at + 1;
        }
        if (count == 0) {
            bytes_.consume(i);
            return true;
        }
        afterCr = w.data[w.size - 1] == '\r';
        bytes_.consume(w.size);
    }
    return true;
}

int CsvReader::readHeaderField(int line, int field, std::string& text) {
    text.clear();
    if (!bytes_.isOpen() || line < 1 || field < 1)
        return -1;
    // Counting lines from the file's start puts the position where stepping back from inside
    // the line to its start would.
    bytes_.seek(0);
    if (!skipLines(uint32_t(line - 1)))
        return -1;
    for (int f = 1;; ++f) {
        const FieldEnd end = nextField(text);
        if (end == FieldEnd::Failure || bytes_.readFailed())
            return -1;
        if (f == field)
            return 0;
        if (end == FieldEnd::EndOfFile)
            return -1;
        if (end == FieldEnd::EndOfLine) {
            text.clear();
            return 0;
        }
    }
}

std::optional<MonitorKind> csvMonitorType(std::string_view field) {
    if (field == kCsvDataType)
        return kDataMonitor;
    if (field == kCsvIoType)
        return kIoMonitor;
    return std::nullopt;
}

std::optional<MonitorKind> csvFileMonitor(const std::string& path) {
    FileBytes bytes;
    // Only the first line matters; a small buffer spares reading a large recording twice.
    bytes.setBufferLimit(4096);
    if (!bytes.open(path))
        return std::nullopt;
    std::string field;
    int number = 1;
    for (int c = bytes.get(); c >= 0 && c != '\r' && c != '\n'; c = bytes.get()) {
        if (c == ',') {
            if (++number > 3)
                break;
        } else if (number == 3) {
            if (field.size() == 8)  // longer than either name
                return std::nullopt;
            field += char(c);
        }
    }
    return csvMonitorType(field);
}

int CsvReader::readMonitorType() {
    std::string type;
    if (readHeaderField(1, 3, type) != 0)
        return -1;
    return csvMonitorType(type) == monitor_ ? 0 : -1;
}

int CsvReader::readCycle(uint16_t& cycle) {
    std::string text;
    if (readHeaderField(2, 1, text) != 0)
        return -1;
    bool outOfRange = false;
    const uint16_t value = uint16_t(textToLong(text, &outOfRange));
    if (outOfRange || value == 0)
        return -1;
    cycle = value;
    return 0;
}

int CsvReader::readTime(uint16_t& time) {
    std::string text;
    if (readHeaderField(2, 2, text) != 0)
        return -1;
    bool outOfRange = false;
    const uint16_t value = uint16_t(textToLong(text, &outOfRange));
    if (outOfRange)
        return -1;
    time = value;
    return 0;
}

uint32_t CsvReader::countDataLines() {
    if (!bytes_.isOpen())
        return 0;
    bytes_.seek(0);
    if (!skipLines(monitor_ == kDataMonitor ? 6 : 5))
        return 0;
    // Counting on past the limit (by less than a window) changes nothing: the count is capped.
    std::size_t count = 0;
    bool afterCr = false;  // the line start follows an LF
    while (count < kMaxSamples) {
        const FileBytes::Window w = bytes_.window();
        if (w.size == 0)
            break;
        count += countCrLf(w.data, w.size, afterCr);
        afterCr = w.data[w.size - 1] == '\r';
        bytes_.consume(w.size);
    }
    if (bytes_.readFailed())
        return 0;
    return uint32_t(std::min<std::size_t>(count, kMaxSamples));
}

// Reads the fields after the first of a header line into fields (at most 16; further ones are
// read and dropped). first, when given, receives the first field. 0, or -1 when the file ends.
int CsvReader::readListLine(std::array<std::string, kItemsPerController>& fields,
                            std::string* first) {
    std::string field;
    FieldEnd end = nextField(field);
    if (end == FieldEnd::Failure)
        return -1;
    if (first)
        *first = field;
    for (std::size_t k = 0; end == FieldEnd::More; ++k) {
        end = nextField(field);
        if (end == FieldEnd::Failure)
            return -1;
        if (k < fields.size())
            fields[k] = field;
    }
    return 0;
}

int CsvReader::parseRows(CsvHeader& header, CsvRows& rows, SessionState& session) {
    header = CsvHeader{};
    if (!bytes_.isOpen())
        return -1;
    const bool data = monitor_ == kDataMonitor;
    const int itemCount = csvItemCount(monitor_);
    header.itemCount = uint8_t(itemCount);
    const uint32_t count = rows.count;
    if (count > rows.texts.rows() || rows.texts.columns() < itemCount + 1 ||
        (data ? rows.marks.size() < count || rows.values.size() < std::size_t(count) * itemCount
              : rows.bits.size() < std::size_t(count) * itemCount))
        return -1;

    bytes_.seek(0);
    if (!skipLines(2))
        return -1;
    if (data) {
        if (readListLine(header.typeNames, nullptr) != 0)
            return -1;
        if (readListLine(header.scaleTexts, nullptr) != 0)
            return -1;
        if (readListLine(header.units, nullptr) != 0)
            return -1;
        for (int k = 0; k < itemCount; ++k)
            if (IsSignedRealText(header.scaleTexts[k]) != 0)
                return -1;
    } else if (!skipLines(2)) {
        return -1;
    }
    if (readListLine(header.names, &header.timeTitle) != 0)
        return -1;

    const int result = data ? parseFields<true>(rows, session) : parseFields<false>(rows, session);
    return bytes_.readFailed() ? -1 : result;
}

// Each row is the next time and K values, counted by fields wherever the line breaks fall. A
// field is read in place while it and its separator lie inside the read buffer (nearly always),
// through nextField when it reaches the buffer's end.
template <bool Data>
int CsvReader::parseFields(CsvRows& rows, SessionState& session) {
    constexpr int kItems = Data ? kDataItemCount : kIoSignalCount;
    // The time field of an I/O file is not examined.
    constexpr uint8_t kForbidden = Data ? kNotSignedReal : kNotBinary;
    FileBytes::Window w = bytes_.window();
    std::size_t at = 0;  // position in w
    std::string_view field;
    uint8_t classes = 0;
    // A data value of plain digits (after one leading "-") gathered on the way.
    uint64_t digits = 0;
    bool negative = false;
    // Whether the field just read ended at a comma rather than a line end.
    bool moreOnLine = false;

    const auto readField = [&]() __attribute__((always_inline))->bool {
        const unsigned char* start = w.data + at;
        const unsigned char* end = w.data + w.size;
        const unsigned char* p = start;
        uint8_t found = 0;
        uint8_t c = 0;
        if constexpr (Data) {
            // Nearly every field is up to nine digits after an optional "-", ended by a
            // separator: found by looking at sixteen bytes at once, without a branch per byte.
            if (end - start >= 17) {
                const bool minus = *start == '-';
                const unsigned char* q = start + (minus ? 1 : 0);
                uint64_t low, high;
                std::memcpy(&low, q, 8);
                std::memcpy(&high, q + 8, 8);
                const uint64_t lowOthers = nonDigitBytes(low);
                const std::size_t n = lowOthers != 0
                                          ? std::size_t(std::countr_zero(lowOthers)) / 8
                                          : 8 + std::size_t(std::countr_zero(nonDigitBytes(high) |
                                                                             (uint64_t(1) << 63))) /
                                                    8;
                const unsigned char separator = q[n];
                if (n >= 1 && n <= 9 &&
                    (separator == ',' || separator == '\r' || separator == '\n')) {
                    digits = n <= 8 ? digitsValue(low, n)
                                    : uint64_t(digitsValue(low, 8)) * 10 + unsigned(q[8] - '0');
                    negative = minus;
                    const std::size_t length = n + (minus ? 1 : 0);
                    field = std::string_view(reinterpret_cast<const char*>(start), length);
                    classes = minus ? kMinus : 0;
                    moreOnLine = separator == ',';
                    at += length + (separator == '\r' ? 2 : 1);  // a CR takes the next byte along
                    return true;
                }
            }
            digits = 0;
            negative = p < end && *p == '-';
            if (negative) {
                found = kMinus;
                ++p;
            }
            uint8_t rest = 0;
            while (p < end && !((c = kByteClasses[*p]) & kSeparator)) {
                rest |= c;
                digits = digits * 10 + unsigned(*p - '0');
                ++p;
            }
            found |= rest;
            // Anything but plain digits, or too many for the gathered value, is converted
            // from the text instead.
            const std::size_t count = std::size_t(p - start) - (negative ? 1 : 0);
            if ((rest & (kNotSignedReal | kPlus | kPoint | kMinus)) || count == 0 || count > 9)
                digits = ~uint64_t(0);
        } else {
            while (p < end && !((c = kByteClasses[*p]) & kSeparator)) {
                found |= c;
                ++p;
            }
        }
        const std::size_t length = std::size_t(p - start);
        if (p + 1 < end && length <= kCsvFieldCap) {
            field = std::string_view(reinterpret_cast<const char*>(start), length);
            classes = found;
            moreOnLine = *p == ',';
            at += length + (*p == '\r' ? 2 : 1);  // a CR takes the next byte along
            return true;
        }
        bytes_.consume(at);
        digits = ~uint64_t(0);
        const FieldEnd fieldEnd = nextField(field, classes);
        const bool ok = fieldEnd != FieldEnd::Failure;
        moreOnLine = fieldEnd == FieldEnd::More;
        // field may live in the buffer that the next window refills: copy it first.
        if (ok && field.data() != spill_.data()) {
            spill_.assign(field);
            field = spill_;
        }
        w = bytes_.window();
        at = 0;
        return ok;
    };

    for (uint32_t row = 0; row < rows.count; ++row) {
#if defined(__SSE2__)
        if constexpr (Data) {
            if (at + w.before >= 8 && at + 80 <= w.size) {
                if (const std::size_t length = takePlainDataRow(w.data + at, row, rows)) {
                    at += length;
                    session.progressCount.store(int32_t(row + 1), std::memory_order_relaxed);
                    continue;
                }
            }
        }
#endif
        bool timeTaken = false;
        if constexpr (!Data) {
            // The time field of an I/O row is not examined; the usual one is digits up to a comma.
            if (at + 17 <= w.size) {
                const std::size_t n = leadingDigits(w.data + at);
                if (n < 15 && w.data[at + n] == ',') {
                    rows.texts.setCellInBuffer(
                        row, 0, std::string_view(reinterpret_cast<const char*>(w.data + at), n));
                    at += n + 1;
                    timeTaken = true;
                }
            }
        }
        if (!timeTaken) {
            if (!readField())
                return -1;
            if (Data && (classes & kNotSignedReal))
                return -1;
            rows.texts.setCell(row, 0, field);
        }
        if constexpr (!Data) {
            uint8_t* bits = rows.bits.data() + std::size_t(row) * kItems;
            // The usual I/O row, sixteen single "0" or "1" fields ending in CR LF, is
            // recognised in one go; anything else is read field by field below.
            if (at + kIoRowBytes <= w.size && isPlainIoRow(w.data + at)) {
                const unsigned char* values = w.data + at;
                rows.texts.setCharCells(row, 1, kItems, reinterpret_cast<const char*>(values), 2);
                takeIoBits(values, bits);
                at += kIoRowBytes;
                session.progressCount.store(int32_t(row + 1), std::memory_order_relaxed);
                continue;
            }
            for (int k = 0; k < kItems; ++k) {
                if (!readField())
                    return -1;
                if (classes & kForbidden)
                    return -1;
                rows.texts.setCell(row, k + 1, field);
                bits[k] = field.size() == 1 ? uint8_t(field[0] - '0') : 2;
            }
        } else {
            uint8_t marks = 0;
            for (int k = 0; k < kItems; ++k) {
                if (!readField())
                    return -1;
                if (classes & kForbidden)
                    return -1;
                rows.texts.setCell(row, k + 1, field);
                // Signs fall at random: no branches on them.
                marks |= uint8_t(((classes / kMinus) & 1u) << k);
                marks |= uint8_t(((classes / kPoint) & 1u) << (4 + k));
                int32_t value;
                if (digits != ~uint64_t(0)) {
                    const uint32_t sign = 0u - uint32_t(negative);
                    value = int32_t((uint32_t(digits) ^ sign) - sign);
                } else {
                    value = textToLong(field);
                }
                rows.values[std::size_t(row) * kItems + k] = value;
            }
            // A field beyond the row's last would become the next row's time and shift every
            // value after it: such a file is malformed, not read.
            if (moreOnLine)
                return -1;
            rows.marks[row] = marks;
        }
        session.progressCount.store(int32_t(row + 1), std::memory_order_relaxed);
    }
    bytes_.consume(at);
    return 0;
}

void CsvReader::beginConversion(uint32_t steps, SessionState& session) {
    session.progressTotal.store(int32_t(steps));
    steps_ = 0;
    session.progressCount.store(0);
    progress_.showProgress();
}

void CsvReader::step(SessionState& session) {
    session.progressCount.store(++steps_, std::memory_order_relaxed);
    progress_.pumpMessages();
}

// The staged texts become the page's whole; the page's old table is the next spare.
void CsvReader::commitTexts(CsvRows& rows, PageRecording& page, SessionState& session) {
    std::swap(page.texts, rows.texts);
    for (uint32_t row = 0; row < rows.count; ++row)
        step(session);
}

int CsvReader::convertData(const CsvHeader& header, CsvRows& rows, uint16_t cycle, uint16_t time,
                           PageRecording& page, SessionState& session) {
    constexpr int kItems = kDataItemCount;
    const uint32_t count = rows.count;
    if (page.kind != kDataMonitor || count == 0 || count > page.texts.rows() ||
        &rows.texts != &page.spareTables().texts ||
        rows.values.size() < std::size_t(count) * kItems || rows.marks.size() < count)
        return -1;
    beginConversion(kItems + 2 * count, session);

    std::array<bool, kItems> enabled{};
    std::array<int32_t, kItems> codes{};
    std::array<double, kItems> scales{};
    uint32_t enabledBits = 0, unsignedBits = 0;
    for (int k = 0; k < kItems; ++k) {
        enabled[k] = !header.names[k].empty() && !header.typeNames[k].empty() &&
                     !header.scaleTexts[k].empty() && !header.units[k].empty();
        if (enabled[k]) {
            if (ParseTypeName(header.typeNames[k], codes[k]) != 0)
                return -1;
            // Every value is shown multiplied by its scale, and the graph's range is widened by
            // one scale unit: only a finite positive scale gives a drawable range.
            if (!scaleOf(header.scaleTexts[k], scales[k]) || !(scales[k] > 0.0) ||
                !std::isfinite(scales[k]))
                return -1;
            enabledBits |= 1u << k;
            if (!dataTypeIsSigned(codes[k]))
                unsignedBits |= 1u << k;
        }
        step(session);
    }

    // Check pass: a "-" in an unsigned column or a "." in any enabled one fails the read. The
    // values, already converted while parsing, become the staged raw table in place.
    for (uint32_t row = 0; row < count; ++row) {
        const uint32_t marks = rows.marks[row];
        if ((marks & unsignedBits) != 0 || ((marks >> 4) & enabledBits) != 0)
            return -1;
        if (enabledBits != (1u << kItems) - 1) {
            for (int k = 0; k < kItems; ++k)
                if (!enabled[k])
                    rows.values[std::size_t(row) * kItems + k] = 0;
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
        if (!enabled[k])
            continue;
        item.name = header.names[k];
        item.typeCode = codes[k];
        item.typeName = header.typeNames[k];
        item.scale = scales[k];
        item.scaleText = header.scaleTexts[k];
        item.unit = header.units[k];
    }
    std::copy_n(rows.values.begin(), std::size_t(count) * kItems, page.rawData.begin());
    commitTexts(rows, page, session);
    return 0;
}

int CsvReader::convertIo(const CsvHeader& header, CsvRows& rows, uint16_t cycle, uint16_t time,
                         PageRecording& page, SessionState& session) {
    constexpr int kSignals = kIoSignalCount;
    const uint32_t count = rows.count;
    if (page.kind != kIoMonitor || count == 0 || count > page.texts.rows() ||
        &rows.texts != &page.spareTables().texts ||
        rows.bits.size() < std::size_t(count) * kSignals)
        return -1;
    beginConversion(kSignals + 2 * count, session);

    uint32_t enabledBits = 0;
    for (int k = 0; k < kSignals; ++k) {
        if (!header.names[k].empty())
            enabledBits |= 1u << k;
        step(session);
    }

    // Check pass: an enabled signal's value must be exactly "0" or "1" (a staged byte of 0 or
    // 1); a disabled one reads 0. Eight signals at a time.
    uint64_t keep[2];
    for (int half = 0; half < 2; ++half) {
        std::array<uint8_t, 8> mask{};
        for (int k = 0; k < 8; ++k)
            mask[k] = (enabledBits >> (8 * half + k)) & 1u ? 0xFF : 0;
        std::memcpy(&keep[half], mask.data(), 8);
    }
    constexpr uint64_t kAboveOne = 0xFEFEFEFEFEFEFEFEull;
    for (uint32_t row = 0; row < count; ++row) {
        uint8_t* bits = rows.bits.data() + std::size_t(row) * kSignals;
        uint64_t low, high;
        std::memcpy(&low, bits, 8);
        std::memcpy(&high, bits + 8, 8);
        low &= keep[0];
        high &= keep[1];
        if (((low | high) & kAboveOne) != 0)
            return -1;
        std::memcpy(bits, &low, 8);
        std::memcpy(bits + 8, &high, 8);
        step(session);
    }

    page.cycle = cycle;
    page.time = time;
    page.sampleCount = count;
    for (int k = 0; k < kSignals; ++k) {
        DataItem& item = page.active.items[k];
        const bool enabled = (enabledBits >> k) & 1u;
        item.enabled = enabled ? 1 : 0;
        if (enabled)
            item.name = header.names[k];
    }
    std::copy_n(rows.bits.begin(), std::size_t(count) * kSignals, page.rawIo.begin());
    commitTexts(rows, page, session);
    return 0;
}

void CsvReader::showCsvMessage(TextId id) {
    messages_.showMessage(texts_.GetText(text::MSG_ALARM_TITLE), texts_.GetText(id),
                        MessageIcon::Error);
}

// A check that failed because the file could not be read says nothing about its contents.
int CsvReader::refuseRead(TextId id) {
    if (bytes_.readFailed())
        showCsvFileOpenMessage(messages_, texts_);
    else
        showCsvMessage(id);
    return -1;
}

int CsvReader::readRecording(PageRecording& page, SessionState& session) {
    std::string date, version;
    if (page.kind != monitor_ || readDate(date) != 0 || readVersion(version) != 0 ||
        readMonitorType() != 0)
        return refuseRead(text::MSG_CSV_MONITORTYPE_DIFFERENCE);
    uint16_t cycle = 0, fileTime = 0;
    if (readCycle(cycle) != 0)
        return refuseRead(text::MSG_CSV_SAMPLINGCYCLE_FAILED);
    if (readTime(fileTime) != 0)
        return refuseRead(text::MSG_CSV_SAMPLINGTIME_FAILED);
    const uint32_t count = countDataLines();
    if (count == 0)
        return refuseRead(text::MSG_CSV_NOVALIDDATA);
    session.progressTotal.store(int32_t(count));
    const uint16_t time = loadedSamplingTime(cycle, count);
    CsvHeader header;
    CsvRows rows(page, count);
    int result = parseRows(header, rows, session);
    if (result == 0) {
        session.setPhase(ProgressPhase::CsvReadConversion);
        result = monitor_ == kDataMonitor ? convertData(header, rows, cycle, time, page, session)
                                          : convertIo(header, rows, cycle, time, page, session);
    }
    if (result != 0)
        return refuseRead(text::MSG_CSV_INVALIDDATA);
    page.startDate = date;
    page.endMarker = EndMarker::FromCsv;
    return 0;
}

}  // namespace kestiva
