#include "accel/acceleratorapi.h"

#include "net/httpmanager.h"
#include "state/globaldata.h"
#include "state/servermessages.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonParseError>

#include <climits>
#include <cmath>

namespace {

const QString kOperationNodeList = QStringLiteral("accelerator_node_list");
const QString kOperationNodeConfig = QStringLiteral("accelerator_node_config");
const QString kNodeConfigPath = QStringLiteral("/api/user/node/config");
const QString kTicketKey = QStringLiteral("waf_pass_ticket");

// The recursive search looks at maps and lists at depths 0 to 4 only.
constexpr int kMaxSearchDepth = 5;

const QStringList kRouteContainerKeys{
    QStringLiteral("routes"),      QStringLiteral("nodes"),      QStringLiteral("lines"),
    QStringLiteral("list"),        QStringLiteral("servers"),    QStringLiteral("items"),
    QStringLiteral("shared_list"), QStringLiteral("home_list"),  QStringLiteral("idc_list"),
    QStringLiteral("isp_list"),    QStringLiteral("native_list")};
const QStringList kRouteGroupKeys{QStringLiteral("shared_list"), QStringLiteral("home_list"),
                                  QStringLiteral("idc_list"), QStringLiteral("isp_list"),
                                  QStringLiteral("native_list")};
const QStringList kSharedConfigKeys{QStringLiteral("config"), QStringLiteral("config_json"),
                                    QStringLiteral("runtime_config"), QStringLiteral("encrypted_config")};

const QStringList kIdKeys{QStringLiteral("id"),           QStringLiteral("node_id"),
                          QStringLiteral("route_id"),     QStringLiteral("key"),
                          QStringLiteral("web_url"),      QStringLiteral("webUrl"),
                          QStringLiteral("connect_host"), QStringLiteral("connectHost"),
                          QStringLiteral("host"),         QStringLiteral("address")};
const QStringList kEndpointKeys{QStringLiteral("web_url"),      QStringLiteral("webUrl"),
                                QStringLiteral("connect_host"), QStringLiteral("connectHost"),
                                QStringLiteral("host"),         QStringLiteral("address")};
const QStringList kNodeIdKeys = QStringList{QStringLiteral("node_id"), QStringLiteral("id")} + kEndpointKeys;
const QStringList kNameKeys{QStringLiteral("name"),         QStringLiteral("title"),
                            QStringLiteral("label"),        QStringLiteral("route_name"),
                            QStringLiteral("node_name"),    QStringLiteral("line_name"),
                            QStringLiteral("display_name"), QStringLiteral("show_name")};
const QStringList kNoteKeys{QStringLiteral("note"),         QStringLiteral("description"),
                            QStringLiteral("region"),       QStringLiteral("country"),
                            QStringLiteral("location"),     QStringLiteral("area"),
                            QStringLiteral("country_name"), QStringLiteral("city_name"),
                            QStringLiteral("type_name"),    QStringLiteral("protocol_name")};
const QStringList kConfigSourceKeys{QStringLiteral("outbounds"), QStringLiteral("inbounds"),
                                    QStringLiteral("route")};

// Only real maps and lists count: QVariant would also turn a string into a list of characters.
QVariantMap asMap(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash:
        return value.toMap();
    default:
        return {};
    }
}

bool isList(const QVariant &value)
{
    return value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList;
}

bool isPresent(const QVariant &value)
{
    return value.isValid() && !value.isNull();
}

// QVariant's own integer conversion, except that doubles outside the 64-bit range (where Qt's rounding
// is undefined) saturate and NaN gives 0.
int variantInt(const QVariant &value)
{
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) {
        const double number = value.toDouble();
        if (std::isnan(number))
            return 0;
        if (number >= 9.2e18)
            return INT_MAX;
        if (number <= -9.2e18)
            return INT_MIN;
    }
    return value.toInt();
}

QString keysText(const QVariantMap &map)
{
    return map.keys().join(QLatin1Char(','));
}

} // namespace

