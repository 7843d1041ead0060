#include "app/accelerationsession.h"
#include "app/sessionrules.h"

#include "accel/acceleratorapi.h"
#include "accel/latencyprober.h"
#include "accel/singboxmanager.h"
#include "account/authapi.h"
#include "app/wiring.h"
#include "catalog/gamelistapi.h"
#include "net/httpmanager.h"
#include "purchase/rechargeapi.h"
#include "state/globaldata.h"
#include "state/preferences.h"

#include <QDebug>
#include <QJSValue>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTime>

#include <algorithm>
#include <chrono>
#include <cmath>

using namespace sessionrules;

namespace {

// Stores value; true when it changed, so the caller emits the change.
template<class T>
bool assign(T &field, const T &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

QString timeText()
{
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}

QString listText(const QVariant &list)
{
    QStringList items;
    for (const QVariant &item : plain(list).toList())
        items << textOf(item);
    return items.join(QStringLiteral(", "));
}

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString lineHead(const QString &line)
{
    return line.split(QStringLiteral(" ·")).value(0);
}

} // namespace

AccelerationSession::AccelerationSession(const nimbra::Backend &backend, QObject *parent)
    : QObject(parent)
    , m_data(backend.data)
    , m_auth(backend.auth)
    , m_gameList(backend.gameList)
    , m_accelerator(backend.accelerator)
    , m_recharge(backend.recharge)
    , m_singBox(backend.singBox)
    , m_preferences(backend.preferences)
    , m_choice(backend.data)
    , m_pendingBoostGame(emptyGame())
{
    const auto trace = [this](const QString &message) {
        appendAppLog(message, false, false);
    };
    connect(backend.http, &HttpManager::trace, this, trace);
    connect(m_recharge, &RechargeApi::trace, this, trace);
    connect(m_recharge, &RechargeApi::requestFailed, this,
            [this](const QString &operation, const QString &message) {
                appendAppLog(QStringLiteral("[UI] RechargeApi 失败 op=") + operation +
                                 QStringLiteral(" message=") + message,
                             true);
            });
    connect(&m_measurement, &RouteMeasurement::roundMeasured, this, &AccelerationSession::onRound);
    connect(m_gameList, &GameListApi::detailLoaded, this, &AccelerationSession::onDetail);
    connect(m_gameList, &GameListApi::requestFailed, this, &AccelerationSession::onDetailFailed);
    connect(m_accelerator, &AcceleratorApi::trace, this, trace);
    connect(m_accelerator, &AcceleratorApi::routesLoaded, this, &AccelerationSession::onRoutes);
    connect(m_accelerator, &AcceleratorApi::nodeConfigLoaded, this, &AccelerationSession::onNodeConfig);
    connect(m_accelerator, &AcceleratorApi::requestFailed, this, &AccelerationSession::onRouteFailure);
    connect(m_data, &GlobalData::trace, this, trace);
    connect(m_data, &GlobalData::commonGamesChanged, this, &AccelerationSession::ensureSelectedGame);
    connect(m_data, &GlobalData::gamesChanged, this, &AccelerationSession::ensureSelectedGame);
    connect(m_data, &GlobalData::accountChanged, this, &AccelerationSession::onAccount);
    connect(m_singBox, &SingBoxManager::started, this, &AccelerationSession::onCoreStarted);
    connect(m_singBox, &SingBoxManager::reconnecting, this, &AccelerationSession::onReconnecting);
    connect(m_singBox, &SingBoxManager::reconnectAbandoned, this, &AccelerationSession::onReconnectAbandoned);
    connect(m_singBox, &SingBoxManager::stopped, this,
            [this](int exitCode, QProcess::ExitStatus) { onCoreStopped(exitCode); });
    connect(m_singBox, &SingBoxManager::startFailed, this, &AccelerationSession::onStartFailed);
    connect(m_singBox, &SingBoxManager::processError, this, &AccelerationSession::onProcessError);
    // Each line is judged on its own: a batch holds many lines and only some are errors.
    connect(m_singBox, &SingBoxManager::outputReceived, this,
            [this](const QString &text, bool) { onOutput(text); });

    m_toastTimer.setSingleShot(true);
    m_toastTimer.setInterval(2400);
    connect(&m_toastTimer, &QTimer::timeout, this, [this] {
        m_toastText.clear();
        emit toastChanged();
    });
    m_clockTimer.setInterval(30000);
    connect(&m_clockTimer, &QTimer::timeout, this, &AccelerationSession::updateClock);
    m_clockTimer.start();
    updateClock();
    // While idle the selected route is measured again now and then; while boosting, every 2 s (with
    // 智能选路 on, every route, so that a better one is known when the one in use fails).
    m_idleTimer.setInterval(10000);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        if (!m_selectedNode.isEmpty())
            measure({m_selectedNode}, false);
    });
    m_idleTimer.start();
    m_boostTimer.setInterval(1000);
    connect(&m_boostTimer, &QTimer::timeout, this, &AccelerationSession::tickBoost);
    // A configuration that never comes ends the move: the core goes on through the route it carries.
    m_moveTimer.setSingleShot(true);
    m_moveTimer.setInterval(kMoveConfigTimeoutMs);
    connect(&m_moveTimer, &QTimer::timeout, this, [this] { failMove(QStringLiteral("线路配置获取超时")); });
    m_probeTimer.setInterval(2000);
    connect(&m_probeTimer, &QTimer::timeout, this, [this] {
        const bool smart = m_preferences && m_preferences->smartRoute();
        measure(smart ? m_nodes : QVariantList{m_selectedNode}, false);
    });
    if (m_preferences) {
        m_lastMode = m_preferences->mode();
        m_lastSmartRoute = m_preferences->smartRoute();
        connect(m_preferences, &Preferences::changed, this, &AccelerationSession::onPreferences);
    }
}

