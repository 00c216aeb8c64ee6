#pragma once
// Ctrl+C for the long commands: the signal only raises a flag, and the command's main thread,
// which watches it, presses Stop (a recording) or Cancel (a check) the way the window's
// buttons do. A second Ctrl+C ends the program at once.

namespace kestiva::cli {

// Installs the SIGINT handler; from now on the first Ctrl+C sets the flag.
void watchInterrupt();

// Whether Ctrl+C has been pressed since watchInterrupt.
bool interrupted();

}  // namespace kestiva::cli
