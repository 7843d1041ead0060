#include "app/sessionrules.h"

#include <QJSValue>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <limits>

namespace runlog {

QString stripAnsi(const QString &text)
{
    static const QRegularExpression colour(QStringLiteral("\x1b\\[[0-9;]*m"));
    QString result = text;
    return result.remove(colour);
}

bool isCoreErrorLine(const QString &line)
{
    static const QRegularExpression word(QStringLiteral("(^|\\s)(error|fatal|panic)(?=\\s|$)"),
                                         QRegularExpression::CaseInsensitiveOption);
    return word.match(line).hasMatch();
}

} // namespace runlog

namespace sessionrules {

const QString kDefaultRegion = QStringLiteral("默认区服");

// The placeholder record the views show while no game is known (as the game list's own placeholder).
QVariantMap emptyGame()
{
    return {{QStringLiteral("id"), QString()},
            {QStringLiteral("name"), QStringLiteral("暂无游戏")},
            {QStringLiteral("title"), QStringLiteral("暂无游戏")},
            {QStringLiteral("en"), QStringLiteral("GAME")},
            {QStringLiteral("hue"), 220},
            {QStringLiteral("cat"), QStringLiteral("全部")},
            {QStringLiteral("country"), QString()},
            {QStringLiteral("vendor"), QStringLiteral("等待游戏列表")},
            {QStringLiteral("hot"), false},
            {QStringLiteral("popular"), 0},
            {QStringLiteral("ping"), 0},
            {QStringLiteral("servers"), QVariantList{QStringLiteral("默认区服")}},
            {QStringLiteral("iconSource"), QString()},
            {QStringLiteral("backgroundSource"), QString()},
            {QStringLiteral("packageName"), QString()},
            {QStringLiteral("package_name"), QString()},
            {QStringLiteral("ip_list"), QVariantList()},
            {QStringLiteral("ipList"), QVariantList()}};
}

// Values arrive from the interface as script values or as plain variants; the flows read plain ones.
QVariant plain(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<QJSValue>())
        return value.value<QJSValue>().toVariant();
    return value;
}

bool isBlank(const QVariant &value)
{
    const QVariant v = plain(value);
    return !v.isValid() || v.isNull() || v.toString().trimmed().isEmpty();
}

// The value as text; "" when missing or null.
QString textOf(const QVariant &value)
{
    const QVariant v = plain(value);
    return !v.isValid() || v.isNull() ? QString() : v.toString();
}

// A script's truth of a value: missing, null, false, 0 and "" are false.
bool truthy(const QVariant &value)
{
    const QVariant v = plain(value);
    if (!v.isValid() || v.isNull())
        return false;
    switch (v.metaType().id()) {
    case QMetaType::Bool:
        return v.toBool();
    case QMetaType::QString:
        return !v.toString().isEmpty();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = v.toDouble();
        return number != 0 && !std::isnan(number);
    }
    default:
        return true;
    }
}

bool isTrue(const QVariant &value)
{
    const QVariant v = plain(value);
    return v.metaType() == QMetaType::fromType<bool>() && v.toBool();
}

// The first non-empty value of the given keys, as trimmed text; "" when none.
QString firstText(const QVariantMap &record, std::initializer_list<const char *> keys)
{
    for (const char *key : keys) {
        const QVariant value = record.value(QLatin1String(key));
        if (!isBlank(value))
            return plain(value).toString().trimmed();
    }
    return QString();
}

QString nodeRequestKey(const QVariantMap &node)
{
    return firstText(node, {"id", "node_id", "web_url", "webUrl", "connect_host", "connectHost"});
}

QString nodeStableKey(const QVariantMap &node)
{
    return firstText(node, {"id", "node_id", "route_id", "key", "web_url", "webUrl", "connect_host",
                            "connectHost", "name"});
}

bool nodeRequestable(const QVariantMap &node)
{
    return !nodeRequestKey(node).isEmpty();
}

QString nodeName(const QVariantMap &node)
{
    return textOf(node.value(QStringLiteral("name")));
}

// A text is split; a list is taken as it is.
QStringList gameIpList(const QVariantMap &game)
{
    const QVariant first = game.value(QStringLiteral("ip_list"));
    const QVariant value = plain(truthy(first) ? first : game.value(QStringLiteral("ipList")));
    if (value.metaType() == QMetaType::fromType<QString>()) {
        static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
        return value.toString().split(separators, Qt::SkipEmptyParts);
    }
    if (value.canConvert<QVariantList>() && value.metaType() != QMetaType::fromType<QString>()) {
        QStringList items;
        for (const QVariant &item : value.toList())
            items << textOf(item);
        return items;
    }
    return {};
}

QString detailKey(const QString &packageName, const QString &country)
{
    return packageName + QChar(0x1f) + country;
}

QString gamePackageName(const QVariantMap &game)
{
    return firstText(game, {"package_name", "packageName"});
}

