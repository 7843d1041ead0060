#include "accel/runtimeconfig.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

using namespace nimbra::accel;

namespace {

const QString kDataDir = QStringLiteral(NIMBRA_SOURCE_DIR "/tests/accel/data/");

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

QJsonObject parseObject(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

QJsonObject fixture(const QString &name)
{
    return parseObject(readFile(kDataDir + name));
}

QJsonObject builtInTemplate()
{
    const RuntimeConfigTemplate loaded = loadRuntimeConfigTemplate();
    if (!loaded.ok)
        qFatal("%s", qPrintable(loaded.errorMessage));
    return loaded.config;
}

QJsonObject outboundAt(const QJsonObject &config, qsizetype index)
{
    return config.value(QStringLiteral("outbounds")).toArray().at(index).toObject();
}

QJsonObject withoutKey(QJsonObject object, const QString &key)
{
    object.remove(key);
    return object;
}

QJsonObject withInbounds(const QJsonArray &inbounds)
{
    QJsonObject config = builtInTemplate();
    config.insert(QStringLiteral("inbounds"), inbounds);
    return config;
}

QJsonObject shadowsocksNode(const QString &outboundJson)
{
    return parseObject(QStringLiteral("{\"outbounds\":[%1]}").arg(outboundJson).toUtf8());
}

} // namespace

class TestRuntimeConfig : public QObject
{
    Q_OBJECT

private slots:
    void templateFilesDifferOnlyInInterfaceName()
    {
        const QByteArray windowsText =
            readFile(QStringLiteral(NIMBRA_SOURCE_DIR "/resources/data/config.json"));
        const QByteArray linuxText =
            readFile(QStringLiteral(NIMBRA_SOURCE_DIR "/resources/data/config.linux.json"));
        const QByteArray windowsName = QByteArrayLiteral("\"interface_name\": \"Microsoft Wi-Fi\"");
        QCOMPARE(windowsText.count(windowsName), 1);

        const QString linuxName = parseObject(linuxText)
                                      .value(QStringLiteral("inbounds"))
                                      .toArray()
                                      .at(0)
                                      .toObject()
                                      .value(QStringLiteral("interface_name"))
                                      .toString();
        // What the Linux kernel accepts as an interface name.
        QVERIFY(!linuxName.isEmpty());
        QVERIFY(linuxName.toUtf8().size() <= 15);
        QVERIFY(linuxName != QLatin1String(".") && linuxName != QLatin1String(".."));
        for (const QChar c : linuxName)
            QVERIFY2(c.unicode() > 0x20 && c.unicode() < 0x7f && c != QLatin1Char('/') &&
                         c != QLatin1Char(':'),
                     qPrintable(linuxName));

        QByteArray expectedLinux = windowsText;
        expectedLinux.replace(windowsName, "\"interface_name\": \"" + linuxName.toUtf8() + '"');
        QCOMPARE(linuxText, expectedLinux);

        // The compiled-in template is this platform's file, byte for byte.
#ifdef Q_OS_WIN
        QCOMPARE(readFile(QString(kRuntimeConfigTemplatePath)), windowsText);
#else
        QCOMPARE(readFile(QString(kRuntimeConfigTemplatePath)), linuxText);
#endif
    }

