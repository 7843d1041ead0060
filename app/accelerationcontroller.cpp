#include "app/accelerationcontroller.h"

#include "accel/latencyprober.h"
#include "accel/singboxmanager.h"
#include "app/gamechoice.h"
#include "app/routelistmodel.h"
#include "app/routemeasurement.h"
#include "app/routesource.h"
#include "app/sessionrules.h"
#include "app/wiring.h"
#include "state/globaldata.h"
#include "state/preferences.h"

#include <algorithm>
#include <cmath>

using namespace sessionrules;

namespace {

QString lineHead(const QString &line)
{
    return line.split(QStringLiteral(" ·")).value(0);
}

int indexOfKey(const QVariantList &routes, const QString &key)
{
    if (key.isEmpty())
        return -1;
    for (qsizetype i = 0; i < routes.size(); ++i) {
        if (nodeStableKey(plain(routes.at(i)).toMap()) == key)
            return static_cast<int>(i);
    }
    return -1;
}

QString figureText(const Measured &route)
{
    QString text = sessionrules::latencyText(route.medianMs);
    if (route.loss > 0)
        text += QStringLiteral(" · 丢包 %1%").arg(std::lround(route.loss * 100));
    return text;
}

} // namespace

AccelerationController::AccelerationController(const nimbra::Backend &backend, GameChoice *choice,
                                               RouteSource *source, RouteListModel *routes,
                                               RouteMeasurement *measurement, QObject *parent)
    : QObject(parent)
    , m_data(backend.data)
    , m_singBox(backend.singBox)
    , m_preferences(backend.preferences)
    , m_choice(choice)
    , m_source(source)
    , m_routes(routes)
    , m_measurement(measurement)
    , m_pendingBoostGame(emptyGame())
{
    connect(m_measurement, &RouteMeasurement::roundMeasured, this, &AccelerationController::onRound);
    connect(m_source, &RouteSource::routesListed, this, &AccelerationController::onRoutesListed);
    connect(m_source, &RouteSource::nodeConfigLoaded, this, &AccelerationController::onNodeConfig);
    connect(m_source, &RouteSource::nodeConfigFailed, this, &AccelerationController::onNodeConfigFailed);
    connect(m_singBox, &SingBoxManager::started, this, &AccelerationController::onCoreStarted);
    connect(m_singBox, &SingBoxManager::reconnecting, this, &AccelerationController::onReconnecting);
    connect(m_singBox, &SingBoxManager::reconnectAbandoned, this,
            &AccelerationController::onReconnectAbandoned);
    connect(m_singBox, &SingBoxManager::stopped, this,
            [this](int exitCode, QProcess::ExitStatus) { onCoreStopped(exitCode); });
    connect(m_singBox, &SingBoxManager::startFailed, this, &AccelerationController::onStartFailed);
    connect(m_singBox, &SingBoxManager::processError, this, &AccelerationController::onProcessError);
    connect(m_singBox, &SingBoxManager::networkStatsChanged, this,
            &AccelerationController::sessionTrafficChanged);

    // While idle the selected route is measured again now and then; while boosting, every 2 s (with
    // 智能选路 on, every route, so that a better one is known when the one in use fails).
    m_idleTimer.setInterval(10000);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        if (!m_source->selectedNode().isEmpty())
            measure({m_source->selectedNode()}, false);
    });
    m_idleTimer.start();
    m_boostTimer.setInterval(1000);
    connect(&m_boostTimer, &QTimer::timeout, this, [this] {
        ++m_boostSeconds;
        emit boostSecondsChanged();
    });
    // A configuration that never comes ends the move: the core goes on through the route it carries.
    m_moveTimer.setSingleShot(true);
    m_moveTimer.setInterval(kMoveConfigTimeoutMs);
    connect(&m_moveTimer, &QTimer::timeout, this, [this] { failMove(QStringLiteral("线路配置获取超时")); });
    m_probeTimer.setInterval(2000);
    connect(&m_probeTimer, &QTimer::timeout, this, [this] {
        const bool smart = m_preferences && m_preferences->smartRoute();
        measure(smart ? m_source->nodes() : QVariantList{m_source->selectedNode()}, false);
    });
    if (m_preferences) {
        m_lastMode = m_preferences->mode();
        m_lastSmartRoute = m_preferences->smartRoute();
        connect(m_preferences, &Preferences::changed, this, &AccelerationController::onPreferences);
    }
}

