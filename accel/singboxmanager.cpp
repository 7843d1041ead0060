#include "accel/singboxmanager.h"

#include "accel/runtimeconfig.h"
#include "accel/singboxworker.h"
#include "platform/netcounters.h"
#include "platform/netpolicy.h"
#include "platform/routecommand.h"
#include "state/globaldata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace {

QString cleanPath(const QString &path)
{
    return QDir::fromNativeSeparators(path.trimmed());
}

QString unexpectedExitMessage(int exitCode, QProcess::ExitStatus exitStatus)
{
    if (exitStatus == QProcess::NormalExit)
        return QStringLiteral("nimbra-server 在加速期间意外退出（代码 %1）").arg(exitCode);
#ifdef Q_OS_WIN
    // The exception status that ended it (0xC0000005 and the like).
    return QStringLiteral("nimbra-server 在加速期间异常退出（代码 0x%1）")
        .arg(QString::number(static_cast<quint32>(exitCode), 16).toUpper());
#else
    return QStringLiteral("nimbra-server 在加速期间异常退出（信号 %1）").arg(exitCode);
#endif
}

#ifndef Q_OS_WIN
// The configuration with its TUN inbound on this user's own interface and address, which the network
// helper insists on; unchanged when it is not a JSON object (the helper then refuses it).
QByteArray onOwnTunnel(const QByteArray &config, const QString &name, const QString &address)
{
    QJsonDocument document = QJsonDocument::fromJson(config);
    if (!document.isObject())
        return config;
    QJsonObject root = document.object();
    QJsonArray inbounds = root.value(QStringLiteral("inbounds")).toArray();
    for (QJsonValueRef value : inbounds) {
        QJsonObject inbound = value.toObject();
        if (inbound.value(QStringLiteral("type")).toString() != QLatin1String("tun"))
            continue;
        inbound.insert(QStringLiteral("interface_name"), name);
        inbound.insert(QStringLiteral("address"),
                       QJsonArray{address + QStringLiteral("/%1").arg(nimbra::platform::kTunPrefixLength)});
        value = inbound;
    }
    root.insert(QStringLiteral("inbounds"), inbounds);
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}
#endif

// The name the core gives its TUN interface: the first `tun` inbound's interface_name; empty when none.
QString tunnelInterfaceName(const QByteArray &config)
{
    const QJsonArray inbounds =
        QJsonDocument::fromJson(config).object().value(QStringLiteral("inbounds")).toArray();
    for (const QJsonValue &value : inbounds) {
        const QJsonObject inbound = value.toObject();
        if (inbound.value(QStringLiteral("type")).toString() == QLatin1String("tun"))
            return inbound.value(QStringLiteral("interface_name")).toString();
    }
    return {};
}

// The addresses no game route may take into the tunnel: the node's servers, which the core reaches
// outside it, and the service's (where given as IPv4 addresses; host names are not looked up).
QStringList keepOutAddresses(const QByteArray &config, const QString &serviceUrl)
{
    QStringList addresses;
    const auto add = [&addresses](const QString &text) {
        if (nimbra::platform::parseIPv4(text.trimmed().toStdString()) && !addresses.contains(text.trimmed()))
            addresses.append(text.trimmed());
    };
    const QJsonArray outbounds =
        QJsonDocument::fromJson(config).object().value(QStringLiteral("outbounds")).toArray();
    for (const QJsonValue &outbound : outbounds)
        add(outbound.toObject().value(QStringLiteral("server")).toString());
    add(QUrl(serviceUrl).host());
    return addresses;
}

} // namespace

QString SingBoxManager::coreName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("nimbra-server.exe");
#else
    return QStringLiteral("nimbra-server");
#endif
}

