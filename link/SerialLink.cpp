#include "link/SerialLink.h"

#include <thread>

#include "link/NetworkDevice.h"
#include "link/NetworkTarget.h"
#include "settings/FileCalls.h"

namespace kestiva {

int portNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 6)
        return 0;
    for (int i = 0; i < 3; ++i) {
        char c = static_cast<char>(name[i] & ~0x20);
        if (c != "COM"[i])
            return 0;
    }
    if (name[3] == '0')
        return 0;
    int number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return 0;
        number = number * 10 + (name[i] - '0');
    }
    return number <= 256 ? number : 0;
}

std::string portLinkPath(const std::string& programFolder, int number) {
    return programFolder + "System/ports/COM" + std::to_string(number);
}

std::string portTargetPath(const std::string& programFolder, int number) {
    return portLinkPath(programFolder, number) + "-target";
}

std::string readPortTarget(const std::string& programFolder, int number) {
    // A target is one short line; anything longer is no target of ours.
    std::string text = readRegularFile(portTargetPath(programFolder, number), 1024).value_or("");
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

int32_t silentTimeMs(uint32_t bitRate, uint8_t silentFactor) {
    if (bitRate == 0)
        return 0;
    double ms = (1.0 / bitRate) * 1000.0 * (silentFactor * 3.5 * 10.0);
    return static_cast<int32_t>(ms);
}

SerialLink::SerialLink(std::string programFolder)
    : programFolder_(std::move(programFolder)), device_(std::make_unique<SerialDevice>()) {}

int SerialLink::openPort(PortContext& context, const std::string& name) {
    closePort(context);
    std::lock_guard lock(mutex_);
    context.portName = name;
    const std::string device = resolvePortDevice(programFolder_, name);
    context.network = looksLikeNetworkTarget(device);
    if (context.network)
        device_ = std::make_unique<NetworkDevice>();
    else
        device_ = std::make_unique<SerialDevice>();
    // A name that is no port resolves to "", which the device refuses as not found, so that
    // lastError() tells about this open and not an earlier one.
    if (!device_->open(device)) {
        context.portName.clear();
        context.network = false;
        return -1;
    }
    device_->purge();
    return 0;
}

int SerialLink::configurePort(uint32_t bitRate, PortContext& context, uint8_t silentFactor,
                              int32_t responseDelay) {
    {
        std::lock_guard lock(mutex_);
        if (!device_->isOpen())
            return -1;
        // A rate the line cannot take leaves it at its old speed, which context keeps
        // describing: a request sent at that speed must not be timed for the new one.
        if (!device_->configure(bitRate))
            return -1;
        context.bitRate = bitRate;
        if (bitRate != 0)
            context.silentTimeMs = silentTimeMs(bitRate, silentFactor);
        context.responseDelayMs = responseDelay;
    }
    // Give the driver a moment to settle the new line speed before the first request.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 0;
}

void SerialLink::closePort(PortContext& context) {
    std::lock_guard lock(mutex_);
    if (!device_->isOpen())
        return;
    context.portName.clear();
    context.bitRate = 0;
    context.network = false;
    device_->close();
}

int SerialLink::openSamplingPort(PortContext& context, const CommunicationSettings& settings) {
    (void)openPort(context, settings.portName);
    return configurePort(static_cast<uint32_t>(settings.bitRate), context,
                         static_cast<uint8_t>(settings.silentFactor & 0xFF),
                         settings.responseDelay);
}

bool SerialLink::isOpen() const {
    std::lock_guard lock(mutex_);
    return device_->isOpen();
}

SerialError SerialLink::lastError() const {
    std::lock_guard lock(mutex_);
    return device_->lastError();
}

bool SerialLink::write(std::span<const uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    return device_->write(bytes, {});
}

int SerialLink::read(std::span<uint8_t> destination) {
    std::lock_guard lock(mutex_);
    return device_->read(destination, kPortReadTimeouts);
}

int SerialLink::bytesWaiting() {
    std::lock_guard lock(mutex_);
    return device_->bytesWaiting();
}

int SerialLink::waitForInput(LinkDevice::Clock::time_point deadline) {
    std::lock_guard lock(mutex_);
    return device_->waitForInput(deadline);
}

std::string SerialLink::lastReason() const {
    std::lock_guard lock(mutex_);
    return device_->lastReason();
}

}  // namespace kestiva
