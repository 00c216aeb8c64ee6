#include "win32/DisclaimerDialog.h"

#include "win32/DialogSupport.h"
#include "win32/Resource.h"
#include "win32/WideText.h"

namespace kestiva {

namespace {

// Shown when LanguageData.ini cannot be read; the program then stops after the settings.
constexpr const char* kBuiltInTerms =
    "Please read these terms before you use this program.\r\n\r\n"
    "The program only reads values from the controller. Do not use it for safety functions, "
    "machine protection or interlocks, and keep every protective device of the machine in "
    "operation.\r\n\r\n"
    "The program is provided \"as is\", without warranty of any kind.\r\n\r\n"
    "Select \"I Agree\" to accept these terms, or \"I Do Not Agree\" to close the program.";

INT_PTR CALLBACK procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto& texts = *reinterpret_cast<LanguageCatalogue*>(lParam);
            setProgramIcon(dialog);
            setText(GetDlgItem(dialog, IDC_TERMS), kBuiltInTerms);
            CaptionTable captions;
            captions.add("DLG_QUALIFICATION_TITLE", dialog);
            captions.add("DLG_QUALIFICATION_CONTENTS", dialog, IDC_TERMS);
            captions.add("DLG_QUALIFICATION_BUTTON_AGREE", dialog, IDC_AGREE);
            captions.add("DLG_QUALIFICATION_BUTTON_NOTAGREE", dialog, IDC_DECLINE);
            captions.apply(texts);
            centreInWorkArea(dialog);
            SetFocus(GetDlgItem(dialog, IDC_DECLINE));
            return FALSE;  // the focus is set
        }
        case WM_COMMAND:
            // IDOK and IDCANCEL (Enter and Escape) are left unanswered.
            if (LOWORD(wParam) == IDC_AGREE)
                EndDialog(dialog, IDC_AGREE);
            else if (LOWORD(wParam) == IDC_DECLINE)
                EndDialog(dialog, IDC_DECLINE);
            return TRUE;
        case WM_CLOSE:
            EndDialog(dialog, IDC_DECLINE);
            return TRUE;
    }
    return FALSE;
}

}  // namespace

bool askTermsOfUse(LanguageCatalogue& texts) {
    const INT_PTR answer =
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_DISCLAIMER), nullptr,
                        &procedure, reinterpret_cast<LPARAM>(&texts));
    return answer == IDC_AGREE;
}

}  // namespace kestiva
