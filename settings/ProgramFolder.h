#pragma once
// The folder of the running executable; the System/ folder with the profile files lies in it.

#include <string>

namespace kestiva {

// The directory of /proc/self/exe with a trailing '/', or "./" when the link cannot be read.
std::string programFolder();

}  // namespace kestiva
