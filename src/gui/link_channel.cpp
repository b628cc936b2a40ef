#include "link_channel.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kSocketName = QStringLiteral("RootMobrix.link");

// A folder that only this user can enter: ours, 0700, not a link.
bool privateFolder(const QString& folder) {
    const QByteArray native = QFile::encodeName(folder);
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0) {
        if (::mkdir(native.constData(), 0700) != 0)
            return false;
        if (::lstat(native.constData(), &info) != 0)
            return false;
    }
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

} // namespace

namespace gui::link_channel {

QString socketPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && privateFolder(runtime))
        return runtime + QLatin1Char('/') + kSocketName;
    const QString fallback = QDir::tempPath() + QStringLiteral("/RootMobrix-%1").arg(::geteuid());
    if (privateFolder(fallback))
        return fallback + QLatin1Char('/') + kSocketName;
    return {};
}

bool forward(const QString& path, const QStringList& urls, int timeoutMs) {
    if (path.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray message;
    for (const QString& url : urls)
        message += url.toUtf8() + '\n';
    if (!message.isEmpty()) {
        socket.write(message);
        while (socket.bytesToWrite() > 0)
            if (!socket.waitForBytesWritten(timeoutMs))
                return false;
    }
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

} // namespace gui::link_channel

LinkServer::LinkServer(QObject* parent) : QObject(parent), server_(new QLocalServer(this)) {
    // No socket options: with them the socket would be renamed into place over
    // a live one. The folder is private to the user anyway.
    connect(server_, &QLocalServer::newConnection, this, &LinkServer::accept);
}

LinkServer::~LinkServer() {
    server_->close();
}

bool LinkServer::listen(const QString& path) {
    if (path.isEmpty())
        return false;
    // Another window answers there: never take its place.
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(500)) {
        probe.disconnectFromServer();
        return false;
    }
    if (server_->listen(path))
        return true;
    if (server_->serverError() != QAbstractSocket::AddressInUseError)
        return false;
    // Left behind by a window that ended without closing it.
    QLocalServer::removeServer(path);
    return server_->listen(path);
}

QString LinkServer::errorString() const {
    return server_->errorString();
}

void LinkServer::accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        auto* buffer = new QByteArray;
        connect(socket, &QLocalSocket::readyRead, socket, [socket, buffer] {
            *buffer += socket->readAll();
            if (buffer->size() > gui::link_channel::kMaxMessage) {
                buffer->clear();
                socket->setProperty("refused", true);
                socket->abort();
            }
        });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket, buffer] {
            if (socket->isOpen())
                *buffer += socket->readAll();
            const bool refused = socket->property("refused").toBool() ||
                                 buffer->size() > gui::link_channel::kMaxMessage;
            const QByteArray message = *buffer;
            delete buffer;
            socket->deleteLater();
            if (refused)
                return;
            const QList<QByteArray> lines = message.split('\n');
            bool any = false;
            for (const QByteArray& line : lines) {
                const QString url = QString::fromUtf8(line).trimmed();
                if (url.isEmpty())
                    continue;
                any = true;
                emit urlReceived(url);
            }
            if (!any)
                emit activationRequested();
        });
    }
}