    void shadowsocksNodeFillsTemplateOutbound()
    {
        const QJsonObject templateConfig = builtInTemplate();
        const QJsonObject node = fixture(QStringLiteral("node_shadowsocks.json"));
        const RuntimeConfigResult result = buildRuntimeConfig(templateConfig, node);
        QVERIFY2(result.ok, qPrintable(result.errorMessage));
        QVERIFY(result.errorMessage.isEmpty());

        // Endpoint and key from the node; cipher, UDP handling and tag stay the template's.
        QJsonObject expectedProxy = outboundAt(templateConfig, 0);
        expectedProxy.insert(QStringLiteral("server"), QStringLiteral("203.0.113.10"));
        expectedProxy.insert(QStringLiteral("server_port"), 40443);
        expectedProxy.insert(QStringLiteral("password"), QStringLiteral("Tm9kZVNlY3JldEtleTE2Qg=="));
        const QJsonArray outbounds = result.config.value(QStringLiteral("outbounds")).toArray();
        QCOMPARE(outbounds.size(), 2);
        QCOMPARE(outbounds.at(0).toObject(), expectedProxy);
        QCOMPARE(outbounds.at(1).toObject(), outboundAt(templateConfig, 1));
        QCOMPARE(withoutKey(result.config, QStringLiteral("outbounds")),
                 withoutKey(templateConfig, QStringLiteral("outbounds")));

        QCOMPARE(result.tunAddress, QStringLiteral("172.19.0.1"));
        QVERIFY(!result.compactJson.contains('\n'));
        QCOMPARE(parseObject(result.compactJson), result.config);
        QCOMPARE(result.logLines,
                 (QStringList{QStringLiteral(
                                  "[Config] 已按线路类型使用服务器 outbounds 生成运行配置；模板主体保持不变 "
                                  "serverKeys=outbounds,route"),
                              QStringLiteral("[Config] 远端出口 tag=proxy-out type=shadowsocks port=40443 "
                                             "keys=method,password,server,server_port,tag,type,udp_over_tcp "
                                             "credential=password:set")}));

        // The same result from the JSON text the UI passes and from the variant map it holds.
        const RuntimeConfigResult fromText =
            buildRuntimeConfigFromJson(readFile(kDataDir + QStringLiteral("node_shadowsocks.json")));
        QVERIFY2(fromText.ok, qPrintable(fromText.errorMessage));
        QCOMPARE(fromText.compactJson, result.compactJson);
        QCOMPARE(buildRuntimeConfig(templateConfig, node.toVariantMap()).compactJson, result.compactJson);
    }

    void vlessNodeReplacesTemplateOutbound()
    {
        const QJsonObject templateConfig = builtInTemplate();
        const QJsonObject node = fixture(QStringLiteral("node_vless.json"));
        const RuntimeConfigResult result = buildRuntimeConfig(templateConfig, node);
        QVERIFY2(result.ok, qPrintable(result.errorMessage));
        const QJsonObject vless = node.value(QStringLiteral("outbounds")).toArray().at(0).toObject();
        QCOMPARE(outboundAt(result.config, 0), vless);
        // A node direct outbound is matched to the template's but leaves it untouched.
        QCOMPARE(outboundAt(result.config, 1), outboundAt(templateConfig, 1));
        QCOMPARE(result.config.value(QStringLiteral("outbounds")).toArray().size(), 2);
        QVERIFY(result.logLines.last().endsWith(QLatin1String("credential=uuid:set")));
        for (const QString &line : result.logLines)
            QVERIFY2(!line.contains(QLatin1String("b831381d")), qPrintable(line));

        // Found by its server rather than its tag, it still takes the template's tag.
        QJsonObject renamed = vless;
        renamed.insert(QStringLiteral("tag"), QStringLiteral("node-vless"));
        const RuntimeConfigResult retagged = buildRuntimeConfig(
            templateConfig, QJsonObject{{QStringLiteral("outbounds"), QJsonArray{renamed}}});
        QVERIFY2(retagged.ok, qPrintable(retagged.errorMessage));
        QCOMPARE(outboundAt(retagged.config, 0), vless);

        for (const QJsonValue &uuid : {QJsonValue(), QJsonValue(QStringLiteral("  "))}) {
            QJsonObject broken = vless;
            if (uuid.isUndefined())
                broken.remove(QStringLiteral("uuid"));
            else
                broken.insert(QStringLiteral("uuid"), uuid);
            const RuntimeConfigResult failed = buildRuntimeConfig(
                templateConfig, QJsonObject{{QStringLiteral("outbounds"), QJsonArray{broken}}});
            QVERIFY(!failed.ok);
            QCOMPARE(failed.errorMessage, QStringLiteral("VLESS 线路配置缺少 uuid"));
        }
    }

