#pragma once
// Help > Version: the program's icon, name and version, with OK.

#include <windows.h>

#include "settings/LanguageCatalogue.h"

namespace kestiva {

// Modal over owner until OK, Enter or Escape.
void showAbout(HWND owner, const LanguageCatalogue& texts);

}  // namespace kestiva
