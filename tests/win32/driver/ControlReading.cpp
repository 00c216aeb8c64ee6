// Reading another process's controls for the window driver: what an edit shows now, and the
// rows of a list view.

#include "ControlReading.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>

namespace {

std::string utf8(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string narrow(std::size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), narrow.data(), length,
                        nullptr, nullptr);
    return narrow;
}

}  // namespace

// What a control shows now, asked of the control itself: the text the system keeps for another
// process's window is its caption from creation, not what an edit holds after typing.
std::wstring shownText(HWND control) {
    std::wstring text(std::size_t(SendMessageW(control, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
    text.resize(std::size_t(SendMessageW(control, WM_GETTEXT, WPARAM(text.size()),
                                         reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

// A list view's rows. Its cells are read through a buffer in the program's own memory: the
// system copies no list view item across processes.
bool printListRows(HWND list) {
    DWORD processId = 0;
    GetWindowThreadProcessId(list, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE,
                                 FALSE, processId);
    if (!process)
        return false;
    constexpr int kTextLength = 512;
    const SIZE_T size = sizeof(LVITEMW) + kTextLength * sizeof(wchar_t);
    auto* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = header ? int(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
    const int rows = int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; remote && row < rows; ++row) {
        const bool selected = SendMessageW(list, LVM_GETITEMSTATE, WPARAM(row), LVIS_SELECTED) != 0;
        std::string line = selected ? "*" : "";
        for (int column = 0; column < columns; ++column) {
            LVITEMW item{};
            item.iSubItem = column;
            item.cchTextMax = kTextLength;
            item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
            WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
            const LRESULT length = SendMessageW(list, LVM_GETITEMTEXTW, WPARAM(row),
                                                reinterpret_cast<LPARAM>(remote));
            std::wstring text(std::size_t(std::clamp<LRESULT>(length, 0, kTextLength - 1)),
                              L'\0');
            ReadProcessMemory(process, remote + sizeof(LVITEMW), text.data(),
                              text.size() * sizeof(wchar_t), nullptr);
            line += (column ? "\t" : "") + utf8(text);
        }
        std::printf("%s\n", line.c_str());
    }
    if (remote)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return remote != nullptr;
}

