#include "accel/singboxworker.h"

#include "accel/coreversion.h"
#include "platform/configpipe.h"
#include "platform/netpolicy.h"
#include "platform/routecommand.h"
#include "state/storedfiles.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstring>
#include <string_view>
#include <utility>

using nimbra::accel::RouteEntry;
namespace platform = nimbra::platform;

namespace {

std::string_view bytesView(const QByteArray &bytes)
{
    return {bytes.constData(), static_cast<size_t>(bytes.size())};
}

QString fromStd(const std::string &text)
{
    return QString::fromStdString(text);
}

void keepTail(QString &text, qsizetype limit)
{
    if (text.size() > limit)
        text.remove(0, text.size() - limit);
}

// The stand-in core's failure modes and the version it plays, for tests: the only variables of the
// client's own that the core sees, as NAME and value.
QList<std::pair<QString, QString>> stubCoreVariables()
{
    QList<std::pair<QString, QString>> variables;
    for (const QString &name :
         {QStringLiteral("NIMBRA_STUB_CORE_MODE"), QStringLiteral("NIMBRA_STUB_CORE_VERSION")}) {
        if (const QString value = qEnvironmentVariable(name.toLatin1().constData()); !value.isEmpty())
            variables.append({name, value});
    }
    return variables;
}

} // namespace

SingBoxWorker::SingBoxWorker(const std::atomic<quint64> *liveGeneration, const QString &journalPath,
                             const QString &helperPath)
    : m_liveGeneration(liveGeneration)
#ifdef Q_OS_WIN
    , m_pollTimer(new QTimer(this))
#else
    , m_process(new QProcess(this))
#endif
    , m_forceKillTimer(new QTimer(this))
    , m_flushTimer(new QTimer(this))
    , m_startTimeoutTimer(new QTimer(this))
    , m_job(std::make_unique<platform::KillOnCloseJob>())
    , m_journal(journalPath)
    , m_helperPath(helperPath)
    , m_pipeFolder(QFileInfo(journalPath).absolutePath())
{
    m_forceKillTimer->setSingleShot(true);
    m_flushTimer->setSingleShot(true);
    m_flushTimer->setInterval(kFlushMs);
    m_startTimeoutTimer->setSingleShot(true);
    m_startTimeoutTimer->setInterval(kStartTimeoutMs);
#ifdef Q_OS_WIN
    // Runs while a core does: its pipes and its exit are looked at in this thread's own loop.
    m_pollTimer->setInterval(kPollMs);
    connect(m_pollTimer, &QTimer::timeout, this, &SingBoxWorker::pollCore);
#else
    prepareChild(*m_process);

    connect(m_process, &QProcess::started, this, &SingBoxWorker::handleStarted);
    connect(m_process, &QProcess::finished, this, &SingBoxWorker::handleFinished);
    connect(m_process, &QProcess::errorOccurred, this, &SingBoxWorker::handleError);
    connect(m_process, &QProcess::readyReadStandardOutput, this,
            [this] { handleOutput(QProcess::StandardOutput, m_process->readAllStandardOutput()); });
    connect(m_process, &QProcess::readyReadStandardError, this,
            [this] { handleOutput(QProcess::StandardError, m_process->readAllStandardError()); });
#endif
    connect(m_flushTimer, &QTimer::timeout, this, &SingBoxWorker::flushOutput);
    connect(m_startTimeoutTimer, &QTimer::timeout, this, &SingBoxWorker::handleStartTimeout);
    connect(m_forceKillTimer, &QTimer::timeout, this, [this] {
        if (coreRunning())
            killCore();
    });
}

SingBoxWorker::~SingBoxWorker() = default;

void SingBoxWorker::initialize()
{
    removeLeftoverRoutes();
}

