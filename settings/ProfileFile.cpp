#include "settings/ProfileFile.h"

#include <limits>

#include "settings/FileCalls.h"

namespace kestiva {

namespace {

template <typename Unit>
bool isBlank(Unit c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1A;
}

char foldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string foldName(std::string_view name) {
    std::size_t b = 0, e = name.size();
    while (b < e && isBlank(name[b]))
        ++b;
    while (e > b && isBlank(name[e - 1]))
        --e;
    std::string out(name.substr(b, e - b));
    for (char& c : out)
        c = foldAscii(c);
    return out;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Length in bytes of the well-formed UTF-8 sequence at text[i], or 0 when it is not one.
std::size_t utf8SequenceLength(std::string_view text, std::size_t i, char32_t* cp = nullptr) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t len;
    char32_t value;
    if (lead < 0x80) {
        if (cp)
            *cp = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        len = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        len = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        len = 4;
        value = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() - i < len)
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (c & 0x3F);
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are not characters.
    if ((len == 3 && value < 0x800) || (len == 4 && (value < 0x10000 || value > 0x10FFFF)) ||
        (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    if (cp)
        *cp = value;
    return len;
}

std::string toUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
        appendUtf8(out, c);
    }
    return out;
}

std::string toUtf8(std::string_view text) {
    return std::string(text);
}

// The value's units cut to at most limit UTF-16 units without splitting a character.
// Returns the number of units kept.
std::size_t cutToUnits(std::string_view text, std::size_t limit, std::string& out) {
    std::size_t units = 0, i = 0;
    while (i < text.size()) {
        char32_t cp = 0;
        std::size_t len = utf8SequenceLength(text, i, &cp);
        std::size_t need = 1;
        if (len == 0) {
            len = 1;  // a stray byte is carried along as it is and counts as one unit
        } else if (cp >= 0x10000) {
            need = 2;
        }
        if (units + need > limit)
            break;
        units += need;
        i += len;
    }
    out.assign(text.substr(0, i));
    return units;
}

std::size_t cutToUnits(std::u16string_view text, std::size_t limit, std::string& out) {
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t need = 1;
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
            text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            need = 2;
        }
        if (i + need > limit)
            break;
        i += need;
    }
    out = toUtf8(text.substr(0, i));
    return i;
}

template <typename Unit>
std::size_t extractValue(std::basic_string_view<Unit> value, std::size_t capacity,
                         std::string& out) {
    // The profile functions hand out C strings: a NUL inside a value ends it.
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == 0) {
            value = value.substr(0, i);
            break;
        }
    }
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return cutToUnits(value, capacity - 1, out);
}

}  // namespace

std::optional<ProfileFile> ProfileFile::read(const std::string& path) {
    std::optional<std::string> bytes = readRegularFile(path, kMaxFileSize);
    if (!bytes)
        return std::nullopt;
    return ProfileFile(std::move(*bytes));
}

ProfileFile::ProfileFile(std::string bytes) : bytes_(std::move(bytes)) {
    parse();
}

void ProfileFile::parse() {
    sections_.clear();
    wide_.clear();
    const auto byte = [this](std::size_t i) { return static_cast<unsigned char>(bytes_[i]); };
    if (bytes_.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
        encoding_ = ProfileEncoding::Utf8Bom;
        bomSize_ = 3;
    } else if (bytes_.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
        encoding_ = ProfileEncoding::Utf16Le;
        bomSize_ = 2;
    } else if (bytes_.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
        encoding_ = ProfileEncoding::Utf16Be;
        bomSize_ = 2;
    } else {
        encoding_ = ProfileEncoding::Utf8;
        bomSize_ = 0;
    }
    if (encoding_ == ProfileEncoding::Utf16Le || encoding_ == ProfileEncoding::Utf16Be) {
        const bool little = encoding_ == ProfileEncoding::Utf16Le;
        // A trailing odd byte is no unit; it stays in bytes_ untouched.
        const std::size_t units = (bytes_.size() - bomSize_) / 2;
        wide_.resize(units);
        for (std::size_t i = 0; i < units; ++i) {
            const unsigned lo = byte(bomSize_ + 2 * i + (little ? 0 : 1));
            const unsigned hi = byte(bomSize_ + 2 * i + (little ? 1 : 0));
            wide_[i] = static_cast<char16_t>(lo | (hi << 8));
        }
        parseUnits(std::u16string_view(wide_));
    } else {
        parseUnits(std::string_view(bytes_).substr(bomSize_));
    }
}