// --- properties -------------------------------------------------------------------------------------

void AccelerationSession::setLine(const QString &value)
{
    if (assign(m_line, value))
        emit lineChanged();
}

void AccelerationSession::setBoosting(bool value)
{
    if (m_boosting == value)
        return;
    m_boosting = value;
    emit boostingChanged();
    // The chart shows the rounds of this acceleration only.
    m_measurement.setRecording(m_boosting);
    if (m_boosting) {
        m_idleTimer.stop();
        m_boostTimer.start();
        m_probeTimer.start();
        measure({m_selectedNode}, false);
    } else {
        m_boostTimer.stop();
        m_probeTimer.stop();
        m_idleTimer.start();
    }
}

void AccelerationSession::setRoutesLoading(bool value)
{
    if (assign(m_routesLoading, value))
        emit routesLoadingChanged();
}

void AccelerationSession::setRouteConfigLoading(bool value)
{
    if (assign(m_routeConfigLoading, value))
        emit routeConfigLoadingChanged();
}

void AccelerationSession::setGameDetailLoading(bool value)
{
    if (assign(m_gameDetailLoading, value))
        emit gameDetailLoadingChanged();
}

void AccelerationSession::setRouteError(const QString &value)
{
    if (assign(m_routeError, value))
        emit routeErrorChanged();
}

void AccelerationSession::setNodes(const QVariantList &value)
{
    if (!assign(m_nodes, value))
        return;
    m_routes.setRoutes(m_nodes);
    emit nodesChanged();
}

void AccelerationSession::setSelectedNode(const QVariantMap &value)
{
    if (!assign(m_selectedNode, value))
        return;
    m_routes.setSelected(m_selectedNode);
    // The loss and the chart are the selected route's own.
    m_measurement.select(nodeStableKey(m_selectedNode));
    emit selectedNodeChanged();
}

void AccelerationSession::setPendingBoostGame(const QVariantMap &value)
{
    if (assign(m_pendingBoostGame, value))
        emit pendingBoostGameChanged();
}

void AccelerationSession::setReconnectAttempt(int value)
{
    if (assign(m_reconnectAttempt, value))
        emit reconnectAttemptChanged();
}

QString AccelerationSession::selectedRouteConfig() const
{
    return routeConfigText(m_selectedNode);
}

void AccelerationSession::stageSelection(const QVariantMap &game, const QVariantList &nodes,
                                         const QVariantMap &node)
{
    setRoutesLoading(false);
    setRouteConfigLoading(false);
    setGameDetailLoading(false);
    m_choice.setSelectedGame(game);
    setNodes(nodes);
    m_nodesGameId = m_choice.gameId();
    setSelectedNode(node);
}

// --- the log and the toast --------------------------------------------------------------------------

void AccelerationSession::toast(const QString &message, bool warning)
{
    // Both at once: whoever follows the text sees the flag that goes with it.
    m_toastWarning = warning;
    m_toastText = message;
    emit toastChanged();
    m_toastTimer.start();
}

void AccelerationSession::appendSingBoxLog(const QString &message, bool error)
{
    m_runLog.append(message, error, timeText());
}

