#include "screen_saver_inhibitor.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kInterface = QStringLiteral("org.freedesktop.ScreenSaver");

} // namespace

ScreenSaverInhibitor::ScreenSaverInhibitor(QDBusConnection bus) : bus_(std::move(bus)) {}

ScreenSaverInhibitor::~ScreenSaverInhibitor() {
    release();
}

void ScreenSaverInhibitor::setInhibited(bool inhibited) {
    if (inhibited == requested_)
        return;
    requested_ = inhibited;
    if (!inhibited) {
        release();
        return;
    }
    if (pending_ || cookie_ || !bus_.isConnected())
        return;
    QDBusConnectionInterface* daemon = bus_.interface();
    if (!daemon || !daemon->isServiceRegistered(kService).value())
        return;

    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Inhibit"));
    call << QStringLiteral("RootMobrix")
         << QStringLiteral("A safeguard or restoration may be running");
    pending_ = true;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                pending_ = false;
                QDBusPendingReply<uint> reply = *finished;
                if (reply.isError())
                    return;
                cookie_ = reply.value();
                // Given up while the answer was on its way.
                if (!requested_)
                    release();
            });
}

void ScreenSaverInhibitor::release() {
    if (!cookie_)
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("UnInhibit"));
    call << *cookie_;
    cookie_.reset();
    bus_.send(call);
}
