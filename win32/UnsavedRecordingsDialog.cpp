#include "win32/UnsavedRecordingsDialog.h"

#include <commctrl.h>

#include <array>

#include "win32/DialogSupport.h"
#include "win32/Resource.h"
#include "win32/TextFit.h"
#include "win32/WideText.h"
#include "window/StartUpModel.h"

namespace kestiva {

namespace {

struct DialogState {
    const LanguageCatalogue& texts;
    std::vector<JournalEntry> journals;
    std::optional<JournalEntry> chosen;
};

int selectedRow(HWND dialog) {
    return int(
        SendDlgItemMessageW(dialog, IDC_UNSAVED_LIST, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
}

void addColumn(HWND list, int column, const std::string& title, int width) {
    std::wstring text = toWide(title);
    LVCOLUMNW header{};
    header.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    header.pszText = text.data();
    header.cx = width;
    header.iSubItem = column;
    SendMessageW(list, LVM_INSERTCOLUMNW, WPARAM(column), reinterpret_cast<LPARAM>(&header));
}

void setCell(HWND list, int row, int column, const std::string& text) {
    std::wstring wide = toWide(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = wide.data();
    const UINT message = column == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW;
    SendMessageW(list, message, column == 0 ? 0 : WPARAM(row), reinterpret_cast<LPARAM>(&item));
}

void fillList(HWND dialog, const DialogState& state) {
    HWND list = GetDlgItem(dialog, IDC_UNSAVED_LIST);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    const std::array<TextId, 4> titles = {
        text::DLG_UNSAVED_COLUMN_START, text::DLG_UNSAVED_COLUMN_MONITOR,
        text::DLG_UNSAVED_COLUMN_CONTROLLER, text::DLG_UNSAVED_COLUMN_DURATION};
    // Widths in dialog units, so that they grow with the dialog's font.
    const std::array<int, 4> widths = {86, 70, 100, 50};
    for (int column = 0; column < 4; ++column) {
        RECT box{0, 0, widths[std::size_t(column)], 1};
        MapDialogRect(dialog, &box);
        addColumn(list, column, state.texts.GetText(titles[std::size_t(column)]), box.right);
    }
    for (int row = 0; row < int(state.journals.size()); ++row) {
        const JournalEntry& entry = state.journals[std::size_t(row)];
        setCell(list, row, 0, startTimeText(entry.startTime));
        setCell(list, row, 1, monitorName(state.texts, entry.monitor));
        setCell(list, row, 2, entry.controller);
        setCell(list, row, 3, durationText(entry.durationSeconds));
    }
    // Restore takes the chosen row: there is one to choose from the start, the newest.
    if (!state.journals.empty()) {
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    }
    ShowWindow(list, state.journals.empty() ? SW_HIDE : SW_SHOW);
}

void initialise(HWND dialog, DialogState& state) {
    setProgramIcon(dialog);
    const LanguageCatalogue& texts = state.texts;
    setText(dialog, texts.GetText(text::DLG_UNSAVED_TITLE));
    setText(GetDlgItem(dialog, IDC_UNSAVED_NOTE),
            texts.GetText(state.journals.empty() ? text::DLG_UNSAVED_NOTE_NONE
                                                 : text::DLG_UNSAVED_NOTE));
    setText(GetDlgItem(dialog, IDOK), texts.GetText(text::DLG_UNSAVED_BUTTON_RESTORE));
    setText(GetDlgItem(dialog, IDCANCEL), texts.GetText(text::DLG_UNSAVED_BUTTON_CLOSE));
    fitTextWidths(dialog);
    fillList(dialog, state);
    EnableWindow(GetDlgItem(dialog, IDOK), selectedRow(dialog) >= 0);
    centreInWorkArea(dialog);
}

void restore(HWND dialog, DialogState& state) {
    const int row = selectedRow(dialog);
    if (row < 0 || row >= int(state.journals.size()))
        return;
    state.chosen = state.journals[std::size_t(row)];
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        initialise(dialog, *reinterpret_cast<DialogState*>(lParam));
        return TRUE;  // the focus goes to the list, the first control that takes it
    }
    auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!state)
        return FALSE;
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK)
                restore(dialog, *state);
            else if (LOWORD(wParam) == IDCANCEL)
                EndDialog(dialog, IDCANCEL);
            return TRUE;
        case WM_NOTIFY: {
            const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
            if (header.idFrom != IDC_UNSAVED_LIST)
                return FALSE;
            if (header.code == LVN_ITEMCHANGED)
                EnableWindow(GetDlgItem(dialog, IDOK), selectedRow(dialog) >= 0);
            else if (header.code == NM_DBLCLK)
                restore(dialog, *state);
            return TRUE;
        }
        case WM_CLOSE:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
    }
    return FALSE;
}

}  // namespace

std::optional<JournalEntry> chooseUnsavedRecording(HWND owner, const LanguageCatalogue& texts,
                                                   std::vector<JournalEntry> journals) {
    // A recording still running keeps its journal: nothing to restore yet.
    std::erase_if(journals, [](const JournalEntry& entry) { return entry.recording; });
    DialogState state{texts, std::move(journals), std::nullopt};
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_UNSAVED), owner, &procedure,
                    reinterpret_cast<LPARAM>(&state));
    return state.chosen;
}

}  // namespace kestiva
