#pragma once
// The small JSON values kestiva-cli prints with --json: enough to build one result object
// and write it, with strings escaped and numbers exactly as given.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestiva::cli {

class Json {
public:
    Json() = default;  // null
    Json(bool value) : kind_(Kind::Literal), text_(value ? "true" : "false") {}
    Json(int value) : Json(int64_t(value)) {}
    Json(unsigned value) : Json(int64_t(value)) {}
    Json(int64_t value) : kind_(Kind::Literal), text_(std::to_string(value)) {}
    Json(const char* value) : kind_(Kind::String), text_(value) {}
    Json(std::string value) : kind_(Kind::String), text_(std::move(value)) {}
    Json(std::string_view value) : kind_(Kind::String), text_(value) {}

    // A number written with a fixed count of decimals, as the program shows it.
    static Json number(double value, int decimals);
    // A number already written as the program shows it ("-1.25"); an empty text is null.
    static Json numberText(std::string text);
    static Json array() { return Json(Kind::Array); }
    static Json object() { return Json(Kind::Object); }

    // Appends to an array.
    Json& push(Json value);
    // Adds a member to an object; members keep the order they were added in.
    Json& set(std::string key, Json value);

    // Two-space indented text ending with a line break.
    std::string dump() const;
    // The whole value on one line without spaces, ending with a line break: a JSON line.
    std::string line() const;

private:
    enum class Kind { Null, Literal, String, Array, Object };
    explicit Json(Kind kind) : kind_(kind) {}
    void write(std::string& out, int indent) const;
    void writeCompact(std::string& out) const;

    Kind kind_ = Kind::Null;
    std::string text_;                                   // a literal's text or a string's value
    std::vector<std::pair<std::string, Json>> members_;  // array items have empty keys
};

// value with a fixed count of decimals; a value that rounds to zero shows no minus sign.
std::string fixedText(double value, int decimals);

// s with the JSON escapes, without quotes. Bytes that are not UTF-8 become U+FFFD, one for
// each broken sequence.
std::string jsonEscape(std::string_view s);

}  // namespace kestiva::cli
