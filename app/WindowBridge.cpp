#include "app/WindowBridge.h"

#include <QMessageBox>

#include "app/DialogSupport.h"

namespace kestiva {

// The marshalling keeps a reference to thread_, which is made before it is first used.
WindowBridge::WindowBridge(QObject* parent)
    : QObject(parent), MarshalledWindow(thread_), thread_(*this) {
    setMessageTarget(&boxes_);
}

void WindowBridge::MessageBoxes::showMessage(const std::string& caption,
                                             const std::string& text, MessageIcon icon) {
    // Closing line breaks of a composed text would only leave an empty band under it.
    QString shownText = QString::fromStdString(text);
    while (shownText.endsWith('\n'))
        shownText.chop(1);
    QMessageBox box(toQtIcon(icon), QString::fromStdString(caption), shownText, QMessageBox::Ok,
                    parent.data());
    box.setObjectName("messageBox");
    // Kept above the other windows, so that a message of a worker is never hidden behind one.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

}  // namespace kestiva