SingBoxManager::SingBoxManager(QObject *parent)
    : QObject(parent)
    , m_executablePath(
          QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("data/") + coreName()))
    , m_configPath(nimbra::accel::kRuntimeConfigTemplatePath)
    , m_dataDirectory(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("data")))
{
    m_worker = new SingBoxWorker(&m_liveGeneration, defaultRouteJournalPath(), networkHelperPath());
    m_thread.setObjectName(QStringLiteral("SingBoxManager worker"));
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::started, m_worker, &SingBoxWorker::initialize);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &SingBoxWorker::coreStarted, this, &SingBoxManager::workerStarted,
            Qt::QueuedConnection);
    connect(m_worker, &SingBoxWorker::startFailed, this, &SingBoxManager::workerStartFailed,
            Qt::QueuedConnection);
    connect(m_worker, &SingBoxWorker::routesInstalled, this, &SingBoxManager::routeInstallFinished,
            Qt::QueuedConnection);
    connect(m_worker, &SingBoxWorker::coreFinished, this, &SingBoxManager::workerFinished,
            Qt::QueuedConnection);
    connect(m_worker, &SingBoxWorker::output, this, &SingBoxManager::deliverOutput, Qt::QueuedConnection);
    connect(m_worker, &SingBoxWorker::processError, this, &SingBoxManager::workerProcessError,
            Qt::QueuedConnection);
    connect(this, &SingBoxManager::startRequested, m_worker, &SingBoxWorker::start, Qt::QueuedConnection);
    connect(this, &SingBoxManager::stopRequested, m_worker, &SingBoxWorker::stopCore, Qt::QueuedConnection);
    m_thread.start(QThread::InheritPriority);

    m_reconnectClock.start();
    m_reconnectTimer.setSingleShot(true);
    m_reconnectTimer.setInterval(kReconnectDelayMs);
    connect(&m_reconnectTimer, &QTimer::timeout, this, [this] {
        if (m_starting)
            beginStart();
    });

    m_statsTimer.setInterval(1000);
    connect(&m_statsTimer, &QTimer::timeout, this, &SingBoxManager::updateNetworkStats);
    updateNetworkStats();
    m_statsTimer.start();
}

SingBoxManager::~SingBoxManager()
{
    shutdown();
    m_thread.quit();
    m_thread.wait();
}

QString SingBoxManager::defaultRouteJournalPath()
{
    return QDir(GlobalData::dataDirectory()).filePath(QStringLiteral("route_journal.json"));
}

QString SingBoxManager::networkHelperPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("nimbra-net"));
}

QString SingBoxManager::displayPath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

void SingBoxManager::setExecutablePath(const QString &path)
{
    const QString cleaned = cleanPath(path);
    if (cleaned.isEmpty() || cleaned == m_executablePath)
        return;
    m_executablePath = cleaned;
    emit pathsChanged();
}

void SingBoxManager::setConfigPath(const QString &path)
{
    const QString cleaned = cleanPath(path);
    if (cleaned.isEmpty() || cleaned == m_configPath)
        return;
    m_configPath = cleaned;
    emit pathsChanged();
}

void SingBoxManager::setDataDirectory(const QString &path)
{
    const QString cleaned = cleanPath(path);
    if (cleaned.isEmpty() || cleaned == m_dataDirectory)
        return;
    m_dataDirectory = cleaned;
    emit pathsChanged();
}

void SingBoxManager::setAutoReconnect(bool enabled)
{
    if (m_autoReconnect == enabled)
        return;
    m_autoReconnect = enabled;
    emit autoReconnectChanged();
}

void SingBoxManager::setLastError(const QString &message)
{
    if (m_lastError == message)
        return;
    m_lastError = message;
    emit lastErrorChanged();
}

void SingBoxManager::setRunning(bool running)
{
    if (m_running == running)
        return;
    m_running = running;
    emit runningChanged();
}

void SingBoxManager::setStarting(bool starting)
{
    if (m_starting == starting)
        return;
    m_starting = starting;
    emit startingChanged();
}

bool SingBoxManager::start()
{
    return startWithConfig(QString());
}

bool SingBoxManager::startWithConfig(const QString &configPath)
{
    // A session whose stop is under way no longer counts: the new start waits for its core to exit.
    if (m_starting || (m_running && !m_stopping))
        return true;

    // A start the user asked for: earlier crashes no longer count against the reconnect budget.
    m_reconnectBudget.reset();
    const QString requested = configPath.trimmed();
    if (!requested.isEmpty()) {
        setConfigPath(requested);
        m_runtimeConfig.clear();
    }
    return beginStart();
}

bool SingBoxManager::beginStart()
{
    const auto fail = [this](const QString &message) {
        setStarting(false);
        setLastError(message);
        emit startFailed(message);
        return false;
    };
    if (m_runtimeConfig.isEmpty()) {
        QFile file(m_configPath);
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("无法读取 nimbra-server 配置：") + displayPath(m_configPath));
        m_runtimeConfig = file.readAll();
    }
    const QFileInfo executable(m_executablePath);
    if (!executable.exists() || !executable.isFile())
        return fail(QStringLiteral("未找到加速内核 ") + coreName() + QStringLiteral("：") +
                    displayPath(m_executablePath));
    if (m_runtimeConfig.isEmpty() && !QFile::exists(m_configPath))
        return fail(QStringLiteral("未找到 nimbra-server 内置配置模板"));
    if (!QDir().mkpath(m_dataDirectory))
        return fail(QStringLiteral("无法创建 nimbra-server 数据目录：") + displayPath(m_dataDirectory));
