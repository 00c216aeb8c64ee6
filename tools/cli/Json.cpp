#include "tools/cli/Json.h"

#include <cmath>
#include <cstdio>

namespace kestiva::cli {

namespace {

// U+FFFD REPLACEMENT CHARACTER in UTF-8.
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The bytes at s[at] (at least one, the first not ASCII) read as UTF-8: the length of the
// character that starts there, or of the longest start of one that breaks off, which stands
// for one replacement character (so "\xE2\x82x" gives one and then "x").
struct Utf8Piece {
    std::size_t length;
    bool valid;
};

Utf8Piece utf8Piece(std::string_view s, std::size_t at) {
    const auto lead = static_cast<unsigned char>(s[at]);
    std::size_t following;
    // The range of the byte after the lead, which rules out overlong forms, surrogates and
    // values past U+10FFFF; later bytes are 0x80 to 0xBF.
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        following = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        following = 2;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        following = 3;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return {1, false};
    }
    for (std::size_t n = 1; n <= following; ++n) {
        if (at + n >= s.size())
            return {n, false};
        const auto c = static_cast<unsigned char>(s[at + n]);
        if (c < low || c > high)
            return {n, false};
        low = 0x80;
        high = 0xBF;
    }
    return {following + 1, true};
}

}  // namespace

std::string jsonEscape(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(c));
                    out += escape;
                } else if (static_cast<unsigned char>(c) < 0x80) {
                    out += c;
                } else {
                    // Valid UTF-8 passes as it is; JSON text must be UTF-8, so what is not
                    // (a file name or a text in another encoding) becomes U+FFFD.
                    const Utf8Piece piece = utf8Piece(s, i);
                    out += piece.valid ? s.substr(i, piece.length) : kReplacement;
                    i += piece.length - 1;
                }
        }
    }
    return out;
}

std::string fixedText(double value, int decimals) {
    char text[512];
    std::snprintf(text, sizeof text, "%.*f",
                  decimals < 0    ? 0
                  : decimals > 20 ? 20
                                  : decimals,
                  value);
    std::string s = text;
    // "-0.00" is what printf makes of a tiny negative value; the program's labels show 0.
    if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-')
        s.erase(0, 1);
    return s;
}

Json Json::number(double value, int decimals) {
    Json json;
    // JSON has no NaN or infinity; a value without a number is null.
    if (!std::isfinite(value))
        return json;
    json.kind_ = Kind::Literal;
    json.text_ = fixedText(value, decimals);
    return json;
}

Json Json::numberText(std::string text) {
    Json json;
    if (text.empty())
        return json;
    json.kind_ = Kind::Literal;
    json.text_ = std::move(text);
    return json;
}

Json& Json::push(Json value) {
    members_.emplace_back(std::string(), std::move(value));
    return *this;
}

Json& Json::set(std::string key, Json value) {
    members_.emplace_back(std::move(key), std::move(value));
    return *this;
}

std::string Json::dump() const {
    std::string out;
    write(out, 0);
    out += '\n';
    return out;
}

std::string Json::line() const {
    std::string out;
    writeCompact(out);
    out += '\n';
    return out;
}

void Json::writeCompact(std::string& out) const {
    if (kind_ != Kind::Array && kind_ != Kind::Object) {
        write(out, 0);
        return;
    }
    const bool object = kind_ == Kind::Object;
    out += object ? '{' : '[';
    for (std::size_t i = 0; i < members_.size(); ++i) {
        if (i > 0)
            out += ',';
        if (object) {
            out += '"';
            out += jsonEscape(members_[i].first);
            out += "\":";
        }
        members_[i].second.writeCompact(out);
    }
    out += object ? '}' : ']';
}

void Json::write(std::string& out, int indent) const {
    switch (kind_) {
        case Kind::Null:
            out += "null";
            return;
        case Kind::Literal:
            out += text_;
            return;
        case Kind::String:
            out += '"';
            out += jsonEscape(text_);
            out += '"';
            return;
        case Kind::Array:
        case Kind::Object:
            break;
    }
    const bool object = kind_ == Kind::Object;
    if (members_.empty()) {
        out += object ? "{}" : "[]";
        return;
    }
    // A list of plain values stays on one line: cycles, colours, ...
    bool plain = !object;
    for (const auto& member : members_)
        plain = plain && member.second.kind_ != Kind::Array && member.second.kind_ != Kind::Object;
    if (plain) {
        out += '[';
        for (std::size_t i = 0; i < members_.size(); ++i) {
            if (i > 0)
                out += ", ";
            members_[i].second.write(out, indent);
        }
        out += ']';
        return;
    }
    out += object ? '{' : '[';
    const std::string inner(std::size_t(indent + 2), ' ');
    for (std::size_t i = 0; i < members_.size(); ++i) {
        out += i == 0 ? "\n" : ",\n";
        out += inner;
        if (object) {
            out += '"';
            out += jsonEscape(members_[i].first);
            out += "\": ";
        }
        members_[i].second.write(out, indent + 2);
    }
    out += '\n';
    out.append(std::size_t(indent), ' ');
    out += object ? '}' : ']';
}

}  // namespace kestiva::cli
