#include "link/MbapFraming.h"

#include <algorithm>

#include "link/ModbusFrames.h"

namespace kestiva {

namespace {

uint16_t bigEndian(const uint8_t* bytes) {
    return uint16_t(bytes[0] << 8 | bytes[1]);
}

}  // namespace

std::vector<uint8_t> mbapFromRtu(uint16_t transactionId, std::span<const uint8_t> rtu) {
    // Station, function code and CRC at the least.
    if (rtu.size() < 4 || rtu.size() - 2 > kMbapLongestLength || !frameCrcValid(rtu))
        return {};
    const auto unitAndPdu = rtu.first(rtu.size() - 2);
    const auto length = uint16_t(unitAndPdu.size());
    std::vector<uint8_t> frame = {uint8_t(transactionId >> 8), uint8_t(transactionId & 0xFF),
                                  0, 0, uint8_t(length >> 8), uint8_t(length & 0xFF)};
    frame.insert(frame.end(), unitAndPdu.begin(), unitAndPdu.end());
    return frame;
}

void MbapReceiver::sent(uint16_t transactionId) {
    outstanding_.push_back(transactionId);
    if (outstanding_.size() > kOutstandingLimit)
        outstanding_.pop_front();
}

bool MbapReceiver::takeOutstanding(uint16_t transactionId) {
    const auto found = std::find(outstanding_.begin(), outstanding_.end(), transactionId);
    if (found == outstanding_.end())
        return false;
    outstanding_.erase(outstanding_.begin(), found + 1);
    return true;
}

bool MbapReceiver::receive(std::span<const uint8_t> bytes, std::deque<uint8_t>& rtuOut) {
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    std::size_t at = 0;
    bool inStep = true;
    while (pending_.size() - at >= kMbapHeaderLength) {
        const uint8_t* header = pending_.data() + at;
        const uint16_t length = bigEndian(header + 4);
        // The unit id and a function code at the least.
        if (length < 2 || length > kMbapLongestLength) {
            inStep = false;
            break;
        }
        const std::size_t frameLength = 6 + std::size_t(length);
        if (pending_.size() - at < frameLength)
            break;
        const bool ours = bigEndian(header + 2) == 0 && takeOutstanding(bigEndian(header));
        if (ours) {
            const std::span<const uint8_t> unitAndPdu(header + 6, length);
            const auto crc = crc16(unitAndPdu);
            rtuOut.insert(rtuOut.end(), unitAndPdu.begin(), unitAndPdu.end());
            rtuOut.insert(rtuOut.end(), crc.begin(), crc.end());
        } else {
            ++dropped_;
        }
        at += frameLength;
    }
    pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(at));
    if (!inStep)
        pending_.clear();
    return inStep;
}

void MbapReceiver::reset() {
    pending_.clear();
    outstanding_.clear();
}

}  // namespace kestiva