#ifdef Q_OS_WIN
bool SingBoxWorker::startChild(platform::ChildProcess &child, const QString &program,
                               const QStringList &arguments, const QString &workingDirectory,
                               bool mergedOutput, QString &error)
{
    platform::ChildProcessStart start;
    start.program = QDir::toNativeSeparators(program).toStdString();
    for (const QString &argument : arguments)
        start.arguments.push_back(argument.toStdString());
    start.workingDirectory = QDir::toNativeSeparators(workingDirectory).toStdString();
    // The core and its check see a fixed environment, none of the elevated client's variables.
    start.environment = platform::baseChildEnvironment();
    for (const auto &[name, value] : stubCoreVariables())
        start.environment.push_back((name + QLatin1Char('=') + value).toStdString());
    start.mergedOutput = mergedOutput;
    std::string message;
    std::string warning;
    const bool started = child.start(start, *m_job, message, warning);
    if (!warning.empty())
        qWarning().noquote() << fromStd(warning);
    error = fromStd(message);
    return started;
}

void SingBoxWorker::pollCore()
{
    if (!m_pollTimer->isActive())
        return;
    // Its output first: what it wrote before it ended belongs before its exit.
    const bool ended = m_core.waitForExit(0);
    handleOutput(QProcess::StandardOutput,
                 QByteArray::fromStdString(m_core.readAvailable(platform::ChildChannel::Output)));
    handleOutput(QProcess::StandardError,
                 QByteArray::fromStdString(m_core.readAvailable(platform::ChildChannel::Error)));
    if (!ended)
        return;
    m_pollTimer->stop();
    // Ending it is how a stop asks a core to go here: that end is the clean exit it is elsewhere, not a
    // crash with the kill's exit code.
    if (std::exchange(m_endRequested, false) && m_core.crashed()) {
        handleFinished(0, QProcess::NormalExit);
        return;
    }
    handleFinished(static_cast<int>(m_core.exitCode()),
                   m_core.crashed() ? QProcess::CrashExit : QProcess::NormalExit);
}

bool SingBoxWorker::coreRunning() const
{
    return m_pollTimer->isActive();
}

void SingBoxWorker::terminateCore()
{
    // A console core without a window has no polite way to be asked to end.
    m_endRequested = true;
    m_core.kill();
}

void SingBoxWorker::killCore()
{
    m_core.kill();
}

bool SingBoxWorker::waitForCore(int timeoutMs)
{
    if (!m_core.waitForExit(timeoutMs))
        return false;
    pollCore();
    return true;
}
#else
void SingBoxWorker::prepareChild(QProcess &process)
{
    // The helper and the core see a fixed environment, none of the user's variables.
    process.setProcessEnvironment(childEnvironment());
    // The child dies with this thread's process; only async-signal-safe calls happen in it.
    process.setChildProcessModifier(
        [parent = platform::currentProcessId()] { platform::childSetupForKillOnClose(parent); });
}

bool SingBoxWorker::coreRunning() const
{
    return m_process->state() != QProcess::NotRunning;
}

void SingBoxWorker::terminateCore()
{
    m_process->terminate();
}

void SingBoxWorker::killCore()
{
    m_process->kill();
}

bool SingBoxWorker::waitForCore(int timeoutMs)
{
    return m_process->waitForFinished(timeoutMs);
}
#endif

void SingBoxWorker::reportStartFailure(quint64 generation, const QString &message)
{
    emit startFailed(generation, message);
}

void SingBoxWorker::start(const QString &program, const QStringList &arguments,
                          const QString &workingDirectory, const QByteArray &config, quint64 generation)
{
    StartRequest request{program, arguments, workingDirectory, config, generation};
    if (coreRunning()) {
        // The previous core is still on its way out (stop or restart just before): this start waits
        // for its exit instead of being lost or taking that exit for its own.
        m_heldStart = std::move(request);
        return;
    }
    runStart(request);
}

