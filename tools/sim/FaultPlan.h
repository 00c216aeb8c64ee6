#pragma once
// Scripted misbehaviour of the simulated controller, each fault tied to the numbers of the
// requests it hits, so a test can make exactly the k-th reply go wrong.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestiva::sim {

// Which requests a fault hits. Requests are numbered from 1 in the order they are heard
// (addressed to this station, CRC good, line speed right). Written as:
//   all      every request
//   K        the K-th request only
//   K-L      the K-th to the L-th
//   K-       the K-th and every later one
//   K+N      N requests from the K-th
//   every:N  every N-th request (N, 2N, 3N, ...)
struct Schedule {
    uint64_t first = 1;
    uint64_t last = UINT64_MAX;
    uint64_t period = 0;  // nonzero: every period-th request, first and last ignored

    bool matches(uint64_t request) const;
    static std::optional<Schedule> parse(std::string_view text);
};

enum class FaultKind {
    BadCrc,     // the reply's CRC is wrong
    Exception,  // an exception reply with code `argument` instead of the answer
    Silent,     // no reply at all
    AsStation,  // the reply carries station `argument` (with a CRC that fits it)
    Truncate,   // the last `argument` bytes of the reply are not sent
    Garbage,    // `argument` extra bytes follow the reply
    Delay,      // the reply starts `argument` milliseconds later than it would
};

const char* faultName(FaultKind kind);

struct Fault {
    FaultKind kind = FaultKind::BadCrc;
    int argument = 0;
    Schedule when;
    uint64_t applied = 0;  // how many replies it has spoiled so far
};

// Parses "ARG[@WHEN]" (WHEN defaults to `all`) or, for faults without an argument, "WHEN".
// nullopt when the text is malformed or the argument is outside [minArgument, maxArgument].
std::optional<Fault> parseFault(FaultKind kind, std::string_view text, int minArgument,
                                int maxArgument);

struct HangUp {
    uint64_t request = 0;       // 0: never
    std::size_t bytesSent = 0;  // how much of that request's reply goes out first
};

// "WHEN:MS" for a delay of MS milliseconds (1 to 60000). WHEN may itself hold a colon
// ("every:3:40"): the milliseconds follow the last one.
std::optional<Fault> parseDelay(std::string_view text);

// "N" or "N:BYTES".
std::optional<HangUp> parseHangUp(std::string_view text);

struct FaultPlan {
    std::vector<Fault> faults;
    HangUp hangUp;

    // The first fault of a kind that hits request n, counted as applied; nullptr when none.
    Fault* take(FaultKind kind, uint64_t request);
};

}  // namespace kestiva::sim
