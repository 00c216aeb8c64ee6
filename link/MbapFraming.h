#pragma once
// Modbus TCP's MBAP header in both directions, translated to and from the RTU frames the rest
// of the link deals in: a request leaves as transaction id, protocol id 0, length, unit id and
// PDU; a reply arrives the same way and becomes unit id + PDU + the CRC computed on arrival,
// so that capture, journal and dump keep the serial form they have always held.

#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace kestiva {

inline constexpr std::size_t kMbapHeaderLength = 7;
// The largest PDU a Modbus ADU carries (253 bytes) plus the unit id.
inline constexpr uint16_t kMbapLongestLength = 254;

// The MBAP frame for the RTU frame rtu (station, PDU, CRC) under transaction id. Empty when
// rtu is too short to hold a PDU or its CRC does not fit (nothing of it is sent then).
std::vector<uint8_t> mbapFromRtu(uint16_t transactionId, std::span<const uint8_t> rtu);

// Cuts the reply stream into MBAP frames and hands each back as an RTU frame. Only a reply to
// a transaction still outstanding is taken (any earlier outstanding ones are then given up);
// one with another transaction id or a protocol id other than 0 is dropped and counted.
class MbapReceiver {
public:
    // Transactions remembered; more outstanding than this means replies went missing long ago.
    static constexpr std::size_t kOutstandingLimit = 64;

    // A request with this transaction id went out.
    void sent(uint16_t transactionId);
    // Appends the received bytes; each reply completed by them goes to rtuOut in RTU form.
    // False when the stream is out of step (a length no MBAP frame has): nothing after that
    // point can be cut reliably.
    bool receive(std::span<const uint8_t> bytes, std::deque<uint8_t>& rtuOut);
    // Forgets partial frames and outstanding transactions.
    void reset();

    uint64_t droppedReplies() const { return dropped_; }

private:
    bool takeOutstanding(uint16_t transactionId);

    std::vector<uint8_t> pending_;
    std::deque<uint16_t> outstanding_;
    uint64_t dropped_ = 0;
};

}  // namespace kestiva
