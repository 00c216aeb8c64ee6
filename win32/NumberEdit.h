#pragma once
// The page's number edits: a plain EDIT subclassed to follow the number edit's text rules
// (settings/NumberEditText.h). Typed characters and pastes pass only while they leave a number
// text; Enter, or the focus leaving the edit, commits: the text becomes a value within the
// edit's limits, shown with its decimals, and the parent is told with a posted
// kNumberCommitted (wParam: the edit's control id), so that it acts once the edit has finished
// its own handling of the key or the focus change.

#include <windows.h>

#include <cstdint>
#include <string>

namespace kestiva {

constexpr UINT kNumberCommitted = WM_APP + 30;

// The user's decimal separator (one character, UTF-8); "." where the system names none.
std::string systemDecimalSeparator();

// An edit for one number, child `id` of parent, with `separator` as its decimal point.
HWND makeNumberEdit(HWND parent, int id, HFONT font, const std::string& separator);

// The edit's value, as it was last committed or set.
double numberValue(HWND edit);
// Stores and shows the value with the edit's decimals (the value is what is shown, read back).
void setNumberValue(HWND edit, double value);
void clearNumber(HWND edit);
void setNumberLimits(HWND edit, double lower, double upper);
// The decimals shown and whether a sign may be typed (a decimal point always may).
void setNumberFormat(HWND edit, int decimals, bool sign);

}  // namespace kestiva