void AccelerationSession::appendAppLog(const QString &message, bool error, bool forwardToConsole)
{
    if (forwardToConsole)
        qInfo().noquote() << message;
    appendSingBoxLog(message, error);
}

void AccelerationSession::clearSingBoxLogs()
{
    m_runLog.clear();
}

void AccelerationSession::copySingBoxLogs()
{
    m_runLog.flush();
    if (m_runLog.count() == 0) {
        toast(QStringLiteral("暂无日志可复制"), true);
        return;
    }
    if (m_data->copyToClipboard(m_runLog.text()))
        toast(QStringLiteral("已复制全部日志"));
    else
        toast(QStringLiteral("日志复制失败"), true);
}

void AccelerationSession::onOutput(const QString &text)
{
    m_runLog.queueLines(runlog::stripAnsi(text), runlog::isCoreErrorLine, timeText());
}

// --- timers -----------------------------------------------------------------------------------------

void AccelerationSession::updateClock()
{
    const QString text = QTime::currentTime().toString(QStringLiteral("HH:mm"));
    if (text == m_clockText)
        return;
    m_clockText = text;
    emit clockTextChanged();
}

void AccelerationSession::tickBoost()
{
    ++m_boostSeconds;
    emit boostSecondsChanged();
}

// --- the flows --------------------------------------------------------------------------------------

void AccelerationSession::startUp(bool debuggerRequested, bool debuggerActive)
{
    const bool hasRecent = m_choice.restoreRecent();
    const QVariantMap recent = m_choice.lastBoostedGame();
    appendAppLog(QStringLiteral("[UI] 主界面初始化完成"));
    if (hasRecent) {
        appendAppLog(QStringLiteral("[UI] 已恢复最近加速游戏：") +
                         textOf(recent.value(QStringLiteral("name"))),
                     false, false);
        requestGameDetail(recent, QStringLiteral("recent-game-restored"));
    }
    appendAppLog(QStringLiteral("[PERF] QML debugger requested=") + boolText(debuggerRequested) +
                     QStringLiteral(" active=") + boolText(debuggerActive),
                 false, false);
}

void AccelerationSession::requestGameDetail(const QVariantMap &game, const QString &reason)
{
    const QString packageName = gamePackageName(game);
    QString country = firstText(game, {"country"});
    if (country.isEmpty())
        country = m_choice.server().trimmed();
    if (packageName.isEmpty() || country.isEmpty()) {
        setGameDetailLoading(false);
        return;
    }
    const QString key = detailKey(packageName, country);
    // A reply without addresses is not asked again on its own; only a start attempt retries it.
    if (!gameIpList(game).isEmpty() ||
        (m_loadedDetailKeys.contains(key) && reason != QLatin1String("start-without-ip-list"))) {
        if (m_gameDetailKey == key)
            setGameDetailLoading(false);
        return;
    }
    if (m_gameDetailLoading && m_gameDetailKey == key)
        return;
    m_gameDetailKey = key;
    setGameDetailLoading(true);
    appendAppLog(QStringLiteral("[UI] 请求游戏详情 reason=") +
                     (reason.isEmpty() ? QStringLiteral("unknown") : reason) + QStringLiteral(" package=") +
                     packageName + QStringLiteral(" country=") + country,
                 false, false);
    m_gameList->loadDetail(packageName, country);
}

bool AccelerationSession::coreBusy() const
{
    return m_boosting || m_singBox->running() || m_singBox->starting();
}

void AccelerationSession::chooseGame(const QVariant &gameOrId)
{
    if (coreBusy()) {
        toast(QStringLiteral("请先停止当前加速，再切换游戏"), true);
        return;
    }
    const QVariantMap record = m_choice.recordFor(gameOrId);
    if (isBlank(record.value(QStringLiteral("id"))))
        return;
    m_choice.choose(record);
    setLine(QStringLiteral("正在加载线路"));
    setSelectedNode({});
    // A configuration still on its way belongs to the previous game and will be dropped; so are the
    // previous game's rounds, and no choice is made from its list.
    setRouteConfigLoading(false);
    cancelMeasurements();
    emit gameChosen();
    requestGameDetail(record, QStringLiteral("game-changed"));
    if (m_data->loggedIn())
        requestRoutes(QStringLiteral("game-changed"));
    toast(QStringLiteral("已切换：") + textOf(record.value(QStringLiteral("name"))) + QStringLiteral(" · ") +
          m_choice.server());
}