void SingBoxWorker::runStart(const StartRequest &request)
{
    const quint64 generation = request.generation;
    const QString &program = request.program;
    const QStringList &arguments = request.arguments;
    const QString &workingDirectory = request.workingDirectory;
    const QByteArray &config = request.config;
    // Stopped or replaced before it could begin.
    if (cancelled(generation))
        return;
    if (config.isEmpty()) {
        reportStartFailure(generation, QStringLiteral("nimbra-server 启动配置为空"));
        return;
    }
    const qsizetype configIndex = arguments.indexOf(QStringLiteral("-c"));
    if (configIndex < 0 || configIndex == arguments.size() - 1) {
        reportStartFailure(generation, QStringLiteral("nimbra-server 启动参数缺少配置入口"));
        return;
    }

    if (const QString refusal = checkCoreVersion(program, workingDirectory); !refusal.isEmpty()) {
        reportStartFailure(generation, refusal);
        return;
    }
    if (cancelled(generation))
        return;

    // Validation: the core checks the configuration before anything is started for real.
    {
        platform::ConfigPipe pipe;
        const auto created = pipe.create(platform::ConfigPipeUse::Validation,
                                         static_cast<size_t>(config.size()), pipeFolder());
        if (!created.ok()) {
            reportStartFailure(generation, fromStd(created.message));
            return;
        }
#ifdef Q_OS_WIN
        platform::ChildProcess validator;
        QString error;
        if (!startChild(validator, program,
                        {QStringLiteral("check"), QStringLiteral("-c"), fromStd(pipe.path()),
                         QStringLiteral("--disable-color")},
                        workingDirectory, true, error)) {
            pipe.close();
            reportStartFailure(generation, QStringLiteral("nimbra-server 配置校验进程启动失败：") + error);
            return;
        }
        const auto served = pipe.serve(bytesView(config), [&validator] { return validator.running(); });
        pipe.close();
        const bool finished = served.ok() && validator.waitForExit(5000);
        if (!finished) {
            validator.kill();
            validator.waitForExit(500);
        }
        const bool failed = validator.exitCode() != 0;
        const QByteArray output =
            QByteArray::fromStdString(validator.readAvailable(platform::ChildChannel::Output));
#else
        QProcess validator;
        prepareChild(validator);
        validator.setProgram(program);
        // The helper checks the configuration, then becomes the core's check with its own arguments.
        validator.setArguments(
            {QStringLiteral("core"), QStringLiteral("check"), QStringLiteral("-c"), fromStd(pipe.path())});
        validator.setWorkingDirectory(workingDirectory);
        validator.setProcessChannelMode(QProcess::MergedChannels);
        validator.start();
        if (!validator.waitForStarted(2000)) {
            pipe.close();
            reportStartFailure(generation, QStringLiteral("nimbra-server 配置校验进程启动失败：") +
                                               validator.errorString());
            return;
        }
        std::string warning;
        if (!m_job->assign(validator.processId(), warning))
            qWarning().noquote() << fromStd(warning);
        const auto served =
            pipe.serve(bytesView(config), [&validator] { return !validator.waitForFinished(0); });
        pipe.close();
        const bool finished = served.ok() && validator.waitForFinished(5000);
        if (!finished) {
            validator.kill();
            validator.waitForFinished(500);
        }
        const bool failed = validator.exitStatus() != QProcess::NormalExit || validator.exitCode() != 0;
        const QByteArray output = validator.readAll();
#endif
        if (!finished) {
            reportStartFailure(generation, served.ok() ? QStringLiteral("nimbra-server 配置校验超时")
                                                       : fromStd(served.message));
            return;
        }
        if (failed) {
            const QString text = QString::fromUtf8(output).trimmed();
            reportStartFailure(generation, text.isEmpty()
                                               ? QStringLiteral("nimbra-server 配置校验失败")
                                               : QStringLiteral("nimbra-server 配置校验失败：") + text);
            return;
        }
        if (cancelled(generation))
            return;
    }

    // Run.
    m_coreGeneration = generation;
    m_ready = false;
    m_wasRunning = false;
    m_scanText.clear();
    platform::ConfigPipe pipe;
    const auto created =
        pipe.create(platform::ConfigPipeUse::Run, static_cast<size_t>(config.size()), pipeFolder());
    if (!created.ok()) {
        reportStartFailure(generation, fromStd(created.message));
        return;
    }
    QStringList runArguments = arguments;
    runArguments[configIndex + 1] = fromStd(pipe.path());
#ifdef Q_OS_WIN
    QString error;
    if (!startChild(m_core, program, runArguments, workingDirectory, false, error)) {
        pipe.close();
        reportStartFailure(generation, QStringLiteral("nimbra-server 启动失败：") + error);
        return;
    }
    m_endRequested = false;
    m_pollTimer->start();
    m_startTimeoutTimer->start();
    const auto served = pipe.serve(bytesView(config), [this] { return m_core.running(); });
#else
    m_process->setProgram(program);
    m_process->setArguments(runArguments);
    m_process->setWorkingDirectory(workingDirectory);
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->setProcessEnvironment(childEnvironment()); // as of this start
    m_process->start(QIODevice::ReadWrite);
    if (!m_process->waitForStarted(2000)) {
        pipe.close();
        reportStartFailure(generation, QStringLiteral("nimbra-server 启动失败：") + m_process->errorString());
        return;
    }
    const auto served = pipe.serve(bytesView(config), [this] { return !m_process->waitForFinished(0); });
#endif
    pipe.close();
    if (!served.ok()) {
        // Reported before the kill, so the serving error and not the exit it causes reaches the user.
        reportStartFailure(generation, fromStd(served.message));
        killCore();
        waitForCore(500);
    }
}