    void nodeOutboundSelection()
    {
        const QJsonObject templateConfig = builtInTemplate();

        // Only the first of two Shadowsocks outbounds is used; the rest, even an unsupported type, is
        // dropped.
        const RuntimeConfigResult two =
            buildRuntimeConfig(templateConfig, fixture(QStringLiteral("node_two_shadowsocks.json")));
        QVERIFY2(two.ok, qPrintable(two.errorMessage));
        QCOMPARE(outboundAt(two.config, 0).value(QStringLiteral("server")).toString(),
                 QStringLiteral("198.51.100.1"));
        QCOMPARE(outboundAt(two.config, 0).value(QStringLiteral("server_port")).toInt(), 10001);
        QCOMPARE(outboundAt(two.config, 1), outboundAt(templateConfig, 1));
        QVERIFY(!two.compactJson.contains("198.51.100.2"));
        QVERIFY(!two.compactJson.contains("trojan"));

        // A matching tag wins over an earlier outbound that merely has a server.
        const RuntimeConfigResult byTag = buildRuntimeConfig(
            templateConfig,
            shadowsocksNode(QStringLiteral(
                R"({"type":"shadowsocks","server":"198.51.100.1","server_port":1,"password":"a"},)"
                R"({"type":"shadowsocks","tag":"proxy-out","server":"198.51.100.2","server_port":2,"password":"b"})")));
        QVERIFY2(byTag.ok, qPrintable(byTag.errorMessage));
        QCOMPARE(outboundAt(byTag.config, 0).value(QStringLiteral("server")).toString(),
                 QStringLiteral("198.51.100.2"));
        QVERIFY(!byTag.compactJson.contains("198.51.100.1"));

        // An outbound taken by one template outbound is not offered to the next one.
        const RuntimeConfigResult once = buildRuntimeConfig(
            templateConfig,
            shadowsocksNode(QStringLiteral(
                R"({"type":"direct","tag":"proxy-out","server":"198.51.100.9","server_port":9})")));
        QVERIFY(!once.ok);
        QCOMPARE(once.errorMessage, QStringLiteral("服务器线路配置的 outbounds 缺少 server/server_port"));
    }

    void refusedNodeOutbounds_data()
    {
        QTest::addColumn<QString>("outbound");
        QTest::addColumn<QString>("message");
        QTest::newRow("trojan by server")
            << R"({"type":"trojan","server":"198.51.100.3","server_port":443,"password":"p"})"
            << QStringLiteral("暂不支持服务器返回的线路类型：trojan");
        QTest::newRow("tuic by tag") << R"({"type":" tuic ","tag":"proxy-out"})"
                                     << QStringLiteral("暂不支持服务器返回的线路类型：tuic");
        QTest::newRow("hysteria2 without password")
            << R"({"type":"hysteria2","server":"198.51.100.3","server_port":443,"tls":{"enabled":true}})"
            << QStringLiteral("Hysteria2 线路配置缺少 password");
        QTest::newRow("no type") << R"({"server":"198.51.100.3","server_port":443})"
                                 << QStringLiteral("暂不支持服务器返回的线路类型：<empty>");
    }

    void refusedNodeOutbounds()
    {
        QFETCH(QString, outbound);
        QFETCH(QString, message);
        const RuntimeConfigResult result = buildRuntimeConfig(builtInTemplate(), shadowsocksNode(outbound));
        QVERIFY(!result.ok);
        QCOMPARE(result.errorMessage, message);
        QVERIFY(result.config.isEmpty());
        QVERIFY(result.compactJson.isEmpty());
        QVERIFY(result.tunAddress.isEmpty());
    }

