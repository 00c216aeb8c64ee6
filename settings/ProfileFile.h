#pragma once
// Reading and rewriting profile (INI) files by the rules below, which are the rules INI files
// brought from a Windows machine were written for, so that such a file, or one written by
// hand, reads here as it was meant.
//
// Reading: lines end at CR or LF; blanks (space, tab, CR, LF, VT, FF, 0x1A) around section
// names, keys and values are dropped; a section name is the text between '[' and the last
// ']'; a key is the text before the first '='; names compare case-insensitively (ASCII); a
// line whose first non-blank character is ';' is a comment; keys before the first section
// header are unreachable; the first section of a name and the first key within it win; a
// value that starts and ends with the same quote character (' or ") loses both quotes.
// Lengths are counted in UTF-16 code units, so that a long value is cut at the same character
// whichever encoding its file has.
//
// Writing replaces the text after '=' on an existing key's line and keeps every other byte;
// it never creates a file, a section or a key.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestiva {

enum class ProfileEncoding {
    Utf8,     // no byte-order mark
    Utf8Bom,  // EF BB BF
    Utf16Le,  // FF FE, files saved on Windows
    Utf16Be,  // FE FF
};

class ProfileFile {
public:
    // Reads the whole file into memory. nullopt when it cannot be opened, is not a regular
    // file or is larger than kMaxFileSize.
    static std::optional<ProfileFile> read(const std::string& path);

    // A profile held in memory: bytes exactly as they would be on disk.
    explicit ProfileFile(std::string bytes);

    // Copies the value of key in section into value, cut to capacity - 1 UTF-16 units (never
    // inside a character), and returns the number of units copied. 0 (value emptied) when
    // the section or key is missing, the value is empty, or capacity is below 2.
    std::size_t getString(std::string_view section, std::string_view key, std::size_t capacity,
                          std::string& value) const;

    // The whole value, however long.
    std::size_t getString(std::string_view section, std::string_view key, std::string& value) const;

    // Replaces everything after '=' on the key's line with value, in memory. false when the
    // key (with '=') is missing, or when value holds CR, LF or NUL (which would break the
    // line apart) or, for a UTF-16 file, is not valid UTF-8.
    bool replaceValue(std::string_view section, std::string_view key, std::string_view value);

    const std::string& bytes() const { return bytes_; }
    ProfileEncoding encoding() const { return encoding_; }

    // Files are small; anything larger is refused rather than read into memory.
    static constexpr std::size_t kMaxFileSize = 16u * 1024u * 1024u;

private:
    struct Key {
        std::string foldedName;
        bool hasValue = false;
        // Units of the decoded text: the trimmed value, and the whole text after '=' up to
        // the line's end (what a write replaces).
        std::size_t valueBegin = 0, valueEnd = 0;
        std::size_t afterEqualsBegin = 0, lineEnd = 0;
    };
    struct Section {
        std::string foldedName;
        std::vector<Key> keys;
    };

    void parse();
    template <typename Unit>
    void parseUnits(std::basic_string_view<Unit> text);
    const Key* find(std::string_view section, std::string_view key) const;
    std::size_t unitsToByteOffset(std::size_t unit) const;

    std::string bytes_;
    ProfileEncoding encoding_ = ProfileEncoding::Utf8;
    std::size_t bomSize_ = 0;
    std::u16string wide_;  // the decoded text of a UTF-16 file
    std::vector<Section> sections_;
};

// Reads one value: reads the file once and returns getString's result; 0 (value emptied) when
// the file cannot be read.
std::size_t readProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::size_t capacity, std::string& value);

// Rewrites the value of an existing key: 0 when written, -1 when the file, section or key is
// missing, the value is refused (see replaceValue) or the file cannot be written.
// The file keeps its encoding, line endings, comments and every other line. It is replaced
// through a temporary file in the same folder, which takes the old file's owner and mode, so
// that a failed write never leaves half a file. A file this user may not write, or one in a
// folder where no temporary file can be made, is left as it is (-1).
int writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                       std::string_view value);

}  // namespace kestiva
