#include "ui/QtMainQueue.h"

#include "platform/Log.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <exception>
#include <string>

namespace pressling::ui {

namespace {

QtMainQueue* gQueue = nullptr;

// Runs at the start of QCoreApplication's destructor, before the event loop's objects go.
void closeQueueWithApplication() {
    if (gQueue != nullptr) gQueue->close();
}

}  // namespace

QtMainQueue& QtMainQueue::install() {
    if (gQueue == nullptr || gQueue->isClosed()) {
        // A closed queue stays allocated: a worker may still call it.
        gQueue = new QtMainQueue();
        qAddPostRoutine(closeQueueWithApplication);
    }
    installMainQueue(*gQueue);
    return *gQueue;
}

QtMainQueue::QtMainQueue() : context_(new QObject()) {
    Q_ASSERT(QCoreApplication::instance() != nullptr);
    Q_ASSERT(QThread::currentThread() == QCoreApplication::instance()->thread());
}

void QtMainQueue::async(std::function<void()> work) {
    if (!work) {
        log::warning("an empty work item was handed to the main queue");
        return;
    }
    std::lock_guard lock(mutex_);
    // The lock keeps the context alive while posting: close() takes it too.
    if (context_ == nullptr) return;
    QMetaObject::invokeMethod(
        context_, [work = std::move(work)] { runItem(work); }, Qt::QueuedConnection);
}

void QtMainQueue::asyncAfter(std::chrono::milliseconds delay, std::function<void()> work) {
    if (delay <= std::chrono::milliseconds::zero()) {
        async(std::move(work));
        return;
    }
    if (!work) {
        log::warning("an empty work item was handed to the main queue");
        return;
    }
    // Timers belong to the thread that starts them, so the timer is started on the main
    // thread; from another thread the delay counts from when the main thread gets to it.
    auto start = [this, delay, work = std::move(work)]() mutable {
        std::lock_guard lock(mutex_);
        if (context_ == nullptr) return;
        QTimer::singleShot(delay, Qt::PreciseTimer, context_,
                           [work = std::move(work)] { runItem(work); });
    };
    if (isCurrent()) {
        start();
    } else {
        async(std::move(start));
    }
}

bool QtMainQueue::isCurrent() const {
    const QCoreApplication* application = QCoreApplication::instance();
    return application != nullptr && QThread::currentThread() == application->thread();
}

void QtMainQueue::close() {
    std::lock_guard lock(mutex_);
    delete context_;  // its queued calls and timers go with it
    context_ = nullptr;
}

bool QtMainQueue::isClosed() const {
    std::lock_guard lock(mutex_);
    return context_ == nullptr;
}

void QtMainQueue::runItem(const std::function<void()>& work) {
    // An exception must not unwind through Qt's event loop.
    try {
        work();
    } catch (const std::exception& error) {
        log::error(std::string("a main-queue item threw: ") + error.what());
    } catch (...) {
        log::error("a main-queue item threw something that is not an exception");
    }
}

}  // namespace pressling::ui
