#include "lum_progress_hud.h"

#include <QThread>
#include <QThreadPool>

namespace {

// Lives on the overlay's thread and runs the overlay's clean-up there once a
// worker is done, unless the overlay is gone by then. The worker only ever
// touches the relay's address, never the overlay.
class TaskRelay : public QObject {
public:
    explicit TaskRelay(std::function<void()> onFinished) : m_onFinished(std::move(onFinished)) {}

    // Called from the worker: hands the clean-up over without waiting.
    void post() {
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_onFinished();
                deleteLater();
            },
            Qt::QueuedConnection);
    }

private:
    std::function<void()> m_onFinished;
};

} // namespace

void LumProgressHUD::launchOnOwnThread(Block task, bool animated) {
    setTaskInProgress(true);
    QThread* thread = QThread::create(std::move(task));
    connect(thread, &QThread::finished, this, &LumProgressHUD::cleanUp);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
    show(animated);
}

void LumProgressHUD::showAnimated(bool animated, Block block) {
    showAnimated(animated, std::move(block), QThreadPool::globalInstance(), Block());
}

void LumProgressHUD::showAnimated(bool animated, Block block, Block completionBlock) {
    showAnimated(animated, std::move(block), QThreadPool::globalInstance(),
                 std::move(completionBlock));
}

void LumProgressHUD::showAnimated(bool animated, Block block, QThreadPool* queue) {
    showAnimated(animated, std::move(block), queue, Block());
}

void LumProgressHUD::showAnimated(bool animated, Block block, QThreadPool* queue,
                                  Block completionBlock) {
    setTaskInProgress(true);
    setCompletionBlock(std::move(completionBlock));
    QPointer<LumProgressHUD> self(this);
    auto* relay = new TaskRelay([self] {
        if (self)
            self->cleanUp();
    });
    if (queue == nullptr)
        queue = QThreadPool::globalInstance();
    queue->start([block = std::move(block), relay] {
        if (block)
            block();
        relay->post();
    });
    show(animated);
}