// --- properties -------------------------------------------------------------------------------------

void AccelerationController::setBoosting(bool value)
{
    if (m_boosting == value)
        return;
    m_boosting = value;
    emit boostingChanged();
    // The chart shows the rounds of this acceleration only.
    m_measurement->setRecording(m_boosting);
    if (m_boosting) {
        m_idleTimer.stop();
        m_boostTimer.start();
        m_probeTimer.start();
        measure({m_source->selectedNode()}, false);
    } else {
        m_boostTimer.stop();
        m_probeTimer.stop();
        m_idleTimer.start();
    }
}

void AccelerationController::setPendingBoostGame(const QVariantMap &value)
{
    if (assign(m_pendingBoostGame, value))
        emit pendingBoostGameChanged();
}

void AccelerationController::setReconnectAttempt(int value)
{
    if (assign(m_reconnectAttempt, value))
        emit reconnectAttemptChanged();
}

bool AccelerationController::busy() const
{
    return m_boosting || m_singBox->running() || m_singBox->starting();
}

// --- the start button -------------------------------------------------------------------------------

void AccelerationController::toggleAcceleration()
{
    if (m_singBox->starting()) {
        m_singBox->stop();
        setPendingBoostGame(emptyGame());
        // A move cancelled on its way: no core of this session runs any more.
        if (abandonMove())
            setBoosting(false);
        toast(QStringLiteral("正在取消加速启动…"));
    } else if (!m_data->loggedIn()) {
        emit signInRequired();
        toast(QStringLiteral("请先登录后再开始加速"), true);
    } else if (m_boosting || m_singBox->running()) {
        // A stop ends a move on its way (its configuration, arriving later, starts nothing) and the
        // rounds in flight.
        abandonMove();
        cancelMeasurements();
        m_singBox->stop();
    } else if (m_source->routesLoading()) {
        toast(QStringLiteral("正在加载实时线路，请稍候"), true);
    } else if (m_source->routeConfigLoading()) {
        toast(QStringLiteral("正在获取线路配置，请稍候"), true);
    } else if (m_source->gameDetailLoading()) {
        toast(QStringLiteral("正在获取游戏 IP 列表，请稍候"), true);
    } else if (gameIpList(m_choice->selectedGame()).isEmpty()) {
        m_source->requestGameDetail(m_choice->selectedGame(), QStringLiteral("start-without-ip-list"));
        toast(QStringLiteral("当前游戏还没有可用 IP 列表"), true);
    } else if (m_source->nodes().isEmpty()) {
        m_source->requestRoutes(QStringLiteral("start-without-routes"));
        toast(m_source->routeError().isEmpty() ? QStringLiteral("暂无实时线路，请稍候重试")
                                               : m_source->routeError(),
              true);
    } else if (m_source->selectedRouteConfig().isEmpty()) {
        requestMissingConfig();
    } else {
        startCore();
    }
}

void AccelerationController::requestMissingConfig()
{
    const QVariantMap selected = m_source->selectedNode();
    if (nodeRequestable(selected)) {
        m_source->requestNodeConfig(selected, QStringLiteral("start-without-config"));
        toast(QStringLiteral("正在获取线路配置，请稍候"), true);
    } else {
        emit logLine(QStringLiteral("[UI] 当前线路缺少节点地址，无法获取线路配置"), true, true);
        toast(QStringLiteral("当前线路没有可用节点地址，请重新获取线路"), true);
    }
}

