#include "app/DialogSupport.h"

#include <QAbstractButton>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QWidget>

namespace kestiva {

class CaptionTable::Target final : public WindowTextTarget {
public:
    explicit Target(std::function<void(const QString&)> setText) : setText_(std::move(setText)) {}
    void setWindowText(const std::string& text) override { setText_(toQtText(text)); }

private:
    std::function<void(const QString&)> setText_;
};

CaptionTable::CaptionTable() = default;
CaptionTable::~CaptionTable() = default;

void CaptionTable::add(std::string key, std::function<void(const QString&)> setText) {
    keys_.push_back(std::move(key));
    targets_.push_back(std::make_unique<Target>(std::move(setText)));
}

void CaptionTable::add(std::string key, QAbstractButton* button) {
    add(std::move(key), [button](const QString& text) { button->setText(text); });
}

void CaptionTable::add(std::string key, QLabel* label) {
    add(std::move(key), [label](const QString& text) { label->setText(text); });
}

void CaptionTable::add(std::string key, QGroupBox* group) {
    add(std::move(key), [group](const QString& text) { group->setTitle(text); });
}

void CaptionTable::add(std::string key, QPlainTextEdit* textBox) {
    add(std::move(key), [textBox](const QString& text) { textBox->setPlainText(text); });
}

void CaptionTable::addTitle(std::string key, QWidget* window) {
    add(std::move(key), [window](const QString& text) { window->setWindowTitle(text); });
}

void CaptionTable::apply(LanguageCatalogue& texts) {
    std::vector<LanguageTableEntry> table(keys_.size() + 1);  // the last, empty key ends it
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        table[i].key = keys_[i];
        table[i].kind = LanguageTableEntry::Kind::WindowText;
        table[i].window = targets_[i].get();
    }
    texts.ApplyLanguageTable(table);
}

QString toQtText(const std::string& text) {
    return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

namespace {

class EnterEscapeFilter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)
                return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void swallowEnterAndEscape(QWidget* root) {
    auto* filter = new EnterEscapeFilter(root);
    root->installEventFilter(filter);
    for (QWidget* child : root->findChildren<QWidget*>())
        child->installEventFilter(filter);
}

QMessageBox::Icon toQtIcon(MessageIcon icon) {
    return icon == MessageIcon::Error         ? QMessageBox::Critical
           : icon == MessageIcon::Information ? QMessageBox::Information
                                              : QMessageBox::Warning;
}

void showMessageBox(QWidget* owner, const QString& caption, const QString& text,
                    QMessageBox::Icon icon) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
    box.setObjectName("messageBox");
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

}  // namespace kestiva
