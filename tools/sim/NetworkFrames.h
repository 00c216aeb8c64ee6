#pragma once
// The simulator's side of Modbus TCP: MBAP requests cut from the stream and handed to the
// Slave as the RTU frames it answers, and its RTU replies put back into MBAP form.

#include <cstdint>
#include <optional>
#include <vector>

namespace kestiva::sim {

struct MbapRequest {
    uint16_t transactionId = 0;
    std::vector<uint8_t> rtu;  // unit id, PDU and the CRC they would have on a serial line
};

// The first whole MBAP request in pending, taken out of it; nullopt while none is whole.
// broken is set (and pending cleared) when the stream cannot be cut into MBAP frames: a
// protocol id other than 0, or a length no request has.
std::optional<MbapRequest> takeMbapRequest(std::vector<uint8_t>& pending, bool& broken);

// The MBAP frame for an RTU reply under transactionId. The header gives the length the reply
// has when whole (read from its function code and byte count), so that a reply the Slave cut
// short arrives short, and noise behind the reply follows the frame; there is no CRC on the
// wire, so a wrong CRC does not show. Empty for an empty reply.
std::vector<uint8_t> mbapReply(uint16_t transactionId, const std::vector<uint8_t>& rtu);

}  // namespace kestiva::sim
