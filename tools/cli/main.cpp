// kestiva-cli: what the window does with a controller and a recording, from a terminal.

#include <cstdio>
#include <string>
#include <string_view>

#include "tools/cli/CliCommon.h"
#include "tools/cli/Commands.h"
#include "tools/cli/Console.h"

namespace {

constexpr const char* kUsage =
    "Usage: kestiva-cli COMMAND [OPTIONS]\n"
    "\n"
    "The recorder's companion command: the same System files, texts, rules and files as the\n"
    "program's window, for machines without a display and for scripts.\n"
    "\n"
    "Commands:\n"
    "  config    show DataSamplingConfig.ini as start-up loads and validates it\n"
    "  check     run the communication check (manual echo or station and bit-rate search)\n"
    "  record    record the data or I/O monitor and save the recording as CSV\n"
    "  info      read a CSV recording with every check and describe it\n"
    "  plot      draw a CSV recording's graph into an image file (.bmp, .jpg, .png)\n"
    "  ports     list the serial devices and the device each COMn opens; assign one\n"
    "  recover   list the recording journals, or save one as CSV after a crash\n"
    "\n"
    "Every command takes --help, --json (a machine-readable result on standard output) and\n"
    "--system DIR (the System folder to use instead of the program's own: the one beside the\n"
    "program, or for an installed program the user's copy in ~/.config/kestiva/System).\n"
    "Messages the window shows in a message box go to standard error. Exit codes: 0 success,\n"
    "1 failure (with the message), 2 a wrong command line.\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace kestiva::cli;
    prepareConsole();
    const std::vector<std::string> words = commandLineWords(argc, argv);
    if (words.size() < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string_view command = words[1];
    const Args args(words.begin() + 2, words.end());
    setJsonRequested(jsonRequested(args));
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "config")
        return runConfigCommand(args);
    if (command == "check")
        return runCheckCommand(args);
    if (command == "record")
        return runRecordCommand(args);
    if (command == "info")
        return runInfoCommand(args);
    if (command == "plot")
        return runPlotCommand(args);
    if (command == "ports")
        return runPortsCommand(args);
    if (command == "recover")
        return runRecoverCommand(args);
    std::fprintf(stderr, "kestiva-cli: unknown command '%s'\n\n%s", words[1].c_str(), kUsage);
    if (jsonRequested(args))
        printOut(failureJson("unknown command '" + std::string(command) + "'").dump());
    return kExitUsage;
}
