#include "accel/runtimeconfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <utility>

namespace nimbra::accel {

namespace {

const QString kDomainResolverKey = QStringLiteral("domain_resolver");

// Scalars as text, like the lenient readers of the service records; objects and arrays give empty text.
QString rawText(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Double:
        return value.toVariant().toString();
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    default:
        return {};
    }
}

QString text(const QJsonValue &value)
{
    return rawText(value).trimmed();
}

QString typeName(const QString &type)
{
    return type.isEmpty() ? QStringLiteral("<empty>") : type;
}

QString unsupportedTypeMessage(const QString &type)
{
    return QStringLiteral("暂不支持服务器返回的线路类型：") + typeName(type);
}

// What the client passes on from a node, per object: documented fields only (a core refuses any other)
// and of those only what a route needs. Left out on purpose: every dial field that picks the host's
// interface, address, mark, namespace or next hop (bind_interface, inet4/6_bind_address, routing_mark,
// reuse_addr, netns, detour, the network_* strategies), every file path (certificate_path, ech's
// config_path) and every field that makes the core run something (plugin). A `nested` list applies to
// an object value; other values are kept as they are.
struct AllowedKey
{
    QLatin1StringView key;
    QLatin1StringView nested = {};
};

const QHash<QLatin1StringView, QList<AllowedKey>> &allowlists()
{
    using L = QLatin1StringView;
    static const QHash<QLatin1StringView, QList<AllowedKey>> lists = {
        // Every outbound type: outbound/ and the harmless part of shared/dial.
        {L("outbound"),
         {{L("type")},
          {L("tag")},
          {L("server")},
          {L("server_port")},
          {L("connect_timeout")},
          {L("tcp_fast_open")},
          {L("tcp_multi_path")},
          {L("udp_fragment")},
          {L("domain_resolver"), L("resolver")}}},
        {L("shadowsocks"),
         {{L("method")},
          {L("password")},
          {L("network")},
          {L("udp_over_tcp"), L("udp_over_tcp")},
          {L("multiplex"), L("multiplex")}}},
        {L("vless"),
         {{L("uuid")},
          {L("flow")},
          {L("network")},
          {L("packet_encoding")},
          {L("tls"), L("tls")},
          {L("multiplex"), L("multiplex")},
          {L("transport"), L("transport")}}},
        {L("hysteria2"),
         {{L("server_ports")},
          {L("hop_interval")},
          {L("up_mbps")},
          {L("down_mbps")},
          {L("obfs"), L("obfs")},
          {L("password")},
          {L("network")},
          {L("tls"), L("tls")}}},
        {L("direct"), {}},
        {L("resolver"),
         {{L("server")}, {L("strategy")}, {L("disable_cache")}, {L("rewrite_ttl")}, {L("client_subnet")}}},
        {L("tls"),
         {{L("enabled")},
          {L("disable_sni")},
          {L("server_name")},
          {L("insecure")},
          {L("alpn")},
          {L("min_version")},
          {L("max_version")},
          {L("cipher_suites")},
          {L("certificate")},
          {L("fragment")},
          {L("fragment_fallback_delay")},
          {L("record_fragment")},
          {L("utls"), L("utls")},
          {L("reality"), L("reality")},
          {L("ech"), L("ech")}}},
        {L("utls"), {{L("enabled")}, {L("fingerprint")}}},
        {L("reality"), {{L("enabled")}, {L("public_key")}, {L("short_id")}}},
        {L("ech"), {{L("enabled")}, {L("config")}}},
        {L("udp_over_tcp"), {{L("enabled")}, {L("version")}}},
        {L("multiplex"),
         {{L("enabled")},
          {L("protocol")},
          {L("max_connections")},
          {L("min_streams")},
          {L("max_streams")},
          {L("padding")},
          {L("brutal"), L("brutal")}}},
        {L("brutal"), {{L("enabled")}, {L("up_mbps")}, {L("down_mbps")}}},
        {L("transport"),
         {{L("type")},
          {L("host")},
          {L("path")}, // a URL path, not a file
          {L("method")},
          {L("headers")},
          {L("idle_timeout")},
          {L("ping_timeout")},
          {L("max_early_data")},
          {L("early_data_header_name")},
          {L("service_name")},
          {L("permit_without_stream")}}},
        {L("obfs"), {{L("type")}, {L("password")}}},
        // A node's DNS server: where it is and how its own name is resolved (the typed and the legacy form).
        {L("dns.server"),
         {{L("tag")},
          {L("type")},
          {L("server")},
          {L("server_port")},
          {L("address")},
          {L("domain_resolver"), L("resolver")},
          {L("address_resolver")},
          {L("address_strategy")}}},
    };
    return lists;
}

// The object with only the keys of `lists` (and, inside, of their nested lists); the names of the
// others, as paths from the object, go to dropped.
QJsonObject keepAllowed(const QJsonObject &object, const QList<QLatin1StringView> &lists, const QString &path,
                        QStringList &dropped)
{
    QJsonObject kept;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const AllowedKey *allowed = nullptr;
        for (const QLatin1StringView list : lists) {
            const QList<AllowedKey> &keys = allowlists().value(list);
            const auto found = std::find_if(keys.begin(), keys.end(),
                                            [&](const AllowedKey &entry) { return entry.key == it.key(); });
            if (found != keys.end()) {
                allowed = &*found;
                break;
            }
        }
        if (!allowed) {
            dropped.append(path + it.key());
            continue;
        }
        if (!allowed->nested.isEmpty() && it.value().isObject())
            kept.insert(it.key(), keepAllowed(it.value().toObject(), {allowed->nested},
                                              path + it.key() + QLatin1Char('.'), dropped));
        else
            kept.insert(it.key(), it.value());
    }
    return kept;
}