AcceleratorApi::AcceleratorApi(const QString &baseUrl, QObject *parent)
    : QObject(parent)
    , m_endpoint(baseUrl)
{}

void AcceleratorApi::setHttpManager(HttpManager *manager)
{
    m_endpoint.attach(manager, this, &AcceleratorApi::handleResponse);
}

void AcceleratorApi::setSession(qint64 guid, const QString &secret, const QString &deviceId)
{
    if (guid != m_guid)
        ++m_session;
    m_guid = guid;
    m_secret = secret;
    m_deviceId = deviceId;
    log(QStringLiteral("[Accelerator] 会话已设置 guid=%1 deviceId=%2 secret=%3")
            .arg(QString::number(guid), deviceId,
                 secret.isEmpty() ? QStringLiteral("<empty>") : QStringLiteral("<set>")));
}

void AcceleratorApi::clearSession()
{
    ++m_session;
    m_guid = 0;
    m_secret.clear();
    m_deviceId.clear();
    m_pendingNodeIds.clear();
    m_routes = QVariantList();
    emit routesChanged();
    setLastError(QString());
}

bool AcceleratorApi::hasSessionFor(qint64 guid) const
{
    return guid >= 1 && guid == m_guid && !m_secret.isEmpty() && !m_deviceId.isEmpty();
}

void AcceleratorApi::fail(const QString &operation, const QString &message)
{
    setLastError(message);
    emit requestFailed(operation, message);
}

void AcceleratorApi::loadRoutes(qint64 guid, const QVariantMap &game)
{
    const QString gameId = firstText(game, {QStringLiteral("id")});
    if (!m_endpoint.http()) {
        fail(kOperationNodeList, QStringLiteral("网络管理器未初始化"));
        return;
    }
    if (!hasSessionFor(guid)) {
        fail(kOperationNodeList, QStringLiteral("登录状态无效，请重新登录后加载线路"));
        return;
    }
    const QString packageName = firstText(game, {QStringLiteral("package_name")});
    if (packageName.isEmpty()) {
        fail(kOperationNodeList, QStringLiteral("当前游戏缺少包名，无法获取线路"));
        return;
    }
    const QJsonObject body{{QStringLiteral("guid"), guid}, {QStringLiteral("package_name"), packageName}};
    postJson(GlobalData::instance()->acceleratorPcConfigPath(), guid, body, gameId, kOperationNodeList,
             QString());
}

void AcceleratorApi::loadNodeConfig(qint64 guid, const QVariantMap &game, const QVariantMap &node)
{
    if (!m_endpoint.http()) {
        fail(kOperationNodeConfig, QStringLiteral("网络管理器未初始化"));
        return;
    }
    if (!hasSessionFor(guid)) {
        fail(kOperationNodeConfig, QStringLiteral("登录状态无效，请重新登录后获取线路配置"));
        return;
    }
    const QString gameId = firstText(game, {QStringLiteral("id")});
    const QString packageName = firstText(game, {QStringLiteral("package_name")});
    const QString endpoint = recursiveText(node, kEndpointKeys);
    const QString nodeId = recursiveText(node, kNodeIdKeys);
    if (endpoint.isEmpty() || packageName.isEmpty()) {
        fail(kOperationNodeConfig, QStringLiteral("线路缺少节点地址或游戏包名，无法获取配置"));
        return;
    }
    QJsonObject body{{QStringLiteral("guid"), guid},
                     {QStringLiteral("web_url"), endpoint},
                     {QStringLiteral("package_name"), packageName}};
    // Only the record's own keys: a ticket belongs to the route it was listed with.
    const QString ticket = firstText(node, {kTicketKey, QStringLiteral("wafPassTicket")});
    if (!ticket.isEmpty())
        body.insert(kTicketKey, ticket);
    postJson(kNodeConfigPath, guid, body, gameId, kOperationNodeConfig, nodeId);
}

