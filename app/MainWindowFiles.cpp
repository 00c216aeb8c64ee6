// The main window's File menu and the recordings kept unsaved in journals: the file dialogs,
// the CSV save and read and the journal restore (run on the session's file worker), image save
// and capture.

#include "app/MainWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QTimer>

#include <memory>

#include "app/UnsavedRecordings.h"
#include "views/ImageEncoder.h"

namespace kestiva {

// --- File menu --------------------------------------------------------------------------------

namespace {

// A file dialog of the program's own (the same everywhere, and answerable by a test).
std::unique_ptr<QFileDialog> fileDialog(QWidget* parent, const char* name, const QString& title,
                                        const QString& filters, QFileDialog::AcceptMode mode,
                                        const QString& suffix, const QString& lastPath) {
    auto dialog = std::make_unique<QFileDialog>(parent, title, QString(), filters);
    dialog->setObjectName(name);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(mode);
    if (mode == QFileDialog::AcceptOpen)
        dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setDefaultSuffix(suffix);
    // The filter shows the files of the suffix; the name field starts empty, or on the last
    // path (a pattern there would be taken for a file name).
    if (!lastPath.isEmpty())
        dialog->selectFile(lastPath);
    return dialog;
}

// The chosen path, or empty when the dialog was cancelled.
QString chosenPath(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

}  // namespace

void MainWindow::saveCsv() {
    auto dialog = fileDialog(this, "csvSaveDialog", "Save CSV File.",
                             "CSV File (*.csv);;All File (*.*)", QFileDialog::AcceptSave, "csv",
                             lastSavePath_);
    const QString path = chosenPath(*dialog);
    if (path.isEmpty())
        return;
    lastSavePath_ = path;
    startFileOperation(&Session::startCsvSave, path.toStdString());
}

void MainWindow::readCsv() {
    auto dialog = fileDialog(this, "csvReadDialog", "Read CSV File.", "CSV File (*.csv)",
                             QFileDialog::AcceptOpen, "csv", lastReadPath_);
    const QString path = chosenPath(*dialog);
    if (path.isEmpty())
        return;
    lastReadPath_ = path;
    startFileOperation(&Session::startCsvRead, path.toStdString());
}

void MainWindow::startFileOperation(FileOperation start, const std::string& path) {
    setWindowInputEnabled(false);
    const bool started = (session_.*start)(path, [this] {
        QMetaObject::invokeMethod(this, &MainWindow::onFileOperationFinished,
                                  Qt::QueuedConnection);
    });
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
    centralWidget()->setEnabled(enabled);
    menuBar()->setEnabled(enabled);
}

QImage MainWindow::takePicture() {
    const QRect outer = frameGeometry();
    QImage picture(outer.size(), QImage::Format_RGB32);
    picture.fill(palette().color(QPalette::Window));
    QPainter painter(&picture);
    painter.drawPixmap(QRect(geometry().topLeft() - outer.topLeft(), size()), grab());
    return picture;
}

void MainWindow::saveImage() {
    auto dialog = fileDialog(this, "imageSaveDialog", "Save Image File.",
                             "Bitmap File (*.bmp);;Jpeg File (*.jpg);;All File (*.*)",
                             QFileDialog::AcceptSave, "bmp", lastImagePath_);
    const QString path = chosenPath(*dialog);
    if (path.isEmpty())
        return;
    const QImage picture = takePictureAsSeen();
    // Disabled only now: the picture shows the colours the user sees, not the greyed ones.
    setWindowInputEnabled(false);
    lastImagePath_ = path;
    const bool saved = saveImageFile(picture, path);
    setWindowInputEnabled(true);
    bridge_.showMessage(texts_.GetText(text::MSG_ALARM_TITLE),
                        texts_.GetText(saved ? text::MSG_BITMAP_SAVE_COMP
                                             : text::MSG_BITMAP_SAVE_ERR),
                        saved ? MessageIcon::Information : MessageIcon::Error);
}

void MainWindow::captureImage() {
    const QImage picture = takePictureAsSeen();
    setWindowInputEnabled(false);
    QGuiApplication::clipboard()->setImage(picture);
    setWindowInputEnabled(true);
}

QImage MainWindow::takePictureAsSeen() {
    // The window as it is now, not with a closed dialog or menu still on it.
    QWidget::repaint();
    QCoreApplication::processEvents();
    return takePicture();
}

// --- Unsaved recordings -----------------------------------------------------------------------

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Asked once the window is on the screen, from the event loop rather than inside show().
    if (!offerQueued_) {
        offerQueued_ = true;
        QTimer::singleShot(0, this, &MainWindow::offerUnsavedRecording);
    }
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
    QMessageBox question(QMessageBox::Question, QString::fromStdString(texts_.GetText(text::APP_TITLE)),
                         QString::fromStdString(offerText(texts_, *journal)),
                         QMessageBox::Yes | QMessageBox::No, this);
    question.setObjectName("unsavedRecordingQuestion");
    question.setDefaultButton(QMessageBox::Yes);
    if (question.exec() == QMessageBox::Yes)
        restoreRecording(*journal);
}

void MainWindow::showUnsavedRecordings() {
    UnsavedRecordingsDialog dialog(texts_, session_.listJournals(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (const std::optional<JournalEntry> journal = dialog.chosen())
        restoreRecording(*journal);
}

void MainWindow::restoreRecording(const JournalEntry& journal) {
    // The page the recording belongs to is shown while it is restored, as after a recording.
    showMonitor(journal.monitor);
    startFileOperation(&Session::startJournalRestore, journal.path);
}

}  // namespace kestiva