void AccelerationSession::ensureSelectedGame()
{
    if (!m_choice.followKnownGames())
        return;
    requestGameDetail(m_choice.selectedGame(), QStringLiteral("game-selected"));
    if (m_data->loggedIn() && m_nodes.isEmpty() && !m_routesLoading && !m_routesQueued) {
        m_routesQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_routesQueued = false;
                requestRoutes(QStringLiteral("game-selected"));
            },
            Qt::QueuedConnection);
    }
}

void AccelerationSession::requestRoutes(const QString &reason)
{
    if (!m_data->loggedIn() || m_data->userId() <= 0) {
        setNodes({});
        setSelectedNode({});
        setRouteConfigLoading(false);
        setLine(QStringLiteral("登录后加载线路"));
        return;
    }
    const QString id = firstText(m_choice.selectedGame(), {"id"});
    if (id.isEmpty())
        return;
    setRoutesLoading(true);
    setRouteError(QString());
    appendAppLog(QStringLiteral("[UI] 请求实时线路 reason=") +
                     (reason.isEmpty() ? QStringLiteral("unknown") : reason) + QStringLiteral(" gameId=") +
                     id,
                 false, false);
    m_accelerator->loadRoutes(m_data->userId(), m_choice.routePayload());
}

void AccelerationSession::chooseNode(const QVariantMap &node)
{
    if (isTrue(node.value(QStringLiteral("full")))) {
        toast(QStringLiteral("该节点已满，请选择其他节点"), true);
        return;
    }
    setSelectedNode(node);
    setLine(nodeName(node));
    const QString key = nodeStableKey(node);
    if (!key.isEmpty())
        m_data->saveGameRouteSelection(m_choice.gameId(), key);
    emit nodeChosen();
    requestNodeConfig(m_selectedNode, QStringLiteral("node-selected"));
    toast(QStringLiteral("已切换节点：") + m_line);
}

void AccelerationSession::requestNodeConfig(const QVariantMap &node, const QString &reason)
{
    if (!canRequestConfig(node))
        return;
    setRouteConfigLoading(true);
    sendConfigRequest(node, reason);
}

bool AccelerationSession::canRequestConfig(const QVariantMap &node) const
{
    return m_data->loggedIn() && m_data->userId() > 0 && nodeRequestable(node);
}

void AccelerationSession::sendConfigRequest(const QVariantMap &node, const QString &reason)
{
    appendAppLog(QStringLiteral("[UI] 请求节点配置 reason=") +
                     (reason.isEmpty() ? QStringLiteral("unknown") : reason) + QStringLiteral(" nodeId=") +
                     nodeRequestKey(node),
                 false, false);
    m_accelerator->loadNodeConfig(m_data->userId(), m_choice.routePayload(), node);
}

void AccelerationSession::toggleAcceleration()
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
    } else if (m_routesLoading) {
        toast(QStringLiteral("正在加载实时线路，请稍候"), true);
    } else if (m_routeConfigLoading) {
        toast(QStringLiteral("正在获取线路配置，请稍候"), true);
    } else if (m_gameDetailLoading) {
        toast(QStringLiteral("正在获取游戏 IP 列表，请稍候"), true);
    } else if (gameIpList(m_choice.selectedGame()).isEmpty()) {
        requestGameDetail(m_choice.selectedGame(), QStringLiteral("start-without-ip-list"));
        toast(QStringLiteral("当前游戏还没有可用 IP 列表"), true);
    } else if (m_nodes.isEmpty()) {
        requestRoutes(QStringLiteral("start-without-routes"));
        toast(m_routeError.isEmpty() ? QStringLiteral("暂无实时线路，请稍候重试") : m_routeError, true);
    } else if (selectedRouteConfig().isEmpty()) {
        requestMissingConfig();
    } else {
        startCore();
    }
}

void AccelerationSession::requestMissingConfig()
{
    if (nodeRequestable(m_selectedNode)) {
        requestNodeConfig(m_selectedNode, QStringLiteral("start-without-config"));
        toast(QStringLiteral("正在获取线路配置，请稍候"), true);
    } else {
        appendAppLog(QStringLiteral("[UI] 当前线路缺少节点地址，无法获取线路配置"), true);
        toast(QStringLiteral("当前线路没有可用节点地址，请重新获取线路"), true);
    }
}

