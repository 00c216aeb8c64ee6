#include "win32/NumberEdit.h"

#include <commctrl.h>

#include <algorithm>

#include "settings/NumberEditText.h"
#include "win32/WideText.h"

namespace kestiva {

namespace {

constexpr UINT_PTR kSubclassId = 1;

struct NumberEditState {
    std::string separator;
    uint16_t flags = kAcceptSeparator | kAcceptSign;
    int decimals = 1;
    double lower = 0.0;
    double upper = 1.0;
    double value = 0.0;
};

// The state lies in the edit's user data as well as in its subclass's reference data: the
// import libraries at hand do not export the subclass's getter by name.
NumberEditState* stateOf(HWND edit) {
    return reinterpret_cast<NumberEditState*>(GetWindowLongPtrW(edit, GWLP_USERDATA));
}

// The edit's text with `inserted` in place of its selection (or at the caret).
std::wstring candidateText(HWND edit, const std::wstring& inserted) {
    std::wstring text(std::size_t(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(edit, text.data(), int(text.size()))));
    DWORD start = 0, end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    start = std::min<DWORD>(start, DWORD(text.size()));
    end = std::clamp<DWORD>(end, start, DWORD(text.size()));
    return text.substr(0, start) + inserted + text.substr(end);
}

bool acceptable(const NumberEditState& state, const std::wstring& text) {
    return isAcceptableNumberText(toUtf8(text), state.separator, state.flags);
}

void show(HWND edit, NumberEditState& state) {
    const std::string shown = formatNumberText(state.value, state.decimals, state.separator);
    setText(edit, shown);
    state.value = readNumberText(shown, state.separator, state.decimals);
}

void commit(HWND edit, NumberEditState& state) {
    state.value =
        committedNumber(getText(edit), state.separator, state.decimals, state.lower, state.upper);
    show(edit, state);
    PostMessageW(GetParent(edit), kNumberCommitted, WPARAM(GetDlgCtrlID(edit)),
                 reinterpret_cast<LPARAM>(edit));
}

// The clipboard's text, or nothing.
std::wstring clipboardText(HWND owner) {
    std::wstring text;
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(owner))
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

LRESULT CALLBACK numberEditProcedure(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR, DWORD_PTR data) {
    auto& state = *reinterpret_cast<NumberEditState*>(data);
    switch (message) {
        case WM_GETDLGCODE:
            // Enter is the edit's own: it commits and never presses a default button.
            if (lParam && reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN &&
                reinterpret_cast<const MSG*>(lParam)->wParam == VK_RETURN)
                return DLGC_WANTALLKEYS | DefSubclassProc(edit, message, wParam, lParam);
            break;
        case WM_KEYDOWN:
            if (wParam == VK_RETURN) {
                commit(edit, state);
                SendMessageW(edit, EM_SETSEL, WPARAM(-1), -1);  // the caret to the end
                return 0;
            }
            break;
        case WM_CHAR: {
            const auto c = wchar_t(wParam);
            if (c == L'\r' || c == L'\n')
                return 0;  // the key itself has committed
            if (c < L' ')
                break;  // Backspace, Ctrl+A, Ctrl+C, Ctrl+V, Ctrl+X, Ctrl+Z: the edit's own
            if (!acceptable(state, candidateText(edit, std::wstring(1, c))))
                return 0;  // dropped without a sound
            break;
        }
        case WM_PASTE:
            if (!acceptable(state, candidateText(edit, clipboardText(edit))))
                return 0;
            break;
        case WM_KILLFOCUS: {
            const LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
            // A page disables its edits to end entry (after emptying them): no departure by
            // the user, and the empty text must not become 0.
            if (IsWindowEnabled(edit))
                commit(edit, state);
            return result;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(edit, numberEditProcedure, kSubclassId);
            SetWindowLongPtrW(edit, GWLP_USERDATA, 0);
            delete &state;
            break;
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

}  // namespace

std::string systemDecimalSeparator() {
    wchar_t separator[8] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) < 2)
        return ".";
    return toUtf8(std::wstring_view(separator, 1));
}

HWND makeNumberEdit(HWND parent, int id, HFONT font, const std::string& separator) {
    HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, WC_EDITW, L"",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_RIGHT, 0,
                                0, 0, 0, parent, reinterpret_cast<HMENU>(INT_PTR(id)),
                                GetModuleHandleW(nullptr), nullptr);
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    auto* state = new NumberEditState;
    state->separator = separator.empty() ? "." : separator;
    SetWindowLongPtrW(edit, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    SetWindowSubclass(edit, numberEditProcedure, kSubclassId, reinterpret_cast<DWORD_PTR>(state));
    return edit;
}

double numberValue(HWND edit) {
    const NumberEditState* state = stateOf(edit);
    return state ? state->value : 0.0;
}

void setNumberValue(HWND edit, double value) {
    if (NumberEditState* state = stateOf(edit)) {
        state->value = value;
        show(edit, *state);
    }
}

void clearNumber(HWND edit) {
    setText(edit, "");
}

void setNumberLimits(HWND edit, double lower, double upper) {
    if (NumberEditState* state = stateOf(edit)) {
        state->lower = lower;
        state->upper = upper;
    }
}

void setNumberFormat(HWND edit, int decimals, bool sign) {
    if (NumberEditState* state = stateOf(edit)) {
        state->decimals = decimals;
        state->flags = uint16_t(kAcceptSeparator | (sign ? kAcceptSign : 0));
    }
}

}  // namespace kestiva