void AcceleratorApi::postJson(const QString &path, qint64 guid, const QJsonObject &body,
                              const QString &gameId, const QString &operation, const QString &nodeId)
{
    const QByteArray json = QJsonDocument(body).toJson(QJsonDocument::Compact);
    const quint64 requestId = m_endpoint.http()->postJson(operation, path, json, guid, true, false);
    m_pendingOperations.insert(requestId, operation);
    m_pendingGameIds.insert(requestId, gameId);
    m_pendingSessions.insert(requestId, m_session);
    if (!nodeId.isEmpty())
        m_pendingNodeIds.insert(requestId, nodeId);
    if (++m_busyCount == 1)
        emit busyChanged();

    // The pass ticket opens a route for this user; the log shows only that one was sent.
    QJsonObject traced = body;
    if (traced.contains(kTicketKey))
        traced.insert(kTicketKey, QStringLiteral("<set>"));
    log(QStringLiteral("[Accelerator] 请求已提交 #%1 path=%2 guid=%3 gameId=%4 body=%5")
            .arg(QString::number(requestId), path, QString::number(guid),
                 gameId.isEmpty() ? QStringLiteral("<empty>") : gameId,
                 QString::fromUtf8(QJsonDocument(traced).toJson(QJsonDocument::Compact))));
}

void AcceleratorApi::handleResponse(quint64 requestId, const QString &operation, bool success, int httpStatus,
                                    const QVariantMap &response, const QString &message)
{
    static const QHash<QString, void (AcceleratorApi::*)(const Reply &)> handlers{
        {kOperationNodeList, &AcceleratorApi::onRoutes},
        {kOperationNodeConfig, &AcceleratorApi::onNodeConfig},
    };
    const auto handler = handlers.value(operation);
    if (!m_pendingOperations.contains(requestId) || !handler)
        return;
    const QString gameId = m_pendingGameIds.take(requestId);
    const QString nodeId = m_pendingNodeIds.take(requestId);
    m_pendingOperations.remove(requestId);
    const bool sessionEnded = m_pendingSessions.take(requestId) != m_session;
    if (m_busyCount > 0 && --m_busyCount == 0)
        emit busyChanged();
    // The previous account's routes must not show after its sign-out.
    if (sessionEnded) {
        log(QStringLiteral("[Accelerator] 忽略已结束会话的回调 #%1 op=%2")
                .arg(QString::number(requestId), operation));
        return;
    }

    const QVariantMap data = asMap(response.value(QStringLiteral("data")));
    const QString requestText = QString::number(requestId);
    const QString statusText = QString::number(httpStatus);
    if (success) {
        (this->*handler)({requestText, statusText, gameId, nodeId, data});
        return;
    }

    // The pipeline translates the service's English texts; the raw `msg` taken first here gets the same
    // translation, so a toast never shows "invalid token" where the transport would say it in Chinese.
    const QString serverMessage =
        nimbra::translateServerMessage(firstText(response, {QStringLiteral("msg")}));
    QString failure = serverMessage;
    if (failure.isEmpty())
        failure = message.isEmpty() ? QStringLiteral("线路请求失败") : message;
    setLastError(failure);
    log(QStringLiteral("[Accelerator] 请求失败 #%1 status=%2 gameId=%3 message=%4")
            .arg(requestText, statusText, gameId, failure));
    emit requestFailed(operation, failure);
}

void AcceleratorApi::onNodeConfig(const Reply &reply)
{
    const QVariantMap config = nodeConfigFromData(reply.data);
    setLastError(QString());
    log(QStringLiteral("[Accelerator] 节点配置加载完成 #%1 status=%2 gameId=%3 nodeId=%4 keys=%5")
            .arg(reply.requestText, reply.statusText, reply.gameId, reply.nodeId, keysText(config)));
    emit nodeConfigLoaded(config, reply.gameId, reply.nodeId);
}

