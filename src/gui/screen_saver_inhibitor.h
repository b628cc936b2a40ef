#pragma once

#include <QDBusConnection>
#include <QObject>
#include <optional>

// Keeps the desktop from blanking or locking while the program runs, through
// the desktop's screen-saver service on the session bus. Without a bus or
// without the service it does nothing. Calls are asynchronous so that a slow
// bus never stalls the window.
class ScreenSaverInhibitor : public QObject {
public:
    explicit ScreenSaverInhibitor(QDBusConnection bus = QDBusConnection::sessionBus());
    ~ScreenSaverInhibitor() override;

    void setInhibited(bool inhibited);
    bool requested() const { return requested_; }
    // The service's handle once it has granted the request.
    std::optional<uint> cookie() const { return cookie_; }

private:
    void release();

    QDBusConnection bus_;
    bool requested_ = false;
    bool pending_ = false;
    std::optional<uint> cookie_;
};