// Whether a configuration answered for nodeId belongs to this route. The route client names the node
// by node_id before id, so a route carrying both is matched by either.
bool nodeMatchesConfig(const QVariantMap &node, const QString &nodeId)
{
    const QString id = nodeId.trimmed();
    if (id.isEmpty())
        return false;
    const QVariant nodeIdValue = node.value(QStringLiteral("node_id"));
    return nodeRequestKey(node) == id ||
           (!isBlank(nodeIdValue) && plain(nodeIdValue).toString().trimmed() == id);
}

// A game's region: its first server entry, else its country, else the default region.
QString gameRegion(const QVariantMap &game)
{
    const QVariantList servers = plain(game.value(QStringLiteral("servers"))).toList();
    if (!servers.isEmpty() && !isBlank(servers.first()))
        return textOf(servers.first());
    if (!isBlank(game.value(QStringLiteral("country"))))
        return textOf(game.value(QStringLiteral("country")));
    return kDefaultRegion;
}

QString regionWithin(const QVariantMap &game, const QString &current)
{
    QStringList offered;
    const QVariantList servers = plain(game.value(QStringLiteral("servers"))).toList();
    for (const QVariant &server : servers) {
        if (!isBlank(server))
            offered << textOf(server);
    }
    if (offered.isEmpty() && !isBlank(game.value(QStringLiteral("country"))))
        offered << textOf(game.value(QStringLiteral("country")));
    if (offered.isEmpty() || offered.contains(current))
        return current;
    return offered.constFirst();
}

// The route configuration as the text the runtime configuration builder takes.
QString routeConfigText(const QVariantMap &node)
{
    for (const char *key : {"config", "config_json", "runtime_config"}) {
        const QVariant value = plain(node.value(QLatin1String(key)));
        if (!value.isValid() || value.isNull())
            continue;
        if (value.metaType() == QMetaType::fromType<QString>()) {
            if (value.toString().isEmpty())
                continue;
            return value.toString();
        }
        if (value.metaType() == QMetaType::fromType<QVariantMap>())
            return QString::fromUtf8(
                QJsonDocument(QJsonObject::fromVariantMap(value.toMap())).toJson(QJsonDocument::Compact));
        if (value.metaType() == QMetaType::fromType<QVariantList>())
            return QString::fromUtf8(
                QJsonDocument(QJsonArray::fromVariantList(value.toList())).toJson(QJsonDocument::Compact));
        return value.toString();
    }
    return QString();
}

bool routeFull(const QVariantMap &route)
{
    if (isTrue(route.value(QStringLiteral("full"))))
        return true;
    bool capOk = false;
    bool curOk = false;
    const qlonglong cap = plain(route.value(QStringLiteral("cap"))).toLongLong(&capOk);
    const qlonglong cur = plain(route.value(QStringLiteral("cur"))).toLongLong(&curOk);
    return capOk && curOk && cap >= 1 && cur >= cap;
}

// The route to select after a route list arrived: the first usable route whose stable key is the
// target key, else the first usable one. Missing and full routes are never chosen.
QVariantMap selectRoute(const QVariantList &routes, const QString &targetKey, bool *found)
{
    *found = false;
    QVariantMap fallback;
    for (const QVariant &value : routes) {
        const QVariant v = plain(value);
        if (v.metaType() != QMetaType::fromType<QVariantMap>())
            continue;
        const QVariantMap route = v.toMap();
        if (routeFull(route))
            continue;
        if (!*found)
            fallback = route;
        *found = true;
        const QString key = nodeStableKey(route);
        if (!key.isEmpty() && key == targetKey)
            return route;
    }
    return fallback;
}

RouteMode routeMode(const QString &label)
{
    if (label == QStringLiteral("极速电竞"))
        return RouteMode::Esports;
    if (label == QStringLiteral("稳定优先"))
        return RouteMode::Stable;
    return RouteMode::Balanced;
}

double balancedScore(const Measured &route)
{
    return route.medianMs + 2 * route.jitterMs + 300 * route.loss;
}

