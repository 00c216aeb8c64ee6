#pragma once
// Reading another process's controls for the window driver.

#include <windows.h>

#include <string>

// What a control shows now, asked of the control itself.
std::wstring shownText(HWND control);

// Prints list view list's rows, a line each, the cells separated by tabs, a selected row
// marked with '*' before it. False when the program's memory could not be reached.
bool printListRows(HWND list);
