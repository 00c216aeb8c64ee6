#pragma once
// A controller reached over the network instead of a serial line: "tcp://HOST[:PORT]" speaks
// Modbus TCP (port 502 unless given), "rtu-tcp://HOST:PORT" carries the serial frames with
// their CRC over a TCP stream, as serial-to-Ethernet gateways in transparent mode pass them.
// A port name's assignment or --port may hold one in place of a device.

#include <cstdint>
#include <optional>
#include <string>

namespace kestiva {

enum class NetworkFraming {
    ModbusTcp,  // the MBAP header in front of each PDU, no CRC on the wire
    RtuOverTcp  // the serial frames as they are
};

struct NetworkTarget {
    NetworkFraming framing = NetworkFraming::ModbusTcp;
    std::string host;  // a name, an IPv4 address, or an IPv6 address without its brackets
    uint16_t port = 502;

    // The target written back in its canonical form: tcp://host:502, rtu-tcp://[::1]:4001.
    std::string text() const;
    // How the frames travel, for people: "Modbus TCP" or "RTU over TCP".
    const char* transportName() const;
};

inline constexpr uint16_t kModbusTcpPort = 502;

// True when text begins with one of the two schemes: it is meant as a network target, and a
// fault in it is reported as such rather than as a wrong device path.
bool looksLikeNetworkTarget(const std::string& text);

// The target text stands for; nullopt with error for a malformed one: another scheme, a
// control character or blank anywhere, no host, an unclosed bracket, a port that is not a
// number from 1 to 65535, or rtu-tcp without a port (a gateway has no standard one).
std::optional<NetworkTarget> parseNetworkTarget(const std::string& text, std::string& error);

}  // namespace kestiva