QString SingBoxWorker::checkCoreVersion(const QString &program, const QString &workingDirectory)
{
    // Asked once per executable: a start spawns the core twice already, and a replaced file asks again.
#ifdef Q_OS_WIN
    const QFileInfo info(program);
#else
    // The program is the network helper; the core it runs is the one beside it.
    const QFileInfo info(QFileInfo(program).absolutePath() + QStringLiteral("/data/nimbra-server"));
#endif
    const QString identity = QStringLiteral("%1|%2|%3")
                                 .arg(info.absoluteFilePath())
                                 .arg(info.size())
                                 .arg(info.lastModified().toMSecsSinceEpoch());
    if (identity == m_acceptedCore)
        return {};
#ifdef Q_OS_WIN
    platform::ChildProcess query;
    QString error;
    if (!startChild(query, program, {QStringLiteral("version")}, workingDirectory, true, error))
        return QStringLiteral("nimbra-server 版本查询失败：") + error;
    if (!query.waitForExit(5000)) {
        query.kill();
        query.waitForExit(500);
        return QStringLiteral("nimbra-server 版本查询超时");
    }
    const QString output = fromStd(query.readAvailable(platform::ChildChannel::Output));
#else
    QProcess query;
    prepareChild(query);
    query.setProgram(program);
    query.setArguments({QStringLiteral("core"), QStringLiteral("version")});
    query.setWorkingDirectory(workingDirectory);
    query.setProcessChannelMode(QProcess::MergedChannels);
    query.start(QIODevice::ReadOnly);
    if (!query.waitForStarted(2000))
        return QStringLiteral("nimbra-server 版本查询失败：") + query.errorString();
    if (!query.waitForFinished(5000)) {
        query.kill();
        query.waitForFinished(500);
        return QStringLiteral("nimbra-server 版本查询超时");
    }
    const QString output = QString::fromUtf8(query.readAll());
#endif
    const QString refusal = nimbra::accel::coreVersionRefusal(output);
    if (refusal.isEmpty())
        m_acceptedCore = identity;
    return refusal;
}

#ifndef Q_OS_WIN
void SingBoxWorker::handleStarted()
{
    std::string warning;
    if (!m_job->assign(m_process->processId(), warning))
        qWarning().noquote() << fromStd(warning);
    m_startTimeoutTimer->start();
}

