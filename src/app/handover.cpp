#include "app/handover.h"

#include <sys/un.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>

#include "platform/folder.h"

namespace tovrin {

namespace {

const QByteArray kRaise = "raise\n";
const QByteArray kRaised = "raised\n";

// How long a start keeps trying to reach a till that may have just taken
// the lock and not yet be listening.
constexpr int kConnectMs = 2000;

// A socket path the system can take (sun_path holds 108 bytes with its end).
bool fitsSocket(const QString& path) {
    return QFile::encodeName(path).size() < qsizetype(sizeof(sockaddr_un::sun_path));
}

// The socket beside the folder's lock; empty when its path is too long.
QString socketBeside(const QString& folder) {
    const QString beside = folderFile(folder, Handover::kSocketName);
    return fitsSocket(beside) ? beside : QString();
}

// The socket in the user's runtime folder, named from the folder's path;
// empty when there is no runtime folder or the path is too long.
QString socketInRuntime(const QString& folder) {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty()) return {};
    const QByteArray id =
        QCryptographicHash::hash(QFile::encodeName(QDir(folder).canonicalPath()), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    const QString elsewhere =
        runtime + QStringLiteral("/tovrin-") + QString::fromLatin1(id) + QStringLiteral(".socket");
    return fitsSocket(elsewhere) ? elsewhere : QString();
}

int remaining(const QDeadlineTimer& deadline) { return int(std::max<qint64>(1, deadline.remainingTime())); }

// Takes the name, or a stale socket left there by a till that ended without
// removing it: a socket nobody answers on.
bool listenAt(QLocalServer& server, const QString& name) {
    if (server.listen(name)) return true;
    if (server.serverError() != QAbstractSocket::AddressInUseError) return false;
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500)) return false;
    QLocalServer::removeServer(name);
    return server.listen(name);
}

}  // namespace

QStringList Handover::socketNames(const QString& folder) {
    QStringList names;
    for (const QString& name : {socketBeside(folder), socketInRuntime(folder)}) {
        if (!name.isEmpty()) names << name;
    }
    return names;
}

bool Handover::toRunning(const QString& folder, int replyMs) {
    const QStringList names = socketNames(folder);
    const QDeadlineTimer connecting(kConnectMs);
    do {
        for (const QString& name : names) {
            QLocalSocket socket;
            socket.connectToServer(name);
            if (!socket.waitForConnected(remaining(connecting))) continue;
            // The till answers between its events: a box it shows holds
            // the answer up no longer than the box's own event loop does.
            const QDeadlineTimer replying(replyMs);
            socket.write(kRaise);
            while (!socket.canReadLine() && !replying.hasExpired() &&
                   socket.waitForReadyRead(remaining(replying))) {
            }
            return socket.canReadLine() && socket.readLine() == kRaised;
        }
        QThread::msleep(50);
    } while (!connecting.hasExpired());
    return false;
}

Handover::Handover(const QString& folder, QObject* parent)
    : QObject(parent), server_(new QLocalServer(this)) {
    // The runtime folder is looked up only when the place beside the lock
    // cannot be had: on most starts it is not needed at all.
    const QString beside = socketBeside(folder);
    if (beside.isEmpty() || !listenAt(*server_, beside)) {
        const QString elsewhere = socketInRuntime(folder);
        if (!elsewhere.isEmpty()) listenAt(*server_, elsewhere);
    }
    connect(server_, &QLocalServer::newConnection, this, &Handover::serve);
}

Handover::~Handover() { server_->close(); }

bool Handover::listening() const { return server_->isListening(); }

void Handover::serve() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) return;
            if (socket->readLine() == kRaise) {
                if (window_) bringForward(window_);
                socket->write(kRaised);
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}

void bringForward(QWidget* window) {
    if (window->isMinimized()) window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
    // A box open over the window holds the input; it comes forward with it.
    if (QWidget* box = QApplication::activeModalWidget(); box && box != window) {
        box->raise();
        box->activateWindow();
    }
}

}  // namespace tovrin