void AccelerationSession::startCore()
{
    const QStringList ips = gameIpList(m_choice.selectedGame());
    appendAppLog(QStringLiteral("[GameIP] 执行Route package=") + gamePackageName(m_choice.selectedGame()) +
                 QStringLiteral(" count=") + QString::number(ips.size()) + QStringLiteral(" ips=") +
                 ips.join(QStringLiteral(", ")));
    QVariantList list;
    for (const QString &ip : ips)
        list << ip;
    m_singBox->setRouteIpList(list);
    setPendingBoostGame(m_choice.selectedGame());
    setReconnectAttempt(0);
    if (!m_singBox->prepareRuntimeConfig(selectedRouteConfig().toUtf8()) || !m_singBox->start()) {
        setPendingBoostGame(emptyGame());
        const QString error = m_singBox->lastError();
        toast(error.isEmpty() ? QStringLiteral("线路配置准备失败") : error, true);
    }
}

void AccelerationSession::signOut()
{
    emit signingOut();
    m_singBox->stop();
    abandonMove();
    setPendingBoostGame(emptyGame());
    setBoosting(false);
    m_auth->clearSession();
    m_recharge->clearSession();
    m_data->clearSessionData();
    toast(QStringLiteral("已退出登录，加速通道已关闭"), true);
}

// --- replies and events -----------------------------------------------------------------------------

void AccelerationSession::onDetail(const QVariantMap &detail)
{
    const QString packageName = firstText(detail, {"package_name"});
    const QString country = firstText(detail, {"country"});
    const QVariant first = detail.value(QStringLiteral("ip_list"));
    const QVariant ips = truthy(first) ? first : detail.value(QStringLiteral("ipList"));
    const qsizetype ipCount = truthy(ips) ? plain(ips).toList().size() : 0;
    if (!packageName.isEmpty() && !country.isEmpty())
        m_loadedDetailKeys.insert(detailKey(packageName, country));
    const QVariantMap current = m_choice.selectedGame();
    QString currentCountry = firstText(current, {"country"});
    if (currentCountry.isEmpty())
        currentCountry = m_choice.server().trimmed();
    if (packageName == gamePackageName(current) && country == currentCountry) {
        QVariantMap merged = current;
        for (auto it = detail.cbegin(); it != detail.cend(); ++it)
            merged.insert(it.key(), it.value());
        m_choice.setServer(regionWithin(merged, m_choice.server()));
        m_choice.setSelectedGame(merged);
    }
    if (detailKey(packageName, country) == m_gameDetailKey)
        setGameDetailLoading(false);
    const QString count = QString::number(ipCount);
    appendAppLog(QStringLiteral("[UI] 游戏详情已更新 package=") + packageName + QStringLiteral(" country=") +
                     country + QStringLiteral(" ipCount=") + count,
                 false, false);
    appendAppLog(QStringLiteral("[GameIP] 服务端IP列表 package=") + packageName +
                     QStringLiteral(" country=") + country + QStringLiteral(" count=") + count +
                     QStringLiteral(" ips=") + (ipCount > 0 ? listText(ips) : QStringLiteral("<empty>")),
                 ipCount == 0, false);
}

void AccelerationSession::onDetailFailed(const QString &operation, const QString &message)
{
    if (operation == QLatin1String("detail")) {
        setGameDetailLoading(false);
        toast(message.isEmpty() ? QStringLiteral("游戏 IP 列表加载失败") : message, true);
        appendAppLog(QStringLiteral("[UI] 游戏详情失败 message=") + message, true);
    } else {
        toast(message.isEmpty() ? QStringLiteral("游戏列表加载失败") : message, true);
    }
}

void AccelerationSession::onRoutes(const QVariantList &routes, const QString &loadedGameId)
{
    if (loadedGameId != m_choice.gameId()) {
        appendAppLog(QStringLiteral("[UI] 忽略过期线路回调 gameId=") + loadedGameId +
                         QStringLiteral(" current=") + m_choice.gameId(),
                     false, false);
        return;
    }
    setRoutesLoading(false);
    setNodes(routes);
    m_nodesGameId = loadedGameId;
    setRouteError(routes.isEmpty() ? QStringLiteral("当前游戏暂无可用线路") : QString());
    const QString preferred = m_data->savedGameRouteSelection(loadedGameId);
    const QString selectedKey = nodeStableKey(m_selectedNode);
    bool found = false;
    const QVariantMap choice = selectRoute(routes, selectedKey.isEmpty() ? preferred : selectedKey, &found);
    if (found) {
        setSelectedNode(choice);
        setLine(nodeName(choice));
    } else {
        setSelectedNode({});
        setLine(routes.isEmpty() ? QStringLiteral("暂无可用线路") : QStringLiteral("线路均已满"));
    }
    if (found && nodeRequestable(choice) && selectedRouteConfig().isEmpty())
        requestNodeConfig(m_selectedNode, QStringLiteral("route-list-default"));
    // Figures of another list mean nothing for this one.
    m_choiceKeys.clear();
    m_measurement.forget();
    measure(routes, m_preferences && m_preferences->smartRoute());
    const QString chosenKey = found ? nodeStableKey(choice) : QString();
    const QString restored = !chosenKey.isEmpty() && chosenKey == preferred
                                 ? QStringLiteral(" restoredRoute=") + chosenKey
                                 : QString();
    appendAppLog(QStringLiteral("[UI] 实时线路已更新 count=") + QString::number(routes.size()) +
                     QStringLiteral(" gameId=") + loadedGameId + restored,
                 false, false);
    if (routes.isEmpty())
        appendAppLog(QStringLiteral("[UI] 当前游戏暂无可用线路，跳过节点配置请求"), true);
}