void AcceleratorApi::onRoutes(const Reply &reply)
{
    m_routes = normalizeRoutes(QVariant(reply.data));
    emit routesChanged();
    setLastError(QString());
    log(QStringLiteral("[Accelerator] 线路加载完成 #%1 status=%2 gameId=%3 routes=%4 dataKeys=%5")
            .arg(reply.requestText, reply.statusText, reply.gameId, QString::number(m_routes.size()),
                 keysText(reply.data)));
    if (!m_routes.isEmpty()) {
        QStringList details;
        for (qsizetype i = 0; i < m_routes.size(); ++i) {
            const QVariantMap route = m_routes.at(i).toMap();
            const auto yesNo = [&route](const QString &key) {
                return firstText(route, {key}).isEmpty() ? QStringLiteral("no") : QStringLiteral("yes");
            };
            details.append(QStringLiteral("#%1 keys=%2 name=%3 webUrl=%4 connectHost=%5")
                               .arg(QString::number(i), keysText(route),
                                    route.value(QStringLiteral("name")).toString(),
                                    yesNo(QStringLiteral("web_url")), yesNo(QStringLiteral("connect_host"))));
        }
        log(QStringLiteral("[Accelerator] 线路详情 ") + details.join(QStringLiteral(" | ")));
    }
    emit routesLoaded(m_routes, reply.gameId);
}

void AcceleratorApi::setLastError(const QString &text)
{
    if (text == m_lastError)
        return;
    m_lastError = text;
    emit lastErrorChanged();
}

void AcceleratorApi::log(const QString &message)
{
    qInfo().noquote() << message;
    emit trace(message);
}

QVariant AcceleratorApi::firstValue(const QVariantMap &map, const QStringList &keys)
{
    for (const QString &key : keys) {
        const QVariant value = map.value(key);
        if (isPresent(value))
            return value;
    }
    return {};
}

QString AcceleratorApi::firstText(const QVariantMap &map, const QStringList &keys)
{
    for (const QString &key : keys) {
        const QVariant value = map.value(key);
        if (!isPresent(value))
            continue;
        const QString text = value.toString().trimmed();
        if (!text.isEmpty())
            return text;
    }
    return {};
}

QString AcceleratorApi::valueText(const QVariantMap &map, const QStringList &keys)
{
    return firstText(map, keys);
}

int AcceleratorApi::valueInt(const QVariantMap &map, const QStringList &keys, int defaultValue)
{
    const QVariant value = firstValue(map, keys);
    if (!value.isValid())
        return defaultValue;
    bool parsed = false;
    const int number = value.toString().toInt(&parsed, 10);
    return parsed ? number : variantInt(value);
}

bool AcceleratorApi::valueBool(const QVariantMap &map, const QStringList &keys, bool defaultValue)
{
    const QVariant value = firstValue(map, keys);
    if (!value.isValid())
        return defaultValue;
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1") || text == QLatin1String("yes"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0") || text == QLatin1String("no"))
        return false;
    return variantInt(value) != 0;
}

QString AcceleratorApi::recursiveText(const QVariant &value, const QStringList &keys, int depth)
{
    if (depth >= kMaxSearchDepth)
        return {};
    const QVariantMap map = asMap(value);
    if (!map.isEmpty()) {
        const QString own = firstText(map, keys);
        if (!own.isEmpty())
            return own;
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            const QString nested = recursiveText(it.value(), keys, depth + 1);
            if (!nested.isEmpty())
                return nested;
        }
        return {};
    }
    if (isList(value)) {
        const QVariantList list = value.toList();
        for (const QVariant &element : list) {
            const QString nested = recursiveText(element, keys, depth + 1);
            if (!nested.isEmpty())
                return nested;
        }
    }
    return {};
}

