#pragma once
// The processor time a thread has used, for measuring what a helper thread costs.

#include <chrono>

namespace kestiva {

// The user and system time the calling thread has used so far; zero where it cannot be read.
std::chrono::microseconds callingThreadCpu();

}  // namespace kestiva