void AccelerationSession::onNodeConfig(const QVariantMap &config, const QString &loadedGameId,
                                       const QString &nodeId)
{
    if (!m_data->loggedIn() || loadedGameId != m_choice.gameId())
        return;
    const bool isCurrentSelection = nodeMatchesConfig(m_selectedNode, nodeId);
    if (isCurrentSelection)
        setRouteConfigLoading(false);
    QVariantList rebuilt;
    rebuilt.reserve(m_nodes.size());
    for (const QVariant &value : std::as_const(m_nodes)) {
        QVariantMap route = value.toMap();
        if (nodeMatchesConfig(route, nodeId)) {
            route.insert(QStringLiteral("config"), config);
            rebuilt.append(route);
        } else {
            rebuilt.append(value);
        }
    }
    setNodes(rebuilt);
    if (isCurrentSelection) {
        for (const QVariant &value : std::as_const(rebuilt)) {
            const QVariantMap route = value.toMap();
            if (nodeMatchesConfig(route, nodeId)) {
                setSelectedNode(route);
                setLine(nodeName(route));
                break;
            }
        }
    }
    appendAppLog(QStringLiteral("[UI] 节点配置已更新 gameId=") + loadedGameId + QStringLiteral(" nodeId=") +
                     nodeId,
                 false, false);
    if (!m_moveTarget.isEmpty() && !m_moveRestarting && nodeMatchesConfig(m_moveTarget, nodeId)) {
        m_moveTarget.insert(QStringLiteral("config"), config);
        completeMove();
    } else if (isCurrentSelection && !m_boosting && m_routes.hasFigures())
        // The configuration may name the node's port that the route list did not.
        measure({m_selectedNode}, false);
}

void AccelerationSession::onRouteFailure(const QString &operation, const QString &message)
{
    if (operation == QLatin1String("accelerator_node_config")) {
        setRouteConfigLoading(false);
        appendAppLog(QStringLiteral("[UI] 节点配置失败 message=") + message, true);
        const QString text = message.isEmpty() ? QStringLiteral("线路配置加载失败") : message;
        // While boosting only a move asks for a configuration: it ends here, on the route in use.
        if (!m_moveTarget.isEmpty() && !m_moveRestarting)
            failMove(text);
        else
            toast(text, true);
        return;
    }
    setRoutesLoading(false);
    setRouteConfigLoading(false);
    setRouteError(message.isEmpty() ? QStringLiteral("线路加载失败") : message);
    setNodes({});
    setSelectedNode({});
    setLine(QStringLiteral("线路加载失败"));
    appendAppLog(QStringLiteral("[UI] AcceleratorApi 失败 op=") + operation + QStringLiteral(" message=") +
                     m_routeError,
                 true);
}

void AccelerationSession::onAccount()
{
    if (m_data->loggedIn()) {
        requestRoutes(QStringLiteral("account-authenticated"));
        return;
    }
    // Signed out: neither the core nor its routes may stay behind.
    m_singBox->stop();
    abandonMove();
    setPendingBoostGame(emptyGame());
    setBoosting(false);
    setRoutesLoading(false);
    setRouteConfigLoading(false);
    setRouteError(QString());
    setNodes({});
    setSelectedNode({});
    setLine(QStringLiteral("登录后加载线路"));
    m_choiceKeys.clear();
    m_measurement.forget();
}

