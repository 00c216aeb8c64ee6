#include "tools/cli/Console.h"

#include <windows.h>  // before shellapi.h, which builds on it

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <filesystem>

namespace kestiva::cli {

void prepareConsole() {
    // The C library would turn every "\n" into "\r\n" on its way out.
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    ::SetConsoleOutputCP(CP_UTF8);
}

std::vector<std::string> commandLineWords(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> words;
    for (int i = 0; i < count; ++i) {
        const std::u8string word = std::filesystem::path(wide[i]).u8string();
        words.emplace_back(word.begin(), word.end());
    }
    ::LocalFree(wide);
    return words;
}

bool errorIsTerminal() {
    // _isatty also says yes for NUL; only a console has a console mode.
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::size_t terminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info) &&
        info.srWindow.Right >= info.srWindow.Left)
        return std::size_t(info.srWindow.Right - info.srWindow.Left + 1);
    return 80;
}

// Windows has no SIGPIPE: a write to a closed pipe fails on its own.
void ignoreBrokenPipe() {}

}  // namespace kestiva::cli
