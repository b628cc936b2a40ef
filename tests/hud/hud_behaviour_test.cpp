// The overlay's life: showing and hiding, delayed hides, tasks on other
// threads, properties set from another thread, modes, the host's overlays,
// and progress drawn within its range.
#include "activity_spinner.h"
#include "lum_bar_progress_view.h"
#include "lum_progress_hud.h"
#include "lum_round_progress_view.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QTest>
#include <QThread>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <thread>

namespace {

constexpr int kPatienceMs = 3000;

std::unique_ptr<QWidget> makeHost() {
    auto host = std::make_unique<QWidget>();
    host->resize(320, 480);
    host->show();
    return host;
}

// Lets deferred deletions and queued calls run.
void drainEvents() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// Counts the completion block and delegate calls of one overlay.
struct Calls {
    int completion = 0;
    int delegate = 0;

    void watch(LumProgressHUD* hud) {
        hud->setCompletionBlock([this] { ++completion; });
        LumProgressHUDDelegate observer;
        observer.hudWasHidden = [this](LumProgressHUD*) { ++delegate; };
        hud->setDelegate(observer);
    }
};

// An overlay on the host that is not removed when hidden.
LumProgressHUD* keptHUD(QWidget* host) {
    auto* hud = new LumProgressHUD(host);
    hud->setParent(host);
    return hud;
}

} // namespace

TEST(HudLifecycle, UnanimatedHideOrHideBeforeShowFinishesAtOnce) {
    auto host = makeHost();
    {
        LumProgressHUD* hud = LumProgressHUD::showHUDAddedTo(host.get(), false);
        Calls calls;
        calls.watch(hud);
        hud->hide(false);
        EXPECT_EQ(LumProgressHUD::HUDForView(host.get()), nullptr);
        EXPECT_EQ(hud->alpha(), 0.0f);
        EXPECT_EQ(calls.completion, 1);
        EXPECT_EQ(calls.delegate, 1);
        drainEvents();
    }
    {
        LumProgressHUD* hud = keptHUD(host.get());
        hud->setGraceTime(0.5f);
        hud->show(true);
        EXPECT_FALSE(hud->hasShowStarted());
        hud->hide(true);
        EXPECT_TRUE(hud->isFinished());
        EXPECT_EQ(hud->alpha(), 0.0f);
        delete hud;
    }
}

TEST(HudTimers, PendingDelayedHideIsCancelledWhenHidingFinishes) {
    auto host = makeHost();
    LumProgressHUD* hud = keptHUD(host.get());
    Calls calls;
    calls.watch(hud);
    hud->show(false);
    hud->hide(false, 0.2);
    hud->hide(false);
    EXPECT_EQ(calls.delegate, 1);
    QTest::qWait(400);
    EXPECT_EQ(calls.delegate, 1) << "the delayed hide ran after done";

    // Without an earlier hide, the delayed one does its work.
    hud->show(false);
    hud->hide(false, 0.05);
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls.delegate == 2; }, kPatienceMs));
    delete hud;
}

// The task runs on the pool; the completion runs once, after it, on the main thread.
TEST(HudTasks, BlockOnPoolRunsCompletionOnceOnMainThreadAfterBlock) {
    auto host = makeHost();
    LumProgressHUD* hud = keptHUD(host.get());
    QThreadPool pool;
    std::atomic<QThread*> blockThread = nullptr;
    std::vector<QThread*> completions; // null when the block had not ended
    hud->showAnimated(
        true,
        [&] {
            QThread::msleep(30);
            blockThread = QThread::currentThread();
        },
        &pool, [&] { completions.push_back(blockThread ? QThread::currentThread() : nullptr); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return hud->isFinished(); }, kPatienceMs));
    QTest::qWait(50);
    EXPECT_EQ(completions, std::vector<QThread*>{QThread::currentThread()});
    EXPECT_NE(blockThread.load(), QThread::currentThread());
    delete hud;
}

TEST(HudTasks, OverlayDeletedWhileTaskRunsIsNotTouchedByItsEnd) {
    auto host = makeHost();
    auto* hud = keptHUD(host.get());
    std::atomic<bool> release = false;
    hud->showAnimated(false, [&] {
        while (!release)
            QThread::msleep(2);
    });
    delete hud;
    release = true;
    QThreadPool::globalInstance()->waitForDone(kPatienceMs);
    drainEvents();
}

