#pragma once
// The terminal the command runs in, where systems differ: Console_<platform>.cpp.

#include <cstddef>

namespace kestiva::cli {

// Makes standard output and error carry the command's bytes unchanged (a CSV line keeps its
// CR LF, no second CR is added) and shows UTF-8 text as UTF-8.
void prepareConsole();

// Whether standard error is a terminal, where the progress bar is drawn.
bool errorIsTerminal();

// Columns of the terminal on standard error; 80 when it does not say.
std::size_t terminalColumns();

// A reader that goes away (head, a closed jq) makes a write fail instead of ending the
// program.
void ignoreBrokenPipe();

}  // namespace kestiva::cli
