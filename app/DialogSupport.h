#pragma once
// Small pieces every dialog of the program shares: captions from LanguageData.ini, dialogs that
// ignore Enter and Escape, and message boxes.

#include <QMessageBox>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "recording/HostInterfaces.h"
#include "settings/LanguageCatalogue.h"

class QAbstractButton;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QWidget;

namespace kestiva {

// The captions of one dialog by LanguageData.ini key. Each widget keeps the built-in text it was
// made with until apply() replaces it; a file that cannot be read leaves every built-in text, a
// missing key leaves that one and all after it.
class CaptionTable {
public:
    CaptionTable();
    ~CaptionTable();
    CaptionTable(const CaptionTable&) = delete;
    CaptionTable& operator=(const CaptionTable&) = delete;

    void add(std::string key, std::function<void(const QString&)> setText);
    void add(std::string key, QAbstractButton* button);
    void add(std::string key, QLabel* label);
    void add(std::string key, QGroupBox* group);
    void add(std::string key, QPlainTextEdit* textBox);
    void addTitle(std::string key, QWidget* window);

    void apply(LanguageCatalogue& texts);

private:
    class Target;
    std::vector<std::string> keys_;
    std::vector<std::unique_ptr<Target>> targets_;
};

// The file's line breaks are CR LF; Qt's are LF.
QString toQtText(const std::string& text);

// Enter and Escape are dropped before root or any widget inside it sees them, so that neither
// key ends a dialog that asks for a decision (a button or the window's close).
void swallowEnterAndEscape(QWidget* root);

// The box's icon for a model's message.
QMessageBox::Icon toQtIcon(MessageIcon icon);

// A modal box with one OK button, kept above the other windows; no owner gives a free box.
void showMessageBox(QWidget* owner, const QString& caption, const QString& text,
                    QMessageBox::Icon icon);

}  // namespace kestiva