// The node outbound types a route may have, each with its list above.
bool isSupportedType(const QString &type)
{
    return type == QLatin1String("shadowsocks") || type == QLatin1String("vless") ||
           type == QLatin1String("hysteria2") || type == QLatin1String("direct");
}

QString droppedKeysLine(const QString &what, const QStringList &dropped)
{
    return QStringLiteral("[Config] 已丢弃线路配置中不允许的字段 %1 keys=%2")
        .arg(what, dropped.join(QLatin1Char(',')));
}

// A port only counts as a whole JSON number; text such as "443" is no port.
qint64 portNumber(const QJsonValue &value)
{
    if (!value.isDouble())
        return 0;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number || std::fabs(number) > 1e15)
        return 0;
    return static_cast<qint64>(number);
}

// Parser errors carry Qt's text; a well-formed document of the wrong kind would otherwise read
// "no error occurred".
QString parseErrorText(const QJsonParseError &error)
{
    if (error.error != QJsonParseError::NoError)
        return error.errorString();
    return QStringLiteral("document is not an object");
}

RuntimeConfigResult failure(const QString &message, const QStringList &logLines = {})
{
    RuntimeConfigResult result;
    result.errorMessage = message;
    result.logLines = logLines;
    return result;
}

// A reference by text, or sing-box's long form: an object naming the target under `server`.
QString referencedName(const QJsonValue &value)
{
    if (value.isObject())
        return text(value.toObject().value(QStringLiteral("server")));
    return value.isString() ? value.toString().trimmed() : QString();
}

void collectInto(const QJsonValue &value, const QString &key, QStringList &names)
{
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it.key() == key) {
                const QString name = referencedName(it.value());
                if (!name.isEmpty())
                    names.append(name);
            }
            collectInto(it.value(), key, names);
        }
    } else if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (const QJsonValue &element : array)
            collectInto(element, key, names);
    }
}

