#pragma once

#include "accel/gameroutes.h"
#include "accel/reconnectbudget.h"
#include "accel/throughput.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QVariantList>

#include <atomic>
#include <string>

class SingBoxWorker;

// Runs the acceleration core as a child process and owns the acceleration session: validation and run
// with the configuration served through a pipe, readiness, the game routes, start/stop/restart, and the
// traffic through the core's TUN interface. All process and route work happens in the worker's thread.
class SingBoxManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool running READ running NOTIFY runningChanged)
    Q_PROPERTY(bool starting READ starting NOTIFY startingChanged)
    Q_PROPERTY(QString executablePath READ executablePath WRITE setExecutablePath NOTIFY pathsChanged)
    Q_PROPERTY(QString configPath READ configPath WRITE setConfigPath NOTIFY pathsChanged)
    Q_PROPERTY(QString dataDirectory READ dataDirectory WRITE setDataDirectory NOTIFY pathsChanged)
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)
    Q_PROPERTY(double uploadBytesPerSecond READ uploadBytesPerSecond NOTIFY networkStatsChanged)
    Q_PROPERTY(double downloadBytesPerSecond READ downloadBytesPerSecond NOTIFY networkStatsChanged)
    // Every byte the core's TUN interfaces carried since this manager was made (cores started anew
    // included); a session's share is the difference from its start.
    Q_PROPERTY(double tunnelSentBytes READ tunnelSentBytes NOTIFY networkStatsChanged)
    Q_PROPERTY(double tunnelReceivedBytes READ tunnelReceivedBytes NOTIFY networkStatsChanged)
    Q_PROPERTY(bool autoReconnect READ autoReconnect WRITE setAutoReconnect NOTIFY autoReconnectChanged)

public:
    using RouteEntry = nimbra::accel::RouteEntry;

    explicit SingBoxManager(QObject *parent = nullptr);
    ~SingBoxManager() override;

    bool running() const { return m_running; }
    bool starting() const { return m_starting; }
    // The core's file name on this platform, as the log names it.
    static QString coreName();
    QString executablePath() const { return m_executablePath; }
    void setExecutablePath(const QString &path);
    QString configPath() const { return m_configPath; }
    void setConfigPath(const QString &path);
    QString dataDirectory() const { return m_dataDirectory; }
    void setDataDirectory(const QString &path);
    QString lastError() const { return m_lastError; }
    double uploadBytesPerSecond() const { return m_stats.upload; }
    double downloadBytesPerSecond() const { return m_stats.download; }
    double tunnelSentBytes() const { return static_cast<double>(m_stats.sentTotal); }
    double tunnelReceivedBytes() const { return static_cast<double>(m_stats.receivedTotal); }
    bool autoReconnect() const { return m_autoReconnect; }
    void setAutoReconnect(bool enabled);
    QString tunAddress() const { return m_tunAddress; }
    QByteArray runtimeConfig() const { return m_runtimeConfig; }
    // The service's URL, the one start-up found: no game route may take its address into the tunnel.
    void setServiceUrl(const QString &url) { m_serviceUrl = url; }

    // How long after an unexpected exit the core is started again.
    static constexpr int kReconnectDelayMs = 1000;

    // Where the journal of installed routes lives (the per-user data directory unless set).
    static QString defaultRouteJournalPath();
    // Linux: the network helper that starts the core and changes the routes, beside the executable.
    static QString networkHelperPath();

    Q_INVOKABLE bool start();
    Q_INVOKABLE bool startWithConfig(const QString &configPath);
    Q_INVOKABLE void stop();
    Q_INVOKABLE bool restart();
    Q_INVOKABLE void shutdown();
    Q_INVOKABLE void setRouteIpList(const QVariantList &ipList);
    Q_INVOKABLE bool prepareRuntimeConfig(const QByteArray &json);
    Q_INVOKABLE void clearRuntimeConfig();

signals:
    void runningChanged();
    void startingChanged();
    void pathsChanged();
    void lastErrorChanged();
    void networkStatsChanged();
    void started();
    void stopped(int exitCode, QProcess::ExitStatus exitStatus);
    void startFailed(const QString &message);
    void processError(const QString &message);
    void outputReceived(const QString &text, bool standardError);
    void autoReconnectChanged();
    // The established session's core exited unexpectedly and is started again, with the same
    // configuration and routes, after kReconnectDelayMs; `starting` is true meanwhile.
    void reconnecting(int attempt, int limit, const QString &reason);
    // The exit past the budget: the session ends, `lastError` says why.
    void reconnectAbandoned(const QString &message);
    // Each start carries its own generation: results of an older start are recognised as such.
    void startRequested(const QString &program, const QStringList &arguments, const QString &workingDirectory,
                        const QByteArray &configJson, quint64 generation);
    void stopRequested();

private slots:
    void workerStarted(quint64 generation);
    void routeInstallFinished(quint64 generation, bool success, const QString &errorMessage);
    void workerFinished(quint64 generation, int exitCode, QProcess::ExitStatus exitStatus, bool wasRunning);
    void workerStartFailed(quint64 generation, const QString &message);
    void deliverOutput(quint64 generation, const QString &text, bool standardError);
    void workerProcessError(const QString &message);
    void updateNetworkStats();

private:
    void beginRouteInstall();
    bool beginStart();
    void cancelCurrent();
    void setLastError(const QString &message);
    void setRunning(bool running);
    void setStarting(bool starting);
    bool reconnectAfter(const QString &reason);
    static QString displayPath(const QString &path);

    QThread m_thread;
    SingBoxWorker *m_worker = nullptr;
    QString m_executablePath;
    QString m_configPath;
    QString m_dataDirectory;
    QByteArray m_runtimeConfig;
    QString m_serviceUrl;
    QString m_lastError;
    bool m_running = false;
    bool m_starting = false;
    // A stop of the established session was requested and its core has not exited yet.
    bool m_stopping = false;
    bool m_forwardOutput = true;
    // The generation of the last start issued; 0 before the first.
    quint64 m_generation = 0;
    // The generation that may go on (0: none). Stop, restart and shutdown clear it, which is the cancel
    // request the worker reads between its steps; a newer start replaces it.
    std::atomic<quint64> m_liveGeneration = 0;
    QVariantList m_pendingRouteList;
    QVariantList m_sessionRouteList;
    QString m_tunAddress;
    QString m_sessionGateway;
    QStringList m_sessionKeepOut;

    bool m_autoReconnect = false;
    nimbra::accel::ReconnectBudget m_reconnectBudget;
    QElapsedTimer m_reconnectClock;
    QTimer m_reconnectTimer;

    QTimer m_statsTimer;
    QElapsedTimer m_statsClock;
    nimbra::accel::ThroughputState m_stats;
    // The TUN interface of the last start's configuration.
    std::string m_tunnelName;
};