QVariantList AcceleratorApi::extractRouteValues(const QVariant &value)
{
    if (isList(value))
        return value.toList();
    if (value.typeId() == QMetaType::QString) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(value.toString().toUtf8(), &error);
        if (error.error != QJsonParseError::NoError)
            return {};
        return extractRouteValues(document.toVariant());
    }
    const QVariantMap map = asMap(value);
    bool containerFound = false;
    QVariantList result;
    for (const QString &key : kRouteContainerKeys) {
        const QVariant container = map.value(key);
        if (!container.isValid())
            continue;
        containerFound = true;
        QVariantList records = extractRouteValues(container);
        if (kRouteGroupKeys.contains(key)) {
            for (QVariant &record : records) {
                QVariantMap recordMap = asMap(record);
                if (recordMap.isEmpty() || recordMap.contains(QStringLiteral("source_group")))
                    continue;
                recordMap.insert(QStringLiteral("source_group"), key);
                record = recordMap;
            }
        }
        result.append(records);
    }
    if (containerFound)
        return result;
    if (!map.isEmpty())
        return {map};
    return {};
}

QVariantMap AcceleratorApi::normalizeRoute(const QVariantMap &route, int index)
{
    QVariantMap result = route;
    const QString id = recursiveText(route, kIdKeys);
    result.insert(QStringLiteral("id"), id);

    const QString endpoint = recursiveText(route, kEndpointKeys);
    if (!endpoint.isEmpty()) {
        result.insert(QStringLiteral("web_url"), endpoint);
        if (!route.contains(QStringLiteral("connect_host")))
            result.insert(QStringLiteral("connect_host"), endpoint);
    }

    QString name = recursiveText(route, kNameKeys);
    if (name.isEmpty())
        name = id;
    if (name.isEmpty())
        name = QStringLiteral("线路 %1").arg(qint64(index) + 1);
    result.insert(QStringLiteral("name"), name);
    result.insert(QStringLiteral("note"), recursiveText(route, kNoteKeys));

    const int cur = valueInt(route,
                             {QStringLiteral("cur"), QStringLiteral("current"), QStringLiteral("online"),
                              QStringLiteral("used"), QStringLiteral("active")},
                             0);
    const int cap = valueInt(
        route,
        {QStringLiteral("cap"), QStringLiteral("capacity"), QStringLiteral("limit"), QStringLiteral("max")},
        0);
    bool full = valueBool(route, {QStringLiteral("full"), QStringLiteral("is_full")}, false);
    if (!full)
        full = cap >= 1 && cur >= cap;
    bool automatic = valueBool(route, {QStringLiteral("auto"), QStringLiteral("is_auto")}, false);
    if (!automatic) {
        const QString type = firstText(route, {QStringLiteral("type")});
        automatic = type.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0;
    }
    result.insert(QStringLiteral("cur"), cur);
    result.insert(QStringLiteral("cap"), cap);
    result.insert(QStringLiteral("full"), full);
    result.insert(QStringLiteral("auto"), automatic);
    result.insert(
        QStringLiteral("latency"),
        valueInt(route, {QStringLiteral("latency"), QStringLiteral("ping"), QStringLiteral("ms")}, 0));

    // A record that is itself a core configuration carries it as its config.
    if (!route.contains(QStringLiteral("config"))) {
        for (const QString &key : kConfigSourceKeys) {
            if (route.contains(key)) {
                result.insert(QStringLiteral("config"), route);
                break;
            }
        }
    }
    return result;
}

QVariantList AcceleratorApi::normalizeRoutes(const QVariant &value)
{
    const QVariantList records = extractRouteValues(value);
    const QVariant sharedConfig = firstValue(asMap(value), kSharedConfigKeys);
    QVariantList routes;
    int position = 0;
    for (const QVariant &record : records) {
        const QVariantMap map = asMap(record);
        if (map.isEmpty())
            continue;
        // Auto routes are dropped after numbering, so they still take up a position.
        QVariantMap route = normalizeRoute(map, position++);
        if (route.value(QStringLiteral("auto")).toBool())
            continue;
        if (sharedConfig.isValid() && !route.contains(QStringLiteral("config")))
            route.insert(QStringLiteral("config"), sharedConfig);
        routes.append(route);
    }
    return routes;
}

QVariantMap AcceleratorApi::nodeConfigFromData(const QVariantMap &data)
{
    const QVariantMap config = asMap(data.value(QStringLiteral("config")));
    return config.isEmpty() ? data : config;
}
