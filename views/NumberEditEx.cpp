#include "views/NumberEditEx.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>

namespace kestiva {

namespace {

bool isEnterKey(const QKeyEvent* event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

// Keys that keep their usual editing meaning although they are no characters of a number.
bool isEditingKey(QKeyEvent* event) {
    return event->matches(QKeySequence::SelectAll) || event->matches(QKeySequence::Copy) ||
           event->matches(QKeySequence::Cut) || event->matches(QKeySequence::Undo) ||
           event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete;
}

bool allPrintable(const QString& text) {
    for (const QChar c : text) {
        if (!c.isPrint()) {
            return false;
        }
    }
    return true;
}

}  // namespace

QChar decimalSeparator(const QLocale& locale) {
    const QString point = locale.decimalPoint();
    return point.isEmpty() ? QChar(u'.') : point.front();
}

CNumberEditEx::CNumberEditEx(int controlId, QWidget* parent)
    : QLineEdit(parent),
      controlId_(controlId),
      separator_(decimalSeparator()),
      separatorText_(QString(separator_).toStdString()) {
    // Input methods would deliver composed text past the character filter.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    // Dropped text would too.
    setAcceptDrops(false);
    setDragEnabled(false);
}

void CNumberEditEx::setValue(double value) {
    value_ = value;
    refreshDisplay();
}

void CNumberEditEx::refreshDisplay() {
    const std::string shown = formatNumberText(value_, decimals_, separatorText_);
    setText(QString::fromStdString(shown));
    value_ = readNumberText(shown, separatorText_, decimals_);
}

void CNumberEditEx::commit() {
    value_ = committedNumber(text().toStdString(), separatorText_, decimals_, lowerLimit_,
                             upperLimit_);
    refreshDisplay();
}

QString CNumberEditEx::candidateText(const QString& inserted) const {
    const QString current = text();
    if (!hasSelectedText()) {
        QString result = current;
        result.insert(cursorPosition(), inserted);
        return result;
    }
    const qsizetype start = selectionStart();
    const qsizetype length = selectedText().size();
    return current.left(start) + inserted + current.mid(start + length);
}

void CNumberEditEx::pasteFiltered(QClipboard::Mode mode) {
    if (isReadOnly()) {
        return;
    }
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(mode);
    if (data == nullptr || !data->hasText()) {
        return;
    }
    const QString pasted = data->text();
    if (!isAcceptableNumberText(candidateText(pasted))) {
        return;
    }
    insert(pasted);
}

void CNumberEditEx::keyPressEvent(QKeyEvent* event) {
    if (isEnterKey(event) && acceptsEnter()) {
        QLineEdit::keyPressEvent(event);
        commit();
        end(false);
        // The Enter belongs to this edit: it must not press a dialog's default button.
        event->accept();
        emit committed(controlId_);
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        pasteFiltered(QClipboard::Clipboard);
        event->accept();
        return;
    }
    if (isEditingKey(event)) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QString typed = event->text();
    if (typed.isEmpty()) {
        QLineEdit::keyPressEvent(event);  // cursor movement, modifiers, function keys
        return;
    }
    if (!allPrintable(typed)) {
        event->ignore();  // control characters never reach the text
        return;
    }
    if (isAcceptableNumberText(candidateText(typed))) {
        QLineEdit::keyPressEvent(event);
    } else {
        event->accept();  // dropped without a sound
    }
}

void CNumberEditEx::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // The edit's own context menu takes the focus only while it is open. A page disables its
    // edits to end entry (after emptying them); Qt then moves the focus on, which is no
    // departure by the user and must not turn the empty text into 0.
    if (event->reason() == Qt::PopupFocusReason || !isEnabled()) {
        return;
    }
    commit();
    emit committed(controlId_);
}

void CNumberEditEx::mouseReleaseEvent(QMouseEvent* event) {
    // The middle button pastes the X selection; it goes through the same filter.
    if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
        deselect();
        pasteFiltered(QClipboard::Selection);
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void CNumberEditEx::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    // The standard menu's paste item is the one wired to paste(); it is rewired to the filter.
    // By signature: a member-function pointer taken here need not equal the one the library
    // connected with, so that form of disconnect can miss.
    for (QAction* action : menu->actions()) {
        if (disconnect(action, SIGNAL(triggered(bool)), this, SLOT(paste()))) {
            connect(action, &QAction::triggered, this,
                    [this] { pasteFiltered(QClipboard::Clipboard); });
        }
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

}  // namespace kestiva