namespace {

// Figures closer than these are the same to a player: the choice then keeps the route it has.
constexpr double kEqualMs = 3;
constexpr double kEqualLoss = 0.02;
constexpr double kEqualJitterMs = 1;
// A move needs a route losing at least ten points less than the one in use.
constexpr double kClearlyLessLoss = 0.10;

bool usable(const Measured &route)
{
    return !route.full && route.answered();
}

// Of the indexes given, the current one when present, else the first.
int keepCurrent(const QList<int> &equal, int current)
{
    if (equal.isEmpty())
        return -1;
    return equal.contains(current) ? current : equal.first();
}

// The indexes whose value is within margin of the lowest among them.
QList<int> lowest(const QList<Measured> &routes, const QList<int> &among,
                  const std::function<double(const Measured &)> &value, double margin)
{
    double best = std::numeric_limits<double>::infinity();
    for (int i : among)
        best = std::min(best, value(routes.at(i)));
    QList<int> result;
    for (int i : among) {
        if (value(routes.at(i)) <= best + margin)
            result.append(i);
    }
    return result;
}

int chooseAmong(const QList<Measured> &routes, const QList<int> &among, RouteMode mode, int current)
{
    switch (mode) {
    case RouteMode::Esports:
        return keepCurrent(lowest(
                               routes, among, [](const Measured &r) { return r.medianMs; }, kEqualMs),
                           current);
    case RouteMode::Stable: {
        const QList<int> leastLoss = lowest(
            routes, among, [](const Measured &r) { return r.loss; }, kEqualLoss);
        return keepCurrent(
            lowest(
                routes, leastLoss, [](const Measured &r) { return r.jitterMs; }, kEqualJitterMs),
            current);
    }
    case RouteMode::Balanced:
        break;
    }
    return keepCurrent(lowest(routes, among, balancedScore, kEqualMs), current);
}

// The first map, depth first, that holds key; empty when none within five levels.
QVariantMap holderOf(const QVariant &value, const QString &key, int depth = 0)
{
    if (depth > 5)
        return {};
    const QVariant v = plain(value);
    if (v.metaType() == QMetaType::fromType<QVariantMap>()) {
        const QVariantMap map = v.toMap();
        if (!isBlank(map.value(key)))
            return map;
        for (const QVariant &inner : map) {
            const QVariantMap found = holderOf(inner, key, depth + 1);
            if (!found.isEmpty())
                return found;
        }
    } else if (v.metaType() == QMetaType::fromType<QVariantList>()) {
        for (const QVariant &inner : v.toList()) {
            const QVariantMap found = holderOf(inner, key, depth + 1);
            if (!found.isEmpty())
                return found;
        }
    } else if (v.metaType() == QMetaType::fromType<QString>() && depth > 0) {
        // A configuration sent as JSON text.
        const QJsonDocument document = QJsonDocument::fromJson(v.toString().toUtf8());
        if (!document.isNull())
            return holderOf(document.toVariant(), key, depth + 1);
    }
    return {};
}

} // namespace

int chooseRoute(const QList<Measured> &routes, RouteMode mode, int current)
{
    QList<int> among;
    for (int i = 0; i < routes.size(); ++i) {
        if (usable(routes.at(i)))
            among.append(i);
    }
    return chooseAmong(routes, among, mode, current);
}

double recentLoss(const QList<double> &samples)
{
    const QList<double> last = samples.mid(std::max<qsizetype>(0, samples.size() - kLossWindowProbes));
    if (last.isEmpty())
        return -1;
    const auto lost = std::count_if(last.cbegin(), last.cend(), [](double ms) { return ms < 0; });
    return static_cast<double>(lost) / static_cast<double>(last.size());
}

ProbeAddress probeAddress(const QVariantMap &route)
{
    ProbeAddress address;
    const QString endpoint = firstText(route, {"web_url", "webUrl", "connect_host", "connectHost"});
    address.host = endpoint.contains(QLatin1String("://")) ? QUrl(endpoint).host() : endpoint;
    // "host:port" without a scheme: that port is the endpoint's, not the node's.
    if (address.host.count(QLatin1Char(':')) == 1)
        address.host = address.host.section(QLatin1Char(':'), 0, 0);
    const QVariantMap holder = holderOf(route, QStringLiteral("server_port"));
    bool ok = false;
    const int port = textOf(holder.value(QStringLiteral("server_port"))).trimmed().toInt(&ok);
    if (ok && port > 0 && port <= 65535)
        address.port = static_cast<quint16>(port);
    QString protocol = firstText(route, {"protocol"});
    if (protocol.isEmpty())
        protocol = firstText(holder, {"type", "protocol"});
    static const QStringList udpOnly{QStringLiteral("hysteria"), QStringLiteral("hysteria2"),
                                     QStringLiteral("tuic"), QStringLiteral("wireguard")};
    address.udpOnly = udpOnly.contains(protocol.toLower());
    return address;
}

bool routeFailing(double windowLoss, bool lastRoundAnswered)
{
    return !lastRoundAnswered || windowLoss > kMoveLossLimit;
}

int moveTarget(const QList<Measured> &routes, int current, double currentLoss, RouteMode mode)
{
    QList<int> among;
    for (int i = 0; i < routes.size(); ++i) {
        const Measured &route = routes.at(i);
        if (i != current && usable(route) && route.loss + kClearlyLessLoss <= currentLoss)
            among.append(i);
    }
    return chooseAmong(routes, among, mode, -1);
}

bool moveAllowed(qint64 lastMoveMs, qint64 nowMs)
{
    return lastMoveMs < 0 || nowMs - lastMoveMs >= kMoveIntervalMs;
}

QString latencyText(double ms)
{
    return ms < 0 ? QStringLiteral("—")
                  : QString::number(std::max(1, static_cast<int>(std::lround(ms)))) + QStringLiteral(" ms");
}

QString lossText(double loss)
{
    return loss < 0 ? QStringLiteral("—") : QString::number(loss * 100, 'f', 1) + QLatin1Char('%');
}

} // namespace sessionrules
