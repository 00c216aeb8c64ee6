#include "app/WindowBridge.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>

namespace kestiva {

WindowBridge::WindowBridge(QObject* parent) : QObject(parent) {}

void WindowBridge::setMessageParent(QWidget* parent) { messageParent_ = parent; }

void WindowBridge::setTarget(ProgressHost* progress, PageHost* pages) {
    progress_ = progress;
    pages_ = pages;
}

bool WindowBridge::onWindowThread() const { return QThread::currentThread() == thread(); }

template <typename Call>
void WindowBridge::onWindow(Call call, bool wait) {
    if (onWindowThread()) {
        call();
        return;
    }
    // A blocking call from the window thread itself would never return; it is handled above.
    QMetaObject::invokeMethod(this, call,
                              wait ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
}

void WindowBridge::showMessage(const std::string& caption, const std::string& text,
                               MessageIcon icon) {
    onWindow([=, this] { showMessageHere(caption, text, icon); }, true);
}

void WindowBridge::showMessageHere(const std::string& caption, const std::string& text,
                                   MessageIcon icon) {
    const QMessageBox::Icon shown = icon == MessageIcon::Error         ? QMessageBox::Critical
                                    : icon == MessageIcon::Information ? QMessageBox::Information
                                                                       : QMessageBox::Warning;
    // Closing line breaks of a composed text would only leave an empty band under it.
    QString shownText = QString::fromStdString(text);
    while (shownText.endsWith('\n'))
        shownText.chop(1);
    QMessageBox box(shown, QString::fromStdString(caption), shownText, QMessageBox::Ok,
                    messageParent_.data());
    box.setObjectName("messageBox");
    // Kept above the other windows, so that a message of a worker is never hidden behind one.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

void WindowBridge::showProgress() {
    onWindow([this] { if (progress_) progress_->showProgress(); }, false);
}

void WindowBridge::pumpMessages() {
    if (onWindowThread())
        QCoreApplication::processEvents();
}

void WindowBridge::setControlsEnabled(bool enabled) {
    onWindow([=, this] { if (progress_) progress_->setControlsEnabled(enabled); }, false);
}

void WindowBridge::setPhaseText(const std::string& text) {
    onWindow([=, this] { if (progress_) progress_->setPhaseText(text); }, false);
}

void WindowBridge::startResetTimer(int milliseconds) {
    onWindow([=, this] { if (progress_) progress_->startResetTimer(milliseconds); }, false);
}

void WindowBridge::stopResetTimer() {
    onWindow([this] { if (progress_) progress_->stopResetTimer(); }, false);
}

void WindowBridge::stopProgressTimer() {
    onWindow([this] { if (progress_) progress_->stopProgressTimer(); }, false);
}

void WindowBridge::clearPage(MonitorKind monitor) {
    onWindow([=, this] { if (pages_) pages_->clearPage(monitor); }, true);
}

void WindowBridge::loadRecording(MonitorKind monitor) {
    onWindow([=, this] { if (pages_) pages_->loadRecording(monitor); }, true);
}

void WindowBridge::enableEntry(MonitorKind monitor) {
    onWindow([=, this] { if (pages_) pages_->enableEntry(monitor); }, true);
}

void WindowBridge::repaint() {
    onWindow([this] { if (pages_) pages_->repaint(); }, false);
}

}  // namespace kestiva
