#include "win32/ComSettingDialog.h"

#include <algorithm>

#include "win32/CheckWindow.h"
#include "win32/DialogSupport.h"
#include "win32/Resource.h"
#include "win32/SerialPortsDialog.h"
#include "win32/TextFit.h"
#include "win32/WideText.h"

namespace kestiva {

namespace {

int controlId(ComControl control) {
    switch (control) {
        case ComControl::PortList: return IDC_PORT_LIST;
        case ComControl::AutoRadio: return IDC_AUTO_RADIO;
        case ComControl::ManualRadio: return IDC_MANUAL_RADIO;
        case ComControl::StationLabel: return IDC_STATION_LABEL;
        case ComControl::StationList: return IDC_STATION_LIST;
        case ComControl::BitRateLabel: return IDC_BITRATE_LABEL;
        case ComControl::BitRateList: return IDC_BITRATE_LIST;
        case ComControl::InitializeButton: return IDC_RESET;
        case ComControl::OkButton: return IDC_OK;
    }
    return 0;
}

int currentIndex(HWND dialog, int list) {
    return int(SendDlgItemMessageW(dialog, list, CB_GETCURSEL, 0, 0));
}

}  // namespace

ComSettingDialog::ComSettingDialog(Session& session, ComSettingMemory& memory,
                                   WindowBridge& bridge, Mode mode)
    : session_(session), memory_(memory), bridge_(bridge), mode_(mode) {}

bool ComSettingDialog::run(HWND owner) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_COMSETTING), owner,
                           &ComSettingDialog::procedure, reinterpret_cast<LPARAM>(this)) == IDOK;
}

void ComSettingDialog::initialise(HWND dialog) {
    dialog_ = dialog;
    setProgramIcon(dialog);
    // The check's messages belong to this window while it is up.
    previousOwner_ = bridge_.messageOwner();
    bridge_.setMessageOwner(dialog);
    SendDlgItemMessageW(dialog, IDC_WARNING_ICON, STM_SETICON,
                        reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_WARNING)), 0);
    const bool startUp = mode_ == Mode::StartUp;
    ShowWindow(GetDlgItem(dialog, IDC_OK), startUp ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(dialog, IDC_QUIT), startUp ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(dialog, IDC_OK_LATER), startUp ? SW_HIDE : SW_SHOW);
    model_.emplace(session_, memory_, static_cast<ComSettingView&>(*this));
    model_->fillLists();
    applyCaptions();
    model_->load();
    centreInWorkArea(dialog);
}

void ComSettingDialog::applyCaptions() {
    CaptionTable captions;
    captions.add("DLG_COMSETTING_GROUP_PORTSELECT", dialog_, IDC_PORT_GROUP);
    captions.add("DLG_COMSETTING_PORT_TITLE", dialog_, IDC_PORT_LABEL);
    captions.add("DLG_COMSETTING_GROUP_COMMETHOD", dialog_, IDC_METHOD_GROUP);
    captions.add("DLG_COMSETTING_RADIOBUTTON_AUTO", dialog_, IDC_AUTO_RADIO);
    captions.add("DLG_COMSETTING_RADIOBUTTON_MANUAL", dialog_, IDC_MANUAL_RADIO);
    captions.add("DLG_COMSETTING_TEXT_WARN", dialog_, IDC_WARNING_TEXT);
    captions.add("DLG_COMSETTING_MANUAL_ID", dialog_, IDC_STATION_LABEL);
    captions.add("DLG_COMSETTING_MANUAL_BITRATE", dialog_, IDC_BITRATE_LABEL);
    captions.add("DLG_COMSETTING_MANUAL_BUTTON_INITIALIZE", dialog_, IDC_RESET);
    captions.add("DLG_COMSETTING_BUTTON_COMCHECK", dialog_, IDC_CHECK);
    captions.add("DLG_COMSETTING_TITLE", dialog_);
    captions.add("DLG_COMSETTING_BUTTON_QUIT", dialog_, IDC_QUIT);
    captions.add("DLG_COMSETTING_BUTTON_OK", dialog_, IDC_OK);
    captions.apply(session_.texts());
    setText(GetDlgItem(dialog_, IDC_OK_LATER), getText(GetDlgItem(dialog_, IDC_OK)));
    // A text of its own, which a language file may leave out.
    setText(GetDlgItem(dialog_, IDC_SERIAL_PORTS),
            session_.texts().GetText(text::DLG_COMSETTING_BUTTON_SERIAL_PORTS));
    fitTextWidths(dialog_);
}