    // Only each type's documented and harmless keys reach the core; the rest is named in the log.
    void nodeKeysAllowlist_data()
    {
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("droppedLine");

        const QString dial = QStringLiteral(
            R"("bind_interface":"eth9","inet4_bind_address":"10.0.0.2","inet6_bind_address":"::2",)"
            R"("routing_mark":"0x1","reuse_addr":true,"netns":"/proc/1/ns/net","detour":"direct-out",)"
            R"("protect_path":"/tmp/p","network_strategy":"fallback",)");
        QTest::newRow("vless dial fields")
            << R"({"outbounds":[{"type":"vless","server":"203.0.113.9","server_port":443,"uuid":"u",)" +
                   dial + R"("tls":{"enabled":true}}]})"
            << "outbound=proxy-out keys=bind_interface,detour,inet4_bind_address,inet6_bind_address,"
               "netns,network_strategy,protect_path,reuse_addr,routing_mark";
        QTest::newRow("vless file paths")
            << R"({"outbounds":[{"type":"vless","server":"203.0.113.9","server_port":443,"uuid":"u","tls":)"
               R"({"enabled":true,"certificate_path":"/etc/shadow","path":"/etc/ssl","ech":{"enabled":true,)"
               R"("config_path":"/etc/ech"},"reality":{"enabled":true,"public_key":"k","path":"/r"}}}]})"
            << "outbound=proxy-out keys=tls.certificate_path,tls.ech.config_path,tls.path,tls.reality.path";
        QTest::newRow("hysteria2")
            << R"({"outbounds":[{"type":"hysteria2","server":"203.0.113.9","server_port":443,"password":"p",)" +
                   dial + R"("brutal_debug":true,"tls":{"enabled":true,"alpn":["h3"]}}]})"
            << "outbound=proxy-out keys=bind_interface,brutal_debug,detour,inet4_bind_address,"
               "inet6_bind_address,netns,network_strategy,protect_path,reuse_addr,routing_mark";
        QTest::newRow("shadowsocks plugin and endpoint copy")
            << R"({"outbounds":[{"type":"shadowsocks","server":"203.0.113.9","server_port":443,"password":"p",)"
               R"("address":"a.test","plugin":"obfs-local","plugin_opts":"obfs=http"}]})"
            << "outbound=proxy-out keys=address,plugin,plugin_opts";
        QTest::newRow("DNS server")
            << R"({"outbounds":[{"type":"vless","server":"edge.test","server_port":443,"uuid":"u",)"
               R"("domain_resolver":{"server":"node-dns","netns":"x"}}],"dns":{"servers":[{"tag":"node-dns",)"
               R"("type":"udp","server":"198.51.100.53","server_port":53,"bind_interface":"eth9",)"
               R"("routing_mark":1,"detour":"direct-out","path":"/etc/hosts","predefined":{}}]}})"
            << "outbound=proxy-out keys=domain_resolver.netns | dns.server=node-dns "
               "keys=bind_interface,detour,"
               "path,predefined,routing_mark";
    }

    void nodeKeysAllowlist()
    {
        QFETCH(QString, node);
        QFETCH(QString, droppedLine);
        const RuntimeConfigResult result = buildRuntimeConfig(builtInTemplate(), parseObject(node.toUtf8()));
        QVERIFY2(result.ok, qPrintable(result.errorMessage));
        const QString prefix = QStringLiteral("[Config] 已丢弃线路配置中不允许的字段 ");
        QStringList lines = result.logLines.filter(prefix);
        lines.replaceInStrings(prefix, QString());
        QCOMPARE(lines.join(QStringLiteral(" | ")), droppedLine);
        const QByteArray handedOver =
            QJsonDocument(
                QJsonArray{
                    result.config.value(QStringLiteral("outbounds")),
                    result.config.value(QStringLiteral("dns")).toObject().value(QStringLiteral("servers"))})
                .toJson(QJsonDocument::Compact);
        for (const QString &line : std::as_const(lines)) {
            for (const QString &path : line.section(QStringLiteral("keys="), 1).split(QLatin1Char(',')))
                QVERIFY2(!handedOver.contains('"' + path.section(QLatin1Char('.'), -1).toUtf8() + "\":"),
                         qPrintable(path));
        }
    }

    void serverPorts_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("valid");
        QTest::newRow("0") << "0" << false;
        QTest::newRow("1") << "1" << true;
        QTest::newRow("65535") << "65535" << true;
        QTest::newRow("65536") << "65536" << false;
        QTest::newRow("-1") << "-1" << false;
        QTest::newRow("whole double") << "443.0" << true;
        QTest::newRow("fraction") << "443.5" << false;
        QTest::newRow("wraps to 443 in 32 bits") << "4294967739" << false;
        QTest::newRow("huge") << "1e300" << false;
        QTest::newRow("text") << "\"443\"" << false;
        QTest::newRow("bool") << "true" << false;
        QTest::newRow("null") << "null" << false;
    }