template <typename Unit>
void ProfileFile::parseUnits(std::basic_string_view<Unit> text) {
    constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
    std::size_t current = kNone;  // index of the section that keys go to
    const std::size_t n = text.size();
    std::size_t pos = 0;
    while (pos < n) {
        const std::size_t lineStart = pos;
        std::size_t lineEnd = pos;
        while (lineEnd < n && text[lineEnd] != '\r' && text[lineEnd] != '\n')
            ++lineEnd;
        pos = lineEnd + 1;

        std::size_t b = lineStart, e = lineEnd;
        while (b < e && isBlank(text[b]))
            ++b;
        while (e > b && isBlank(text[e - 1]))
            --e;
        if (b == e || text[b] == ';')
            continue;

        if (text[b] == '[') {
            std::size_t close = e;
            while (close > b + 1 && text[close - 1] != ']')
                --close;
            if (close > b + 1) {
                // close - 1 is the last ']'; the name lies between it and the '['.
                Section section;
                section.foldedName = foldName(toUtf8(text.substr(b + 1, close - 2 - b)));
                sections_.push_back(std::move(section));
                current = sections_.size() - 1;
                continue;
            }
            // No ']': an ordinary line, which may still be a key.
        }
        if (current == kNone)
            continue;  // before the first section: unreachable

        Key key;
        std::size_t keyEnd = e;
        for (std::size_t i = b; i < e; ++i) {
            if (text[i] == '=') {
                keyEnd = i;
                key.hasValue = true;
                key.afterEqualsBegin = i + 1;
                key.lineEnd = lineEnd;
                std::size_t v = i + 1;
                while (v < e && isBlank(text[v]))
                    ++v;
                key.valueBegin = v;
                key.valueEnd = e;
                break;
            }
        }
        key.foldedName = foldName(toUtf8(text.substr(b, keyEnd - b)));
        sections_[current].keys.push_back(std::move(key));
    }
}

const ProfileFile::Key* ProfileFile::find(std::string_view section, std::string_view key) const {
    const std::string wantedSection = foldName(section);
    const std::string wantedKey = foldName(key);
    if (wantedKey.empty())
        return nullptr;
    for (const Section& s : sections_) {
        if (s.foldedName != wantedSection)
            continue;
        // Only the first section of a name is searched; a later one of that name is never read.
        for (const Key& k : s.keys) {
            if (k.foldedName == wantedKey)
                return &k;
        }
        return nullptr;
    }
    return nullptr;
}

std::size_t ProfileFile::getString(std::string_view section, std::string_view key,
                                   std::size_t capacity, std::string& value) const {
    value.clear();
    if (capacity < 2)
        return 0;
    const Key* k = find(section, key);
    if (!k || !k->hasValue)
        return 0;
    if (encoding_ == ProfileEncoding::Utf16Le || encoding_ == ProfileEncoding::Utf16Be) {
        const std::u16string_view text(wide_);
        return extractValue(text.substr(k->valueBegin, k->valueEnd - k->valueBegin), capacity,
                            value);
    }
    const std::string_view text = std::string_view(bytes_).substr(bomSize_);
    return extractValue(text.substr(k->valueBegin, k->valueEnd - k->valueBegin), capacity, value);
}

std::size_t ProfileFile::getString(std::string_view section, std::string_view key,
                                   std::string& value) const {
    return getString(section, key, std::numeric_limits<std::size_t>::max(), value);
}

std::size_t ProfileFile::unitsToByteOffset(std::size_t unit) const {
    if (encoding_ == ProfileEncoding::Utf16Le || encoding_ == ProfileEncoding::Utf16Be) {
        return bomSize_ + 2 * unit;
    }
    return bomSize_ + unit;
}

bool ProfileFile::replaceValue(std::string_view section, std::string_view key,
                               std::string_view value) {
    for (char c : value) {
        if (c == '\r' || c == '\n' || c == '\0')
            return false;
    }
    const Key* k = find(section, key);
    if (!k || !k->hasValue)
        return false;

    std::string encoded;
    if (encoding_ == ProfileEncoding::Utf16Le || encoding_ == ProfileEncoding::Utf16Be) {
        const bool little = encoding_ == ProfileEncoding::Utf16Le;
        const auto put = [&](char16_t u) {
            const char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
            encoded += little ? lo : hi;
            encoded += little ? hi : lo;
        };
        for (std::size_t i = 0; i < value.size();) {
            char32_t cp = 0;
            const std::size_t len = utf8SequenceLength(value, i, &cp);
            if (len == 0)
                return false;
            if (cp >= 0x10000) {
                put(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
                put(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
            } else {
                put(static_cast<char16_t>(cp));
            }
            i += len;
        }
    } else {
        encoded.assign(value);
    }
    const std::size_t from = unitsToByteOffset(k->afterEqualsBegin);
    const std::size_t to = unitsToByteOffset(k->lineEnd);
    bytes_.replace(from, to - from, encoded);
    parse();
    return true;
}

std::size_t readProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::size_t capacity, std::string& value) {
    const std::optional<ProfileFile> file = ProfileFile::read(path);
    if (!file) {
        value.clear();
        return 0;
    }
    return file->getString(section, key, capacity, value);
}

int writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                       std::string_view value) {
    std::optional<ProfileFile> file = ProfileFile::read(path);
    if (!file)
        return -1;
    const std::string before = file->bytes();
    if (!file->replaceValue(section, key, value))
        return -1;
    if (file->bytes() == before)
        return 0;
    return replaceFileContents(path, file->bytes()) ? 0 : -1;
}

}  // namespace kestiva