// Picks the node outbound for one template outbound: by tag first, then a direct one for a direct
// template outbound, otherwise the first with a server. Returns -1 when none is left.
qsizetype chooseServerOutbound(const QJsonArray &serverOutbounds, const QList<bool> &used, const QString &tag,
                               const QString &type)
{
    const auto firstUnused = [&](auto matches) -> qsizetype {
        for (qsizetype i = 0; i < serverOutbounds.size(); ++i) {
            if (!used.at(i) && matches(serverOutbounds.at(i).toObject()))
                return i;
        }
        return -1;
    };
    qsizetype index = -1;
    if (!tag.isEmpty())
        index =
            firstUnused([&](const QJsonObject &s) { return text(s.value(QStringLiteral("tag"))) == tag; });
    if (index >= 0)
        return index;
    if (type == QLatin1String("direct"))
        return firstUnused([](const QJsonObject &s) {
            return text(s.value(QStringLiteral("type"))) == QLatin1String("direct");
        });
    return firstUnused(
        [](const QJsonObject &s) { return !text(s.value(QStringLiteral("server"))).isEmpty(); });
}

// One result per template outbound, in template order; unused node outbounds are dropped.
bool mergeOutbounds(const QJsonArray &templateOutbounds, const QJsonArray &serverOutbounds,
                    QJsonArray &merged, QStringList &logLines, QString &error)
{
    QList<bool> used(serverOutbounds.size(), false);
    for (const QJsonValue &templateValue : templateOutbounds) {
        const QJsonObject templateOutbound = templateValue.toObject();
        const QString tag = text(templateOutbound.value(QStringLiteral("tag")));
        const QString type = text(templateOutbound.value(QStringLiteral("type")));
        const qsizetype index = chooseServerOutbound(serverOutbounds, used, tag, type);
        if (index < 0) {
            merged.append(templateValue);
            continue;
        }
        used[index] = true;
        const QString serverType = text(serverOutbounds.at(index).toObject().value(QStringLiteral("type")));
        if (!isSupportedType(serverType)) {
            error = unsupportedTypeMessage(serverType);
            return false;
        }
        QStringList dropped;
        QJsonObject server = keepAllowed(
            serverOutbounds.at(index).toObject(),
            {QLatin1StringView("outbound"), QLatin1StringView(serverType.toLatin1())}, {}, dropped);
        server.insert(QStringLiteral("type"), serverType);
        if (!dropped.isEmpty())
            logLines.append(
                droppedKeysLine(QStringLiteral("outbound=") + (tag.isEmpty() ? serverType : tag), dropped));
        QJsonObject result;
        if (serverType == QLatin1String("shadowsocks")) {
            // Only the endpoint and the key come from the node; cipher and UDP handling stay local.
            result = templateOutbound;
            for (const QString &key :
                 {QStringLiteral("server"), QStringLiteral("server_port"), QStringLiteral("password")}) {
                if (server.contains(key))
                    result.insert(key, server.value(key));
                else
                    result.remove(key);
            }
        } else if (serverType == QLatin1String("direct")) {
            result = templateOutbound;
        } else {
            // vless, hysteria2: the node's outbound as a whole, within its list.
            result = server;
        }
        // The template's routing rule refers to the template's tag.
        if (!tag.isEmpty())
            result.insert(QStringLiteral("tag"), tag);
        merged.append(result);
    }
    return true;
}