void AccelerationController::startCore()
{
    const QVariantMap game = m_choice->selectedGame();
    const QStringList ips = gameIpList(game);
    emit logLine(QStringLiteral("[GameIP] 执行Route package=") + gamePackageName(game) +
                     QStringLiteral(" count=") + QString::number(ips.size()) + QStringLiteral(" ips=") +
                     ips.join(QStringLiteral(", ")),
                 false, true);
    QVariantList list;
    for (const QString &ip : ips)
        list << ip;
    m_singBox->setRouteIpList(list);
    setPendingBoostGame(game);
    setReconnectAttempt(0);
    // A start that fails reports itself (startFailed); a configuration that cannot be made does not.
    const bool prepared = m_singBox->prepareRuntimeConfig(m_source->selectedRouteConfig().toUtf8());
    if (!prepared || !m_singBox->start()) {
        setPendingBoostGame(emptyGame());
        const QString error =
            m_singBox->lastError().isEmpty() ? QStringLiteral("线路配置准备失败") : m_singBox->lastError();
        if (!prepared)
            emit playerLine(QStringLiteral("加速未能开始：") + error, true);
        toast(error, true);
    }
}

void AccelerationController::stop()
{
    m_singBox->stop();
    abandonMove();
    setPendingBoostGame(emptyGame());
    setBoosting(false);
}

// --- the core's events ------------------------------------------------------------------------------

void AccelerationController::onCoreStarted()
{
    const QVariantMap game = !isBlank(m_pendingBoostGame.value(QStringLiteral("id")))
                                 ? m_pendingBoostGame
                                 : m_choice->selectedGame();
    m_choice->setLastBoostedGame(game);
    if (!isBlank(game.value(QStringLiteral("id"))))
        m_data->saveRecentBoostedGame(game);
    setPendingBoostGame(emptyGame());
    emit logLine(SingBoxManager::coreName() + QStringLiteral(" 已启动"), false, false);
    if (m_moveRestarting) {
        // The session goes on through another node: the duration and the chart go on too. From now on
        // the core carries the new route, and the screen names it.
        const QVariantMap route = m_moveTarget;
        abandonMove();
        m_source->select(route);
        setBoosting(true);
        emit logLine(QStringLiteral("[UI] 智能选路已切换线路：") + m_source->line(), false, true);
        emit playerLine(QStringLiteral("已切换到线路 ") + m_source->line() + QStringLiteral("，加速继续"),
                        false);
        toast(QStringLiteral("智能选路：已切换到 ") + m_source->line());
        return;
    }
    setBoosting(true);
    beginFigures();
    const QString line = lineHead(m_source->line());
    if (m_reconnectAttempt > 0) {
        emit logLine(QStringLiteral("[UI] 断线自动重连成功（第 ") + QString::number(m_reconnectAttempt) +
                         QStringLiteral(" 次）"),
                     false, true);
        emit playerLine(QStringLiteral("断线重连成功，加速已恢复 · ") + line, false);
        toast(QStringLiteral("断线重连成功，加速已恢复 · ") + line);
        setReconnectAttempt(0);
        return;
    }
    const QString gameName = textOf(game.value(QStringLiteral("name")));
    emit playerLine(QStringLiteral("加速已开始 · ") +
                        (gameName.isEmpty() ? line : gameName + QStringLiteral(" · ") + line),
                    false);
    toast(QStringLiteral("加速通道已建立 · ") + line);
}

void AccelerationController::onCoreStopped(int exitCode)
{
    emit logLine(SingBoxManager::coreName() + QStringLiteral(" 已停止，退出代码：") +
                     QString::number(exitCode),
                 exitCode != 0, false);
    // The core of the node being left: acceleration goes on through the next one.
    if (m_moveRestarting)
        return;
    abandonMove();
    setBoosting(false);
    emit playerLine(exitCode != 0 ? QStringLiteral("加速内核意外退出（代码 %1）").arg(exitCode)
                                  : QStringLiteral("加速已停止"),
                    exitCode != 0);
    toast(exitCode != 0 ? QStringLiteral("nimbra-server 已停止（代码 %1）").arg(exitCode)
                        : QStringLiteral("加速已停止，通道已释放"),
          true);
}