void AccelerationSession::onCoreStarted()
{
    const QVariantMap game = !isBlank(m_pendingBoostGame.value(QStringLiteral("id")))
                                 ? m_pendingBoostGame
                                 : m_choice.selectedGame();
    m_choice.setLastBoostedGame(game);
    if (!isBlank(game.value(QStringLiteral("id"))))
        m_data->saveRecentBoostedGame(game);
    setPendingBoostGame(emptyGame());
    appendSingBoxLog(QStringLiteral("nimbra-server.exe 已启动"), false);
    if (m_moveRestarting) {
        // The session goes on through another node: the duration and the chart go on too. From now on
        // the core carries the new route, and the screen names it.
        const QVariantMap route = m_moveTarget;
        abandonMove();
        setSelectedNode(route);
        setLine(nodeName(route));
        setBoosting(true);
        appendAppLog(QStringLiteral("[UI] 智能选路已切换线路：") + m_line);
        toast(QStringLiteral("智能选路：已切换到 ") + m_line);
        return;
    }
    setBoosting(true);
    m_boostSeconds = 0;
    emit boostSecondsChanged();
    if (m_reconnectAttempt > 0) {
        appendAppLog(QStringLiteral("[UI] 断线自动重连成功（第 ") + QString::number(m_reconnectAttempt) +
                     QStringLiteral(" 次）"));
        toast(QStringLiteral("断线重连成功，加速已恢复 · ") + lineHead(m_line));
        setReconnectAttempt(0);
        return;
    }
    toast(QStringLiteral("加速通道已建立 · ") + lineHead(m_line));
}

void AccelerationSession::onCoreStopped(int exitCode)
{
    appendSingBoxLog(QStringLiteral("nimbra-server.exe 已停止，退出代码：") + QString::number(exitCode),
                     exitCode != 0);
    // The core of the node being left: acceleration goes on through the next one.
    if (m_moveRestarting)
        return;
    abandonMove();
    setBoosting(false);
    toast(exitCode != 0 ? QStringLiteral("nimbra-server 已停止（代码 %1）").arg(exitCode)
                        : QStringLiteral("加速已停止，通道已释放"),
          true);
}

void AccelerationSession::onReconnecting(int attempt, int limit, const QString &reason)
{
    setReconnectAttempt(attempt);
    appendAppLog(QStringLiteral("[UI] 加速通道异常断开，自动重连 %1/%2：").arg(attempt).arg(limit) + reason,
                 true);
    toast(QStringLiteral("加速通道异常断开，正在自动重连（%1/%2）…").arg(attempt).arg(limit), true);
}

void AccelerationSession::onReconnectAbandoned(const QString &message)
{
    setReconnectAttempt(0);
    appendAppLog(QStringLiteral("[UI] ") + message, true);
    toast(message, true);
}

void AccelerationSession::onStartFailed(const QString &message)
{
    abandonMove();
    setReconnectAttempt(0);
    setPendingBoostGame(emptyGame());
    appendSingBoxLog(message.isEmpty() ? QStringLiteral("nimbra-server.exe 启动失败") : message, true);
    setBoosting(false);
    toast(message.isEmpty() ? QStringLiteral("nimbra-server 启动失败") : message, true);
}

void AccelerationSession::onProcessError(const QString &message)
{
    appendSingBoxLog(message.isEmpty() ? QStringLiteral("nimbra-server.exe 进程错误") : message, true);
    toast(message.isEmpty() ? QStringLiteral("nimbra-server 进程错误") : message, true);
}

// --- measured figures and the route choice ----------------------------------------------------------

void AccelerationSession::measureRoutes(const QString &reason)
{
    if (m_nodes.isEmpty())
        return;
    appendAppLog(QStringLiteral("[UI] 线路测速 reason=") + reason + QStringLiteral(" count=") +
                     QString::number(m_nodes.size()),
                 false, false);
    measure(m_nodes, false);
}

// One round for each route that can be probed; with choose, the choice follows once they are all in.
void AccelerationSession::measure(const QVariantList &routes, bool choose)
{
    if (!m_data->loggedIn())
        return;
    const QSet<QString> keys = m_measurement.measure(routes, nodeStableKey(m_selectedNode));
    if (choose)
        m_choiceKeys = keys;
}

// A listed route's round is in: the choice waiting for it, and the move rule for the route in use.
void AccelerationSession::onRound(const nimbra::accel::ProbeRound &round)
{
    const bool selected = round.key == nodeStableKey(m_selectedNode);
    if (m_choiceKeys.remove(round.key) && m_choiceKeys.isEmpty())
        chooseMeasuredRoute();
    if (selected && m_boosting)
        considerMove();
}