TEST(HudProperties, ChangesFromAnotherThreadAreAppliedOnTheMainThread) {
    auto host = makeHost();
    LumProgressHUD* hud = keptHUD(host.get());
    std::thread other([hud] {
        hud->setLabelText("From a worker");
        hud->setMode(LumProgressHUD::ModeBar);
        hud->setProgress(0.25f);
    });
    other.join();
    // Stored at once, applied only once the main thread gets to it.
    EXPECT_EQ(hud->labelText(), "From a worker");
    EXPECT_TRUE(hud->labelFrame().isEmpty());
    EXPECT_NE(qobject_cast<ActivitySpinner*>(hud->indicator()), nullptr);
    QCoreApplication::processEvents();
    EXPECT_FALSE(hud->labelFrame().isEmpty());
    auto* bar = qobject_cast<LumBarProgressView*>(hud->indicator());
    ASSERT_NE(bar, nullptr);
    EXPECT_FLOAT_EQ(bar->progress(), 0.25f);
    delete hud;
}

TEST(HudProperties, ModesBuildTheirIndicators) {
    auto host = makeHost();
    LumProgressHUD* hud = keptHUD(host.get());
    hud->setProgress(0.4f);

    hud->setMode(LumProgressHUD::ModeRing);
    auto* round = qobject_cast<LumRoundProgressView*>(hud->indicator());
    ASSERT_NE(round, nullptr);
    EXPECT_TRUE(round->isAnnular());
    EXPECT_FLOAT_EQ(round->progress(), 0.4f);
    hud->setMode(LumProgressHUD::ModePie);
    EXPECT_EQ(hud->indicator(), round) << "the round view is kept";
    EXPECT_FALSE(round->isAnnular()) << "pie after ring must not stay a ring";

    hud->setMode(LumProgressHUD::ModeBar);
    EXPECT_NE(qobject_cast<LumBarProgressView*>(hud->indicator()), nullptr);

    QPointer<QLabel> custom(new QLabel("custom"));
    hud->setCustomView(custom);
    hud->setMode(LumProgressHUD::ModeCustom);
    EXPECT_EQ(hud->indicator(), custom.data());

    hud->setMode(LumProgressHUD::ModeText);
    EXPECT_EQ(hud->indicator(), nullptr);
    EXPECT_FALSE(custom.isNull()) << "the custom view stays for a later mode 4";

    hud->setMode(LumProgressHUD::ModeSpinner);
    EXPECT_NE(qobject_cast<ActivitySpinner*>(hud->indicator()), nullptr);
    delete hud;
    EXPECT_TRUE(custom.isNull()) << "the overlay owns its custom view";
}

TEST(HudHost, ClassOperationsFindAndHideTopmostOverlays) {
    auto host = makeHost();
    EXPECT_FALSE(LumProgressHUD::hideHUDForView(host.get(), false));
    LumProgressHUD* first = LumProgressHUD::showHUDAddedTo(host.get(), false);
    auto* other = new QWidget(host.get());
    LumProgressHUD* second = LumProgressHUD::showHUDAddedTo(host.get(), false);
    other->raise();
    EXPECT_EQ(LumProgressHUD::HUDForView(host.get()), second);
    EXPECT_TRUE(LumProgressHUD::hideHUDForView(host.get(), false));
    EXPECT_EQ(LumProgressHUD::allHUDsForView(host.get()), QList<LumProgressHUD*>{first});
    keptHUD(host.get()); // hidden too, though not removed
    EXPECT_EQ(LumProgressHUD::hideAllHUDsForView(host.get(), false), 2);
    EXPECT_TRUE(LumProgressHUD::allHUDsForView(host.get()).isEmpty());
    drainEvents();
}

TEST(HudDrawing, ProgressOutsideItsRangeIsDrawnClamped) {
    auto render = [](const auto& view) {
        QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        view.paint(painter);
        return image;
    };
    auto check = [&](auto& view) {
        view.setProgress(1.0f);
        const QImage full = render(view);
        view.setProgress(0.0f);
        const QImage empty = render(view);
        for (float progress : {1.7f, -3.0f, std::nanf("")}) {
            view.setProgress(progress);
            EXPECT_EQ(render(view), progress > 1 ? full : empty) << progress;
        }
    };
    LumRoundProgressView pie;
    check(pie);
    LumBarProgressView bar;
    check(bar);
}
