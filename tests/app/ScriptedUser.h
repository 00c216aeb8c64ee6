#pragma once
// A user who answers the program's modal dialogs from a script: each step waits for the active
// modal dialog of a name (and, if given, a condition on it) and then acts on it. What it met is
// written down. A dialog the script does not expect, or a step still waiting after its deadline,
// is an error; the user then ends each dialog it meets so that the program runs to its end.
// One user at a time: a second one alive beside it would answer the same dialogs, so each lives
// only for the step of the test it scripts.
// With KESTIVA_DIALOG_PICTURES naming a folder, each dialog met is saved there as a PNG.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kestiva::testing {

// Presses the button named name inside dialog.
inline void press(QWidget* dialog, const char* name) {
    if (auto* button = dialog->findChild<QAbstractButton*>(name))
        button->click();
    else
        ADD_FAILURE() << "no button " << name << " in " << dialog->objectName().toStdString();
}

inline void acknowledge(QWidget* messageBox) {
    static_cast<QMessageBox*>(messageBox)->button(QMessageBox::Ok)->click();
}

class ScriptedUser {
public:
    using Action = std::function<void(QWidget* dialog)>;
    using Condition = std::function<bool(QWidget* dialog)>;

    struct Seen {
        QString name;
        QString title;
        QString text;  // a message box's
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool owned = false;
    };

    ScriptedUser() {
        if (alive() > 0)
            ADD_FAILURE() << "another scripted user still answers dialogs: end it first";
        alive() += 1;
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(10);
    }
    ~ScriptedUser() { alive() -= 1; }
    ScriptedUser(const ScriptedUser&) = delete;
    ScriptedUser& operator=(const ScriptedUser&) = delete;

    ScriptedUser& then(QString dialog, Action action, Condition ready = nullptr) {
        steps_.push_back({std::move(dialog), std::move(action), std::move(ready)});
        return *this;
    }
    ScriptedUser& thenAcknowledge() { return then("messageBox", acknowledge); }

    bool done() const { return steps_.empty(); }
    const std::vector<Seen>& seen() const { return seen_; }
    const std::vector<std::string>& errors() const { return errors_; }
    QStringList seenNames() const {
        QStringList names;
        for (const Seen& s : seen_)
            names << s.name;
        return names;
    }

private:
    struct Step {
        QString dialog;
        Action action;
        Condition ready;
    };

    void poll() {
        QWidget* active = QApplication::activeModalWidget();
        if (actionQueued_ || !active)
            return;
        if (giveUp_ || steps_.empty()) {
            note(active);
            // A message box says why it came (a recording that failed, for example).
            errors_.push_back("unexpected dialog " + active->objectName().toStdString() + " " +
                              seen_.back().text.toStdString());
            queue(active, endDialog);
            return;
        }
        const Step& step = steps_.front();
        if (active->objectName() == step.dialog && (!step.ready || step.ready(active))) {
            note(active);
            queue(active, step.action);
            steps_.pop_front();
            stepStart_ = Clock::now();
        } else if (Clock::now() - stepStart_ > std::chrono::seconds(90)) {
            errors_.push_back("waited for " + step.dialog.toStdString() + ", saw " +
                              active->objectName().toStdString());
            giveUp_ = true;
        }
    }

    // Acts once the poll has returned: an action may open a dialog with a loop of its own, in
    // which the polling must go on.
    void queue(QWidget* dialog, Action action) {
        actionQueued_ = true;
        QTimer::singleShot(0, [this, target = QPointer<QWidget>(dialog), action] {
            actionQueued_ = false;
            if (target)
                action(target);
        });
    }

    static void endDialog(QWidget* dialog) {
        if (auto* cancel = dialog->findChild<QAbstractButton*>("cancelButton"))
            cancel->click();  // the check window closes only after its worker
        else if (auto* asDialog = qobject_cast<QDialog*>(dialog))
            asDialog->done(QDialog::Rejected);
    }

    void note(QWidget* dialog) {
        Seen s{dialog->objectName(), dialog->windowTitle()};
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
            s.text = box->text();
            s.icon = box->icon();
        }
        s.owned = dialog->parentWidget() != nullptr;
        seen_.push_back(s);
        const QString pictures = qEnvironmentVariable("KESTIVA_DIALOG_PICTURES");
        if (!pictures.isEmpty())
            dialog->grab().save(QDir(pictures).filePath(
                QString("%1-%2.png").arg(seen_.size()).arg(dialog->objectName())));
    }

    static int& alive() {
        static int count = 0;
        return count;
    }

    using Clock = std::chrono::steady_clock;
    QTimer timer_;
    std::deque<Step> steps_;
    std::vector<Seen> seen_;
    std::vector<std::string> errors_;
    Clock::time_point stepStart_ = Clock::now();
    bool actionQueued_ = false;
    bool giveUp_ = false;
};

inline ScriptedUser::Action pressing(const char* name) {
    return [name](QWidget* dialog) { press(dialog, name); };
}

}  // namespace kestiva::testing
