#pragma once
// A single-line edit for one real number. It lets through only keystrokes and pastes that
// leave a well-formed number text, and on Enter or when it loses focus it turns the text into
// a value within its limits, shows that value with a fixed number of decimals, and tells its
// page with committed(controlId).

#include "settings/NumberEditText.h"

#include <QChar>
#include <QClipboard>
#include <QLineEdit>
#include <QLocale>

#include <cstdint>
#include <string>

class QMenu;

namespace kestiva {

// The decimal separator of a locale (its first character); the application's default locale
// is the system's unless the program chose another.
QChar decimalSeparator(const QLocale& locale = QLocale());

class CNumberEditEx : public QLineEdit {
    Q_OBJECT

public:
    explicit CNumberEditEx(int controlId, QWidget* parent = nullptr);

    int controlId() const { return controlId_; }

    double value() const { return value_; }
    // Stores the value and shows it.
    void setValue(double value);

    uint16_t acceptFlags() const { return acceptFlags_; }
    void setAcceptFlags(uint16_t flags) { acceptFlags_ = flags; }
    uint16_t decimals() const { return decimals_; }
    void setDecimals(uint16_t decimals) { decimals_ = decimals; }
    double lowerLimit() const { return lowerLimit_; }
    double upperLimit() const { return upperLimit_; }
    void setLimits(double lower, double upper) {
        lowerLimit_ = lower;
        upperLimit_ = upper;
    }
    // Taken from the application's default locale when the edit is made.
    QChar separator() const { return separator_; }

    bool isAcceptableNumberText(const QString& text) const {
        return kestiva::isAcceptableNumberText(text.toStdString(), separatorText_, acceptFlags_);
    }

    // Shows the value with `decimals` digits and reads the shown text back, so that the
    // value is exactly what the user sees.
    virtual void refreshDisplay();
    // Whether Enter commits (a page may want Enter for itself).
    virtual bool acceptsEnter() const { return true; }

    // Text to value, clamped to the limits, then shown. Sends no notification.
    void commit();

signals:
    // After a commit caused by Enter or by the edit losing focus. Pages connect it queued
    // when they want it delivered after the edit has finished its own handling.
    void committed(int controlId);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // The text that would result from putting `inserted` in place of the selection (or at
    // the cursor).
    QString candidateText(const QString& inserted) const;
    // Pastes the clipboard's text only when the result is still a number text.
    void pasteFiltered(QClipboard::Mode mode);

    const int controlId_;
    double value_ = 0.0;
    uint16_t acceptFlags_ = kAcceptSeparator | kAcceptSign;
    uint16_t decimals_ = 1;
    QChar separator_;
    std::string separatorText_;  // the same in UTF-8, for the text rules
    double lowerLimit_ = 0.0;
    double upperLimit_ = 1.0;
};

}  // namespace kestiva
