#pragma once
// Modbus RTU frames as the master builds and checks them: CRC, the two requests, the reply
// lengths, exception codes and the echo receive timing.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "settings/TextIds.h"

namespace kestiva {

inline constexpr uint8_t kReadHoldingRegisters = 0x03;
inline constexpr uint8_t kDiagnostics = 0x08;
inline constexpr uint8_t kExceptionFlag = 0x80;
inline constexpr std::size_t kRequestLength = 8;
inline constexpr std::size_t kExceptionReplyLength = 5;
inline constexpr uint16_t kEchoData = 0x1234;

// CRC-16/MODBUS over count bytes, low byte first as it goes on the wire. Running it over a
// frame together with its own CRC gives {0, 0}.
std::array<uint8_t, 2> crc16(std::size_t count, const uint8_t* bytes);
inline std::array<uint8_t, 2> crc16(std::span<const uint8_t> bytes) {
    return crc16(bytes.size(), bytes.data());
}

// True when the frame's last two bytes are the CRC of the bytes before them.
bool frameCrcValid(std::span<const uint8_t> frame);

// Builds a Read Holding Registers request for byteCount bytes (byteCount / 2 registers).
void buildReadRequest(uint8_t station, uint16_t address, uint16_t byteCount,
                      std::span<uint8_t, kRequestLength> out);

// Builds the Diagnostics "return query data" request carrying 0x1234.
void buildEchoRequest(uint8_t station, std::span<uint8_t, kRequestLength> out);

// Length of a read reply as received: station, function, byte count, data, CRC.
constexpr std::size_t readReplyLength(uint16_t byteCount) {
    return std::size_t{byteCount} + 5;
}

// The function codes the echo receiver takes as the start of a 5-byte exception reply.
constexpr bool isEchoExceptionFunction(uint8_t function) {
    return function == 0x83 || function == 0x88 || function == 0x90;
}

// The catalogue text that explains an exception code of a read reply.
TextId exceptionContentsText(uint8_t exceptionCode);

// How long the echo receiver waits for a byte before it spends one retry, in milliseconds:
// two characters' worth at the bit rate, plus the response delay, the silent time and 6 ms.
int64_t echoIntervalLimitMs(uint32_t bitRate, int32_t responseDelayMs, int32_t silentTimeMs);

}  // namespace kestiva
