#pragma once
// Runs the event loop until a condition holds or the time is up. The loop
// blocks between events (no sleeping), so transfers run at full speed.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace testsupport {

inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 15000) {
    if (condition())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return condition();
}

// Lets the loop run for a while (for "nothing else happens" checks).
inline void runEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace testsupport
