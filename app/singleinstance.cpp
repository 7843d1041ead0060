#include "app/singleinstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>
#include <QWindow>

namespace nimbra {
namespace {

const QByteArray kShowRequest = QByteArrayLiteral("show\n");
const QByteArray kShowAnswer = QByteArrayLiteral("ok\n");

} // namespace

SingleInstance::SingleInstance(const QString &lockPath, QObject *parent)
    : QObject(parent)
    , m_lockPath(lockPath)
{
    const QString name = QStringLiteral("nimbra-") +
                         QString::fromLatin1(QCryptographicHash::hash(QDir::cleanPath(lockPath).toUtf8(),
                                                                      QCryptographicHash::Sha256)
                                                 .toHex()
                                                 .left(24));
    // In a folder no other user can write to (the runtime folder, else the data folder the lock is in):
    // a name in the shared temporary folder could be taken by anyone first, leaving this copy unable
    // to listen and later copies talking to a stranger.
    std::string error;
    const std::string directory =
        platform::privateRuntimeDirectory(QFileInfo(lockPath).absolutePath().toStdString(), error);
    if (!directory.empty())
        m_serverName = QDir(QString::fromStdString(directory)).filePath(name);
    else if (error.empty())
        m_serverName = name;
    else
        m_channelError = QString::fromStdString(error);

    // Only this user may ask this copy to show itself.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server.nextPendingConnection())
            serve(socket);
    });
}

SingleInstance::Claim SingleInstance::claim(QString &error)
{
    std::string reason;
    switch (m_lock.acquire(QDir::toNativeSeparators(m_lockPath).toStdString(), reason)) {
    case platform::InstanceLock::Result::Acquired:
        return Claim::Primary;
    case platform::InstanceLock::Result::HeldElsewhere:
        return Claim::Secondary;
    case platform::InstanceLock::Result::Failed:
        break;
    }
    error = QString::fromStdString(reason);
    return Claim::LockFailed;
}

bool SingleInstance::listen(QString &error)
{
    if (m_serverName.isEmpty()) {
        error = m_channelError;
        return false;
    }
    // Holding the lock, any channel left under this name belongs to a copy that is gone.
    QLocalServer::removeServer(m_serverName);
    if (m_server.listen(m_serverName))
        return true;
    error = m_server.errorString();
    return false;
}

void SingleInstance::serve(QLocalSocket *socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (!platform::peerIsCurrentUser(socket->socketDescriptor())) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        // One short line; anything longer or different is not ours and is dropped.
        if (!socket->canReadLine()) {
            if (socket->bytesAvailable() > kShowRequest.size())
                socket->abort();
            return;
        }
        const bool show = socket->readLine(kShowRequest.size() + 1) == kShowRequest;
        if (show)
            socket->write(kShowAnswer);
        socket->disconnectFromServer();
        if (show)
            emit activationRequested();
    });
}

bool SingleInstance::handOver(QString &error, int timeoutMs)
{
    if (m_serverName.isEmpty()) {
        error = m_channelError;
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    // The running copy may still be starting and not listen yet: retry until the deadline.
    while (true) {
        QLocalSocket socket;
        socket.connectToServer(m_serverName);
        if (socket.waitForConnected(int(qMax<qint64>(1, deadline.remainingTime())))) {
            if (!platform::peerIsCurrentUser(socket.socketDescriptor())) {
                error = QStringLiteral("%1 is served by another user").arg(m_serverName);
                return false;
            }
            socket.write(kShowRequest);
            QByteArray answer;
            while (!answer.endsWith('\n') &&
                   socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
                answer += socket.readAll();
            if (answer == kShowAnswer)
                return true;
            error = answer.isEmpty() ? socket.errorString() : QStringLiteral("unexpected answer");
            return false;
        }
        error = socket.errorString();
        if (deadline.hasExpired())
            return false;
        QThread::msleep(100);
    }
}

SingleInstance::Wait SingleInstance::handOverOrWait(QString &error, int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    bool announced = false;
    while (true) {
        if (handOver(error, 1000))
            return Wait::HandedOver;
        QString lockError;
        if (claim(lockError) == Claim::Primary)
            return Wait::Primary;
        if (deadline.hasExpired())
            return Wait::GaveUp;
        if (!announced) {
            qInfo().noquote() << QStringLiteral("[APP] Nimbra 已在运行但没有响应（可能正在退出）：%1；"
                                                "等待其结束后再打开")
                                     .arg(error);
            announced = true;
        }
        QThread::msleep(200);
    }
}

void SingleInstance::raiseWindow(QWindow *window)
{
    if (!window)
        return;
    if (window->windowStates() & Qt::WindowMinimized)
        window->setWindowStates(window->windowStates() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->requestActivate();
}

} // namespace nimbra
