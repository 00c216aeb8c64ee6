#include "win32/SerialPortsDialog.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "win32/DialogSupport.h"
#include "win32/Resource.h"
#include "win32/TextFit.h"
#include "win32/WideText.h"
#include "window/SerialPortRows.h"

namespace kestiva {

namespace {

struct DialogState {
    const LanguageCatalogue& texts;
    const PortAccess& ports;
    std::vector<PortRow> rows;
    std::vector<std::string> choices;  // per row: what its device list shows now
    int shownRow = -1;                 // the row whose device the list below edits
};

HWND item(HWND dialog, int id) {
    return GetDlgItem(dialog, id);
}

int selectedRow(HWND dialog) {
    return int(
        SendDlgItemMessageW(dialog, IDC_PORTS_LIST, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
}

void setCell(HWND list, int row, int column, const std::string& text, bool insert = false) {
    std::wstring wide = toWide(text);
    LVITEMW cell{};
    cell.mask = LVIF_TEXT;
    cell.iItem = row;
    cell.iSubItem = column;
    cell.pszText = wide.data();
    SendMessageW(list, insert ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, insert ? 0 : WPARAM(row),
                 reinterpret_cast<LPARAM>(&cell));
}

void addColumn(HWND dialog, int column, const std::string& title, int dialogUnits) {
    RECT box{0, 0, dialogUnits, 1};
    MapDialogRect(dialog, &box);
    std::wstring text = toWide(title);
    LVCOLUMNW header{};
    header.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    header.pszText = text.data();
    header.cx = box.right;
    header.iSubItem = column;
    SendDlgItemMessageW(dialog, IDC_PORTS_LIST, LVM_INSERTCOLUMNW, WPARAM(column),
                        reinterpret_cast<LPARAM>(&header));
}

// What the system lists, for the note: "COM1, COM3", or that it lists none.
std::string systemPorts(const LanguageCatalogue& texts, const PortAccess& ports) {
    std::string listed;
    for (const SerialDeviceInfo& device : ports.devices()) {
        const std::size_t com = device.path.rfind("COM");
        listed += (listed.empty() ? "" : ", ") +
                  (com == std::string::npos ? device.path : device.path.substr(com));
    }
    return listed.empty() ? texts.GetText(text::DLG_COMSETTING_PORT_NO_DEVICE) : listed;
}

std::string noteText(const LanguageCatalogue& texts, const PortAccess& ports) {
    std::string note = texts.GetText(text::DLG_SERIALPORTS_NOTE_SYSTEM);
    if (const std::size_t at = note.find("%1"); at != std::string::npos)
        note.replace(at, 2, systemPorts(texts, ports));
    return note + "\r\n" + texts.GetText(text::DLG_SERIALPORTS_NETWORK);
}

// The shown row's device list holds what the user made of it: kept before another row is
// shown and before OK.
void keepShownChoice(HWND dialog, DialogState& state) {
    if (state.shownRow < 0)
        return;
    state.choices[std::size_t(state.shownRow)] = getText(item(dialog, IDC_PORTS_DEVICE));
    setCell(item(dialog, IDC_PORTS_LIST), state.shownRow, 1,
            state.choices[std::size_t(state.shownRow)]);
}

void showRow(HWND dialog, DialogState& state, int row) {
    keepShownChoice(dialog, state);
    HWND list = item(dialog, IDC_PORTS_DEVICE);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    state.shownRow = row >= 0 && row < int(state.rows.size()) ? row : -1;
    EnableWindow(list, state.shownRow >= 0);
    if (state.shownRow < 0)
        return;
    for (const std::string& entry : state.rows[std::size_t(row)].entries)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(entry).c_str()));
    setText(list, state.choices[std::size_t(row)]);
}

void fillRows(HWND dialog, DialogState& state) {
    HWND list = item(dialog, IDC_PORTS_LIST);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    addColumn(dialog, 0, state.texts.GetText(text::DLG_SERIALPORTS_COLUMN_PORT), 50);
    addColumn(dialog, 1, state.texts.GetText(text::DLG_SERIALPORTS_COLUMN_DEVICE), 220);
    for (std::size_t row = 0; row < state.rows.size(); ++row) {
        const PortRow& port = state.rows[row];
        state.choices.push_back(port.entries[std::size_t(port.writtenIndex)]);
        setCell(list, int(row), 0, port.name, true);
        setCell(list, int(row), 1, state.choices.back());
    }
    LVITEMW first{};
    first.stateMask = first.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&first));
    showRow(dialog, state, selectedRow(dialog));
}

void initialise(HWND dialog, DialogState& state) {
    setProgramIcon(dialog);
    const LanguageCatalogue& texts = state.texts;
    setText(dialog, texts.GetText(text::DLG_SERIALPORTS_TITLE));
    setText(item(dialog, IDC_PORTS_NOTE), noteText(texts, state.ports));
    setText(item(dialog, IDC_PORTS_DEVICE_LABEL),
            "&" + texts.GetText(text::DLG_SERIALPORTS_COLUMN_DEVICE) + ":");
    setText(item(dialog, IDOK), texts.GetText(text::DLG_COMSETTING_BUTTON_OK));
    setText(item(dialog, IDCANCEL), texts.GetText(text::DLG_PROGRESS_BUTTON_CANCEL));
    fitTextWidths(dialog);
    fillRows(dialog, state);
    centreInWorkArea(dialog);
}

void accept(HWND dialog, DialogState& state) {
    keepShownChoice(dialog, state);
    const std::vector<std::string> failures =
        applyPortChoices(state.texts, state.ports, state.rows, state.choices);
    if (failures.empty()) {
        EndDialog(dialog, IDOK);
        return;
    }
    std::string said;
    for (const std::string& failure : failures)
        said += (said.empty() ? "" : "\n") + failure;
    showMessageBox(dialog, state.texts.GetText(text::DLG_SERIALPORTS_TITLE), said,
                   MessageIcon::Warning);
}

INT_PTR CALLBACK procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        initialise(dialog, *reinterpret_cast<DialogState*>(lParam));
        return TRUE;
    }
    auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!state)
        return FALSE;
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK)
                accept(dialog, *state);
            else if (LOWORD(wParam) == IDCANCEL)
                EndDialog(dialog, IDCANCEL);
            return TRUE;
        case WM_NOTIFY: {
            const auto& header = *reinterpret_cast<const NMLISTVIEW*>(lParam);
            const bool chosen = header.hdr.idFrom == IDC_PORTS_LIST &&
                                header.hdr.code == LVN_ITEMCHANGED &&
                                (header.uNewState & LVIS_SELECTED) != 0;
            if (chosen)
                showRow(dialog, *state, header.iItem);
            return chosen;
        }
        case WM_CLOSE:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
    }
    return FALSE;
}

}  // namespace

bool editSerialPorts(HWND owner, const LanguageCatalogue& texts, const PortAccess& ports,
                     int portCount) {
    // The system's ports are its own: none is offered as a device to link.
    DialogState state{texts, ports, makePortRows(texts, ports, portCount, {}), {}, -1};
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SERIALPORTS), owner,
                           &procedure, reinterpret_cast<LPARAM>(&state)) == IDOK;
}

}  // namespace kestiva