void AccelerationController::onReconnecting(int attempt, int limit, const QString &reason)
{
    setReconnectAttempt(attempt);
    emit logLine(QStringLiteral("[UI] 加速通道异常断开，自动重连 %1/%2：").arg(attempt).arg(limit) + reason,
                 true, true);
    emit playerLine(QStringLiteral("加速通道异常断开，正在自动重连（%1/%2）").arg(attempt).arg(limit), true);
    toast(QStringLiteral("加速通道异常断开，正在自动重连（%1/%2）…").arg(attempt).arg(limit), true);
}

void AccelerationController::onReconnectAbandoned(const QString &message)
{
    setReconnectAttempt(0);
    emit logLine(QStringLiteral("[UI] ") + message, true, true);
    emit playerLine(message, true);
    toast(message, true);
}

void AccelerationController::onStartFailed(const QString &message)
{
    abandonMove();
    setReconnectAttempt(0);
    setPendingBoostGame(emptyGame());
    const QString text =
        message.isEmpty() ? SingBoxManager::coreName() + QStringLiteral(" 启动失败") : message;
    emit logLine(text, true, false);
    setBoosting(false);
    emit playerLine(QStringLiteral("加速未能开始：") + text, true);
    toast(text, true);
}

void AccelerationController::onProcessError(const QString &message)
{
    const QString text =
        message.isEmpty() ? SingBoxManager::coreName() + QStringLiteral(" 进程错误") : message;
    emit logLine(text, true, false);
    emit playerLine(QStringLiteral("加速内核出错：") + text, true);
    toast(text, true);
}

// --- the route source's answers ---------------------------------------------------------------------

void AccelerationController::onRoutesListed(const QVariantList &routes)
{
    // Figures of another list mean nothing for this one.
    forgetFigures();
    measure(routes, m_preferences && m_preferences->smartRoute());
}

void AccelerationController::onNodeConfig(const QVariantMap &config, const QString &nodeId, bool current)
{
    if (!m_moveTarget.isEmpty() && !m_moveRestarting && nodeMatchesConfig(m_moveTarget, nodeId)) {
        m_moveTarget.insert(QStringLiteral("config"), config);
        completeMove();
    } else if (current && !m_boosting && m_routes->hasFigures()) {
        // The configuration may name the node's port that the route list did not.
        measure({m_source->selectedNode()}, false);
    }
}

void AccelerationController::onNodeConfigFailed(const QString &text)
{
    // While boosting only a move asks for a configuration: it ends here, on the route in use.
    if (!m_moveTarget.isEmpty() && !m_moveRestarting)
        failMove(text);
    else
        toast(text, true);
}

void AccelerationController::onPreferences()
{
    const QString mode = m_preferences->mode();
    const bool smart = m_preferences->smartRoute();
    const bool changed = mode != m_lastMode || (smart && !m_lastSmartRoute);
    m_lastMode = mode;
    m_lastSmartRoute = smart;
    // A new mode or 智能选路 turned on: fresh figures and a choice by them.
    if (changed && smart && !m_boosting && !m_source->nodes().isEmpty())
        measure(m_source->nodes(), true);
}

// --- measured figures and the route choice ----------------------------------------------------------

void AccelerationController::measureRoutes(const QString &reason)
{
    const QVariantList nodes = m_source->nodes();
    if (nodes.isEmpty())
        return;
    emit logLine(QStringLiteral("[UI] 线路测速 reason=") + reason + QStringLiteral(" count=") +
                     QString::number(nodes.size()),
                 false, false);
    measure(nodes, false);
}

// One round for each route that can be probed; with choose, the choice follows once they are all in.
void AccelerationController::measure(const QVariantList &routes, bool choose)
{
    if (!m_data->loggedIn())
        return;
    const QSet<QString> keys = m_measurement->measure(routes, nodeStableKey(m_source->selectedNode()));
    if (choose)
        m_choiceKeys = keys;
}

