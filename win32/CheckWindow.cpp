#include "win32/CheckWindow.h"

#include <commctrl.h>

#include "window/WindowRules.h"
#include "win32/DialogSupport.h"
#include "win32/Resource.h"
#include "win32/WideText.h"

namespace kestiva {

CheckWindow::CheckWindow(Session& session, CheckChoice choice, HWND owner)
    : session_(session), choice_(std::move(choice)), owner_(owner) {}

CheckWindow::~CheckWindow() {
    // Later calls of a worker that is gone already find no target.
    workerProgress_.setTarget(nullptr);
    if (dialog_)
        DestroyWindow(dialog_);
}

std::optional<CheckOutcome> CheckWindow::run() {
    dialog_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CHECK), owner_,
                                 &CheckWindow::procedure, reinterpret_cast<LPARAM>(this));
    if (!dialog_)
        return std::nullopt;
    setText(dialog_, session_.texts().GetText(text::DLG_PROGRESS_TITLE));
    CaptionTable captions;
    captions.add("DLG_PROGRESS_BUTTON_CANCEL", dialog_, IDC_CHECK_CANCEL);
    captions.apply(session_.texts());
    SendDlgItemMessageW(dialog_, IDC_CHECK_BAR, PBM_SETRANGE32, 0, 100);
    centreInWorkArea(dialog_);

    const bool started = session_.startCheck(choice_, workerProgress_, [this] {
        windowThread_.post([this] {
            outcome_ = session_.finishCheck();
            ended_ = true;
        });
    });
    if (!started)
        return std::nullopt;
    if (owner_)
        EnableWindow(owner_, FALSE);
    ShowWindow(dialog_, SW_SHOW);
    // A loop of its own: the check ends by itself or by Cancel, never by the loop's end.
    MSG message;
    bool quit = false;
    while (!ended_) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == -1)
            break;
        if (got == 0) {
            // The program is asked to end: it does once the check has.
            quit = true;
            continue;
        }
        if (!IsDialogMessageW(dialog_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (quit)
        PostQuitMessage(0);
    if (owner_)
        EnableWindow(owner_, TRUE);
    ShowWindow(dialog_, SW_HIDE);
    return outcome_;
}

void CheckWindow::setStateText(const std::string& text) {
    setText(GetDlgItem(dialog_, IDC_CHECK_STATE), text);
}

void CheckWindow::setPercent(int percent) {
    SendDlgItemMessageW(dialog_, IDC_CHECK_BAR, PBM_SETPOS, WPARAM(percent), 0);
    setText(GetDlgItem(dialog_, IDC_CHECK_PERCENT), percentText(percent));
}

void CheckWindow::finish() {
    // The owner first, so that activation returns to it and the message stands over it.
    if (owner_)
        EnableWindow(owner_, TRUE);
    ShowWindow(dialog_, SW_HIDE);
}

void CheckWindow::cancel() {
    EnableWindow(GetDlgItem(dialog_, IDC_CHECK_CANCEL), FALSE);
    session_.cancelCheck();
}

INT_PTR CALLBACK CheckWindow::procedure(HWND dialog, UINT message, WPARAM wParam,
                                        LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        return TRUE;
    }
    auto* window = reinterpret_cast<CheckWindow*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!window)
        return FALSE;
    // Escape (IDCANCEL) and the window's close do nothing: the check ends by itself or by
    // the Cancel button.
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_CHECK_CANCEL &&
        HIWORD(wParam) == BN_CLICKED) {
        window->cancel();
        return TRUE;
    }
    return message == WM_CLOSE || message == WM_COMMAND;
}

}  // namespace kestiva
