// The session's communication check: the port it holds for the settings page, and the check's
// worker.

#include <chrono>
#include <system_error>
#include <thread>
#include <utility>

#include "link/NetworkTarget.h"
#include "session/Session.h"

namespace kestiva {

bool Session::deferNetworkOpen(const std::string& portName) {
    deferredCheckPort_.clear();
    if (!looksLikeNetworkTarget(resolvePortDevice(programFolder_, portName)))
        return false;
    // What the page held before is let go, as a new open would.
    link_.closePort(checkContext_);
    deferredCheckPort_ = portName;
    return true;
}

bool Session::openCheckPort(const std::string& portName) {
    return deferNetworkOpen(portName) || check_.openCheckPort(checkContext_, portName);
}

bool Session::openCheckPortQuietly(const std::string& portName) {
    return deferNetworkOpen(portName) || link_.openPort(checkContext_, portName) == 0;
}

bool Session::configureCheckPort(int32_t bitRate, int32_t responseDelay) {
    settings_.responseDelay = responseDelay;
    return link_.configurePort(uint32_t(bitRate), checkContext_, uint8_t(settings_.silentFactor),
                               responseDelay) == 0;
}

bool Session::startCheck(const CheckChoice& choice, CheckProgress& progress,
                         std::function<void()> finished) {
    if (checkWorker_.joinable())
        return false;
    check_.resetCancel();
    checkDone_ = false;
    checkFinished_ = std::move(finished);
    try {
        checkWorker_ = std::thread([this, choice, &progress, network = deferredCheckPort_] {
            if (!network.empty() && !check_.openCheckPort(checkContext_, network))
                checkOutcome_ = {CheckResult::PortOpenFailed};
            else
                checkOutcome_ = check_.runCheckWorker(checkContext_, choice, progress);
            checkDone_ = true;
            if (checkFinished_)
                checkFinished_();
        });
    } catch (const std::system_error&) {
        link_.closePort(checkContext_);
        return false;
    }
    return true;
}

std::optional<CheckOutcome> Session::finishCheck() {
    if (!checkWorker_.joinable() || !checkDone_.load())
        return std::nullopt;
    checkWorker_.join();
    if (checkOutcome_.result == CheckResult::Found) {
        settings_.stationId = checkOutcome_.station;
        settings_.bitRate = checkOutcome_.bitRate;
    }
    return checkOutcome_;
}

CheckOutcome Session::runCheck(const std::string& portName, const CheckChoice& choice,
                               CheckProgress& progress, const std::function<void()>& poll) {
    if (!openCheckPort(portName))
        return {CheckResult::PortOpenFailed};
    if (!startCheck(choice, progress, nullptr))
        return {CheckResult::NotFound};
    for (;;) {
        if (auto outcome = finishCheck())
            return *outcome;
        if (poll)
            poll();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace kestiva
