#pragma once
// The window as the core sees it. The core's workers call in from their own threads; every call
// is carried to the window thread, since no widget may be touched elsewhere: progress and
// repaint requests are queued, message boxes and page changes hold the worker until the window
// thread has done them. Calls made on the window thread run at once. The bridge lives as long
// as the session that calls it.

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "recording/HostInterfaces.h"

namespace kestiva {

class WindowBridge final : public QObject, public WindowHost {
    Q_OBJECT

public:
    explicit WindowBridge(QObject* parent = nullptr);

    // The widget that owns the message boxes (the settings dialog at start-up, then the main
    // window); none gives boxes without an owner.
    void setMessageParent(QWidget* parent);
    // Where progress and page calls go: the main window once it exists; before that they are
    // dropped, as nothing shows them.
    void setTarget(ProgressHost* progress, PageHost* pages);

    void showMessage(const std::string& caption, const std::string& text,
                     MessageIcon icon) override;

    void showProgress() override;
    // Processes the window's pending events on the window thread; nothing on a worker.
    void pumpMessages() override;
    void setControlsEnabled(bool enabled) override;
    void setPhaseText(const std::string& text) override;
    void startResetTimer(int milliseconds) override;
    void stopResetTimer() override;
    void stopProgressTimer() override;

    void clearPage(MonitorKind monitor) override;
    void loadRecording(MonitorKind monitor) override;
    void enableEntry(MonitorKind monitor) override;
    void repaint() override;

private:
    bool onWindowThread() const;
    // Runs call on the window thread: at once there, else queued (wait false) or waiting for
    // it to have run (wait true).
    template <typename Call>
    void onWindow(Call call, bool wait);
    void showMessageHere(const std::string& caption, const std::string& text, MessageIcon icon);

    QPointer<QWidget> messageParent_;
    ProgressHost* progress_ = nullptr;
    PageHost* pages_ = nullptr;
};

}  // namespace kestiva