namespace {

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

// 智能选路 after the routes were measured: the best free route by mode, unless acceleration has begun.
void AccelerationSession::chooseMeasuredRoute()
{
    if (!m_preferences || !m_preferences->smartRoute() || m_boosting || m_singBox->starting() ||
        m_nodesGameId != m_choice.gameId())
        return;
    const QList<Measured> routes = m_measurement.measured(m_nodes);
    const int current = indexOfKey(m_nodes, nodeStableKey(m_selectedNode));
    const int best = chooseRoute(routes, routeMode(m_preferences->mode()), current);
    if (best < 0) {
        appendAppLog(QStringLiteral("[UI] 智能选路：没有应答的线路，保留当前选择"), false, false);
        return;
    }
    const QVariantMap route = plain(m_nodes.at(best)).toMap();
    appendAppLog(QStringLiteral("[UI] 智能选路 mode=") + m_preferences->mode() + QStringLiteral(" route=") +
                     nodeStableKey(route) + QStringLiteral(" figure=") + figureText(routes.at(best)),
                 false, false);
    if (best == current)
        return;
    setSelectedNode(route);
    setLine(nodeName(route));
    if (selectedRouteConfig().isEmpty())
        requestNodeConfig(m_selectedNode, QStringLiteral("smart-route"));
    toast(QStringLiteral("智能选路：") + m_line + QStringLiteral(" · ") + figureText(routes.at(best)));
}

// While boosting with 智能选路 on: a failing route is left for a clearly better one, at most once every
// 2 minutes.
void AccelerationSession::considerMove()
{
    if (!m_preferences || !m_preferences->smartRoute() || !m_moveTarget.isEmpty())
        return;
    const qint64 now = m_measurement.now();
    const double windowLoss = m_measurement.windowLoss();
    const bool answered = m_measurement.round(nodeStableKey(m_selectedNode)).answered();
    if (!routeFailing(windowLoss, answered) || !moveAllowed(m_lastMoveMs, now))
        return;
    const int current = indexOfKey(m_nodes, nodeStableKey(m_selectedNode));
    const int target = moveTarget(m_measurement.measured(m_nodes), current, answered ? windowLoss : 1.0,
                                  routeMode(m_preferences->mode()));
    if (target < 0)
        return;
    m_lastMoveMs = now;
    moveTo(plain(m_nodes.at(target)).toMap());
}

void AccelerationSession::moveTo(const QVariantMap &route)
{
    m_moveTarget = route;
    appendAppLog(QStringLiteral("[UI] 智能选路：线路 ") + m_line +
                 QStringLiteral(" 丢包过高或无响应，切换到 ") + nodeName(route));
    if (!routeConfigText(route).isEmpty()) {
        completeMove();
    } else if (canRequestConfig(route)) {
        m_moveTimer.start();
        sendConfigRequest(route, QStringLiteral("route-move"));
    } else {
        failMove(QStringLiteral("线路没有可用节点地址"));
    }
}

// The core is started again with the new node's configuration, as a restart does; only while the
// session it moves still runs.
void AccelerationSession::completeMove()
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
    setPendingBoostGame(m_choice.lastBoostedGame());
    if (!m_singBox->restart())
        abandonMove();
}

bool AccelerationSession::abandonMove()
{
    const bool moving = m_moveRestarting;
    m_moveRestarting = false;
    m_moveTarget.clear();
    m_moveTimer.stop();
    return moving;
}

void AccelerationSession::failMove(const QString &reason)
{
    const QString target = nodeName(m_moveTarget);
    abandonMove();
    appendAppLog(QStringLiteral("[UI] 智能选路切换失败：") + target + QStringLiteral(" ") + reason, true);
    toast(QStringLiteral("智能选路未能切换到 ") + target + QStringLiteral("（") + reason +
              QStringLiteral("），继续使用 ") + lineHead(m_line),
          true);
}

void AccelerationSession::cancelMeasurements()
{
    m_choiceKeys.clear();
    m_measurement.cancel();
}

void AccelerationSession::onPreferences()
{
    const QString mode = m_preferences->mode();
    const bool smart = m_preferences->smartRoute();
    const bool changed = mode != m_lastMode || (smart && !m_lastSmartRoute);
    m_lastMode = mode;
    m_lastSmartRoute = smart;
    // A new mode or 智能选路 turned on: fresh figures and a choice by them.
    if (changed && smart && !m_boosting && !m_nodes.isEmpty())
        measure(m_nodes, true);
}
