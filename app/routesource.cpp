#include "app/routesource.h"

#include "accel/acceleratorapi.h"
#include "app/gamechoice.h"
#include "app/routelistmodel.h"
#include "app/routemeasurement.h"
#include "app/sessionrules.h"
#include "catalog/gamelistapi.h"
#include "state/globaldata.h"

using namespace sessionrules;

namespace {

QString listText(const QVariant &list)
{
    QStringList items;
    for (const QVariant &item : plain(list).toList())
        items << textOf(item);
    return items.join(QStringLiteral(", "));
}

QString reasonText(const QString &reason)
{
    return reason.isEmpty() ? QStringLiteral("unknown") : reason;
}

} // namespace

RouteSource::RouteSource(GlobalData *data, GameListApi *gameList, AcceleratorApi *accelerator,
                         GameChoice *choice, RouteListModel *routes, RouteMeasurement *measurement,
                         QObject *parent)
    : QObject(parent)
    , m_data(data)
    , m_gameList(gameList)
    , m_accelerator(accelerator)
    , m_choice(choice)
    , m_routes(routes)
    , m_measurement(measurement)
{
    connect(m_gameList, &GameListApi::detailLoaded, this, &RouteSource::onDetail);
    connect(m_gameList, &GameListApi::requestFailed, this, &RouteSource::onDetailFailed);
    connect(m_accelerator, &AcceleratorApi::routesLoaded, this, &RouteSource::onRoutes);
    connect(m_accelerator, &AcceleratorApi::nodeConfigLoaded, this, &RouteSource::onNodeConfig);
    connect(m_accelerator, &AcceleratorApi::requestFailed, this, &RouteSource::onRouteFailure);
    connect(m_data, &GlobalData::commonGamesChanged, this, &RouteSource::ensureSelectedGame);
    connect(m_data, &GlobalData::gamesChanged, this, &RouteSource::ensureSelectedGame);
}

// --- properties -------------------------------------------------------------------------------------

void RouteSource::setLine(const QString &value)
{
    if (assign(m_line, value))
        emit lineChanged();
}

void RouteSource::setRoutesLoading(bool value)
{
    if (assign(m_routesLoading, value))
        emit routesLoadingChanged();
}

void RouteSource::setRouteConfigLoading(bool value)
{
    if (assign(m_routeConfigLoading, value))
        emit routeConfigLoadingChanged();
}

void RouteSource::setGameDetailLoading(bool value)
{
    if (assign(m_gameDetailLoading, value))
        emit gameDetailLoadingChanged();
}

void RouteSource::setRouteError(const QString &value)
{
    if (assign(m_routeError, value))
        emit routeErrorChanged();
}

void RouteSource::setNodes(const QVariantList &value)
{
    if (!assign(m_nodes, value))
        return;
    m_routes->setRoutes(m_nodes);
    emit nodesChanged();
}

void RouteSource::setSelectedNode(const QVariantMap &value)
{
    if (!assign(m_selectedNode, value))
        return;
    m_routes->setSelected(m_selectedNode);
    // The loss and the chart are the selected route's own.
    m_measurement->select(nodeStableKey(m_selectedNode));
    emit selectedNodeChanged();
}

QString RouteSource::selectedRouteConfig() const
{
    return routeConfigText(m_selectedNode);
}

void RouteSource::stageSelection(const QVariantMap &game, const QVariantList &nodes, const QVariantMap &node)
{
    setRoutesLoading(false);
    setRouteConfigLoading(false);
    setGameDetailLoading(false);
    m_choice->setSelectedGame(game);
    setNodes(nodes);
    m_nodesGameId = m_choice->gameId();
    setSelectedNode(node);
}

void RouteSource::select(const QVariantMap &route)
{
    setSelectedNode(route);
    setLine(nodeName(route));
}

void RouteSource::clear()
{
    setRoutesLoading(false);
    setRouteConfigLoading(false);
    setRouteError(QString());
    setNodes({});
    setSelectedNode({});
    setLine(QStringLiteral("登录后加载线路"));
}

// --- requests ---------------------------------------------------------------------------------------

