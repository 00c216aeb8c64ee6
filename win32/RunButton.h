#pragma once
// Start and Stop as the program draws them (owner-drawn buttons): a green disc with a white
// triangle to start, a red disc with a white square to stop, grey while the button is off.

#include <windows.h>

namespace kestiva {

void drawRunButton(const DRAWITEMSTRUCT& item, bool start);

}  // namespace kestiva
