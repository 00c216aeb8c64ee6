#include "link/ModbusFrames.h"

namespace kestiva {

namespace {

constexpr uint16_t kCrcPolynomial = 0xA001;  // 0x8005 reflected
constexpr std::size_t kSlice = 8;

using CrcTable = std::array<uint16_t, 256>;

// crcTables[0] advances the CRC by one byte; crcTables[k] by a byte followed by k zero bytes,
// so that eight bytes fold into the CRC with eight independent look-ups.
constexpr std::array<CrcTable, kSlice> buildCrcTables() {
    std::array<CrcTable, kSlice> tables{};
    for (uint32_t byte = 0; byte < 256; ++byte) {
        uint16_t crc = uint16_t(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ kCrcPolynomial) : uint16_t(crc >> 1);
        tables[0][byte] = crc;
    }
    for (std::size_t k = 1; k < kSlice; ++k) {
        for (uint32_t byte = 0; byte < 256; ++byte) {
            const uint16_t previous = tables[k - 1][byte];
            tables[k][byte] = uint16_t((previous >> 8) ^ tables[0][previous & 0xFF]);
        }
    }
    return tables;
}

constexpr std::array<CrcTable, kSlice> crcTables = buildCrcTables();

}  // namespace

std::array<uint8_t, 2> crc16(std::size_t count, const uint8_t* bytes) {
    const auto& t = crcTables;
    uint16_t crc = 0xFFFF;
    // The CRC's two bytes go into the first two of each slice; the other six only add their
    // own contribution, shifted by the bytes that follow them.
    for (; count >= kSlice; count -= kSlice, bytes += kSlice) {
        crc = t[7][(bytes[0] ^ crc) & 0xFF] ^ t[6][bytes[1] ^ (crc >> 8)] ^ t[5][bytes[2]] ^
              t[4][bytes[3]] ^ t[3][bytes[4]] ^ t[2][bytes[5]] ^ t[1][bytes[6]] ^ t[0][bytes[7]];
    }
    for (; count > 0; --count, ++bytes)
        crc = uint16_t((crc >> 8) ^ t[0][(crc ^ *bytes) & 0xFF]);
    return {static_cast<uint8_t>(crc & 0xFF), static_cast<uint8_t>(crc >> 8)};
}

bool frameCrcValid(std::span<const uint8_t> frame) {
    if (frame.size() < 3)
        return false;
    auto crc = crc16(frame);
    return crc[0] == 0 && crc[1] == 0;
}

namespace {

// Station, function and two 16-bit words, then the CRC of those six bytes.
void buildRequest(uint8_t station, uint8_t function, uint16_t first, uint16_t second,
                  std::span<uint8_t, kRequestLength> out) {
    out[0] = station;
    out[1] = function;
    out[2] = static_cast<uint8_t>(first >> 8);
    out[3] = static_cast<uint8_t>(first & 0xFF);
    out[4] = static_cast<uint8_t>(second >> 8);
    out[5] = static_cast<uint8_t>(second & 0xFF);
    auto crc = crc16(6, out.data());
    out[6] = crc[0];
    out[7] = crc[1];
}

}  // namespace

void buildReadRequest(uint8_t station, uint16_t address, uint16_t byteCount,
                      std::span<uint8_t, kRequestLength> out) {
    buildRequest(station, kReadHoldingRegisters, address, static_cast<uint16_t>(byteCount / 2),
                 out);
}

void buildEchoRequest(uint8_t station, std::span<uint8_t, kRequestLength> out) {
    // Sub-function 0x0000 returns the query data unchanged.
    buildRequest(station, kDiagnostics, 0x0000, kEchoData, out);
}

TextId exceptionContentsText(uint8_t exceptionCode) {
    switch (exceptionCode) {
        case 2:
            return text::MSG_COM_ABNORMAL_RESPONSE_ADDRESS_CONTENTS;
        case 3:
            return text::MSG_COM_ABNORMAL_RESPONSE_ACCESS_CONTENTS;
        default:
            return text::MSG_COM_ABNORMAL_RESPONSE_INJUSTICE_CONTENTS;
    }
}

int64_t echoIntervalLimitMs(uint32_t bitRate, int32_t responseDelayMs, int32_t silentTimeMs) {
    // Below 1024 bit/s (a context whose port was closed has 0) the shifted rate is 0; such a
    // line waits as if it ran at 1024 bit/s instead of dividing by zero.
    uint32_t kiloRate = bitRate >> 10;
    int64_t characters = kiloRate == 0 ? 80 : 80 / kiloRate;
    return characters + responseDelayMs + silentTimeMs + 6;
}

}  // namespace kestiva
