// The main window's File menu: the file dialogs, the CSV save and read (run on the session's
// file worker while the window takes no input), the window's picture saved or copied, and the
// restore of a recording that a crash cut short.

#include "win32/MainWindow.h"

#include <commdlg.h>

#include "window/StartUpModel.h"
#include "win32/UnsavedRecordingsDialog.h"
#include "win32/WideText.h"
#include "win32/WindowPicture.h"
#include "win32/ImageFile.h"

namespace kestiva {

namespace {

// The chosen path, or empty when the dialog was cancelled. filters: pairs of text and
// pattern, each ended by a zero character, the whole ended by a second one.
std::wstring chooseFile(HWND owner, const wchar_t* title, const wchar_t* filters, bool save,
                        std::wstring& lastPath, const wchar_t* suffix = L"csv") {
    std::wstring path(MAX_PATH * 4, L'\0');
    lastPath.copy(path.data(), std::min(lastPath.size(), path.size() - 1));
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filters;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = DWORD(path.size());
    dialog.lpstrTitle = title;
    dialog.lpstrDefExt = suffix;
    dialog.Flags = OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                   (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!chosen)
        return {};
    path.resize(wcslen(path.c_str()));
    lastPath = path;
    return path;
}

}  // namespace

void MainWindow::saveCsv() {
    const std::wstring path =
        chooseFile(window_, L"Save CSV File.", L"CSV File (*.csv)\0*.csv\0All File (*.*)\0*.*\0",
                   true, lastSavePath_);
    if (!path.empty())
        startFileOperation(&Session::startCsvSave, toUtf8(path));
}

void MainWindow::readCsv() {
    const std::wstring path = chooseFile(window_, L"Read CSV File.", L"CSV File (*.csv)\0*.csv\0",
                                         false, lastReadPath_);
    if (!path.empty())
        startFileOperation(&Session::startCsvRead, toUtf8(path));
}

void MainWindow::saveImage() {
    const std::wstring path = chooseFile(
        window_, L"Save Image File.",
        L"Bitmap File (*.bmp)\0*.bmp\0Jpeg File (*.jpg)\0*.jpg\0All File (*.*)\0*.*\0", true,
        lastImagePath_, L"bmp");
    if (path.empty())
        return;
    // The window as it is now, without the closed dialog still on it.
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    const PixelBuffer picture = takeWindowPicture(window_);
    const bool saved = saveImageFile(picture, toUtf8(path));
    bridge_.showMessage(texts_.GetText(text::MSG_ALARM_TITLE),
                        texts_.GetText(saved ? text::MSG_BITMAP_SAVE_COMP
                                             : text::MSG_BITMAP_SAVE_ERR),
                        saved ? MessageIcon::Information : MessageIcon::Error);
}

void MainWindow::captureImage() {
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    copyPictureToClipboard(takeWindowPicture(window_), window_);
}

void MainWindow::offerUnsavedRecording() {
    // A recording started meanwhile has a journal without an end of its own: not a crash's.
    if (session_.state().phase() != ProgressPhase::Idle || session_.recordingRunning() ||
        session_.fileOperationRunning())
        return;
    const std::optional<JournalEntry> journal = journalToOffer(session_);
    if (!journal)
        return;
    noteJournalOffered(session_, *journal);
    const int answer = MessageBoxW(window_, toWide(offerText(texts_, *journal)).c_str(),
                                   toWide(texts_.GetText(text::APP_TITLE)).c_str(),
                                   MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1);
    if (answer == IDYES)
        restoreRecording(*journal);
}

void MainWindow::showUnsavedRecordings() {
    // A restore would take the capture buffer from under a recording: the menu item is
    // disabled meanwhile, and a command posted from elsewhere is no exception.
    if (session_.state().phase() == ProgressPhase::Recording || session_.recordingRunning() ||
        session_.fileOperationRunning())
        return;
    if (const std::optional<JournalEntry> journal =
            chooseUnsavedRecording(window_, texts_, session_.listJournals()))
        restoreRecording(*journal);
}

void MainWindow::restoreRecording(const JournalEntry& journal) {
    // The page the recording belongs to is shown while it is restored, as after a recording.
    model_.showMonitor(journal.monitor);
    startFileOperation(&Session::startJournalRestore, journal.path);
}

void MainWindow::startFileOperation(FileOperation start, const std::string& path) {
    setWindowInputEnabled(false);
    HWND window = window_;
    const bool started = (session_.*start)(
        path, [window] { PostMessageW(window, kFileOperationFinished, 0, 0); });
    if (!started)
        setWindowInputEnabled(true);
}

void MainWindow::onFileOperationFinished() {
    if (!session_.finishFileOperation())
        return;
    setWindowInputEnabled(true);
    model_.followSavableFlag();
}

void MainWindow::setWindowInputEnabled(bool enabled) {
    // The whole window, menus included, while each control keeps its own state for later;
    // message boxes owned by it stay usable.
    EnableWindow(window_, enabled);
}

}  // namespace kestiva
