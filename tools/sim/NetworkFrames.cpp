#include "tools/sim/NetworkFrames.h"

#include <algorithm>

#include "tools/sim/Slave.h"

namespace kestiva::sim {

std::optional<MbapRequest> takeMbapRequest(std::vector<uint8_t>& pending, bool& broken) {
    broken = false;
    if (pending.size() < 7)
        return std::nullopt;
    const uint16_t protocol = uint16_t(pending[2] << 8 | pending[3]);
    const uint16_t length = uint16_t(pending[4] << 8 | pending[5]);
    if (protocol != 0 || length < 2 || length > 254) {
        broken = true;
        pending.clear();
        return std::nullopt;
    }
    const std::size_t whole = 6 + std::size_t(length);
    if (pending.size() < whole)
        return std::nullopt;
    MbapRequest request;
    request.transactionId = uint16_t(pending[0] << 8 | pending[1]);
    request.rtu.assign(pending.begin() + 6, pending.begin() + std::ptrdiff_t(whole));
    appendCrc(request.rtu);
    pending.erase(pending.begin(), pending.begin() + std::ptrdiff_t(whole));
    return request;
}

std::vector<uint8_t> mbapReply(uint16_t transactionId, const std::vector<uint8_t>& rtu) {
    if (rtu.empty())
        return {};
    // Unit id and PDU of the whole reply: an exception is 3 bytes, a read 3 + its byte count,
    // an echo 6; anything else is taken as it came, less its CRC.
    std::size_t whole = rtu.size() >= 2 ? rtu.size() - 2 : rtu.size();
    if (rtu.size() >= 2 && (rtu[1] & 0x80) != 0)
        whole = 3;
    else if (rtu.size() >= 3 && rtu[1] == 0x03)
        whole = 3 + std::size_t(rtu[2]);
    else if (rtu.size() >= 2 && rtu[1] == 0x08)
        whole = 6;
    std::vector<uint8_t> frame = {uint8_t(transactionId >> 8), uint8_t(transactionId & 0xFF), 0,
                                  0, uint8_t(whole >> 8), uint8_t(whole & 0xFF)};
    frame.insert(frame.end(), rtu.begin(),
                 rtu.begin() + std::ptrdiff_t(std::min(whole, rtu.size())));
    // Noise the Slave put behind the reply's CRC follows the frame on the wire as well.
    if (rtu.size() > whole + 2)
        frame.insert(frame.end(), rtu.begin() + std::ptrdiff_t(whole + 2), rtu.end());
    return frame;
}

}  // namespace kestiva::sim
