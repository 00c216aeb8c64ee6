#include "tools/sim/Options.h"

#include <cstdlib>

namespace kestiva::sim {

namespace {

bool isBitRate(uint32_t rate) {
    for (uint32_t r : {9600u, 19200u, 38400u, 57600u, 115200u, 230400u})
        if (r == rate)
            return true;
    return false;
}

}  // namespace

std::string usageText() {
    return R"(Usage: kestiva-sim [OPTIONS]

A simulated actuator controller: a Modbus RTU slave on a serial line, for trying the
recorder without hardware and for tests. It creates a pseudo-terminal pair, prints the
device the program should open as the first line of its output, and answers until it is
interrupted (Ctrl+C, SIGTERM) or told to hang up.

Line:
  --device PATH        serve on an existing serial device (a null-modem cable or an
                       RS-485 adapter) instead of a new pseudo-terminal
  --link PATH          also make PATH a symbolic link to the device, for example
                       <program folder>/System/ports/COM1, so that the program finds it
                       as COM1; removed again on exit. With --tcp or --rtu-tcp the
                       port's network target is written instead (PATH-target)
  --tcp PORT           serve Modbus TCP on 127.0.0.1:PORT (0: a free port) instead of
                       a serial line; the first line of output is the target
                       (tcp://127.0.0.1:PORT). One connection at a time; the bit rate
                       plays no part, replies go out whole after the turnaround. There
                       is no CRC on the wire: --bad-crc does not show, --truncate
                       cuts the PDU beyond the CRC's two bytes
  --rtu-tcp PORT       the same with the serial frames and their CRC over TCP, as a
                       gateway in transparent mode passes them
  --hangup over TCP drops the connection and waits for the next one.
  --station N          station address, 1 to 247 (default 1); requests to other
                       stations and broadcasts get no reply
  --bitrate B          9600, 19200, 38400 (default), 57600, 115200 or 230400. On a
                       pseudo-terminal it answers only while the other side has set
                       the line to this speed, as a controller hears only noise at a
                       wrong one
  --turnaround MS      time between the end of a request and the start of the reply,
                       in milliseconds, decimals allowed (default 2). Both directions
                       take their transmission time at the bit rate, 10 bits a byte
  --trace              print every request and reply in hex with a time stamp to
                       standard error (a request's is the arrival of its first byte);
                       the first line gives time 0 on the system's monotonic clock

Registers (Read Holding Registers, function 03; at most 125 registers a read):
  --mode MODE          what the registers hold:
                         deterministic (default): register A of a read of C registers
                           holds (0x1000 + C * 0x100 + A * 3) mod 0x10000
                         counting: register A of the reply to the k-th read heard
                           holds ((k mod 0x100) << 8) | (A mod 0x100)
                         demo: a working actuator with a 5 to 6 s work cycle (start,
                           move out to one of four points, press, return home; every fifth
                           press overloads) at the addresses of the register map in the
                           shipped DataSamplingConfig.ini: 0x1000-0x100F (position,
                           speed, current, following error, alarm, temperatures, supply
                           voltage, load, target, travel, mode, warning), input bits
                           0x2000 and output bits 0x2100; other registers read 0
  --map FILE           fixed register values that win over the mode; lines of
                       ADDRESS = VALUE[, VALUE ...] in decimal or 0x hex, several
                       values going to consecutive registers; # or ; starts a comment
  --range FIRST-LAST   registers that exist (repeatable); a read touching any other
                       gets exception 02. Default 0x0000-0xFFFF in demo mode,
                       0x0000-0x7FFF otherwise

Diagnostics (function 08): sub-function 0x0000 echoes the request; other sub-functions
get exception 01. Any other function gets exception 01; a read of 0 or more than 125
registers gets exception 03.

Faults (repeatable; each counts how often it struck, reported on exit):
  --bad-crc WHEN              the reply's CRC is wrong
  --exception CODE[@WHEN]     answer with exception CODE (1-255) instead
  --silent WHEN               do not answer
  --as-station S[@WHEN]       answer as station S (1-255), with a CRC that fits
  --truncate BYTES[@WHEN]     leave off the last BYTES bytes of the reply
  --garbage BYTES[@WHEN]      send BYTES (1-1000) noise bytes after the reply
  --delay WHEN:MS             start the reply MS (1-60000) milliseconds late; the
                              replies to later requests wait behind it
  --hangup N[:BYTES]          at the N-th request send only the first BYTES (default 0)
                              bytes of the reply, then close the line and exit
WHEN picks requests by number; requests are numbered from 1 in the order they are
heard (addressed to this station, CRC good, line at the right speed):
  all       every request (the default for faults with an argument)
  K         the K-th request          K-L   the K-th to the L-th
  K-        the K-th and later ones   K+N   N requests from the K-th
  every:N   every N-th request (N, 2N, 3N, ...)
Examples: --silent 3+2 (requests 3 and 4 unanswered), --bad-crc every:10,
--exception 2@1 (only the first request gets exception 02), --delay 5:40 (the
fifth reply 40 ms late).

  --help               show this text

On exit (and on hang-up) one line of counters goes to standard error.
)";
}

std::optional<SimOptions> parseOptions(const std::vector<std::string>& args, std::string& error) {
    SimOptions options;
    bool rangesGiven = false;
    std::string mapFile;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--help" || option == "-h") {
            options.help = true;
            continue;
        }
        if (option == "--trace") {
            options.trace = true;
            continue;
        }
        if (!option.starts_with("--")) {
            error = "unexpected argument: " + option;
            return std::nullopt;
        }
        if (i + 1 >= args.size()) {
            error = option + " needs a value";
            return std::nullopt;
        }
        const std::string& value = args[++i];
        auto bad = [&]() {
            error = "bad value for " + option + ": " + value;
            return std::nullopt;
        };
        auto fault = [&](FaultKind kind, int minArgument, int maxArgument) {
            auto parsed = parseFault(kind, value, minArgument, maxArgument);
            if (!parsed)
                return false;
            options.slave.faults.faults.push_back(*parsed);
            return true;
        };
        uint32_t number = 0;
        if (option == "--station") {
            if (!parseRegisterNumber(value, 247, number) || number == 0)
                return bad();
            options.slave.station = static_cast<uint8_t>(number);
        } else if (option == "--bitrate") {
            if (!parseRegisterNumber(value, 230400, number) || !isBitRate(number))
                return bad();
            options.bitRate = number;
        } else if (option == "--device") {
            options.device = value;
        } else if (option == "--link") {
            options.link = value;
        } else if (option == "--tcp" || option == "--rtu-tcp") {
            if (!parseRegisterNumber(value, 65535, number))
                return bad();
            options.network = option == "--tcp" ? NetworkMode::ModbusTcp : NetworkMode::RtuOverTcp;
            options.networkPort = static_cast<uint16_t>(number);
        } else if (option == "--turnaround") {
            char* end = nullptr;
            double ms = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !(ms >= 0) || ms > 10000)
                return bad();
            options.turnaroundMs = ms;
        } else if (option == "--mode") {
            if (value == "deterministic") {
                options.slave.registers.mode = RegisterMode::Deterministic;
            } else if (value == "counting") {
                options.slave.registers.mode = RegisterMode::Counting;
            } else if (value == "demo") {
                options.slave.registers.mode = RegisterMode::Demo;
            } else {
                return bad();
            }
        } else if (option == "--map") {
            mapFile = value;
        } else if (option == "--range") {
            AddressRange range;
            if (!parseAddressRange(value, range))
                return bad();
            if (!rangesGiven)
                options.slave.registers.ranges.clear();
            rangesGiven = true;
            options.slave.registers.ranges.push_back(range);
        } else if (option == "--bad-crc") {
            if (!fault(FaultKind::BadCrc, 0, 0))
                return bad();
        } else if (option == "--exception") {
            if (!fault(FaultKind::Exception, 1, 255))
                return bad();
        } else if (option == "--silent") {
            if (!fault(FaultKind::Silent, 0, 0))
                return bad();
        } else if (option == "--as-station") {
            if (!fault(FaultKind::AsStation, 1, 255))
                return bad();
        } else if (option == "--truncate") {
            if (!fault(FaultKind::Truncate, 1, 1000))
                return bad();
        } else if (option == "--garbage") {
            if (!fault(FaultKind::Garbage, 1, 1000))
                return bad();
        } else if (option == "--delay") {
            auto delay = parseDelay(value);
            if (!delay)
                return bad();
            options.slave.faults.faults.push_back(*delay);
        } else if (option == "--hangup") {
            auto hangUp = parseHangUp(value);
            if (!hangUp)
                return bad();
            options.slave.faults.hangUp = *hangUp;
        } else {
            error = "unknown option: " + option;
            return std::nullopt;
        }
    }
    if (options.network != NetworkMode::None && !options.device.empty()) {
        error = "--device serves a serial line; it goes with neither --tcp nor --rtu-tcp";
        return std::nullopt;
    }
    if (!rangesGiven && options.slave.registers.mode == RegisterMode::Demo)
        options.slave.registers.ranges = {{0x0000, 0xFFFF}};
    if (!mapFile.empty() && !options.slave.registers.loadFixedValues(mapFile, error))
        return std::nullopt;
    return options;
}

}  // namespace kestiva::sim