bool ComSettingDialog::command(int id, int notification) {
    if (notification == CBN_SELCHANGE) {
        const int index = currentIndex(dialog_, id);
        if (id == IDC_PORT_LIST)
            model_->choosePort(index);
        else if (id == IDC_STATION_LIST)
            model_->chooseStation(index);
        else if (id == IDC_BITRATE_LIST)
            model_->chooseBitRate(index);
        return true;
    }
    if (notification != BN_CLICKED)
        return false;
    switch (id) {
        case IDC_AUTO_RADIO: model_->chooseAutomatic(); break;
        case IDC_MANUAL_RADIO: model_->chooseManual(); break;
        case IDC_RESET: model_->reset(); break;
        case IDC_CHECK: runCheck(); break;
        case IDC_SERIAL_PORTS: editPorts(); break;
        case IDC_OK:
        case IDC_OK_LATER: close(true); break;
        case IDC_QUIT: close(false); break;
        default: break;  // Enter and Escape (IDOK, IDCANCEL) decide nothing here
    }
    return true;
}

void ComSettingDialog::runCheck() {
    model_->check([this](const CheckChoice& choice) {
        CheckWindow window(session_, choice, dialog_);
        return window.run().has_value();
    });
}

void ComSettingDialog::editPorts() {
    model_->editPorts([this] {
        return editSerialPorts(dialog_, session_.texts(), session_.ports(), model_->portCount());
    });
}

void ComSettingDialog::close(bool confirmed) {
    model_.reset();
    bridge_.setMessageOwner(previousOwner_);
    EndDialog(dialog_, confirmed ? IDOK : IDCANCEL);
}

void ComSettingDialog::setItems(ComControl list, const std::vector<std::string>& items) {
    HWND box = GetDlgItem(dialog_, controlId(list));
    const int current = int(SendMessageW(box, CB_GETCURSEL, 0, 0));
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items)
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(item).c_str()));
    // A list of the same length keeps its entry; only the texts change.
    if (current >= 0 && current < int(items.size()))
        SendMessageW(box, CB_SETCURSEL, WPARAM(current), 0);
    // A port's network target may be longer than the box: its open list shows it whole.
    if (list != ComControl::PortList)
        return;
    const auto font = reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0));
    int widest = 0;
    for (const std::string& item : items)
        widest = std::max(widest, drawnTextWidth(font, toWide(item)));
    SendMessageW(box, CB_SETDROPPEDWIDTH,
                 WPARAM(widest + GetSystemMetrics(SM_CXVSCROLL) + 2 * GetSystemMetrics(SM_CXEDGE)),
                 0);
}

void ComSettingDialog::setCurrentIndex(ComControl list, int index) {
    SendDlgItemMessageW(dialog_, controlId(list), CB_SETCURSEL, WPARAM(index), 0);
}

void ComSettingDialog::setChecked(ComControl radio, bool checked) {
    SendDlgItemMessageW(dialog_, controlId(radio), BM_SETCHECK,
                        checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void ComSettingDialog::setEnabled(ComControl control, bool enabled) {
    if (control == ComControl::OkButton)
        EnableWindow(GetDlgItem(dialog_, IDC_OK_LATER), enabled);
    EnableWindow(GetDlgItem(dialog_, controlId(control)), enabled);
}

void ComSettingDialog::showMessage(const std::string& caption, const std::string& text,
                                   MessageIcon icon) {
    showMessageBox(dialog_, caption, text, icon);
}

INT_PTR CALLBACK ComSettingDialog::procedure(HWND dialog, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<ComSettingDialog*>(lParam)->initialise(dialog);
        return TRUE;
    }
    auto* self = reinterpret_cast<ComSettingDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self || !self->model_)
        return FALSE;
    switch (message) {
        case WM_COMMAND: return self->command(LOWORD(wParam), HIWORD(wParam));
        case WM_CLOSE: self->close(false); return TRUE;
    }
    return FALSE;
}

}  // namespace kestiva
