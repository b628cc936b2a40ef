#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

// Link answers from outside: the running window listens on a local socket in
// a folder only its user can enter; a second launch hands its URLs over and
// ends. One connection carries one URL per line; none asks the running window
// to come to the front.
namespace gui::link_channel {

// "$XDG_RUNTIME_DIR/RootMobrix.link", or, without a runtime folder, the same
// name in a private (0700, owned, not a link) folder of the temporary folder.
// Empty when no such folder can be had.
QString socketPath();

// True when a running window took the URLs (it exists and answered).
bool forward(const QString& path, const QStringList& urls, int timeoutMs = 2000);

// Longest message a server accepts from one connection.
inline constexpr qint64 kMaxMessage = 64 * 1024;

} // namespace gui::link_channel

class LinkServer : public QObject {
    Q_OBJECT
public:
    explicit LinkServer(QObject* parent = nullptr);
    ~LinkServer() override;

    // Listens at path, replacing a stale socket file that nobody answers on.
    bool listen(const QString& path);
    QString errorString() const;

signals:
    void urlReceived(const QString& url);
    void activationRequested();

private:
    void accept();

    QLocalServer* server_;
};
