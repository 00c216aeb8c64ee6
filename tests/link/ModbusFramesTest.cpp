#include "link/ModbusFrames.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "link/SerialLink.h"
#ifndef _WIN32
#include <unistd.h>

#include "link/SimProcess.h"
#endif

namespace kestiva {
namespace {

using Bytes = std::vector<uint8_t>;

// The CRC as the serial line rules define it, one bit at a time, to hold the fast one against.
uint16_t bitwiseCrc(const Bytes& bytes) {
    uint16_t crc = 0xFFFF;
    for (uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

uint16_t crcValue(const Bytes& bytes) {
    const auto crc = crc16(bytes);
    return uint16_t(crc[0] | crc[1] << 8);
}

TEST(ModbusFrames, CrcOfKnownFrames) {
    struct Case {
        std::string name;
        Bytes bytes;
        uint16_t expected;
    };
    const std::string check = "123456789";
    const Case cases[] = {
        {"check string", Bytes(check.begin(), check.end()), 0x4B37},
        {"nothing", {}, 0xFFFF},
        {"read request", {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A}, 0xCDC5},
        {"echo request", {0x01, 0x08, 0x00, 0x00, 0x12, 0x34}, 0x7CED},
    };
    for (const Case& c : cases)
        EXPECT_EQ(crcValue(c.bytes), c.expected) << c.name;
}

TEST(ModbusFrames, CrcEqualsTheBitwiseCrcAcrossSliceBoundaries) {
    std::mt19937 random(11);
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 17; ++n)
        lengths.push_back(n);
    for (std::size_t n : {23, 24, 25, 31, 32, 33, 255, 256, 1000})
        lengths.push_back(n);
    for (int k = 0; k < 50; ++k)
        lengths.push_back(random() % 600);

    for (std::size_t length : lengths) {
        Bytes randomBytes(length);
        for (auto& b : randomBytes)
            b = uint8_t(random());
        for (const Bytes& bytes : {randomBytes, Bytes(length, 0x00), Bytes(length, 0xFF)})
            EXPECT_EQ(crcValue(bytes), bitwiseCrc(bytes)) << "length " << length;
    }
    // A frame that starts at any offset of the capture buffer, not only at aligned ones.
    Bytes buffer(64);
    for (auto& b : buffer)
        b = uint8_t(random());
    for (std::size_t start = 0; start < 8; ++start) {
        const Bytes frame(buffer.begin() + std::ptrdiff_t(start), buffer.begin() + 40);
        const auto crc = crc16(40 - start, buffer.data() + start);
        EXPECT_EQ(uint16_t(crc[0] | crc[1] << 8), bitwiseCrc(frame)) << "offset " << start;
    }
}

TEST(ModbusFrames, CrcOfAFrameWithItsOwnCrcIsZero) {
    std::mt19937 random(7);
    for (int length = 1; length <= 256; length += 17) {
        Bytes frame(static_cast<std::size_t>(length));
        for (auto& b : frame)
            b = static_cast<uint8_t>(random());
        auto crc = crc16(frame);
        frame.push_back(crc[0]);
        frame.push_back(crc[1]);
        auto again = crc16(frame);
        EXPECT_EQ(again[0], 0) << length;
        EXPECT_EQ(again[1], 0) << length;
        EXPECT_TRUE(frameCrcValid(frame));
        frame[0] ^= 0x01;
        EXPECT_FALSE(frameCrcValid(frame)) << "a flipped bit must show";
    }
    EXPECT_FALSE(frameCrcValid(Bytes{0xFF, 0xFF}));
}

TEST(ModbusFrames, ReadRequestCarriesTheRegisterCount) {
    struct Case {
        uint8_t station;
        uint16_t address;
        uint16_t byteCount;
        Bytes expected;
    };
    const Case cases[] = {
        {1, 0x0000, 20, {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}},
        // An odd byte count asks for the whole registers below it.
        {1, 0x0000, 21, {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}},
        {0x11, 0x006B, 6, {0x11, 0x03, 0x00, 0x6B, 0x00, 0x03, 0x76, 0x87}},
    };
    for (const auto& c : cases) {
        std::array<uint8_t, kRequestLength> out{};
        buildReadRequest(c.station, c.address, c.byteCount, out);
        EXPECT_EQ(Bytes(out.begin(), out.end()), c.expected) << int(c.byteCount);
    }
    EXPECT_EQ(readReplyLength(20), 25u);
    EXPECT_EQ(readReplyLength(250), 255u);
}

TEST(ModbusFrames, EchoRequest) {
    std::array<uint8_t, kRequestLength> out{};
    buildEchoRequest(1, out);
    EXPECT_EQ(Bytes(out.begin(), out.end()),
              (Bytes{0x01, 0x08, 0x00, 0x00, 0x12, 0x34, 0xED, 0x7C}));
    buildEchoRequest(32, out);
    EXPECT_TRUE(frameCrcValid(out));
    EXPECT_EQ(out[0], 32);
}

TEST(ModbusFrames, ExceptionCodesChooseTheirText) {
    EXPECT_EQ(exceptionContentsText(2), text::MSG_COM_ABNORMAL_RESPONSE_ADDRESS_CONTENTS);
    EXPECT_EQ(exceptionContentsText(3), text::MSG_COM_ABNORMAL_RESPONSE_ACCESS_CONTENTS);
    for (int code : {0, 1, 4, 5, 6, 0x0B, 0xFF})
        EXPECT_EQ(exceptionContentsText(static_cast<uint8_t>(code)),
                  text::MSG_COM_ABNORMAL_RESPONSE_INJUSTICE_CONTENTS)
            << code;
    for (int f : {0x83, 0x88, 0x90})
        EXPECT_TRUE(isEchoExceptionFunction(static_cast<uint8_t>(f)));
    for (int f : {0x03, 0x08, 0x81, 0x84})
        EXPECT_FALSE(isEchoExceptionFunction(static_cast<uint8_t>(f)));
}

TEST(ModbusFrames, EchoIntervalLimitPerBitRate) {
    struct Case {
        uint32_t bitRate;
        int64_t characterTerm;
    };
    const Case cases[] = {{9600, 8}, {19200, 4}, {38400, 2}, {57600, 1}, {115200, 0}, {230400, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(echoIntervalLimitMs(c.bitRate, 0, 0), c.characterTerm + 6) << c.bitRate;
        EXPECT_EQ(echoIntervalLimitMs(c.bitRate, 20, 3), c.characterTerm + 29) << c.bitRate;
    }
    // A closed context has bit rate 0; that must wait rather than divide by zero.
    EXPECT_EQ(echoIntervalLimitMs(0, 0, 0), 86);
}

TEST(PortRules, SilentTime) {
    struct Case {
        uint32_t bitRate;
        uint8_t factor;
        int32_t expected;
    };
    const Case cases[] = {
        {38400, 1, 0},
        {38400, 5, 4},
        {9600, 1, 3},
        {9600, 0, 0},
        {19200, 2, 3},
        {230400, 255, 38},
        {0, 5, 0},
        // The settings value 257 reaches the port as its low byte.
        {9600, static_cast<uint8_t>(257 & 0xFF), 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(silentTimeMs(c.bitRate, c.factor), c.expected)
            << c.bitRate << " x" << int(c.factor);
}

#ifndef _WIN32  // port names resolve to Linux device nodes
TEST(PortRules, PortNamesResolveThroughTheLinkFolder) {
    testing::TempProgramFolder folder;
    ASSERT_EQ(symlink("/dev/null", folder.portLink(3).c_str()), 0);
    struct Case {
        const char* name;
        std::string expected;
    };
    const Case cases[] = {
        {"COM1", "/dev/ttyS0"},
        {"COM10", "/dev/ttyS9"},
        {"com2", "/dev/ttyS1"},
        {"COM3", folder.portLink(3)},
        {"COM256", "/dev/ttyS255"},
        {"COM0", ""},
        {"COM01", ""},
        {"COM257", ""},
        {"COM", ""},
        {"COM 3", ""},
        {"COM3x", ""},
        {"/dev/ttyUSB0", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(resolvePortDevice(folder.path(), c.name), c.expected) << c.name;
}
#endif

}  // namespace
}  // namespace kestiva
