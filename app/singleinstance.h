#pragma once

#include "platform/instancelock.h"

#include <QLocalServer>
#include <QObject>
#include <QString>

class QWindow;

namespace nimbra {

// One running copy per user. The copy that holds the lock listens for later starts; a later start
// asks it to show its window and ends, touching neither the routes nor the core.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Claim
    {
        Primary,
        Secondary,
        LockFailed
    };

    // lockPath: a file in the per-user data folder; the hand-over channel's name is derived from it and
    // lives in the user's private runtime folder (platform::privateRuntimeDirectory).
    explicit SingleInstance(const QString &lockPath, QObject *parent = nullptr);

    // Takes the lock (call before anything that touches routes or the core). LockFailed: error holds
    // the reason; the caller runs on as the only copy, as it cannot tell otherwise.
    Claim claim(QString &error);

    // The primary copy: starts accepting hand-overs. False with the reason in error.
    bool listen(QString &error);

    // A later copy: asks the running one to show its window, waiting at most timeoutMs for its answer.
    // False with the reason in error when it could not be reached.
    bool handOver(QString &error, int timeoutMs = 5000);

    enum class Wait
    {
        HandedOver, // the running copy shows its window
        Primary,    // it ended meanwhile and this copy holds the lock now
        GaveUp,     // still running but not answering after waitMs; error says why
    };

    // A later copy whose running copy may be quitting (its window gone, its routes still being
    // removed): hands over when it answers, else waits for it to end and takes its place.
    Wait handOverOrWait(QString &error, int waitMs = 60000);

    // The primary copy on its way out: later starts stop asking it and wait for the lock instead.
    void stopListening() { m_server.close(); }

    QString serverName() const { return m_serverName; }

    // Shows the window, un-minimised, in front and with the focus.
    static void raiseWindow(QWindow *window);

signals:
    // A later start asked this copy to show itself.
    void activationRequested();

private:
    void serve(class QLocalSocket *socket);

    QString m_lockPath;
    // The hand-over channel (a socket path on Linux); empty with the reason in m_channelError when no
    // private place for it was found.
    QString m_serverName;
    QString m_channelError;
    platform::InstanceLock m_lock;
    QLocalServer m_server;
};

} // namespace nimbra