#ifndef Q_OS_WIN
    // The client holds no privilege: the network helper starts the core and changes the routes.
    const QFileInfo helper(networkHelperPath());
    if (!helper.exists())
        return fail(QStringLiteral("未找到网络助手 nimbra-net：%1，请重新安装 Nimbra")
                        .arg(displayPath(helper.filePath())));
    if (!helper.isExecutable()) {
        const QString message =
            QStringLiteral(
                "需要加入 nimbra 用户组才能加速：请执行 sudo usermod -aG nimbra %1，然后注销并重新登录")
                .arg(qEnvironmentVariable("USER", QStringLiteral("$USER")));
        qWarning().noquote() << QStringLiteral("[Accelerator] ") + message;
        return fail(message);
    }
    const std::uint32_t uid = nimbra::platform::currentUserId();
    m_tunAddress = QString::fromStdString(nimbra::platform::formatIPv4(nimbra::platform::tunAddress(uid)));
    m_runtimeConfig = onOwnTunnel(
        m_runtimeConfig, QString::fromStdString(nimbra::platform::tunInterfaceName(uid)), m_tunAddress);
    const QString program = helper.filePath();
    const QStringList arguments{QStringLiteral("core"), QStringLiteral("run"), QStringLiteral("-c"),
                                QStringLiteral("<memory>")};
#else
    const QString program = m_executablePath;
    const QStringList arguments{QStringLiteral("run"), QStringLiteral("-c"), QStringLiteral("<memory>")};
#endif

    setLastError(QString());
    m_forwardOutput = true;
    m_generation += 1;
    m_liveGeneration = m_generation;
    m_sessionRouteList = m_pendingRouteList;
    m_sessionGateway = m_tunAddress;
    m_sessionKeepOut = keepOutAddresses(m_runtimeConfig, m_serviceUrl);
    m_tunnelName = tunnelInterfaceName(m_runtimeConfig).toStdString();
    setStarting(true);
    emit startRequested(program, arguments, executable.absolutePath(), m_runtimeConfig, m_generation);
    return true;
}

void SingBoxManager::cancelCurrent()
{
    m_reconnectTimer.stop();
    m_forwardOutput = false;
    m_liveGeneration = 0;
    if (m_running)
        m_stopping = true;
    emit stopRequested();
}

void SingBoxManager::stop()
{
    if (!m_running && !m_starting)
        return;
    // Waiting to reconnect, no core runs: nothing will report an exit that would drop the configuration.
    if (m_reconnectTimer.isActive())
        m_runtimeConfig.clear();
    cancelCurrent();
    setStarting(false);
}

bool SingBoxManager::restart()
{
    if (!m_running && !m_starting)
        return start();
    // The new start is issued at once with the same configuration; the worker holds it until the
    // current core has exited, and whatever the old start still reports is recognised as old.
    cancelCurrent();
    return beginStart();
}

void SingBoxManager::shutdown()
{
    m_reconnectTimer.stop();
    m_liveGeneration = 0;
    if (m_thread.isRunning() && m_worker)
        QMetaObject::invokeMethod(m_worker, &SingBoxWorker::shutdownNow, Qt::BlockingQueuedConnection);
    m_stopping = false;
    setStarting(false);
    setRunning(false);
    m_runtimeConfig.clear();
}

void SingBoxManager::setRouteIpList(const QVariantList &ipList)
{
    m_pendingRouteList = ipList;
}

bool SingBoxManager::prepareRuntimeConfig(const QByteArray &json)
{
    const nimbra::accel::RuntimeConfigResult result = nimbra::accel::buildRuntimeConfigFromJson(json);
    for (const QString &line : result.logLines)
        qInfo().noquote() << line;
    if (!result.ok) {
        setLastError(result.errorMessage);
        return false;
    }
    m_runtimeConfig = result.compactJson;
    m_tunAddress = result.tunAddress;
    return true;
}

void SingBoxManager::clearRuntimeConfig()
{
    m_runtimeConfig.clear();
}

void SingBoxManager::beginRouteInstall()
{
    QMetaObject::invokeMethod(
        m_worker,
        [worker = m_worker, generation = m_generation, list = m_sessionRouteList, gateway = m_sessionGateway,
         keepOut = m_sessionKeepOut] { worker->installRoutes(generation, list, gateway, keepOut); },
        Qt::QueuedConnection);
}

void SingBoxManager::workerStarted(quint64 generation)
{
    // An older start's core: it was told to stop when that start was cancelled or replaced.
    if (generation != m_generation)
        return;
    if (m_starting) {
        beginRouteInstall();
        return;
    }
    // The start was cancelled while the core came up: stop the late core the normal way.
    setRunning(true);
    m_stopping = true;
    emit stopRequested();
}

