#pragma once

#include "accel/gameroutes.h"
#include "platform/killonclose.h"

#include <QObject>
#include <QProcess>
#include <QTimer>
#include <QVariantList>

#include <atomic>
#include <memory>

class SingBoxManager;

// The supervisor's hands, living in the worker thread: the core process, the validator, the pipes, the
// job object, the timers and every route command. Results go back to the manager as queued calls.
class SingBoxWorker : public QObject
{
    Q_OBJECT

public:
    static constexpr int kStartTimeoutMs = 8000;
    static constexpr int kForceKillMs = 250;
    static constexpr int kFlushMs = 100;
    static constexpr qsizetype kScanWindow = 16384;
    static constexpr qsizetype kPendingLimit = 65536;

    SingBoxWorker(SingBoxManager *manager, const std::atomic_bool *cancelRequested,
                  const QString &journalPath);
    ~SingBoxWorker() override;

public slots:
    void initialize();
    void start(const QString &program, const QStringList &arguments, const QString &workingDirectory,
               const QByteArray &config);
    void stopCore();
    void installRoutes(const QVariantList &ipList, const QString &gateway);
    void shutdownNow();
    void markRunning();

private:
    void reportStartFailure(const QString &message);
    void handleOutput(QProcess::ProcessChannel channel);
    void flushOutput();
    void handleStarted();
    void handleFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void handleError(QProcess::ProcessError error);
    void handleStartTimeout();
    void prepareChild(QProcess &process);

    bool addRoutes(const QVariantList &ipList, const QString &gateway, QString &error);
    void removeRoutes();
    void removeLeftoverRoutes();
    bool runRouteCommand(const QString &program, const QStringList &arguments, QString &output,
                         QString &error);
    bool deleteRoute(const nimbra::accel::RouteEntry &entry, QString &output, QString &error);

    SingBoxManager *m_manager;
    const std::atomic_bool *m_cancelRequested;
    QProcess *m_process = nullptr;
    QTimer *m_forceKillTimer = nullptr;
    QTimer *m_flushTimer = nullptr;
    QTimer *m_startTimeoutTimer = nullptr;
    QString m_pendingStdout;
    QString m_pendingStderr;
    QString m_scanText;
    bool m_ready = false;
    bool m_wasRunning = false;
    std::unique_ptr<nimbra::platform::KillOnCloseJob> m_job;
    QList<nimbra::accel::RouteEntry> m_installedRoutes;
    nimbra::accel::RouteJournal m_journal;
};