#endif

void SingBoxWorker::handleOutput(QProcess::ProcessChannel channel, const QByteArray &bytes)
{
    const QString text = QString::fromUtf8(bytes).trimmed();
    if (text.isEmpty())
        return;
    if (!m_ready) {
        static const QRegularExpression readiness(
            QStringLiteral("(?:sing-box|nimbra-server)\\s+started(?:\\s|\\()"),
            QRegularExpression::CaseInsensitiveOption);
        m_scanText += text;
        keepTail(m_scanText, kScanWindow);
        if (readiness.match(m_scanText).hasMatch()) {
            m_ready = true;
            m_startTimeoutTimer->stop();
            emit coreStarted(m_coreGeneration);
        }
    }
    QString &pending = channel == QProcess::StandardOutput ? m_pendingStdout : m_pendingStderr;
    if (!pending.isEmpty())
        pending += QLatin1Char('\n');
    pending += text;
    keepTail(pending, kPendingLimit);
    if (!m_flushTimer->isActive())
        m_flushTimer->start();
}

void SingBoxWorker::flushOutput()
{
    m_flushTimer->stop();
    const QString out = std::exchange(m_pendingStdout, QString());
    const QString err = std::exchange(m_pendingStderr, QString());
    const quint64 generation = m_coreGeneration;
    if (!out.isEmpty())
        emit output(generation, out, false);
    if (!err.isEmpty())
        emit output(generation, err, true);
}

void SingBoxWorker::handleStartTimeout()
{
    reportStartFailure(m_coreGeneration, QStringLiteral("nimbra-server 启动超时，未建立 TUN 通道"));
    if (coreRunning()) {
        terminateCore();
        m_forceKillTimer->start(kForceKillMs);
    }
}

void SingBoxWorker::stopCore()
{
    m_forceKillTimer->stop();
    // Routes first: once the core is gone its TUN interface goes too, and the system drops the routes
    // through it on its own, which would make our deletions fail and leave them in the journal.
    removeRoutes();
    if (coreRunning()) {
        terminateCore();
        m_forceKillTimer->start(kForceKillMs);
    }
}

void SingBoxWorker::handleFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    m_forceKillTimer->stop();
    m_startTimeoutTimer->stop();
    // Its last output still belongs to its own session.
    flushOutput();
    removeRoutes();
    const bool wasRunning = std::exchange(m_wasRunning, false);
    emit coreFinished(m_coreGeneration, exitCode, exitStatus, wasRunning);
    if (m_heldStart) {
        // Not from inside the process's own finished signal: the next turn of the loop starts it.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (auto held = std::exchange(m_heldStart, std::nullopt))
                    start(held->program, held->arguments, held->workingDirectory, held->config,
                          held->generation);
            },
            Qt::QueuedConnection);
    }
}

#ifndef Q_OS_WIN
void SingBoxWorker::handleError(QProcess::ProcessError error)
{
    if (error == QProcess::Crashed)
        return;
    const QString text = m_process->errorString().trimmed();
    if (error == QProcess::FailedToStart) {
        removeRoutes();
        reportStartFailure(m_coreGeneration, text.isEmpty()
                                                 ? QStringLiteral("nimbra-server 启动失败")
                                                 : QStringLiteral("nimbra-server 启动失败：") + text);
        return;
    }
    emit processError(text);
}
#endif

void SingBoxWorker::markRunning(quint64 generation)
{
    if (generation == m_coreGeneration)
        m_wasRunning = true;
}

void SingBoxWorker::shutdownNow()
{
    m_heldStart.reset();
    m_forceKillTimer->stop();
    m_startTimeoutTimer->stop();
    removeRoutes();
    if (coreRunning()) {
        terminateCore();
        if (!waitForCore(3000)) {
            killCore();
            waitForCore(2000);
        }
    }
}

