#pragma once
// The terminal the command runs in, where systems differ: Console_<platform>.cpp.

#include <cstddef>
#include <string>
#include <vector>

namespace kestiva::cli {

// Makes standard output and error carry the command's bytes unchanged (a CSV line keeps its
// CR LF, no second CR is added) and shows UTF-8 text as UTF-8.
void prepareConsole();

// The words of the command line as UTF-8, the program's name first (Windows hands main() its
// arguments in the system's narrow code page, which is not UTF-8).
std::vector<std::string> commandLineWords(int argc, char** argv);

// Whether standard error is a terminal, where the progress bar is drawn.
bool errorIsTerminal();

// Columns of the terminal on standard error; 80 when it does not say.
std::size_t terminalColumns();

// A reader that goes away (head, a closed jq) makes a write fail instead of ending the
// program.
void ignoreBrokenPipe();

}  // namespace kestiva::cli
