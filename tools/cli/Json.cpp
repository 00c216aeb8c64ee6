#include "tools/cli/Json.h"

#include <cmath>
#include <cstdio>

namespace kestiva::cli {

std::string jsonEscape(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    for (const char c : s) {
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
                } else {
                    out += c;  // UTF-8 passes as it is
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