void AccelerationController::cancelMeasurements()
{
    m_choiceKeys.clear();
    m_measurement->cancel();
}

void AccelerationController::forgetFigures()
{
    m_choiceKeys.clear();
    m_measurement->forget();
}

// A listed route's round is in: the choice waiting for it, and the move rule for the route in use.
double AccelerationController::sessionSentBytes() const
{
    return std::max(0.0, m_singBox->tunnelSentBytes() - m_sentBase);
}

double AccelerationController::sessionReceivedBytes() const
{
    return std::max(0.0, m_singBox->tunnelReceivedBytes() - m_receivedBase);
}

int AccelerationController::averageLatency() const
{
    return m_latencyCount > 0 ? std::max(1, static_cast<int>(std::lround(m_latencySumMs / m_latencyCount)))
                              : -1;
}

QString AccelerationController::averageLatencyText() const
{
    return sessionrules::latencyText(averageLatency());
}

// A new session's figures start from nothing; a route move goes on with them.
void AccelerationController::beginFigures()
{
    m_boostSeconds = 0;
    m_sentBase = m_singBox->tunnelSentBytes();
    m_receivedBase = m_singBox->tunnelReceivedBytes();
    m_latencySumMs = 0;
    m_latencyCount = 0;
    emit boostSecondsChanged();
    emit sessionTrafficChanged();
    emit averageLatencyChanged();
}

void AccelerationController::stageFigures(int seconds, double sentBytes, double receivedBytes,
                                          double averageLatencyMs)
{
    beginFigures();
    m_boostSeconds = seconds;
    m_sentBase -= sentBytes;
    m_receivedBase -= receivedBytes;
    // As if measured for a long while, so that the live rounds of a staged session barely move it.
    constexpr int kStagedRounds = 1000;
    m_latencyCount = averageLatencyMs >= 0 ? kStagedRounds : 0;
    m_latencySumMs = averageLatencyMs * m_latencyCount;
    emit boostSecondsChanged();
    emit sessionTrafficChanged();
    emit averageLatencyChanged();
}

void AccelerationController::onRound(const nimbra::accel::ProbeRound &round)
{
    const bool selected = round.key == nodeStableKey(m_source->selectedNode());
    if (selected && m_boosting && round.answered()) {
        m_latencySumMs += round.medianMs;
        ++m_latencyCount;
        emit averageLatencyChanged();
    }
    if (m_choiceKeys.remove(round.key) && m_choiceKeys.isEmpty())
        chooseMeasuredRoute();
    if (selected && m_boosting)
        considerMove();
}

// 智能选路 after the routes were measured: the best free route by mode, unless acceleration has begun.
void AccelerationController::chooseMeasuredRoute()
{
    if (!m_preferences || !m_preferences->smartRoute() || m_boosting || m_singBox->starting() ||
        m_source->listedGameId() != m_choice->gameId())
        return;
    const QVariantList nodes = m_source->nodes();
    const QList<Measured> routes = m_measurement->measured(nodes);
    const int current = indexOfKey(nodes, nodeStableKey(m_source->selectedNode()));
    const int best = chooseRoute(routes, routeMode(m_preferences->mode()), current);
    if (best < 0) {
        emit logLine(QStringLiteral("[UI] 智能选路：没有应答的线路，保留当前选择"), false, false);
        emit playerLine(QStringLiteral("测速完成：没有线路应答，保留当前线路"), true);
        return;
    }
    const QVariantMap route = plain(nodes.at(best)).toMap();
    emit logLine(QStringLiteral("[UI] 智能选路 mode=") + m_preferences->mode() + QStringLiteral(" route=") +
                     nodeStableKey(route) + QStringLiteral(" figure=") + figureText(routes.at(best)),
                 false, false);
    emit playerLine(QStringLiteral("测速完成：") +
                        (best == current ? QStringLiteral("当前线路 ") : QStringLiteral("智能选路选用 ")) +
                        nodeName(route) + QStringLiteral(" · ") + figureText(routes.at(best)),
                    false);
    if (best == current)
        return;
    m_source->select(route);
    if (m_source->selectedRouteConfig().isEmpty())
        m_source->requestNodeConfig(route, QStringLiteral("smart-route"));
    toast(QStringLiteral("智能选路：") + m_source->line() + QStringLiteral(" · ") +
          figureText(routes.at(best)));
}

