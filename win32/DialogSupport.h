#pragma once
// Small pieces every window of the Windows shell shares: captions from LanguageData.ini,
// message boxes, and placing a window.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "recording/HostInterfaces.h"
#include "settings/LanguageCatalogue.h"

namespace kestiva {

// The captions of one window by LanguageData.ini key. Each control keeps the built-in text of
// the resource script until apply() replaces it; a file that cannot be read leaves every
// built-in text, a missing key leaves that one and all after it (the catalogue's rule).
class CaptionTable {
public:
    CaptionTable();
    ~CaptionTable();
    CaptionTable(const CaptionTable&) = delete;
    CaptionTable& operator=(const CaptionTable&) = delete;

    void add(std::string key, HWND window);
    // A dialog's control by id.
    void add(std::string key, HWND dialog, int id) { add(std::move(key), GetDlgItem(dialog, id)); }
    void apply(LanguageCatalogue& texts);

private:
    class Target;
    std::vector<std::string> keys_;
    std::vector<std::unique_ptr<Target>> targets_;
};

// A modal box with one OK button, kept above the other windows; no owner gives a free box.
void showMessageBox(HWND owner, const std::string& caption, const std::string& text,
                    MessageIcon icon);

// Places window in the middle of the work area of the monitor it is on.
void centreInWorkArea(HWND window);

// The program's icon on a window's caption and in the task bar.
void setProgramIcon(HWND window);

}  // namespace kestiva
