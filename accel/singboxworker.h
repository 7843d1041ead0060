#pragma once

#include "accel/gameroutes.h"
#include "platform/killonclose.h"
#include "platform/routecommand.h"

#include <QtGlobal>
#ifdef Q_OS_WIN
#include "platform/childprocess.h"
#endif

#include <QObject>
#include <QProcess>
#include <QTimer>
#include <QVariantList>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

// The supervisor's hands, living in the worker thread: the core process, the validator, the pipes, the
// job object, the timers and every route command. Results go back as signals, which the manager
// receives queued in its own thread; each carries the generation of the start it belongs to.
class SingBoxWorker : public QObject
{
    Q_OBJECT

public:
    static constexpr int kStartTimeoutMs = 8000;
    static constexpr int kForceKillMs = 250;
    static constexpr int kFlushMs = 100;
    static constexpr qsizetype kScanWindow = 16384;
    static constexpr qsizetype kPendingLimit = 65536;
    // Windows: how often the core's pipes and exit are looked at.
    static constexpr int kPollMs = 50;

    SingBoxWorker(const std::atomic<quint64> *liveGeneration, const QString &journalPath,
                  const QString &helperPath);
    ~SingBoxWorker() override;

public slots:
    void initialize();
    void start(const QString &program, const QStringList &arguments, const QString &workingDirectory,
               const QByteArray &config, quint64 generation);
    void stopCore();
    void installRoutes(quint64 generation, const QVariantList &ipList, const QString &gateway,
                       const QStringList &keepOut);
    void shutdownNow();
    void markRunning(quint64 generation);

signals:
    // The core said it is up; its routes are not installed yet.
    void coreStarted(quint64 generation);
    void startFailed(quint64 generation, const QString &message);
    // The answer to installRoutes: success, or the reason it failed.
    void routesInstalled(quint64 generation, bool success, const QString &error);
    // The core exited; wasRunning when its session had been established.
    void coreFinished(quint64 generation, int exitCode, QProcess::ExitStatus exitStatus, bool wasRunning);
    void output(quint64 generation, const QString &text, bool standardError);
    // A process error other than a failed start or a crash (those end as startFailed or coreFinished).
    void processError(const QString &message);

private:
    struct StartRequest
    {
        QString program;
        QStringList arguments;
        QString workingDirectory;
        QByteArray config;
        quint64 generation = 0;
    };

    bool cancelled(quint64 generation) const { return m_liveGeneration->load() != generation; }
    void runStart(const StartRequest &request);
    // Empty when the core at program is new enough for the configuration format; otherwise the reason.
    QString checkCoreVersion(const QString &program, const QString &workingDirectory);
    void reportStartFailure(quint64 generation, const QString &message);
    void handleOutput(QProcess::ProcessChannel channel, const QByteArray &bytes);
    void flushOutput();
    void handleFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void handleStartTimeout();
    // The core process: started and its exit not yet handled.
    bool coreRunning() const;
    void terminateCore();
    void killCore();
    // True when the core has ended within timeoutMs (its exit handled then).
    bool waitForCore(int timeoutMs);
#ifdef Q_OS_WIN
    void pollCore();
    // Starts a child in the job with the fixed environment; false with error when it did not start.
    bool startChild(nimbra::platform::ChildProcess &child, const QString &program,
                    const QStringList &arguments, const QString &workingDirectory, bool mergedOutput,
                    QString &error);
#else
    void handleStarted();
    void handleError(QProcess::ProcessError error);
    void prepareChild(QProcess &process);
#endif

    // One route's result: empty error when done; output is what a route command printed, if any.
    struct RouteOutcome
    {
        QString error;
        QString output;
    };

    bool addRoutes(const QVariantList &ipList, const QString &gateway, const QStringList &keepOut,
                   QString &error);
    void removeRoutes();
    void removeLeftoverRoutes();
    // The routes as one batch, in order (Linux: one run of the network helper, keepOut naming the
    // addresses it must refuse to route); one outcome per route tried (adding stops at a failure,
    // deleting reports every route).
    QList<RouteOutcome> changeRoutes(nimbra::platform::RouteChange change,
                                     const QList<nimbra::accel::RouteEntry> &routes,
                                     const QStringList &keepOut = {});
    // The user's own folder for the configuration pipe (platform::ConfigPipe::create), made private.
    std::string pipeFolder() const;
#ifndef Q_OS_WIN
    // Runs the network helper with input on its standard input; its exit code, or -1 with error set
    // when it did not start or finish.
    int runHelper(const QStringList &arguments, const QByteArray &input, QString &output, QString &error);
    static QProcessEnvironment childEnvironment();
#endif
    bool runRouteCommand(const QString &program, const QStringList &arguments, QString &output,
                         QString &error);

    const std::atomic<quint64> *m_liveGeneration;
    // The start the core process belongs to, and a start waiting for that core to exit.
    quint64 m_coreGeneration = 0;
    std::optional<StartRequest> m_heldStart;
#ifdef Q_OS_WIN
    nimbra::platform::ChildProcess m_core;
    QTimer *m_pollTimer = nullptr;
    // The core was ended because a stop asked for it (terminateCore).
    bool m_endRequested = false;
#else
    QProcess *m_process = nullptr;
#endif
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
    // The core executable (path, size, modification time) whose version was last found new enough.
    QString m_acceptedCore;
    nimbra::accel::RouteJournal m_journal;
    QString m_helperPath;
    QString m_pipeFolder;
};
