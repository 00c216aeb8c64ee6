#include "tools/sim/Slave.h"

#include <algorithm>
#include <cstdio>

#include "link/ModbusFrames.h"

namespace kestiva::sim {

void appendCrc(std::vector<uint8_t>& frame) {
    const auto crc = crc16(frame);
    frame.insert(frame.end(), crc.begin(), crc.end());
}

std::string hexBytes(std::span<const uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size() * 3);
    char buffer[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += buffer;
    }
    return text;
}

Clock::duration interFrameGap(uint32_t bitRate) {
    using namespace std::chrono;
    const auto minimum = microseconds(1750);
    if (bitRate == 0)
        return minimum;
    auto gap = microseconds(35'000'000LL / bitRate);
    return std::max<Clock::duration>(gap, minimum);
}

// ---------------------------------------------------------------------------------------------

void FrameAssembler::push(std::span<const uint8_t> bytes, Clock::time_point now) {
    if (bytes.empty())
        return;
    if (pending_.empty())
        firstByte_ = now;
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    lastByte_ = now;
}

std::vector<uint8_t> FrameAssembler::next(Clock::time_point now) {
    if (pending_.empty())
        return {};
    bool knownRequest = pending_.size() >= 8 && (pending_[1] == 0x03 || pending_[1] == 0x08) &&
                        frameCrcValid(std::span<const uint8_t>(pending_.data(), 8));
    if (knownRequest) {
        std::vector<uint8_t> frame(pending_.begin(), pending_.begin() + 8);
        pending_.erase(pending_.begin(), pending_.begin() + 8);
        // What follows arrived together with this request; it starts its own frame now.
        if (!pending_.empty())
            firstByte_ = now;
        return frame;
    }
    if (now - lastByte_ < gap_)
        return {};
    std::vector<uint8_t> frame;
    frame.swap(pending_);
    return frame;
}

Clock::time_point FrameAssembler::deadline() const {
    if (pending_.empty())
        return Clock::time_point::max();
    return lastByte_ + gap_;
}

// ---------------------------------------------------------------------------------------------

namespace {

std::vector<uint8_t> exceptionReply(uint8_t station, uint8_t function, uint8_t code) {
    std::vector<uint8_t> reply{station, static_cast<uint8_t>(function | 0x80), code};
    appendCrc(reply);
    return reply;
}

uint16_t word(std::span<const uint8_t> frame, std::size_t at) {
    return static_cast<uint16_t>((frame[at] << 8) | frame[at + 1]);
}

void appendNote(std::string& note, const std::string& text) {
    if (!note.empty())
        note += ", ";
    note += text;
}

}  // namespace

std::vector<uint8_t> Slave::answer(std::span<const uint8_t> frame, double seconds,
                                   bool& exception) {
    const uint8_t station = config_.station;
    const uint8_t function = frame[1];
    exception = true;
    if (function == 0x03) {
        ++counters_.reads;
        if (frame.size() != 8)
            return exceptionReply(station, function, 3);
        uint16_t address = word(frame, 2);
        uint16_t count = word(frame, 4);
        if (count == 0 || count > 125)
            return exceptionReply(station, function, 3);
        if (!config_.registers.covers(address, count))
            return exceptionReply(station, function, 2);
        exception = false;
        std::vector<uint8_t> reply{station, function, static_cast<uint8_t>(count * 2)};
        for (uint16_t i = 0; i < count; ++i) {
            uint16_t value = config_.registers.value(static_cast<uint16_t>(address + i), count,
                                                     readNumber_, seconds);
            reply.push_back(static_cast<uint8_t>(value >> 8));
            reply.push_back(static_cast<uint8_t>(value & 0xFF));
        }
        appendCrc(reply);
        return reply;
    }
    if (function == 0x08) {
        if (frame.size() < 6)
            return exceptionReply(station, function, 3);
        // Only "return query data" is offered; it sends the request back unchanged.
        if (word(frame, 2) != 0x0000)
            return exceptionReply(station, function, 1);
        ++counters_.echoes;
        exception = false;
        return std::vector<uint8_t>(frame.begin(), frame.end());
    }
    return exceptionReply(station, function, 1);
}

