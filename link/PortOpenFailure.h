#pragma once
// Why a port did not open, in one line for the port-open message: the device and the system's
// reason, what to do about missing rights, and which process holds a busy port.

#include <optional>
#include <string>

#include "link/SerialDevice.h"
#include "settings/LanguageCatalogue.h"

namespace kestiva {

// A process that has a device open.
struct PortHolder {
    int pid = 0;
    std::string command;  // its /proc/<pid>/comm, empty when unreadable
};

// A process other than this one with device open, found through the /proc/<pid>/fd links of
// the processes this user may look into (all of them for root). nullopt when none is found.
std::optional<PortHolder> findPortHolder(const std::string& device,
                                         const std::string& procFolder = "/proc");

// The added line for portName, whose device did not open with error; device empty for a name
// that is no port. systemReason, when known, says why the device could not be reached in the
// system's words, which tell more than error.
std::string portOpenFailureLine(const LanguageCatalogue& texts, const std::string& portName,
                                const std::string& device, SerialError error,
                                const std::optional<PortHolder>& holder,
                                const std::string& systemReason = "");

// The added line for portName of programFolder as it stands now: its device as assigned, and,
// for a busy port, its holder. deviceReason is what the device said of the failure (a network
// target's "connection refused"); it is used when the assignment itself shows no problem.
std::string describePortOpenFailure(const LanguageCatalogue& texts,
                                    const std::string& programFolder, const std::string& portName,
                                    SerialError error, const std::string& deviceReason = "");

}  // namespace kestiva
