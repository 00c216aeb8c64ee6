#include "win32/AboutDialog.h"

#include "win32/DialogSupport.h"
#include "win32/Resource.h"
#include "win32/TextFit.h"
#include "win32/WideText.h"

namespace kestiva {

namespace {

INT_PTR CALLBACK procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const auto& texts = *reinterpret_cast<const LanguageCatalogue*>(lParam);
            setProgramIcon(dialog);
            setText(dialog, texts.GetText(text::VERSION_INFORMATION));
            setText(GetDlgItem(dialog, IDC_ABOUT_VERSION),
                    texts.GetText(text::APP_TITLE) + "    V100");
            setText(GetDlgItem(dialog, IDOK), texts.GetText(text::DLG_COMSETTING_BUTTON_OK));
            // A longer name in another language widens the dialog rather than being cut.
            fitTextWidths(dialog);
            centreInWorkArea(dialog);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
                EndDialog(dialog, IDOK);
            return TRUE;
        case WM_CLOSE:
            EndDialog(dialog, IDOK);
            return TRUE;
    }
    return FALSE;
}

}  // namespace

void showAbout(HWND owner, const LanguageCatalogue& texts) {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), owner, &procedure,
                    reinterpret_cast<LPARAM>(&texts));
}

}  // namespace kestiva
