#pragma once
// The Qt shell's table of calls to the window thread (see recording/HostInterfaces.h): posted
// to a context object that lives there, with Qt's queued and blocking-queued calls. Once the
// context object is gone, posted calls are dropped and a waiting caller is let go.

#include <QObject>
#include <QPointer>

#include "recording/HostInterfaces.h"

namespace kestiva {

class QtWindowThread final : public WindowThread {
public:
    explicit QtWindowThread(QObject& context) : context_(&context) {}

    bool onWindowThread() const override;
    void processEvents() override;
    void post(std::function<void()> call) override;
    void postAndWait(std::function<void()> call) override;

private:
    QPointer<QObject> context_;
};

}  // namespace kestiva
