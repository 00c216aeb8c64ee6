#pragma once
// The communication check's window: a bar, the percent and the state of the search, and a
// cancel button. The check runs on the session's worker; what it reports reaches the widgets
// through the core's marshalling to the window thread, and the window closes once the worker
// has ended.

#include <QDialog>
#include <QEventLoop>

#include <optional>

#include "app/QtWindowThread.h"
#include "session/Session.h"
#include "session/WindowMarshal.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace kestiva {

class CheckWindow final : public QDialog, public CheckProgress {
    Q_OBJECT

public:
    // The session's check port must be open.
    CheckWindow(Session& session, CheckChoice choice, QWidget* parent = nullptr);

    // Centres the window, starts the check and shows the window until the check has ended.
    // nullopt when no worker could be started.
    std::optional<CheckOutcome> run();

    // The check's progress, called on the window thread (the worker's calls are carried here).
    void setStateText(const std::string& text) override;
    void setPercent(int percent) override;
    // Hides the window before the result's message shows; the worker waits for it.
    void finish() override { hide(); }

protected:
    // Escape and the window's close do nothing: the check ends by itself or by cancel.
    void reject() override {}

private:
    void cancel();
    // On the window thread, after the worker's last word.
    void onWorkerEnded();
    void moveToCentreOfWorkArea();

    Session& session_;
    CheckChoice choice_;
    QtWindowThread windowThread_{*this};
    // What the worker calls: carried to this window on the window thread.
    MarshalledCheckProgress workerProgress_{windowThread_, this};
    std::optional<CheckOutcome> outcome_;
    QEventLoop untilFinished_;
    QProgressBar* bar_ = nullptr;
    QLabel* percentLabel_ = nullptr;
    QLabel* stateLabel_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

}  // namespace kestiva
