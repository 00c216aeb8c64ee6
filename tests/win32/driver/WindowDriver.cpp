// A user of kestiva.exe from outside the program, for the tests under Wine: finds top-level
// windows and their controls by class and caption, acts on them through messages and real
// input, reads message boxes, and waits by polling with a deadline. One action per run:
//
//   window-driver wait WINDOW                  a visible WINDOW with its controls
//   window-driver gone WINDOW                  no visible WINDOW any more
//   window-driver click WINDOW BUTTON          a posted BM_CLICK (it may open or end a modal
//                                              window, which a sent one would wait for)
//   window-driver press WINDOW BUTTON          a real mouse click in the middle of BUTTON
//   window-driver enabled WINDOW BUTTON        BUTTON enabled (and shown)
//   window-driver select WINDOW ID TEXT        list ID's entry TEXT, as the user's choice
//   window-driver command WINDOW ID            the menu command ID, posted
//   window-driver message WINDOW               prints a message box's text (OK or Yes)
//   window-driver file WINDOW PATH             types PATH into a file dialog and accepts it
//   window-driver close WINDOW                 asks WINDOW to close
//   window-driver controls WINDOW              lists WINDOW's controls (id, class, caption)
//   window-driver windows                      lists the shown top-level windows
//   window-driver clipboard                    prints the clipboard's bitmap size (w h)
//   window-driver picture WINDOW ID            prints a hash of control ID's pixels on screen
//   window-driver rect WINDOW ID               prints control ID's screen rectangle (x y w h);
//                                              ID 0: the window's own, frame included
//   window-driver click-control WINDOW ID      a real mouse click in the middle of control ID
//   window-driver keys WINDOW KEY...           real key presses to the focus in WINDOW: a
//                                              letter or digit, Left, Right, Delete, Enter,
//                                              or ctrl+KEY
//   window-driver type WINDOW ID TEXT          clicks edit ID, selects its text, types TEXT
//                                              over it and presses Enter
//   window-driver wheel WINDOW ID NOTCHES      the mouse to control ID's middle, the wheel
//                                              turned NOTCHES (away from the user: positive)
//   window-driver text WINDOW ID               prints control ID's text
//   window-driver fill WINDOW ID TEXT          empties edit ID (or a list's edit) and types
//                                              TEXT into it a character at a time, posted,
//                                              without pressing Enter
//   window-driver rows WINDOW ID               prints list view ID's rows, a line each, the
//                                              cells separated by tabs, a selected row
//                                              marked with '*' before it
//   window-driver clipboard-text               prints the clipboard's text
//   window-driver empty-clipboard              empties the clipboard
//
// and two that time the program for the benchmarks, each printing milliseconds:
//
//   window-driver launch EXE                   starts EXE (in its folder) and waits until its
//                                              first window is shown and painted
//   window-driver timed-click WINDOW BUTTON NEXT [NEXT_BUTTON]
//                                              a posted BM_CLICK, until NEXT (one holding
//                                              NEXT_BUTTON) is shown and painted
//
// WINDOW is a caption, #Class for a window class, or #Class|Caption for both (a message box
// is #32770|Caption). Captions are compared without their
// access-key '&'. Acting on a control whose window is disabled (under a modal window) is
// refused, as a user could not do it either: the driver waits for the window to be enabled
// until the deadline (--timeout SECONDS before the action, 20 by default), then fails.

#include <windows.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ControlReading.h"

namespace {

std::wstring toWide(const char* text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(std::size_t(length > 0 ? length - 1 : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
    return wide;
}

std::string toUtf8(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string narrow(std::size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), narrow.data(), length,
                        nullptr, nullptr);
    return narrow;
}

std::wstring caption(HWND window) {
    std::wstring text(std::size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(window, text.data(), int(text.size()))));
    std::wstring shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size())
            ++i;  // "&&" is a shown '&'
        shown += text[i];
    }
    return shown;
}