// Appends the node's DNS servers that the outbounds (or servers appended before) name as resolvers.
bool completeDns(QJsonObject &config, const QJsonArray &mergedOutbounds, const QJsonObject &nodeConfig,
                 QStringList &logLines, QString &error)
{
    QStringList pending = collectStringProperties(mergedOutbounds, kDomainResolverKey);
    if (pending.isEmpty())
        return true;

    QJsonObject dns = config.value(QStringLiteral("dns")).toObject();
    QJsonArray servers = dns.value(QStringLiteral("servers")).toArray();
    QSet<QString> known;
    for (const QJsonValue &server : std::as_const(servers))
        known.insert(text(server.toObject().value(QStringLiteral("tag"))));

    const QJsonArray nodeServers =
        nodeConfig.value(QStringLiteral("dns")).toObject().value(QStringLiteral("servers")).toArray();
    QStringList added;
    // A DNS server given by host name may itself name a resolver, so appended servers are scanned too.
    for (qsizetype i = 0; i < pending.size(); ++i) {
        const QString name = pending.at(i);
        if (known.contains(name))
            continue;
        const auto found =
            std::find_if(nodeServers.begin(), nodeServers.end(), [&name](const QJsonValue &server) {
                return text(server.toObject().value(QStringLiteral("tag"))) == name;
            });
        if (found == nodeServers.end()) {
            error = QStringLiteral("服务器线路引用了 DNS 解析器 %1，但 dns.servers 中未提供该配置").arg(name);
            return false;
        }
        QStringList dropped;
        const QJsonObject server =
            keepAllowed(found->toObject(), {QLatin1StringView("dns.server")}, {}, dropped);
        if (!dropped.isEmpty())
            logLines.append(droppedKeysLine(QStringLiteral("dns.server=") + name, dropped));
        servers.append(server);
        known.insert(name);
        added.append(name);
        pending.append(collectStringProperties(server, kDomainResolverKey));
    }

    dns.insert(QStringLiteral("servers"), servers);
    config.insert(QStringLiteral("dns"), dns);
    if (!added.isEmpty())
        logLines.append(QStringLiteral("[Config] 已补齐线路依赖的 DNS 配置 tags=") +
                        added.join(QLatin1Char(',')));
    return true;
}

// Checks every outbound with a server and describes it without its credential.
bool validateRemoteOutbounds(const QJsonArray &outbounds, QStringList &descriptions, QString &error)
{
    for (const QJsonValue &value : outbounds) {
        const QJsonObject outbound = value.toObject();
        if (text(outbound.value(QStringLiteral("server"))).isEmpty())
            continue;
        const qint64 port = portNumber(outbound.value(QStringLiteral("server_port")));
        if (port < 1 || port > 65535) {
            error = QStringLiteral("服务器线路配置的 outbounds.server_port 无效");
            return false;
        }
        const QString type = text(outbound.value(QStringLiteral("type")));
        QString credential;
        if (type == QLatin1String("shadowsocks")) {
            if (text(outbound.value(QStringLiteral("method"))).isEmpty() ||
                rawText(outbound.value(QStringLiteral("password"))).isEmpty()) {
                error = QStringLiteral("Shadowsocks 线路配置缺少 method/password");
                return false;
            }
            credential = QStringLiteral("password:set");
        } else if (type == QLatin1String("vless")) {
            if (text(outbound.value(QStringLiteral("uuid"))).isEmpty()) {
                error = QStringLiteral("VLESS 线路配置缺少 uuid");
                return false;
            }
            credential = QStringLiteral("uuid:set");
        } else if (type == QLatin1String("hysteria2")) {
            if (rawText(outbound.value(QStringLiteral("password"))).isEmpty()) {
                error = QStringLiteral("Hysteria2 线路配置缺少 password");
                return false;
            }
            credential = QStringLiteral("password:set");
        } else {
            error = unsupportedTypeMessage(type);
            return false;
        }
        // One multi-argument arg() so that a tag containing "%2" is not substituted again.
        descriptions.append(QStringLiteral("tag=%1 type=%2 port=%3 keys=%4 credential=%5")
                                .arg(text(outbound.value(QStringLiteral("tag"))), type, QString::number(port),
                                     outbound.keys().join(QLatin1Char(',')), credential));
    }
    if (descriptions.isEmpty()) {
        error = QStringLiteral("服务器线路配置的 outbounds 缺少 server/server_port");
        return false;
    }
    return true;
}

} // namespace

RuntimeConfigTemplate loadRuntimeConfigTemplate(const QString &path)
{
    RuntimeConfigTemplate result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.errorMessage = QStringLiteral("无法读取 nimbra-server 配置模板：") +
                              QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
        return result;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        result.errorMessage =
            QStringLiteral("nimbra-server 配置模板不是有效的 JSON：") + parseErrorText(error);
        return result;
    }
    result.ok = true;
    result.config = document.object();
    return result;
}

