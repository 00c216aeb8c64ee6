#pragma once
// The window as the core sees it: the core's marshalling (session/WindowMarshal.h) over the Qt
// shell's calls to the window thread, with Qt's message boxes as its message target. Which
// calls block and which are queued is written in recording/HostInterfaces.h. The bridge lives
// as long as the session that calls it.

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "app/QtWindowThread.h"
#include "session/WindowMarshal.h"

namespace kestiva {

class WindowBridge final : public QObject, public MarshalledWindow {
    Q_OBJECT

public:
    explicit WindowBridge(QObject* parent = nullptr);

    // The widget that owns the message boxes (the settings dialog at start-up, then the main
    // window); none gives boxes without an owner.
    void setMessageParent(QWidget* parent) { boxes_.parent = parent; }
    // Where progress and page calls go: the main window once it exists; before that they are
    // dropped, as nothing shows them.
    void setTarget(ProgressHost* progress, PageHost* pages) { setTargets(progress, pages); }
    // The calls to the window thread, for other parts of the shell that report from a worker.
    WindowThread& windowThread() { return thread_; }

private:
    // Qt's modal message box, on the window thread.
    struct MessageBoxes final : MessageHost {
        void showMessage(const std::string& caption, const std::string& text,
                         MessageIcon icon) override;
        QPointer<QWidget> parent;
    };

    QtWindowThread thread_;
    MessageBoxes boxes_;
};

}  // namespace kestiva
