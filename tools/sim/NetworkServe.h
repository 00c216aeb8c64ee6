#pragma once
// kestiva-sim on the loopback address: Modbus TCP (--tcp) or RTU frames over TCP (--rtu-tcp),
// one connection at a time, with the same Slave and fault plan as on a serial line. A hang-up
// fault drops the connection and the simulator waits for the next one.

#include <signal.h>

#include <functional>
#include <string>

#include "tools/sim/Options.h"
#include "tools/sim/Slave.h"

namespace kestiva::sim {

using TraceLine = std::function<void(const std::string&)>;

// Listens on 127.0.0.1 at options.networkPort (0: a free port the system picks). The bound
// address as a network target's text, or empty with error.
int listenOnLoopback(const SimOptions& options, std::string& target, std::string& error);

// Serves connections on the listening socket until a signal (while waiting, waitMask applies)
// or an error. Returns the exit status.
int serveNetwork(int listener, Slave& slave, const SimOptions& options, const TraceLine& trace,
                 Clock::time_point start, const sigset_t& waitMask,
                 const volatile sig_atomic_t& stopRequested);

}  // namespace kestiva::sim