RuntimeConfigResult buildRuntimeConfigFromJson(const QByteArray &nodeJson, const QString &templatePath)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(nodeJson, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return failure(QStringLiteral("服务器线路配置不是有效的 JSON：") + parseErrorText(error));
    const QJsonObject nodeConfig = document.object();
    // The node's own faults are reported before a template problem.
    if (nodeConfig.value(QStringLiteral("outbounds")).toArray().isEmpty())
        return failure(QStringLiteral("服务器线路配置缺少 outbounds"));

    const RuntimeConfigTemplate loaded = loadRuntimeConfigTemplate(templatePath);
    if (!loaded.ok)
        return failure(loaded.errorMessage);
    return buildRuntimeConfig(loaded.config, nodeConfig);
}

RuntimeConfigResult buildRuntimeConfig(const QJsonObject &templateConfig, const QJsonObject &nodeConfig)
{
    const QJsonArray serverOutbounds = nodeConfig.value(QStringLiteral("outbounds")).toArray();
    if (serverOutbounds.isEmpty())
        return failure(QStringLiteral("服务器线路配置缺少 outbounds"));
    const QJsonArray templateOutbounds = templateConfig.value(QStringLiteral("outbounds")).toArray();
    if (templateOutbounds.isEmpty())
        return failure(QStringLiteral("nimbra-server 配置模板缺少 outbounds"));

    QString error;
    QJsonArray merged;
    QStringList logLines;
    if (!mergeOutbounds(templateOutbounds, serverOutbounds, merged, logLines, error))
        return failure(error, logLines);
    QJsonObject config = templateConfig;
    config.insert(QStringLiteral("outbounds"), merged);

    if (!completeDns(config, merged, nodeConfig, logLines, error))
        return failure(error, logLines);

    QStringList descriptions;
    if (!validateRemoteOutbounds(merged, descriptions, error))
        return failure(error, logLines);
    logLines.append(
        QStringLiteral(
            "[Config] 已按线路类型使用服务器 outbounds 生成运行配置；模板主体保持不变 serverKeys=") +
        nodeConfig.keys().join(QLatin1Char(',')));
    logLines.append(QStringLiteral("[Config] 远端出口 ") + descriptions.join(QStringLiteral(" | ")));

    const QString tunAddress = tunIpv4Address(config);
    if (tunAddress.isEmpty())
        return failure(QStringLiteral("nimbra-server 配置缺少有效的 IPv4 TUN 地址"), logLines);

    RuntimeConfigResult result;
    result.ok = true;
    result.compactJson = QJsonDocument(config).toJson(QJsonDocument::Compact);
    result.config = config;
    result.tunAddress = tunAddress;
    result.logLines = logLines;
    return result;
}

RuntimeConfigResult buildRuntimeConfig(const QJsonObject &templateConfig, const QVariantMap &nodeConfig)
{
    return buildRuntimeConfig(templateConfig, QJsonObject::fromVariantMap(nodeConfig));
}

QStringList collectStringProperties(const QJsonValue &value, const QString &key)
{
    QStringList names;
    collectInto(value, key, names);
    return names;
}

QString tunIpv4Address(const QJsonObject &config)
{
    QString candidate;
    const QJsonArray inbounds = config.value(QStringLiteral("inbounds")).toArray();
    for (const QJsonValue &value : inbounds) {
        const QJsonObject inbound = value.toObject();
        if (text(inbound.value(QStringLiteral("type"))) != QLatin1String("tun"))
            continue;
        const QJsonValue addressValue = inbound.value(QStringLiteral("address"));
        QString address;
        if (addressValue.isString())
            address = addressValue.toString();
        else if (addressValue.isArray() && !addressValue.toArray().isEmpty())
            address = rawText(addressValue.toArray().first());
        QHostAddress host;
        if (host.setAddress(address.section(QLatin1Char('/'), 0, 0).trimmed()) &&
            host.protocol() == QAbstractSocket::IPv4Protocol)
            candidate = host.toString();
    }
    return candidate;
}

} // namespace nimbra::accel