void RouteSource::chooseGame(const QVariantMap &record)
{
    m_choice->choose(record);
    setSelectedNode({});
    setRouteConfigLoading(false);
    requestGameDetail(record, QStringLiteral("game-changed"));
    // Signed out, no request is made: the line says how to get routes instead of loading for good.
    if (m_data->loggedIn())
        setLine(QStringLiteral("正在加载线路"));
    requestRoutes(QStringLiteral("game-changed"));
}

void RouteSource::requestGameDetail(const QVariantMap &game, const QString &reason)
{
    const QString packageName = gamePackageName(game);
    QString country = firstText(game, {"country"});
    if (country.isEmpty())
        country = m_choice->server().trimmed();
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
    emit logLine(QStringLiteral("[UI] 请求游戏详情 reason=") + reasonText(reason) +
                     QStringLiteral(" package=") + packageName + QStringLiteral(" country=") + country,
                 false, false);
    m_gameList->loadDetail(packageName, country);
}

void RouteSource::ensureSelectedGame()
{
    if (!m_choice->followKnownGames())
        return;
    requestGameDetail(m_choice->selectedGame(), QStringLiteral("game-selected"));
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

void RouteSource::requestRoutes(const QString &reason)
{
    if (!m_data->loggedIn() || m_data->userId() <= 0) {
        setNodes({});
        setSelectedNode({});
        setRouteConfigLoading(false);
        setLine(QStringLiteral("登录后加载线路"));
        return;
    }
    const QString id = firstText(m_choice->selectedGame(), {"id"});
    if (id.isEmpty())
        return;
    setRoutesLoading(true);
    setRouteError(QString());
    emit logLine(QStringLiteral("[UI] 请求实时线路 reason=") + reasonText(reason) +
                     QStringLiteral(" gameId=") + id,
                 false, false);
    m_accelerator->loadRoutes(m_data->userId(), m_choice->routePayload());
}

void RouteSource::chooseNode(const QVariantMap &node)
{
    if (routeFull(node)) {
        emit toastRequested(QStringLiteral("该节点已满，请选择其他节点"), true);
        return;
    }
    select(node);
    const QString key = nodeStableKey(node);
    if (!key.isEmpty())
        m_data->saveGameRouteSelection(m_choice->gameId(), key);
    emit nodeChosen();
    requestNodeConfig(m_selectedNode, QStringLiteral("node-selected"));
    emit toastRequested(QStringLiteral("已切换节点：") + m_line, false);
}

void RouteSource::requestNodeConfig(const QVariantMap &node, const QString &reason)
{
    if (!canRequestConfig(node))
        return;
    setRouteConfigLoading(true);
    sendConfigRequest(node, reason);
}

bool RouteSource::canRequestConfig(const QVariantMap &node) const
{
    return m_data->loggedIn() && m_data->userId() > 0 && nodeRequestable(node);
}

void RouteSource::sendConfigRequest(const QVariantMap &node, const QString &reason)
{
    emit logLine(QStringLiteral("[UI] 请求节点配置 reason=") + reasonText(reason) +
                     QStringLiteral(" nodeId=") + nodeRequestKey(node),
                 false, false);
    m_accelerator->loadNodeConfig(m_data->userId(), m_choice->routePayload(), node);
}

// --- replies ----------------------------------------------------------------------------------------

void RouteSource::onDetail(const QVariantMap &detail)
{
    const QString packageName = firstText(detail, {"package_name"});
    const QString country = firstText(detail, {"country"});
    const QVariant first = detail.value(QStringLiteral("ip_list"));
    const QVariant ips = truthy(first) ? first : detail.value(QStringLiteral("ipList"));
    const qsizetype ipCount = truthy(ips) ? plain(ips).toList().size() : 0;
    if (!packageName.isEmpty() && !country.isEmpty())
        m_loadedDetailKeys.insert(detailKey(packageName, country));
    const QVariantMap current = m_choice->selectedGame();
    QString currentCountry = firstText(current, {"country"});
    if (currentCountry.isEmpty())
        currentCountry = m_choice->server().trimmed();
    if (packageName == gamePackageName(current) && country == currentCountry) {
        QVariantMap merged = current;
        for (auto it = detail.cbegin(); it != detail.cend(); ++it)
            merged.insert(it.key(), it.value());
        m_choice->setServer(regionWithin(merged, m_choice->server()));
        m_choice->setSelectedGame(merged);
    }
    if (detailKey(packageName, country) == m_gameDetailKey)
        setGameDetailLoading(false);
    const QString count = QString::number(ipCount);
    emit logLine(QStringLiteral("[UI] 游戏详情已更新 package=") + packageName + QStringLiteral(" country=") +
                     country + QStringLiteral(" ipCount=") + count,
                 false, false);
    emit logLine(QStringLiteral("[GameIP] 服务端IP列表 package=") + packageName +
                     QStringLiteral(" country=") + country + QStringLiteral(" count=") + count +
                     QStringLiteral(" ips=") + (ipCount > 0 ? listText(ips) : QStringLiteral("<empty>")),
                 ipCount == 0, false);
}

void RouteSource::onDetailFailed(const QString &operation, const QString &message)
{
    if (operation == QLatin1String("detail")) {
        setGameDetailLoading(false);
        emit toastRequested(message.isEmpty() ? QStringLiteral("游戏 IP 列表加载失败") : message, true);
        emit logLine(QStringLiteral("[UI] 游戏详情失败 message=") + message, true, true);
    } else {
        emit toastRequested(message.isEmpty() ? QStringLiteral("游戏列表加载失败") : message, true);
    }
}

void RouteSource::onRoutes(const QVariantList &routes, const QString &loadedGameId)
{
    if (loadedGameId != m_choice->gameId()) {
        emit logLine(QStringLiteral("[UI] 忽略过期线路回调 gameId=") + loadedGameId +
                         QStringLiteral(" current=") + m_choice->gameId(),
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
        select(choice);
    } else {
        setSelectedNode({});
        setLine(routes.isEmpty() ? QStringLiteral("暂无可用线路") : QStringLiteral("线路均已满"));
    }
    if (found && nodeRequestable(choice) && selectedRouteConfig().isEmpty())
        requestNodeConfig(m_selectedNode, QStringLiteral("route-list-default"));
    emit routesListed(routes);
    const QString chosenKey = found ? nodeStableKey(choice) : QString();
    const QString restored = !chosenKey.isEmpty() && chosenKey == preferred
                                 ? QStringLiteral(" restoredRoute=") + chosenKey
                                 : QString();
    emit logLine(QStringLiteral("[UI] 实时线路已更新 count=") + QString::number(routes.size()) +
                     QStringLiteral(" gameId=") + loadedGameId + restored,
                 false, false);
    if (routes.isEmpty())
        emit logLine(QStringLiteral("[UI] 当前游戏暂无可用线路，跳过节点配置请求"), true, true);
}

void RouteSource::onNodeConfig(const QVariantMap &config, const QString &loadedGameId, const QString &nodeId)
{
    if (!m_data->loggedIn() || loadedGameId != m_choice->gameId())
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
                select(route);
                break;
            }
        }
    }
    emit logLine(QStringLiteral("[UI] 节点配置已更新 gameId=") + loadedGameId + QStringLiteral(" nodeId=") +
                     nodeId,
                 false, false);
    emit nodeConfigLoaded(config, nodeId, isCurrentSelection);
}

void RouteSource::onRouteFailure(const QString &operation, const QString &message)
{
    if (operation == QLatin1String("accelerator_node_config")) {
        setRouteConfigLoading(false);
        emit logLine(QStringLiteral("[UI] 节点配置失败 message=") + message, true, true);
        emit nodeConfigFailed(message.isEmpty() ? QStringLiteral("线路配置加载失败") : message);
        return;
    }
    setRoutesLoading(false);
    setRouteConfigLoading(false);
    setRouteError(message.isEmpty() ? QStringLiteral("线路加载失败") : message);
    setNodes({});
    setSelectedNode({});
    setLine(QStringLiteral("线路加载失败"));
    emit logLine(QStringLiteral("[UI] AcceleratorApi 失败 op=") + operation + QStringLiteral(" message=") +
                     m_routeError,
                 true, true);
}