    void serverPorts()
    {
        QFETCH(QString, port);
        QFETCH(bool, valid);
        const RuntimeConfigResult result = buildRuntimeConfig(
            builtInTemplate(),
            shadowsocksNode(
                QStringLiteral(
                    R"({"type":"shadowsocks","server":"203.0.113.10","server_port":%1,"password":"k"})")
                    .arg(port)));
        QCOMPARE(result.ok, valid);
        if (!valid)
            QCOMPARE(result.errorMessage, QStringLiteral("服务器线路配置的 outbounds.server_port 无效"));
    }

    void missingEndpointOrCredentials()
    {
        const QJsonObject templateConfig = builtInTemplate();
        const QString methodPassword = QStringLiteral("Shadowsocks 线路配置缺少 method/password");

        // The template's empty password is removed, not kept, when the node has none.
        const RuntimeConfigResult noPassword = buildRuntimeConfig(
            templateConfig, shadowsocksNode(QStringLiteral(
                                R"({"type":"shadowsocks","server":"203.0.113.10","server_port":443})")));
        QCOMPARE(noPassword.errorMessage, methodPassword);
        const RuntimeConfigResult emptyPassword = buildRuntimeConfig(
            templateConfig,
            shadowsocksNode(QStringLiteral(
                R"({"type":"shadowsocks","server":"203.0.113.10","server_port":443,"password":""})")));
        QCOMPARE(emptyPassword.errorMessage, methodPassword);

        QJsonObject blankMethod = templateConfig;
        QJsonArray outbounds = blankMethod.value(QStringLiteral("outbounds")).toArray();
        QJsonObject proxy = outbounds.at(0).toObject();
        proxy.insert(QStringLiteral("method"), QStringLiteral("  "));
        outbounds.replace(0, proxy);
        blankMethod.insert(QStringLiteral("outbounds"), outbounds);
        const RuntimeConfigResult noMethod =
            buildRuntimeConfig(blankMethod, fixture(QStringLiteral("node_shadowsocks.json")));
        QCOMPARE(noMethod.errorMessage, methodPassword);

        // Without a server the filled outbound is not remote, and nothing else is.
        const RuntimeConfigResult noServer = buildRuntimeConfig(
            templateConfig, shadowsocksNode(QStringLiteral(
                                R"({"type":"shadowsocks","tag":"proxy-out","server":" ","password":"k"})")));
        QVERIFY(!noServer.ok);
        QCOMPARE(noServer.errorMessage, QStringLiteral("服务器线路配置的 outbounds 缺少 server/server_port"));
    }