void SingBoxManager::routeInstallFinished(quint64 generation, bool success, const QString &errorMessage)
{
    if (generation != m_generation || !m_starting)
        return;
    setStarting(false);
    if (success) {
        setLastError(QString());
        setRunning(true);
        QMetaObject::invokeMethod(
            m_worker, [worker = m_worker, generation] { worker->markRunning(generation); },
            Qt::QueuedConnection);
        emit started();
        return;
    }
    const QString message = errorMessage.isEmpty() ? QStringLiteral("游戏路由添加失败") : errorMessage;
    setLastError(message);
    m_liveGeneration = 0;
    emit stopRequested();
    emit startFailed(message);
}

void SingBoxManager::workerFinished(quint64 generation, int exitCode, QProcess::ExitStatus exitStatus,
                                    bool wasRunning)
{
    if (generation != m_generation) {
        // The core of a session that a newer start replaced: only its end is reported.
        if (m_running) {
            m_stopping = false;
            setRunning(false);
            emit stopped(exitCode, exitStatus);
        }
        return;
    }

    if (m_starting) {
        setStarting(false);
        const bool hadRunning = m_running;
        setRunning(false);
        if (hadRunning) {
            emit stopped(exitCode, exitStatus);
        } else {
            const QString message =
                exitStatus == QProcess::CrashExit
                    ? QStringLiteral("nimbra-server 在建立加速通道时异常退出")
                    : QStringLiteral("nimbra-server 在建立加速通道前已退出（代码 %1）").arg(exitCode);
            setLastError(message);
            m_runtimeConfig.clear();
            emit startFailed(message);
        }
    } else if (m_running || wasRunning) {
        // Nobody asked this core to go: a crash, a kill or an exit of its own ends the acceleration,
        // unless it may be rebuilt.
        const bool unexpected = !m_stopping && m_liveGeneration == generation;
        QString message;
        if (unexpected) {
            message = unexpectedExitMessage(exitCode, exitStatus);
            qWarning().noquote() << QStringLiteral("[Accelerator] ") + message;
            setLastError(message);
        }
        setRunning(false);
        emit stopped(exitCode, exitStatus);
        if (unexpected && m_autoReconnect && reconnectAfter(message)) {
            m_stopping = false;
            return;
        }
    }
    m_stopping = false;
    if (!m_running && !m_starting)
        m_runtimeConfig.clear();
}

bool SingBoxManager::reconnectAfter(const QString &reason)
{
    const int attempt = m_reconnectBudget.recordCrash(m_reconnectClock.elapsed());
    const int limit = m_reconnectBudget.limit();
    if (attempt == 0) {
        const QString message =
            QStringLiteral("加速通道一分钟内第 %1 次异常断开，已停止自动重连，加速已结束").arg(limit + 1);
        qWarning().noquote() << QStringLiteral("[Accelerator] ") + message;
        setLastError(message);
        emit reconnectAbandoned(message);
        return false;
    }
    qWarning().noquote() << QStringLiteral(
                                "[Accelerator] 断线自动重连 %1/%2：%3 ms 后以相同配置和路由重启内核")
                                .arg(attempt)
                                .arg(limit)
                                .arg(kReconnectDelayMs);
    // The configuration and the route list stay as they are; the timer's start reuses both.
    setStarting(true);
    m_reconnectTimer.start();
    emit reconnecting(attempt, limit, reason);
    return true;
}

void SingBoxManager::workerStartFailed(quint64 generation, const QString &message)
{
    if (generation != m_generation)
        return;
    if (m_starting)
        setStarting(false);
    else if (!m_running)
        return;
    setLastError(message);
    setRunning(false);
    m_runtimeConfig.clear();
    emit startFailed(message);
}

void SingBoxManager::workerProcessError(const QString &message)
{
    setLastError(message);
    emit processError(message);
}

void SingBoxManager::deliverOutput(quint64 generation, const QString &text, bool standardError)
{
    if (generation == m_generation && m_forwardOutput && !text.isEmpty())
        emit outputReceived(text, standardError);
}

void SingBoxManager::updateNetworkStats()
{
    // Only the core's own interface, and only while a core is meant to run: the acceleration's traffic.
    std::optional<nimbra::accel::ByteCounters> totals;
    if ((m_running || m_starting) && !m_tunnelName.empty()) {
        if (const auto read = nimbra::platform::readInterfaceByteTotals(m_tunnelName))
            totals = nimbra::accel::ByteCounters{read->sent, read->received};
    }
    std::optional<qint64> interval;
    if (totals) {
        if (m_statsClock.isValid())
            interval = m_statsClock.restart();
        else
            m_statsClock.start();
    }
    if (nimbra::accel::applyThroughputSample(m_stats, totals, interval))
        emit networkStatsChanged();
}
