#include "app/SingleInstance.h"

#include "platform/Log.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>

#include <unistd.h>

namespace pressling::app {
namespace {

// A hand-over is a few addresses; anything longer is not from Pressling.
constexpr qint64 kMaxHandOverBytes = 64 * 1024;
constexpr int kConnectMilliseconds = 1000;
// How long a launch waits for another that holds the lock to start listening.
constexpr int kStartMilliseconds = 5000;

}  // namespace

SingleInstance::SingleInstance(const std::filesystem::path& dataFolder, QObject* parent)
    : QObject(parent),
      name_(serverName(dataFolder)),
      lock_(QString::fromStdString((dataFolder / "pressling.lock").string())) {
    // Only a lock whose process is gone is stale: a running instance holds it for days.
    lock_.setStaleLockTime(0);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::receive);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName(const std::filesystem::path& dataFolder) {
    std::error_code error;
    auto folder = std::filesystem::weakly_canonical(dataFolder, error);
    if (error) folder = dataFolder;
    const QByteArray digest = QCryptographicHash::hash(QByteArray::fromStdString(folder.string()),
                                                       QCryptographicHash::Sha256)
                                  .toHex()
                                  .left(24);
    return QStringLiteral("pressling-%1-%2").arg(::getuid()).arg(QString::fromLatin1(digest));
}

SingleInstance::Role SingleInstance::start(const QStringList& urls) {
    const QDeadlineTimer deadline(kStartMilliseconds);
    for (;;) {
        if (handOver(urls)) return Role::handedOver;
        if (lock_.tryLock(0)) {
            // Nobody answered and the lock is ours: a socket file left over is a crashed
            // instance's, and would make listen fail.
            QLocalServer::removeServer(name_);
            if (server_.listen(name_)) return Role::running;
            log::error("Cannot listen for other launches: " + server_.errorString().toStdString());
            return Role::failed;
        }
        if (deadline.hasExpired()) {
            log::error("Another Pressling holds " + lock_.fileName().toStdString() +
                       " but does not answer");
            return Role::failed;
        }
        // Another launch holds the lock and is about to listen.
        QThread::msleep(50);
    }
}

bool SingleInstance::handOver(const QStringList& urls) const {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(kConnectMilliseconds)) return false;
    socket.write(urls.join('\n').toUtf8());
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState &&
        !socket.waitForDisconnected(kConnectMilliseconds)) {
        log::error("The running Pressling did not take the addresses");
        return false;
    }
    return true;
}

void SingleInstance::receive() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [socket, buffer] {
            buffer->append(socket->readAll());
            if (buffer->size() > kMaxHandOverBytes) socket->abort();
        });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            socket->deleteLater();
            if (buffer->size() > kMaxHandOverBytes) {
                log::warning("Ignored an oversized hand-over from another launch");
                return;
            }
            emit launched(QString::fromUtf8(*buffer).split('\n', Qt::SkipEmptyParts));
        });
    }
}

}  // namespace pressling::app
