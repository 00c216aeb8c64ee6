#include "tools/sim/FaultPlan.h"

#include <charconv>

namespace kestiva::sim {

namespace {

// A whole decimal number, nothing before or after it.
std::optional<uint64_t> parseNumber(std::string_view text) {
    uint64_t value = 0;
    if (text.empty())
        return std::nullopt;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

}  // namespace

bool Schedule::matches(uint64_t request) const {
    if (request == 0)
        return false;
    if (period != 0)
        return request % period == 0;
    return request >= first && request <= last;
}

std::optional<Schedule> Schedule::parse(std::string_view text) {
    Schedule s;
    if (text == "all")
        return s;
    if (text.starts_with("every:")) {
        auto n = parseNumber(text.substr(6));
        if (!n || *n == 0)
            return std::nullopt;
        s.period = *n;
        return s;
    }
    if (auto dash = text.find('-'); dash != std::string_view::npos) {
        auto first = parseNumber(text.substr(0, dash));
        if (!first || *first == 0)
            return std::nullopt;
        s.first = *first;
        if (dash + 1 == text.size())
            return s;
        auto last = parseNumber(text.substr(dash + 1));
        if (!last || *last < *first)
            return std::nullopt;
        s.last = *last;
        return s;
    }
    if (auto plus = text.find('+'); plus != std::string_view::npos) {
        auto first = parseNumber(text.substr(0, plus));
        auto count = parseNumber(text.substr(plus + 1));
        if (!first || *first == 0 || !count || *count == 0)
            return std::nullopt;
        s.first = *first;
        s.last = *first + *count - 1;
        return s;
    }
    auto only = parseNumber(text);
    if (!only || *only == 0)
        return std::nullopt;
    s.first = s.last = *only;
    return s;
}

const char* faultName(FaultKind kind) {
    switch (kind) {
        case FaultKind::BadCrc:
            return "bad-crc";
        case FaultKind::Exception:
            return "exception";
        case FaultKind::Silent:
            return "silent";
        case FaultKind::AsStation:
            return "as-station";
        case FaultKind::Truncate:
            return "truncate";
        case FaultKind::Garbage:
            return "garbage";
        case FaultKind::Delay:
            return "delay";
    }
    return "?";
}

std::optional<Fault> parseFault(FaultKind kind, std::string_view text, int minArgument,
                                int maxArgument) {
    Fault fault;
    fault.kind = kind;
    bool takesArgument = kind != FaultKind::BadCrc && kind != FaultKind::Silent;
    std::string_view when = "all";
    if (takesArgument) {
        std::string_view argument = text;
        if (auto at = text.find('@'); at != std::string_view::npos) {
            argument = text.substr(0, at);
            when = text.substr(at + 1);
        }
        auto value = parseNumber(argument);
        if (!value || *value < static_cast<uint64_t>(minArgument) ||
            *value > static_cast<uint64_t>(maxArgument))
            return std::nullopt;
        fault.argument = static_cast<int>(*value);
    } else {
        when = text;
    }
    auto schedule = Schedule::parse(when);
    if (!schedule)
        return std::nullopt;
    fault.when = *schedule;
    return fault;
}

std::optional<Fault> parseDelay(std::string_view text) {
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    auto schedule = Schedule::parse(text.substr(0, colon));
    auto milliseconds = parseNumber(text.substr(colon + 1));
    if (!schedule || !milliseconds || *milliseconds == 0 || *milliseconds > 60000)
        return std::nullopt;
    Fault fault;
    fault.kind = FaultKind::Delay;
    fault.argument = static_cast<int>(*milliseconds);
    fault.when = *schedule;
    return fault;
}

std::optional<HangUp> parseHangUp(std::string_view text) {
    HangUp hangUp;
    std::string_view request = text;
    if (auto colon = text.find(':'); colon != std::string_view::npos) {
        request = text.substr(0, colon);
        auto bytes = parseNumber(text.substr(colon + 1));
        if (!bytes || *bytes > 1024)
            return std::nullopt;
        hangUp.bytesSent = static_cast<std::size_t>(*bytes);
    }
    auto n = parseNumber(request);
    if (!n || *n == 0)
        return std::nullopt;
    hangUp.request = *n;
    return hangUp;
}

Fault* FaultPlan::take(FaultKind kind, uint64_t request) {
    for (auto& fault : faults) {
        if (fault.kind == kind && fault.when.matches(request)) {
            ++fault.applied;
            return &fault;
        }
    }
    return nullptr;
}

}  // namespace kestiva::sim
