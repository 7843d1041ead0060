#include "app/sessionrules.h"

#include <QJSValue>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace runlog {

QVariantList trimmed(const QVariantList &entries)
{
    if (entries.size() <= kMaxEntries)
        return entries;
    QVariantList important;
    QVariantList others;
    for (const QVariant &entry : entries)
        (entry.toMap().value(QStringLiteral("important")).toBool() ? important : others).append(entry);
    QVariantList kept = important.mid(std::max<qsizetype>(0, important.size() - kMaxImportantEntries));
    kept += others.mid(std::max<qsizetype>(0, others.size() - (kMaxEntries - kept.size())));
    return kept;
}

QVariantList appendLines(const QVariantList &entries, const QString &message,
                         const std::function<bool(const QString &)> &isError, const QString &time)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r?\n"));
    QVariantList added;
    for (const QString &line : message.split(lineBreak)) {
        if (line.isEmpty())
            continue;
        added.append(QVariantMap{{QStringLiteral("time"), time},
                                 {QStringLiteral("text"), line},
                                 {QStringLiteral("error"), isError(line)},
                                 {QStringLiteral("important"), line.contains(QLatin1String("[GameIP]"))}});
    }
    if (added.isEmpty())
        return entries;
    return trimmed(entries + added);
}

QString text(const QVariantList &entries)
{
    QStringList lines;
    lines.reserve(entries.size());
    for (const QVariant &value : entries) {
        const QVariantMap entry = value.toMap();
        lines << QLatin1Char('[') + entry.value(QStringLiteral("time")).toString() + QStringLiteral("] ") +
                     (entry.value(QStringLiteral("error")).toBool() ? QStringLiteral("[ERROR] ")
                                                                    : QString()) +
                     entry.value(QStringLiteral("text")).toString();
    }
    return lines.join(QLatin1Char('\n'));
}

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
        if (isTrue(route.value(QStringLiteral("full"))))
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

int latencyBaseline(const QVariantMap &node, const QVariantMap &game)
{
    const QVariantList candidates{node.value(QStringLiteral("latency")), node.value(QStringLiteral("ping")),
                                  node.value(QStringLiteral("ms")), game.value(QStringLiteral("ping"))};
    for (const QVariant &candidate : candidates) {
        const QVariant v = plain(candidate);
        if (!v.isValid() || v.isNull())
            continue;
        bool ok = false;
        const double value = v.metaType() == QMetaType::fromType<QString>()
                                 ? v.toString().trimmed().toDouble(&ok)
                                 : v.toDouble(&ok);
        if (ok && std::isfinite(value) && value > 0)
            return static_cast<int>(std::floor(value + 0.5));
    }
    return 68;
}

int nextDisconnectedLatency(int baseline, double random)
{
    return std::clamp(baseline + static_cast<int>(std::floor((random - 0.5) * 8 + 0.5)), 1, 999);
}

double initialBoostedLatency(const QVariantMap &game, int disconnectedLatency)
{
    bool ok = false;
    const double ping = plain(game.value(QStringLiteral("ping"))).toDouble(&ok);
    return std::max(1.0, ok && ping != 0 && !std::isnan(ping) ? ping
                                                              : std::floor(disconnectedLatency * 0.48 + 0.5));
}

double nextBoostedLatency(double current, double random)
{
    return std::clamp(current + (random - 0.5) * 6, 22.0, 58.0);
}

} // namespace sessionrules
