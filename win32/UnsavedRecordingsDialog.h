#pragma once
// File > Unsaved Recordings: the recordings whose journals were kept because they were never
// saved as CSV, newest first, for a restore. How one is named is window/StartUpModel's; the
// restore itself is the main window's, as for the start-up question.

#include <windows.h>

#include <optional>
#include <vector>

#include "session/Session.h"

namespace kestiva {

// Modal over owner. The journal chosen with Restore (Enter, or a double click on its row);
// nothing after Close or Escape. Recordings still running are left out.
std::optional<JournalEntry> chooseUnsavedRecording(HWND owner, const LanguageCatalogue& texts,
                                                   std::vector<JournalEntry> journals);

}  // namespace kestiva