void SingBoxWorker::installRoutes(quint64 generation, const QVariantList &ipList, const QString &gateway,
                                  const QStringList &keepOut)
{
    bool success = false;
    QString error;
    if (!cancelled(generation) && generation == m_coreGeneration) {
        success = addRoutes(ipList, gateway, keepOut, error);
        if (success && !coreRunning()) {
            removeRoutes();
            success = false;
            error = QStringLiteral("nimbra-server 在线路准备期间已退出");
        }
    }
    emit routesInstalled(generation, success, error);
}

bool SingBoxWorker::addRoutes(const QVariantList &ipList, const QString &gateway, const QStringList &keepOut,
                              QString &error)
{
    if (!m_installedRoutes.isEmpty())
        removeRoutes();
    QList<RouteEntry> batch;
    QStringList texts;
    QSet<QString> handled;
    std::uint64_t addresses = 0;
    for (const QVariant &item : ipList) {
        const QString text = item.toString().trimmed();
        if (text.isEmpty())
            continue;
        RouteEntry entry;
        if (!nimbra::accel::parseRouteEntry(text, entry, error))
            return false;
        entry.gateway = gateway;
        if (handled.contains(entry.key()))
            continue;
        handled.insert(entry.key());
        QString refusal = nimbra::accel::routeRefusal(entry, keepOut);
        // The session's bounds, which the network helper holds every session to.
        const auto mask = platform::parseIPv4(entry.mask.toStdString());
        const std::uint64_t size = std::uint64_t(1)
                                   << (32 - platform::prefixLengthOfMask(mask.value_or(0)).value_or(0));
        if (refusal.isEmpty() && std::size_t(batch.size()) >= platform::kMaxSessionRoutes)
            refusal = QStringLiteral("超过 %1 条路由").arg(platform::kMaxSessionRoutes);
        else if (refusal.isEmpty() && addresses + size > platform::kMaxSessionAddresses)
            refusal = QStringLiteral("超过 2^26 个地址");
        if (!refusal.isEmpty()) {
            qWarning().noquote() << QStringLiteral("[Route] 已拒绝 ip=%1 destination=%2 mask=%3 reason=%4")
                                        .arg(text, entry.destination, entry.mask, refusal);
            continue;
        }
        addresses += size;
        batch.append(entry);
        texts.append(text);
    }
    if (batch.isEmpty())
        return true;

    // Recorded before the routes are added, so a crash halfway still leaves a trace of every one.
    m_journal.save(batch);
    const QList<RouteOutcome> outcomes = changeRoutes(platform::RouteChange::Add, batch, keepOut);
    for (qsizetype index = 0; index < outcomes.size(); ++index) {
        const RouteEntry &entry = batch.at(index);
        const RouteOutcome &outcome = outcomes.at(index);
        if (!outcome.error.isEmpty()) {
            error = QStringLiteral("添加游戏路由失败：%1 → %2").arg(outcome.error, gateway);
            qWarning().noquote() << QStringLiteral("[Route] 添加失败 ip=%1 destination=%2 mask=%3 output=%4")
                                        .arg(texts.at(index), entry.destination, entry.mask,
                                             outcome.output.isEmpty() ? QStringLiteral("<empty>")
                                                                      : outcome.output);
            // Rolled back; with nothing added, the journal of the batch goes as well.
            if (m_installedRoutes.isEmpty())
                m_journal.clear();
            removeRoutes();
            return false;
        }
        m_installedRoutes.append(entry);
        qInfo().noquote() << QStringLiteral("[Route] 已添加 destination=%1 mask=%2 gateway=%3")
                                 .arg(entry.destination, entry.mask, gateway);
    }
    if (cancelled(m_coreGeneration)) {
        error = QStringLiteral("加速启动已取消");
        removeRoutes();
        return false;
    }
    return true;
}

