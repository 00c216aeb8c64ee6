#include "app/QtWindowThread.h"

#include <QCoreApplication>
#include <QThread>

namespace kestiva {

bool QtWindowThread::onWindowThread() const {
    // The context's thread, or the application's once the context is gone.
    const QObject* anchor = context_ ? context_.data() : QCoreApplication::instance();
    return anchor != nullptr && QThread::currentThread() == anchor->thread();
}

void QtWindowThread::processEvents() { QCoreApplication::processEvents(); }

void QtWindowThread::post(std::function<void()> call) {
    if (QObject* context = context_.data())
        QMetaObject::invokeMethod(context, std::move(call), Qt::QueuedConnection);
}

void QtWindowThread::postAndWait(std::function<void()> call) {
    // A context destroyed before it runs the call deletes the call's event, which releases
    // the wait: the caller never hangs on a window that has gone.
    if (QObject* context = context_.data())
        QMetaObject::invokeMethod(context, std::move(call), Qt::BlockingQueuedConnection);
}

}  // namespace kestiva
