#pragma once
// What TcpSocket needs of the platform's sockets: the calls whose names, types and error codes
// differ between BSD sockets (TcpSocket_posix.cpp) and Winsock (TcpSocket_win32.cpp). The
// loops around them (trying each address, sending all, waiting for input) are TcpSocket.cpp's,
// one copy for both.

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

struct addrinfo;

namespace kestiva::tcp {

using Clock = std::chrono::steady_clock;
// SOCKET on Windows, a descriptor elsewhere; both fit.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

// Makes sockets usable (Winsock is started once for the program); false with reason.
bool ready(std::string& reason);

// The addresses host and port stand for, to be given back with freeAddresses; nullptr with
// reason in the system's words.
addrinfo* resolve(const std::string& host, uint16_t port, std::string& reason);
void freeAddresses(addrinfo* addresses);
const addrinfo* nextAddress(const addrinfo& address);

// A non-blocking connection to address made by deadline, sending small segments at once;
// kNoHandle with the error code when none was made.
Handle connectTo(const addrinfo& address, Clock::time_point deadline, int& error);
void closeHandle(Handle handle);

// One call's worth of bytes: the count (0 from receiveSome when the peer closed), or -1 with
// the error code.
long sendSome(Handle handle, std::span<const uint8_t> bytes, int& error);
long receiveSome(Handle handle, std::span<uint8_t> destination, int& error);
// Error codes that mean "try again": nothing could move yet, or a signal cut the call short.
bool wouldBlock(int error);
bool interrupted(int error);

// 0 once handle can be read (forReading) or written, timedOut() at the deadline, else the
// error code.
int waitUntilReady(Handle handle, bool forReading, Clock::time_point deadline);
int timedOut();

// The error in the words both builds use for the codes users meet ("connection refused",
// "timed out"), lower case; the system's own message for the rest.
std::string errorText(int error);

}  // namespace kestiva::tcp