QList<SingBoxWorker::RouteOutcome> SingBoxWorker::changeRoutes(platform::RouteChange change,
                                                               const QList<RouteEntry> &routes,
                                                               [[maybe_unused]] const QStringList &keepOut)
{
    QList<RouteOutcome> outcomes;
    outcomes.reserve(routes.size());
#ifdef Q_OS_WIN
    for (const RouteEntry &entry : routes) {
        const std::string destination = entry.destination.toStdString();
        const std::string mask = entry.mask.toStdString();
        const std::string gateway = entry.gateway.toStdString();
        const auto command = change == platform::RouteChange::Add
                                 ? platform::routeAddCommand(destination, mask, gateway)
                                 : platform::routeDeleteCommand(destination, mask, gateway);
        RouteOutcome outcome;
        QStringList arguments;
        for (const std::string &argument : command ? command->arguments : std::vector<std::string>())
            arguments.append(fromStd(argument));
        if (!command || !runRouteCommand(fromStd(platform::systemProgramPath(command->program)), arguments,
                                         outcome.output, outcome.error)) {
            if (outcome.error.isEmpty())
                outcome.error = entry.key();
            // A deletion that finds nothing is done: the route went with its interface.
            if (change == platform::RouteChange::Delete &&
                platform::routeDeletionFoundNothing(
                    (outcome.output + QLatin1Char('\n') + outcome.error).toStdString()))
                outcome.error.clear();
        }
        outcomes.append(outcome);
        if (change == platform::RouteChange::Add && !outcome.error.isEmpty())
            break;
    }
#else
    if (routes.isEmpty())
        return outcomes;
    QByteArray input;
    for (const RouteEntry &entry : routes) {
        const auto mask = platform::parseIPv4(entry.mask.toStdString());
        const int prefixLength = mask ? platform::prefixLengthOfMask(*mask).value_or(-1) : -1;
        input += entry.destination.toLatin1() + '/' + QByteArray::number(prefixLength) + '\n';
    }
    if (change == platform::RouteChange::Add) {
        for (const QString &address : keepOut)
            input += "keep-out " + address.toLatin1() + '\n';
    }
    QString output;
    QString error;
    runHelper({QStringLiteral("routes"),
               change == platform::RouteChange::Add ? QStringLiteral("add") : QStringLiteral("delete")},
              input, output, error);
    // One "<errno> <route>" line per route the helper tried.
    for (const QString &line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (outcomes.size() == routes.size())
            break;
        const int code = line.section(QLatin1Char(' '), 0, 0).toInt();
        outcomes.append({code == 0 ? QString() : QString::fromLocal8Bit(std::strerror(code)), QString()});
    }
    // Refused as a whole (nothing tried) or cut short: the first route not done carries the helper's
    // reason; a deletion reports every route.
    const bool stopped = !outcomes.isEmpty() && !outcomes.constLast().error.isEmpty();
    const QString reason = error.isEmpty() ? QStringLiteral("nimbra-net 未完成") : error;
    if (change == platform::RouteChange::Add && !stopped && outcomes.size() < routes.size())
        outcomes.append({reason, QString()});
    while (change == platform::RouteChange::Delete && outcomes.size() < routes.size())
        outcomes.append({reason, QString()});
#endif
    return outcomes;
}

void SingBoxWorker::removeRoutes()
{
    if (m_installedRoutes.isEmpty())
        return;
    // The last added goes first.
    const QList<RouteEntry> routes(m_installedRoutes.crbegin(), m_installedRoutes.crend());
    m_installedRoutes.clear();
    const QList<RouteOutcome> outcomes = changeRoutes(platform::RouteChange::Delete, routes);
    QList<RouteEntry> kept;
    for (qsizetype index = 0; index < routes.size(); ++index) {
        const RouteEntry &entry = routes.at(index);
        const QString &error = outcomes.at(index).error;
        if (error.isEmpty()) {
            qInfo().noquote()
                << QStringLiteral("[Route] 已删除 destination=%1 mask=%2").arg(entry.destination, entry.mask);
        } else {
            // Left in the journal: the next start tries once more.
            kept.append(entry);
            qWarning().noquote() << QStringLiteral("[Route] 删除失败 destination=%1 mask=%2 output=%3")
                                        .arg(entry.destination, entry.mask, error);
        }
    }
    m_journal.save(kept);
}

