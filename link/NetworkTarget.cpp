#include "link/NetworkTarget.h"

#include <algorithm>
#include <charconv>

namespace kestiva {

namespace {

constexpr const char* kTcpScheme = "tcp://";
constexpr const char* kRtuTcpScheme = "rtu-tcp://";

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// Blanks too: a host or port never holds one, and a listing that shows the target splits
// its columns at them.
bool isControlOrBlank(unsigned char c) {
    return c <= 0x20 || c == 0x7F;
}

std::optional<uint16_t> parsePort(const std::string& text) {
    unsigned value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (text.empty() || error != std::errc() || end != last || value < 1 || value > 65535)
        return std::nullopt;
    return uint16_t(value);
}

}  // namespace

const char* NetworkTarget::transportName() const {
    return framing == NetworkFraming::ModbusTcp ? "Modbus TCP" : "RTU over TCP";
}

std::string NetworkTarget::text() const {
    const bool v6 = host.find(':') != std::string::npos;
    return std::string(framing == NetworkFraming::ModbusTcp ? kTcpScheme : kRtuTcpScheme) +
           (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool looksLikeNetworkTarget(const std::string& text) {
    return startsWith(text, kTcpScheme) || startsWith(text, kRtuTcpScheme);
}

std::optional<NetworkTarget> parseNetworkTarget(const std::string& text, std::string& error) {
    NetworkTarget target;
    std::string rest;
    if (startsWith(text, kTcpScheme)) {
        rest = text.substr(6);
    } else if (startsWith(text, kRtuTcpScheme)) {
        target.framing = NetworkFraming::RtuOverTcp;
        rest = text.substr(10);
    } else {
        error = "a network target is tcp://HOST[:PORT] or rtu-tcp://HOST:PORT: " + text;
        return std::nullopt;
    }
    if (std::any_of(text.begin(), text.end(),
                    [](char c) { return isControlOrBlank(static_cast<unsigned char>(c)); })) {
        error = "the network target holds a control character or a blank";
        return std::nullopt;
    }
    std::string portText;
    bool hasPort = false;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string::npos) {
            error = "the network target's [ has no ]: " + text;
            return std::nullopt;
        }
        target.host = rest.substr(1, close - 1);
        const std::string after = rest.substr(close + 1);
        if (!after.empty() && after.front() != ':') {
            error = "':' or nothing expected after the address in brackets: " + text;
            return std::nullopt;
        }
        hasPort = !after.empty();
        portText = hasPort ? after.substr(1) : "";
    } else {
        const auto colon = rest.find(':');
        target.host = rest.substr(0, colon);
        hasPort = colon != std::string::npos;
        portText = hasPort ? rest.substr(colon + 1) : "";
    }
    if (target.host.empty() || target.host.find_first_of("/[]@") != std::string::npos) {
        error = "the network target names no host: " + text;
        return std::nullopt;
    }
    if (hasPort) {
        const auto port = parsePort(portText);
        if (!port) {
            error = "the network target's port is not a number from 1 to 65535: " + text;
            return std::nullopt;
        }
        target.port = *port;
    } else if (target.framing == NetworkFraming::RtuOverTcp) {
        error = "an rtu-tcp target needs its gateway's port (rtu-tcp://HOST:PORT): " + text;
        return std::nullopt;
    }
    return target;
}

}  // namespace kestiva
