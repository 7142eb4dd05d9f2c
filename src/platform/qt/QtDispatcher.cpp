#include "platform/qt/QtDispatcher.h"

#include "core/shell/PooledSerialQueue.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <cmath>

namespace ostrevane {

namespace {

// QThreadPool runs higher numbers first among queued tasks.
int poolPriority(QueuePriority priority)
{
    switch (priority) {
    case QueuePriority::userInteractive: return 3;
    case QueuePriority::userInitiated: return 2;
    case QueuePriority::utility: return 1;
    case QueuePriority::background: return 0;
    }
    return 0;
}

} // namespace

void QtDispatcher::async(std::function<void()> task)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task), Qt::QueuedConnection);
}

CancellableRef QtDispatcher::asyncAfter(double delaySeconds, std::function<void()> task)
{
    auto token = std::make_shared<Cancellable>();
    const int ms = static_cast<int>(std::lround(std::max(0.0, delaySeconds) * 1000.0));
    // The timer is made on the main thread, where the task must run.
    async([token, ms, task = std::move(task)]() mutable {
        QTimer::singleShot(ms, Qt::PreciseTimer, QCoreApplication::instance(), [token, task = std::move(task)] {
            if (!token->isCancelled())
                task();
        });
    });
    return token;
}

void QtDispatcher::global(QueuePriority priority, std::function<void()> task)
{
    QThreadPool::globalInstance()->start(std::move(task), poolPriority(priority));
}

std::shared_ptr<SerialQueue> QtDispatcher::makeSerialQueue(QueuePriority priority)
{
    return std::make_shared<PooledSerialQueue>([priority](std::function<void()> drain) {
        QThreadPool::globalInstance()->start(std::move(drain), poolPriority(priority));
    });
}

bool QtDispatcher::isMainThread() const
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace ostrevane