    void dnsCompletion()
    {
        const QJsonObject templateConfig = builtInTemplate();
        const QJsonObject templateDns = templateConfig.value(QStringLiteral("dns")).toObject();
        const QJsonObject node = fixture(QStringLiteral("node_remote_dns.json"));
        const QJsonArray nodeDnsServers =
            node.value(QStringLiteral("dns")).toObject().value(QStringLiteral("servers")).toArray();
        const QJsonObject vless = node.value(QStringLiteral("outbounds")).toArray().at(0).toObject();
        const auto nodeWithResolver = [&](const QJsonValue &resolver, bool withDns) {
            QJsonObject outbound = vless;
            outbound.insert(QStringLiteral("domain_resolver"), resolver);
            QJsonObject result = node;
            result.insert(QStringLiteral("outbounds"), QJsonArray{outbound});
            if (!withDns)
                result.remove(QStringLiteral("dns"));
            return result;
        };

        // The template's own resolver needs nothing from the node.
        const RuntimeConfigResult local =
            buildRuntimeConfig(templateConfig, nodeWithResolver(QStringLiteral("local-dns"), false));
        QVERIFY2(local.ok, qPrintable(local.errorMessage));
        QCOMPARE(local.config.value(QStringLiteral("dns")).toObject(), templateDns);
        QCOMPARE(local.logLines.size(), 2);

        const QJsonArray expectedServers{templateDns.value(QStringLiteral("servers")).toArray().at(0),
                                         nodeDnsServers.at(1)};
        const RuntimeConfigResult remote = buildRuntimeConfig(templateConfig, node);
        QVERIFY2(remote.ok, qPrintable(remote.errorMessage));
        const QJsonObject dns = remote.config.value(QStringLiteral("dns")).toObject();
        QCOMPARE(dns.value(QStringLiteral("servers")).toArray(), expectedServers);
        QCOMPARE(withoutKey(dns, QStringLiteral("servers")),
                 withoutKey(templateDns, QStringLiteral("servers")));
        QCOMPARE(remote.logLines.size(), 3);
        QCOMPARE(remote.logLines.first(),
                 QStringLiteral("[Config] 已补齐线路依赖的 DNS 配置 tags=remote-dns"));

        // sing-box's long form names the resolver under `server`.
        const RuntimeConfigResult longForm = buildRuntimeConfig(
            templateConfig,
            nodeWithResolver(QJsonObject{{QStringLiteral("server"), QStringLiteral("remote-dns")},
                                         {QStringLiteral("strategy"), QStringLiteral("ipv4_only")}},
                             true));
        QVERIFY2(longForm.ok, qPrintable(longForm.errorMessage));
        QCOMPARE(longForm.config.value(QStringLiteral("dns"))
                     .toObject()
                     .value(QStringLiteral("servers"))
                     .toArray(),
                 expectedServers);

        const RuntimeConfigResult missing =
            buildRuntimeConfig(templateConfig, nodeWithResolver(QStringLiteral(" remote-dns "), false));
        QVERIFY(!missing.ok);
        QCOMPARE(missing.errorMessage,
                 QStringLiteral("服务器线路引用了 DNS 解析器 remote-dns，但 dns.servers 中未提供该配置"));

        // An appended server given by host name brings the resolver it depends on.
        QJsonObject chained = node;
        QJsonObject remoteDns{{QStringLiteral("tag"), QStringLiteral("remote-dns")},
                              {QStringLiteral("type"), QStringLiteral("https")},
                              {QStringLiteral("server"), QStringLiteral("dns.example.test")},
                              {QStringLiteral("domain_resolver"), QStringLiteral("bootstrap-dns")}};
        QJsonObject bootstrapDns{{QStringLiteral("tag"), QStringLiteral("bootstrap-dns")},
                                 {QStringLiteral("type"), QStringLiteral("udp")},
                                 {QStringLiteral("server"), QStringLiteral("223.5.5.5")}};
        chained.insert(QStringLiteral("dns"),
                       QJsonObject{{QStringLiteral("servers"), QJsonArray{bootstrapDns, remoteDns}}});
        const RuntimeConfigResult transitive = buildRuntimeConfig(templateConfig, chained);
        QVERIFY2(transitive.ok, qPrintable(transitive.errorMessage));
        QCOMPARE(transitive.config.value(QStringLiteral("dns"))
                     .toObject()
                     .value(QStringLiteral("servers"))
                     .toArray(),
                 (QJsonArray{templateDns.value(QStringLiteral("servers")).toArray().at(0), remoteDns,
                             bootstrapDns}));
        QCOMPARE(transitive.logLines.first(),
                 QStringLiteral("[Config] 已补齐线路依赖的 DNS 配置 tags=remote-dns,bootstrap-dns"));

        // References are found at any depth; blank and non-text values are no references.
        const QJsonValue nested =
            parseObject(R"({"a":[{"domain_resolver":" x "},{"b":{"domain_resolver":"y"}}],
            "domain_resolver":"", "c":{"domain_resolver":7}, "d":[[{"domain_resolver":{"server":"z"}}]]})");
        QCOMPARE(collectStringProperties(nested, QStringLiteral("domain_resolver")),
                 (QStringList{QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")}));
    }

    void inputAndTemplateFailures()
    {
        const QString jsonPrefix = QStringLiteral("服务器线路配置不是有效的 JSON：");
        for (const QByteArray &input :
             {QByteArray("{\"outbounds\": ["), QByteArray(), QByteArray("[1, 2]")}) {
            const RuntimeConfigResult result = buildRuntimeConfigFromJson(input);
            QVERIFY(!result.ok);
            QVERIFY2(result.errorMessage.startsWith(jsonPrefix), qPrintable(result.errorMessage));
            const QString detail = result.errorMessage.mid(jsonPrefix.size());
            QVERIFY(!detail.isEmpty());
            QVERIFY(detail != QLatin1String("no error occurred"));
        }
        for (const QByteArray &input : {QByteArray("{}"), QByteArray(R"({"outbounds": []})"),
                                        QByteArray(R"({"outbounds": {"type": "vless"}})")})
            QCOMPARE(buildRuntimeConfigFromJson(input).errorMessage,
                     QStringLiteral("服务器线路配置缺少 outbounds"));

        const QByteArray node = readFile(kDataDir + QStringLiteral("node_shadowsocks.json"));
        const QString missingPath = QStringLiteral("missing-dir/config.json");
        const QString missingMessage =
            QStringLiteral("无法读取 nimbra-server 配置模板：") +
            QDir::toNativeSeparators(QDir::current().absoluteFilePath(missingPath));
        QCOMPARE(buildRuntimeConfigFromJson(node, missingPath).errorMessage, missingMessage);
        // The node's own fault is reported first.
        QCOMPARE(buildRuntimeConfigFromJson("{}", missingPath).errorMessage,
                 QStringLiteral("服务器线路配置缺少 outbounds"));

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const auto writeTemplate = [&dir](const QByteArray &content) {
            const QString path = dir.filePath(QStringLiteral("config.json"));
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                file.write(content) != content.size())
                qFatal("cannot write template");
            return path;
        };
        QVERIFY(buildRuntimeConfigFromJson(node, writeTemplate("{\"log\": "))
                    .errorMessage.startsWith(QStringLiteral("nimbra-server 配置模板不是有效的 JSON：")));
        QVERIFY(buildRuntimeConfigFromJson(node, writeTemplate("[]"))
                    .errorMessage.startsWith(QStringLiteral("nimbra-server 配置模板不是有效的 JSON：")));
        QCOMPARE(buildRuntimeConfigFromJson(node, writeTemplate(R"({"outbounds": []})")).errorMessage,
                 QStringLiteral("nimbra-server 配置模板缺少 outbounds"));
        const RuntimeConfigResult fromFile = buildRuntimeConfigFromJson(
            node, writeTemplate(readFile(QStringLiteral(NIMBRA_SOURCE_DIR "/resources/data/config.json"))));
        QVERIFY2(fromFile.ok, qPrintable(fromFile.errorMessage));
    }

    void tunAddress()
    {
        const auto tun = [](const QJsonValue &address) {
            return QJsonObject{{QStringLiteral("type"), QStringLiteral(" tun ")},
                               {QStringLiteral("address"), address}};
        };
        const QJsonObject mixed{{QStringLiteral("type"), QStringLiteral("mixed")},
                                {QStringLiteral("address"), QStringLiteral("10.0.0.9/24")}};

        QCOMPARE(tunIpv4Address(withInbounds({tun(QStringLiteral(" 10.7.0.2 /24"))})),
                 QStringLiteral("10.7.0.2"));
        QCOMPARE(tunIpv4Address(withInbounds(
                     {tun(QJsonArray{QStringLiteral("10.7.0.2/30"), QStringLiteral("fd00::1/126")})})),
                 QStringLiteral("10.7.0.2"));
        // Only the first address of a list counts.
        QCOMPARE(tunIpv4Address(withInbounds(
                     {tun(QJsonArray{QStringLiteral("fd00::1/126"), QStringLiteral("10.7.0.2/30")})})),
                 QString());
        // A later valid TUN inbound wins; a later invalid one does not undo an earlier one.
        QCOMPARE(tunIpv4Address(withInbounds({tun(QStringLiteral("10.1.0.1/30")), mixed,
                                              tun(QStringLiteral("10.2.0.1/30")),
                                              tun(QStringLiteral("not-an-address"))})),
                 QStringLiteral("10.2.0.1"));
        QCOMPARE(tunIpv4Address(withInbounds({mixed, tun(QJsonArray{}), tun(QJsonValue(7))})), QString());

        // Checked last: the result is refused, but the log lines that were due are kept.
        const RuntimeConfigResult noTun =
            buildRuntimeConfig(withInbounds({mixed}), fixture(QStringLiteral("node_shadowsocks.json")));
        QVERIFY(!noTun.ok);
        QCOMPARE(noTun.errorMessage, QStringLiteral("nimbra-server 配置缺少有效的 IPv4 TUN 地址"));
        QCOMPARE(noTun.logLines.size(), 2);
        QVERIFY(noTun.compactJson.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRuntimeConfig)
#include "tst_runtimeconfig.moc"