// While boosting with 智能选路 on: a failing route is left for a clearly better one, at most once every
// 2 minutes.
void AccelerationController::considerMove()
{
    if (!m_preferences || !m_preferences->smartRoute() || !m_moveTarget.isEmpty())
        return;
    const qint64 now = m_measurement->now();
    const double windowLoss = m_measurement->windowLoss();
    const QVariantList nodes = m_source->nodes();
    const QString selectedKey = nodeStableKey(m_source->selectedNode());
    const bool answered = m_measurement->round(selectedKey).answered();
    if (!routeFailing(windowLoss, answered) || !moveAllowed(m_lastMoveMs, now))
        return;
    const int target = moveTarget(m_measurement->measured(nodes), indexOfKey(nodes, selectedKey),
                                  answered ? windowLoss : 1.0, routeMode(m_preferences->mode()));
    if (target < 0)
        return;
    m_lastMoveMs = now;
    moveTo(plain(nodes.at(target)).toMap());
}

void AccelerationController::moveTo(const QVariantMap &route)
{
    m_moveTarget = route;
    emit logLine(QStringLiteral("[UI] 智能选路：线路 ") + m_source->line() +
                     QStringLiteral(" 丢包过高或无响应，切换到 ") + nodeName(route),
                 false, true);
    emit playerLine(QStringLiteral("线路 ") + lineHead(m_source->line()) +
                        QStringLiteral(" 丢包过高或无响应，正在切换到 ") + nodeName(route),
                    true);
    if (!routeConfigText(route).isEmpty()) {
        completeMove();
    } else if (m_source->canRequestConfig(route)) {
        m_moveTimer.start();
        m_source->sendConfigRequest(route, QStringLiteral("route-move"));
    } else {
        failMove(QStringLiteral("线路没有可用节点地址"));
    }
}

// The core is started again with the new node's configuration, as a restart does; only while the
// session it moves still runs.
void AccelerationController::completeMove()
{
    m_moveTimer.stop();
    if (!m_boosting || !m_singBox->running()) {
        abandonMove();
        return;
    }
    if (!m_singBox->prepareRuntimeConfig(routeConfigText(m_moveTarget).toUtf8())) {
        const QString error = m_singBox->lastError();
        failMove(error.isEmpty() ? QStringLiteral("线路配置准备失败") : error);
        return;
    }
    m_moveRestarting = true;
    setPendingBoostGame(m_choice->lastBoostedGame());
    if (!m_singBox->restart())
        abandonMove();
}

bool AccelerationController::abandonMove()
{
    const bool moving = m_moveRestarting;
    m_moveRestarting = false;
    m_moveTarget.clear();
    m_moveTimer.stop();
    return moving;
}

void AccelerationController::failMove(const QString &reason)
{
    const QString target = nodeName(m_moveTarget);
    abandonMove();
    emit logLine(QStringLiteral("[UI] 智能选路切换失败：") + target + QStringLiteral(" ") + reason, true,
                 true);
    emit playerLine(QStringLiteral("未能切换到 ") + target + QStringLiteral("（") + reason +
                        QStringLiteral("），继续使用 ") + lineHead(m_source->line()),
                    true);
    toast(QStringLiteral("智能选路未能切换到 ") + target + QStringLiteral("（") + reason +
              QStringLiteral("），继续使用 ") + lineHead(m_source->line()),
          true);
}