void SingBoxWorker::removeLeftoverRoutes()
{
#ifdef Q_OS_WIN
    const QList<RouteEntry> leftovers = m_journal.load();
    const QList<RouteOutcome> outcomes = changeRoutes(platform::RouteChange::Delete, leftovers);
    for (qsizetype index = 0; index < leftovers.size(); ++index) {
        const RouteEntry &entry = leftovers.at(index);
        const QString &error = outcomes.at(index).error;
        if (error.isEmpty())
            qInfo().noquote() << QStringLiteral(
                                     "[Route] 已清理上次遗留的路由 destination=%1 mask=%2 gateway=%3")
                                     .arg(entry.destination, entry.mask, entry.gateway);
        else
            qWarning().noquote() << QStringLiteral(
                                        "[Route] 遗留路由清理失败 destination=%1 mask=%2 output=%3")
                                        .arg(entry.destination, entry.mask, error);
    }
#else
    // Whatever a dead client of this user left on this user's own tunnel, in the journal or not;
    // another user's routes are on another tunnel, out of the helper's reach. Without a helper this
    // user may run, no route of theirs can exist.
    if (QFileInfo(m_helperPath).isExecutable()) {
        QString output;
        QString error;
        if (runHelper({QStringLiteral("routes"), QStringLiteral("cleanup")}, {}, output, error) != 0)
            qWarning().noquote() << QStringLiteral("[Route] 遗留路由清理失败 output=%1").arg(error);
        for (const QString &line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (line.startsWith(QLatin1String("0 ")))
                qInfo().noquote() << QStringLiteral("[Route] 已清理上次遗留的路由 %1").arg(line.mid(2));
            else
                qWarning().noquote() << QStringLiteral("[Route] 遗留路由清理失败 %1").arg(line);
        }
    }
#endif
    m_journal.clear();
}

std::string SingBoxWorker::pipeFolder() const
{
    // Without a runtime folder the pipe goes into the user's own data folder, where the journal lives.
    nimbra::storage::ensurePrivateDirectory(m_pipeFolder);
    return m_pipeFolder.toStdString();
}

#ifndef Q_OS_WIN
int SingBoxWorker::runHelper(const QStringList &arguments, const QByteArray &input, QString &output,
                             QString &error)
{
    QProcess process;
    prepareChild(process);
    process.start(m_helperPath, arguments);
    if (!process.waitForStarted(2000)) {
        error = QStringLiteral("nimbra-net 启动失败：") + process.errorString();
        return -1;
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(1000);
        error = QStringLiteral("nimbra-net 执行超时");
        return -1;
    }
    output = QString::fromUtf8(process.readAllStandardOutput());
    error = QString::fromUtf8(process.readAllStandardError()).trimmed();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QProcessEnvironment SingBoxWorker::childEnvironment()
{
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/sbin:/usr/bin:/sbin:/bin"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    // The helper passes on nothing else.
    for (const auto &[name, value] : stubCoreVariables())
        environment.insert(name, value);
    return environment;
}
#endif

bool SingBoxWorker::runRouteCommand(const QString &program, const QStringList &arguments, QString &output,
                                    QString &error)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(2000)) {
        error = process.errorString().trimmed();
        return false;
    }
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(1000);
        error = QStringLiteral("route 命令执行超时");
        return false;
    }
    output = QString::fromLocal8Bit(process.readAll()).trimmed();
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    error = output.isEmpty() ? QStringLiteral("route 命令返回代码 %1").arg(process.exitCode()) : output;
    return false;
}
