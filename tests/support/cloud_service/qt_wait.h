#pragma once
// Runs the event loop until a condition holds or the time is up.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <functional>

namespace testsupport {

inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 15000) {
  QDeadlineTimer deadline(timeoutMs);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (!condition()) QThread::msleep(1);
  }
  return true;
}

// Lets the loop run for a while (for "nothing else happens" checks).
inline void runEventsFor(int ms) {
  QDeadlineTimer deadline(ms);
  while (!deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
  }
}

}  // namespace testsupport
