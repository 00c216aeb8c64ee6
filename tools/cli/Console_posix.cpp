#include "tools/cli/Console.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kestiva::cli {

void prepareConsole() {}

std::vector<std::string> commandLineWords(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

bool errorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

std::size_t terminalColumns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

void ignoreBrokenPipe() {
    signal(SIGPIPE, SIG_IGN);
}

}  // namespace kestiva::cli