std::wstring className(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

// "Caption", "#Class" or "#Class|Caption".
bool matches(HWND window, const std::wstring& pattern) {
    if (pattern.empty() || pattern[0] != L'#')
        return caption(window) == pattern;
    const std::size_t bar = pattern.find(L'|');
    // Dialogs' class is "#32770" itself: "#32770" and "##32770" both name it.
    const std::wstring wanted = pattern.substr(1, bar == std::wstring::npos ? bar : bar - 1);
    const std::wstring actual = className(window);
    if (actual != wanted && actual != L"#" + wanted)
        return false;
    return bar == std::wstring::npos || caption(window) == pattern.substr(bar + 1);
}

HWND findTopLevel(const std::wstring& pattern) {
    struct Search {
        const std::wstring* pattern;
        HWND found;
    } search{&pattern, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(data);
            if (IsWindowVisible(window) && matches(window, *s.pattern)) {
                s.found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A shown control of window: by caption, or by id when byId.
HWND findControl(HWND window, const std::wstring& pattern, int id = -1) {
    struct Search {
        const std::wstring* pattern;
        int id;
        HWND found;
    } search{&pattern, id, nullptr};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(data);
            if (!IsWindowVisible(child))
                return TRUE;
            const bool hit = s.id >= 0 ? GetDlgCtrlID(child) == s.id : matches(child, *s.pattern);
            if (hit) {
                s.found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool hasChildren(HWND window) { return GetWindow(window, GW_CHILD) != nullptr; }

std::chrono::steady_clock::time_point deadline;

// Polls until found() gives a window, or the deadline.
HWND waitFor(const std::function<HWND()>& found) {
    for (;;) {
        if (HWND window = found())
            return window;
        if (std::chrono::steady_clock::now() > deadline)
            return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

int fail(const std::string& what) {
    std::fprintf(stderr, "window-driver: %s\n", what.c_str());
    return 1;
}

HWND waitWindow(const std::wstring& pattern) {
    return waitFor([&]() -> HWND {
        HWND window = findTopLevel(pattern);
        return window && hasChildren(window) ? window : nullptr;
    });
}

// The control, once its window takes input and the control is enabled.
HWND waitUsableControl(const std::wstring& windowPattern, const std::wstring& controlPattern,
                       int id = -1) {
    return waitFor([&]() -> HWND {
        HWND window = findTopLevel(windowPattern);
        if (!window || !IsWindowEnabled(window))
            return nullptr;
        HWND control = findControl(window, controlPattern, id);
        return control && IsWindowEnabled(control) ? control : nullptr;
    });
}

void realClick(HWND control) {
    RECT area;
    GetWindowRect(control, &area);
    SetForegroundWindow(GetAncestor(control, GA_ROOT));
    const int x = (area.left + area.right) / 2;
    const int y = (area.top + area.bottom) / 2;
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input[3] = {};
    for (INPUT& in : input) {
        in.type = INPUT_MOUSE;
        in.mi.dx = LONG(x * 65535 / (width - 1));
        in.mi.dy = LONG(y * 65535 / (height - 1));
    }
    input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    SendInput(3, input, sizeof(INPUT));
}

// The mouse to the middle of control, in screen coordinates as SendInput wants them.
INPUT mouseTo(HWND control) {
    RECT area;
    GetWindowRect(control, &area);
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = LONG((area.left + area.right) / 2 * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1));
    in.mi.dy = LONG((area.top + area.bottom) / 2 * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1));
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return in;
}

INPUT keyInput(WORD key, bool down) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = key;
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    return in;
}

// The virtual key of a key name, or 0.
WORD virtualKey(const std::string& name) {
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
        return WORD(std::toupper(static_cast<unsigned char>(name[0])));
    if (name == "Left")
        return VK_LEFT;
    if (name == "Right")
        return VK_RIGHT;
    if (name == "Delete")
        return VK_DELETE;
    if (name == "Enter")
        return VK_RETURN;
    return 0;
}

// Presses and releases a named key ("ctrl+" before it holds Control); false for a name
// without a key.
bool pressKey(const std::string& name) {
    const bool control = name.rfind("ctrl+", 0) == 0;
    const WORD key = virtualKey(control ? name.substr(5) : name);
    if (key == 0)
        return false;
    std::vector<INPUT> input;
    if (control)
        input.push_back(keyInput(VK_CONTROL, true));
    input.push_back(keyInput(key, true));
    input.push_back(keyInput(key, false));
    if (control)
        input.push_back(keyInput(VK_CONTROL, false));
    SendInput(UINT(input.size()), input.data(), sizeof(INPUT));
    // Each key is handled before the next: the window reads the held modifiers as it goes.
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    return true;
}

// Types text as characters, whatever the keyboard's layout.
void typeText(const std::wstring& text) {
    std::vector<INPUT> input;
    for (const wchar_t c : text) {
        for (const bool down : {true, false}) {
            INPUT in{};
            in.type = INPUT_KEYBOARD;
            in.ki.wScan = WORD(c);
            in.ki.dwFlags = KEYEVENTF_UNICODE | (down ? 0 : KEYEVENTF_KEYUP);
            input.push_back(in);
        }
    }
    SendInput(UINT(input.size()), input.data(), sizeof(INPUT));
}

std::wstring clipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr))
        return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// The text of a message box: its static controls' texts (the icon's is empty).
std::wstring messageText(HWND box) {
    std::wstring all;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM data) -> BOOL {
            if (className(child) == L"Static")
                *reinterpret_cast<std::wstring*>(data) += caption(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

// The file name box of a file dialog: the edit inside the combo box (cmb13, an extended
// combo box in Explorer-style dialogs), or the plain edit (edt1).
HWND fileNameBox(HWND dialog) {
    struct Search {
        HWND found;
    } search{nullptr};
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM data) -> BOOL {
            const int id = GetDlgCtrlID(child);
            if (className(child) == L"Edit" && (id == 0x47C || id == 0x480)) {
                reinterpret_cast<Search*>(data)->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// FNV-1a over the control's pixels as the screen shows them.
unsigned long long pictureHash(HWND control) {
    RECT area;
    GetWindowRect(control, &area);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    unsigned long long hash = 14695981039346656037ull;
    const auto* pixels = static_cast<const unsigned*>(bits);
    for (long i = 0; pixels && i < long(width) * height; ++i) {
        hash ^= pixels[i] & 0xFFFFFFu;
        hash *= 1099511628211ull;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return hash;
}

// ---- Timing, for the benchmarks: polled every millisecond ----

// Whether window and its shown children have nothing left to paint.
bool painted(HWND window) {
    if (GetUpdateRect(window, nullptr, FALSE))
        return false;
    bool clean = true;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM data) -> BOOL {
            if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) {
                *reinterpret_cast<bool*>(data) = false;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&clean));
    return clean;
}

// Milliseconds from since until found() gives a window that is painted; -1 at the deadline.
double msUntilPainted(std::chrono::steady_clock::time_point since,
                      const std::function<HWND()>& found) {
    for (;;) {
        HWND window = found();
        if (window && hasChildren(window) && painted(window))
            return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                             since)
                .count();
        if (std::chrono::steady_clock::now() > deadline)
            return -1;
        Sleep(1);
    }
}

// A shown top-level window of process `id`.
HWND windowOfProcess(DWORD id) {
    struct Search {
        DWORD id;
        HWND found;
    } search{id, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s.id && IsWindowVisible(window)) {
                s.found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int printMs(double ms, const std::string& what) {
    if (ms < 0)
        return fail(what);
    std::printf("%.1f\n", ms);
    return 0;
}

int actTimed(const std::vector<std::string>& args) {
    if (args[0] == "launch" && args.size() == 2) {
        std::wstring exe = toWide(args[1].c_str());
        std::wstring folder = exe.substr(0, exe.find_last_of(L"\\/") + 1);
        std::wstring command = L"\"" + exe + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        const auto since = std::chrono::steady_clock::now();
        if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            folder.empty() ? nullptr : folder.c_str(), &startup, &process))
            return fail("could not start " + args[1]);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return printMs(msUntilPainted(since, [&] { return windowOfProcess(process.dwProcessId); }),
                       "no window of " + args[1]);
    }
    if (args[0] == "timed-click" && (args.size() == 4 || args.size() == 5)) {
        HWND button = waitUsableControl(toWide(args[1].c_str()), toWide(args[2].c_str()));
        if (!button)
            return fail("no usable " + args[2] + " in " + args[1]);
        const std::wstring next = toWide(args[3].c_str());
        const std::wstring nextButton = args.size() == 5 ? toWide(args[4].c_str()) : L"";
        const auto since = std::chrono::steady_clock::now();
        PostMessageW(button, BM_CLICK, 0, 0);
        return printMs(msUntilPainted(since,
                                      [&]() -> HWND {
                                          HWND w = findTopLevel(next);
                                          return w && (nextButton.empty() ||
                                                       findControl(w, nextButton))
                                                     ? w
                                                     : nullptr;
                                      }),
                       "no window " + args[3]);
    }
    return fail("unknown action or wrong arguments: " + args[0]);
}

int act(const std::vector<std::string>& args) {
    const std::string& action = args[0];
    const auto need = [&](std::size_t n) { return args.size() == n + 1; };
    const std::wstring window = args.size() > 1 ? toWide(args[1].c_str()) : L"";
    if (action == "wait" && need(1))
        return waitWindow(window) ? 0 : fail("no window " + args[1]);
    if (action == "gone" && need(1))
        return waitFor([&]() -> HWND { return findTopLevel(window) ? nullptr : HWND(1); })
                   ? 0
                   : fail("window " + args[1] + " is still there");
    if ((action == "click" || action == "press" || action == "enabled") && need(2)) {
        HWND control = waitUsableControl(window, toWide(args[2].c_str()));
        if (!control)
            return fail("no usable " + args[2] + " in " + args[1]);
        if (action == "click")
            PostMessageW(control, BM_CLICK, 0, 0);
        else if (action == "press")
            realClick(control);
        return 0;
    }
    if (action == "select" && need(3)) {
        const int id = std::stoi(args[2]);
        HWND list = waitUsableControl(window, L"", id);
        if (!list)
            return fail("no usable list " + args[2] + " in " + args[1]);
        const std::wstring entry = toWide(args[3].c_str());
        const LRESULT index = SendMessageW(list, CB_FINDSTRINGEXACT, WPARAM(-1),
                                           reinterpret_cast<LPARAM>(entry.c_str()));
        if (index == CB_ERR)
            return fail("list " + args[2] + " has no entry " + args[3]);
        SendMessageW(list, CB_SETCURSEL, WPARAM(index), 0);
        PostMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), LPARAM(list));
        return 0;
    }
    if (action == "command" && need(2)) {
        HWND target = waitFor([&]() -> HWND {
            HWND w = findTopLevel(window);
            return w && IsWindowEnabled(w) ? w : nullptr;
        });
        if (!target)
            return fail("no usable window " + args[1]);
        PostMessageW(target, WM_COMMAND, WPARAM(std::stoi(args[2])), 0);
        return 0;
    }
    if (action == "message" && need(1)) {
        // A message box, not a progress window of the same caption: it has OK, or Yes.
        HWND box = waitFor([&]() -> HWND {
            HWND w = findTopLevel(window);
            return w && (findControl(w, L"OK") || findControl(w, L"Yes")) ? w : nullptr;
        });
        if (!box)
            return fail("no message box " + args[1]);
        std::printf("%s\n", toUtf8(messageText(box)).c_str());
        return 0;
    }
    if (action == "file" && need(2)) {
        HWND dialog = waitFor([&]() -> HWND {
            HWND w = findTopLevel(window);
            return w && fileNameBox(w) ? w : nullptr;
        });
        if (!dialog)
            return fail("no file dialog " + args[1]);
        SendMessageW(fileNameBox(dialog), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(toWide(args[2].c_str()).c_str()));
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     LPARAM(GetDlgItem(dialog, IDOK)));
        return 0;
    }
    if (action == "close" && need(1)) {
        HWND target = waitWindow(window);
        if (!target)
            return fail("no window " + args[1]);
        PostMessageW(target, WM_CLOSE, 0, 0);
        return 0;
    }
    if (action == "picture" && need(2)) {
        HWND control = waitFor([&]() -> HWND {
            HWND w = findTopLevel(window);
            return w ? findControl(w, L"", std::stoi(args[2])) : nullptr;
        });
        if (!control)
            return fail("no control " + args[2] + " in " + args[1]);
        std::printf("%016llx\n", pictureHash(control));
        return 0;
    }
    if (action == "rect" && need(2)) {
        const int id = std::stoi(args[2]);
        HWND control = waitFor([&]() -> HWND {
            HWND w = findTopLevel(window);
            return w && id != 0 ? findControl(w, L"", id) : w;
        });
        if (!control)
            return fail("no control " + args[2] + " in " + args[1]);
        RECT area;
        GetWindowRect(control, &area);
        std::printf("%ld %ld %ld %ld\n", area.left, area.top, area.right - area.left,
                    area.bottom - area.top);
        return 0;
    }
    if (action == "click-control" || action == "type" || action == "wheel" ||
        action == "text") {
        if (!need(action == "click-control" || action == "text" ? 2 : 3))
            return fail("wrong arguments: " + action);
        HWND control = waitUsableControl(window, L"", std::stoi(args[2]));
        if (!control)
            return fail("no usable control " + args[2] + " in " + args[1]);
        if (action == "text") {
            wchar_t text[512] = {};
            SendMessageW(control, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
            std::printf("%s\n", toUtf8(text).c_str());
            return 0;
        }
        if (action == "wheel") {
            SetForegroundWindow(GetAncestor(control, GA_ROOT));
            INPUT input[2] = {mouseTo(control), {}};
            input[1].type = INPUT_MOUSE;
            input[1].mi.dwFlags = MOUSEEVENTF_WHEEL;
            input[1].mi.mouseData = DWORD(std::stoi(args[3]) * WHEEL_DELTA);
            SendInput(2, input, sizeof(INPUT));
            return 0;
        }
        realClick(control);
        if (action == "type") {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            SendMessageW(control, EM_SETSEL, 0, -1);
            typeText(toWide(args[3].c_str()));
            pressKey("Enter");
        }
        return 0;
    }
    if (action == "keys" && args.size() >= 3) {
        HWND target = waitFor([&]() -> HWND {
            HWND w = findTopLevel(window);
            return w && IsWindowEnabled(w) ? w : nullptr;
        });
        if (!target)
            return fail("no usable window " + args[1]);
        for (std::size_t i = 2; i < args.size(); ++i)
            if (!pressKey(args[i]))
                return fail("no key " + args[i]);
        return 0;
    }
    if (action == "clipboard-text" && need(0)) {
        HWND found = waitFor([]() -> HWND {
            return IsClipboardFormatAvailable(CF_UNICODETEXT) ? HWND(1) : nullptr;
        });
        if (!found)
            return fail("no text on the clipboard");
        std::printf("%s", toUtf8(clipboardText()).c_str());
        return 0;
    }
    if (action == "empty-clipboard" && need(0)) {
        if (!OpenClipboard(nullptr))
            return fail("the clipboard is not to be had");
        EmptyClipboard();
        CloseClipboard();
        return 0;
    }
    if (action == "fill" && need(3)) {
        HWND control = waitUsableControl(window, L"", std::stoi(args[2]));
        if (!control)
            return fail("no usable edit " + args[2] + " in " + args[1]);
        // A list that takes typing has its edit inside.
        HWND edit = className(control) == L"Edit"
                        ? control
                        : FindWindowExW(control, nullptr, L"Edit", nullptr);
        if (!edit)
            return fail("control " + args[2] + " in " + args[1] + " takes no typing");
        const std::wstring text = toWide(args[3].c_str());
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
        for (const wchar_t c : text)
            PostMessageW(edit, WM_CHAR, WPARAM(c), 1);
        // Typed once the edit shows it all.
        const HWND typed =
            waitFor([&]() -> HWND { return shownText(edit) == text ? edit : nullptr; });
        return typed ? 0 : fail("edit " + args[2] + " did not take " + args[3]);
    }
    if (action == "rows" && need(2)) {
        HWND control = waitFor([&]() -> HWND {
            HWND w = findTopLevel(window);
            return w && hasChildren(w) ? findControl(w, L"", std::stoi(args[2])) : nullptr;
        });
        if (!control)
            return fail("no control " + args[2] + " in " + args[1]);
        return printListRows(control) ? 0 : fail("cannot read the rows of " + args[2]);
    }
    if (action == "clipboard" && need(0)) {
        HWND found = waitFor([]() -> HWND {
            return IsClipboardFormatAvailable(CF_DIB) ? HWND(1) : nullptr;
        });
        if (!found || !OpenClipboard(nullptr))
            return fail("no bitmap on the clipboard");
        int width = 0, height = 0;
        if (HANDLE data = GetClipboardData(CF_DIB)) {
            if (const auto* info = static_cast<const BITMAPINFOHEADER*>(GlobalLock(data))) {
                width = int(info->biWidth);
                height = int(info->biHeight < 0 ? -info->biHeight : info->biHeight);
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
        std::printf("%d %d\n", width, height);
        return 0;
    }
    if (action == "windows" && need(0)) {
        EnumWindows(
            [](HWND w, LPARAM) -> BOOL {
                if (IsWindowVisible(w))
                    std::printf("%s \"%s\"%s\n", toUtf8(className(w)).c_str(),
                                toUtf8(caption(w)).c_str(), IsWindowEnabled(w) ? "" : " disabled");
                return TRUE;
            },
            0);
        return 0;
    }
    if (action == "controls" && need(1)) {
        HWND target = waitWindow(window);
        if (!target)
            return fail("no window " + args[1]);
        EnumChildWindows(
            target,
            [](HWND child, LPARAM) -> BOOL {
                std::printf("%d %s \"%s\"%s%s\n", GetDlgCtrlID(child),
                            toUtf8(className(child)).c_str(), toUtf8(caption(child)).c_str(),
                            IsWindowVisible(child) ? "" : " hidden",
                            IsWindowEnabled(child) ? "" : " disabled");
                return TRUE;
            },
            0);
        return 0;
    }
    return fail("unknown action or wrong arguments: " + action);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    int seconds = 20;
    if (args.size() >= 2 && args[0] == "--timeout") {
        seconds = std::stoi(args[1]);
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty())
        return fail("no action");
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    return args[0] == "launch" || args[0] == "timed-click" ? actTimed(args) : act(args);
}