SlaveAction Slave::handle(std::span<const uint8_t> frame, double seconds) {
    ++counters_.framesReceived;
    SlaveAction action;
    if (frame.size() < 4 || !frameCrcValid(frame)) {
        ++counters_.badFrames;
        action.note = "bad frame, ignored";
        return action;
    }
    if (frame[0] != config_.station) {
        // Station 0 is a broadcast, which a slave never answers.
        ++counters_.otherStation;
        action.note = "for station " + std::to_string(frame[0]) + ", ignored";
        return action;
    }
    const uint64_t n = ++counters_.requestsHeard;
    action.heard = true;
    action.requestNumber = n;
    if (frame[1] == 0x03)
        ++readNumber_;
    FaultPlan& faults = config_.faults;
    const bool hangUp = faults.hangUp.request == n;

    if (faults.take(FaultKind::Silent, n)) {
        action.note = "silent (fault)";
        action.hangUp = hangUp;
        return action;
    }
    bool exception = false;
    std::vector<uint8_t> reply;
    if (const Fault* f = faults.take(FaultKind::Exception, n)) {
        reply = exceptionReply(config_.station, frame[1], static_cast<uint8_t>(f->argument));
        exception = true;
        appendNote(action.note, "exception " + std::to_string(f->argument) + " (fault)");
    } else {
        reply = answer(frame, seconds, exception);
    }
    if (const Fault* f = faults.take(FaultKind::AsStation, n)) {
        reply[0] = static_cast<uint8_t>(f->argument);
        reply.resize(reply.size() - 2);
        appendCrc(reply);
        appendNote(action.note, "as station " + std::to_string(f->argument) + " (fault)");
    }
    if (faults.take(FaultKind::BadCrc, n)) {
        reply[reply.size() - 1] ^= 0xFF;
        appendNote(action.note, "bad CRC (fault)");
    }
    if (const Fault* f = faults.take(FaultKind::Truncate, n)) {
        std::size_t cut =
            std::min<std::size_t>(static_cast<std::size_t>(f->argument), reply.size());
        reply.resize(reply.size() - cut);
        appendNote(action.note, "truncated by " + std::to_string(cut) + " (fault)");
    }
    if (const Fault* f = faults.take(FaultKind::Garbage, n)) {
        // A fixed noise sequence, so a failing test sees the same bytes every run.
        uint8_t noise = 0xA5;
        for (int i = 0; i < f->argument; ++i) {
            reply.push_back(noise);
            noise = static_cast<uint8_t>(noise * 37 + 11);
        }
        appendNote(action.note, std::to_string(f->argument) + " garbage bytes (fault)");
    }
    if (const Fault* f = faults.take(FaultKind::Delay, n)) {
        action.delayMs = f->argument;
        appendNote(action.note, "delayed by " + std::to_string(f->argument) + " ms (fault)");
    }
    if (hangUp) {
        reply.resize(std::min(reply.size(), faults.hangUp.bytesSent));
        action.hangUp = true;
        appendNote(action.note, "line closed after " + std::to_string(reply.size()) + " bytes");
    }
    if (exception)
        ++counters_.exceptions;
    if (!reply.empty())
        ++counters_.replies;
    action.reply = std::move(reply);
    return action;
}

std::string Slave::summary() const {
    const SlaveCounters& c = counters_;
    std::string text = "frames " + std::to_string(c.framesReceived) + ", heard " +
                       std::to_string(c.requestsHeard) + ", reads " + std::to_string(c.reads) +
                       ", echoes " + std::to_string(c.echoes) + ", replies " +
                       std::to_string(c.replies) + ", exceptions " + std::to_string(c.exceptions) +
                       ", bad frames " + std::to_string(c.badFrames) + ", other station " +
                       std::to_string(c.otherStation) + ", wrong speed " +
                       std::to_string(c.wrongSpeed);
    for (const Fault& fault : config_.faults.faults)
        text += ", " + std::string(faultName(fault.kind)) + " " + std::to_string(fault.applied);
    return text;
}

}  // namespace kestiva::sim
