// The route client: normalisation of the many route-list shapes, request bookkeeping by id, and both
// signed calls against the dev service.
#include "accel/acceleratorapi.h"
#include "accel/runtimeconfig.h"
#include "account/authapi.h"
#include "devserviceprocess.h"
#include "net/httpmanager.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

namespace {

const QString kList = QStringLiteral("accelerator_node_list");
const QString kConfig = QStringLiteral("accelerator_node_config");
const QString kNoSession = QStringLiteral("登录状态无效，请重新登录后加载线路");
const QStringList kEndpointKeys{"web_url", "webUrl", "connect_host", "connectHost", "host", "address"};

// JSON written with single quotes, which keeps the cases readable inside C++ strings.
QVariant json(const char *text)
{
    return QJsonDocument::fromJson(QByteArray(text).replace('\'', '"')).toVariant();
}

QVariant fixture(const QString &name)
{
    QFile file(QStringLiteral(NIMBRA_SOURCE_DIR "/tests/accel/data/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return QJsonDocument::fromJson(file.readAll()).toVariant();
}

QStringList field(const QVariantList &routes, const QString &key)
{
    QStringList values;
    for (const QVariant &route : routes)
        values.append(route.toMap().value(key).toString());
    return values;
}

struct Spies
{
    explicit Spies(AcceleratorApi &api)
        : routes(&api, &AcceleratorApi::routesLoaded)
        , configs(&api, &AcceleratorApi::nodeConfigLoaded)
        , failed(&api, &AcceleratorApi::requestFailed)
        , traces(&api, &AcceleratorApi::trace)
        , busy(&api, &AcceleratorApi::busyChanged)
    {}

    // The id of the request submitted last, read from its trace line.
    quint64 lastRequestId() const
    {
        static const QRegularExpression submitted(QStringLiteral("^\\[Accelerator\\] 请求已提交 #(\\d+) "));
        for (qsizetype i = traces.size() - 1; i >= 0; --i) {
            const auto match = submitted.match(traces.at(i).at(0).toString());
            if (match.hasMatch())
                return match.captured(1).toULongLong();
        }
        return 0;
    }

    bool traced(const QString &text) const
    {
        return std::any_of(traces.cbegin(), traces.cend(),
                           [&](const QVariantList &line) { return line.at(0).toString().contains(text); });
    }

    // Waits for one more signal on `spy` (true) or on `failed` (false).
    bool next(QSignalSpy &spy)
    {
        const qsizetype before = spy.count();
        const qsizetype failedBefore = failed.count();
        if (!QTest::qWaitFor([&] { return spy.count() > before || failed.count() > failedBefore; }, 10000))
            return false;
        if (failed.count() > failedBefore)
            qWarning() << "request failed:" << failed.constLast();
        return spy.count() > before;
    }

    QSignalSpy routes;
    QSignalSpy configs;
    QSignalSpy failed;
    QSignalSpy traces;
    QSignalSpy busy;
};

void collectCredentials(const QVariant &value, QStringList &found)
{
    const QVariantMap map = value.toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (QStringList{"password", "uuid", "waf_pass_ticket", "wafPassTicket"}.contains(it.key()))
            found.append(it.value().toString());
        else
            collectCredentials(it.value(), found);
    }
    if (value.typeId() == QMetaType::QVariantList) {
        for (const QVariant &element : value.toList())
            collectCredentials(element, found);
    }
}

// What the stand-in core's strict check says of a runtime configuration: empty when it passes.
QString coreCheckRefusal(const QByteArray &config)
{
    QProcess core;
    core.setProcessChannelMode(QProcess::MergedChannels);
    core.start(QStringLiteral(NIMBRA_STUB_CORE),
               {QStringLiteral("check"), QStringLiteral("-c"), QStringLiteral("stdin"),
                QStringLiteral("--disable-color")});
    core.write(config);
    core.closeWriteChannel();
    if (!core.waitForFinished(10000))
        return QStringLiteral("no answer");
    const QString output = QString::fromUtf8(core.readAll());
    return core.exitStatus() == QProcess::NormalExit && core.exitCode() == 0
               ? QString()
               : output + QStringLiteral(" (refused)");
}

} // namespace

class TestAcceleratorApi : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<DevServiceProcess> m_service;

    // Signs the seeded account in and hands the session to the transport and to the client by hand. The
    // pipeline learns the service's address from the route client alone.
    bool signIn(HttpManager &http, AuthApi &auth, AcceleratorApi &api, qint64 *userId, QString *secret)
    {
        api.setHttpManager(&http);
        auth.setHttpManager(&http);
        QSignalSpy authenticated(&auth, &AuthApi::authenticated);
        auth.loginPassword(QStringLiteral("13800138000"), QStringLiteral("nimbra123"));
        if (!authenticated.wait(10000))
            return false;
        *userId = authenticated.constFirst().at(2).toInt();
        *secret = auth.deviceSecret();
        http.setSession(*userId, *secret, auth.deviceId());
        api.setSession(*userId, *secret, auth.deviceId());
        return *userId > 0 && !secret->isEmpty();
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        m_service = std::make_unique<DevServiceProcess>();
        QVERIFY(m_service->isRunning());
    }
    void cleanupTestCase() { m_service.reset(); }

    void routeExtraction()
    {
        // Containers in their fixed order, not the map's; group containers tag records without a group;
        // JSON text is parsed, invalid text and non-object entries add nothing and take no position.
        const QVariantList routes = AcceleratorApi::normalizeRoutes(fixture("routes_groups.json"));
        QCOMPARE(field(routes, "id"), (QStringList{"plain-1", "shared-1", "home-1", "idc-1", "idc-2", ""}));
        QCOMPARE(field(routes, "source_group"),
                 (QStringList{"", "shared_list", "home_list", "idc_vip", "idc_list", "isp_list"}));
        QVERIFY(!routes.at(0).toMap().contains("source_group"));
        QCOMPARE(field(routes, "name"),
                 (QStringList{"普通线路", "共享线路", "home-1", "机房线路", "idc-2", "线路 6"}));
        QCOMPARE(field(routes, "web_url").at(2), QStringLiteral("home.example.test"));

        // Without any container key the data object is the one route; with one (even null), it is not.
        const QVariantList lone =
            AcceleratorApi::normalizeRoutes(json("{'web_url': 'one.test', 'name': '唯一'}"));
        QCOMPARE(field(lone, "id"), QStringList{"one.test"});
        QVERIFY(AcceleratorApi::normalizeRoutes(json("{'list': [], 'web_url': 'x.test'}")).isEmpty());
        QVERIFY(AcceleratorApi::normalizeRoutes(json("{'routes': null, 'web_url': 'x.test'}")).isEmpty());
        QVERIFY(AcceleratorApi::normalizeRoutes(QVariantMap()).isEmpty());
        QCOMPARE(AcceleratorApi::extractRouteValues(QStringLiteral("{\"servers\": [{\"id\": 1}, 2]}")).size(),
                 2);
        QVERIFY(AcceleratorApi::extractRouteValues(QStringLiteral("[{")).isEmpty());
    }

    void routeFields()
    {
        // Null values are skipped and blank text does not end a text search; a value that is present but
        // no number gives 0, not the default.
        const QVariantMap values = json("{'a': null, 'b': ' ', 'c': ' x ', 'd': 'No'}").toMap();
        QCOMPARE(AcceleratorApi::valueText(values, {"a", "b", "c"}), QStringLiteral("x"));
        QCOMPARE(AcceleratorApi::valueInt(values, {"a"}, 9), 9);
        QCOMPARE(AcceleratorApi::valueInt(values, {"a", "b"}, 9), 0);
        QCOMPARE(AcceleratorApi::valueBool(values, {"a", "d"}, true), false);

        // Dropped auto routes still take their position in the fallback names.
        const QVariantList automatic = AcceleratorApi::normalizeRoutes(
            json("{'routes': [{'auto': 'yes', 'name': '智能'}, {'cur': 3}, {'type': 'AUTO', 'name': 'x'},"
                 " {'is_auto': '0', 'type': ' Auto '}, {'auto': 'no', 'type': 'direct', 'name': 'kept'}]}"));
        QCOMPARE(field(automatic, "name"), (QStringList{"线路 2", "kept"}));

        const QVariantList routes = AcceleratorApi::normalizeRoutes(json(
            "{'list': [{'cur': 10, 'cap': 10}, {'cur': '5', 'cap': 0}, {'cur': 3, 'cap': 10, 'full': 'yes'},"
            " {'current': '11', 'capacity': '10', 'is_full': false}, {'latency': '35'}, {'ping': '38ms'},"
            " {'latency': null, 'ms': ' 41 '}, {'ping': 12.0},"
            " {'webUrl': ' w.test ', 'connect_host': '', 'node_id': 7},"
            " {'connectHost': 'c.test', 'web_url': '  ', 'title': ' T ', 'region': 'HK'}]}"));
        QCOMPARE(field(routes, "full"), (QStringList{"true", "false", "true", "true", "false", "false",
                                                     "false", "false", "false", "false"}));
        QCOMPARE(field(routes, "latency"),
                 (QStringList{"0", "0", "0", "0", "35", "0", "41", "12", "0", "0"}));
        QCOMPARE(routes.at(3).toMap().value("cur"), QVariant(11));
        // The endpoint is trimmed into web_url; a connect_host sent by the service stays as it is.
        const QVariantMap byNodeId = routes.at(8).toMap();
        QCOMPARE(byNodeId.value("id"), QVariant("7"));
        QCOMPARE(byNodeId.value("name"), QVariant("7"));
        QCOMPARE(byNodeId.value("web_url"), QVariant("w.test"));
        QCOMPARE(byNodeId.value("connect_host"), QVariant(""));
        QCOMPARE(byNodeId.value("webUrl"), QVariant(" w.test "));
        const QVariantMap byHost = routes.at(9).toMap();
        QCOMPARE(byHost.value("id"), QVariant("c.test"));
        QCOMPARE(byHost.value("connect_host"), QVariant("c.test"));
        QCOMPARE(byHost.value("name"), QVariant("T"));
        QCOMPARE(byHost.value("note"), QVariant("HK"));

        // The endpoint may sit in an embedded configuration, but not deeper than five levels.
        const QVariantMap embedded = AcceleratorApi::normalizeRoute(
            json("{'id': 'r', 'config': {'outbounds': [{'type': 'vless', 'address': 'hk.test'}]}}").toMap(),
            0);
        QCOMPARE(embedded.value("web_url"), QVariant("hk.test"));
        QVERIFY(!AcceleratorApi::normalizeRoute(
                     json("{'a': {'b': {'c': {'d': {'e': {'host': 'h'}}}}}}").toMap(), 0)
                     .contains("web_url"));
        QCOMPARE(AcceleratorApi::recursiveText(json("{'a': [[[{'host': 'h'}]]]}"), kEndpointKeys),
                 QString("h"));
        QCOMPARE(AcceleratorApi::recursiveText(json("{'a': [[[[{'host': 'h'}]]]]}"), kEndpointKeys),
                 QString());
        // The record's own keys win over nested ones; nested maps are tried in key order.
        QCOMPARE(AcceleratorApi::recursiveText(json("{'host': 'top', 'a': {'web_url': 'n'}}"), kEndpointKeys),
                 QString("top"));
        QCOMPARE(AcceleratorApi::recursiveText(json("{'c': {'web_url': 'c'}, 'a': {'address': 'a'}}"),
                                               kEndpointKeys),
                 QString("a"));

        // Own config kept; the list-level one (null skipped, text carried as text) for the others; a record
        // that is itself a core configuration becomes its own config.
        const QVariantList shared = AcceleratorApi::normalizeRoutes(fixture("routes_shared_config.json"));
        QCOMPARE(shared.size(), 3);
        QCOMPARE(shared.at(0).toMap().value("config").toMap().value("outbounds").toList().size(), 1);
        QCOMPARE(shared.at(1).toMap().value("config").typeId(), QMetaType::QString);
        QCOMPARE(shared.at(2).toMap().value("config").toMap().value("server"), QVariant("192.0.2.1"));
    }

    void requestsMatchedById()
    {
        // Answers are injected for real request ids; the transport's own (failing) answers for those ids
        // come only once the event loop runs, and must then change nothing.
        HttpManager http;
        http.setBaseUrl(QStringLiteral("http://127.0.0.1:1"));
        AcceleratorApi api;
        api.setHttpManager(&http);
        Spies spies(api);
        api.setSession(7, "secret-value", "device-1");
        const QVariantMap jx3{{"id", " jx3 "}, {"package_name", "com.kingsoft.jx3"}};
        const QVariantMap lol{{"id", "lol"}, {"package_name", "com.tencent.lol"}};
        const auto answer = [&http](quint64 id, const QString &operation, bool success,
                                    const QVariantMap &reply, const QString &message = QString()) {
            emit http.responseReady(id, operation, success, 200, reply, message);
        };

        api.loadRoutes(7, jx3);
        const quint64 routesId = spies.lastRequestId();
        QVERIFY(spies.traced(
            QStringLiteral("gameId=jx3 body={\"guid\":7,\"package_name\":\"com.kingsoft.jx3\"}")));
        // node_id before id; the ticket from a top-level key only, never traced.
        api.loadNodeConfig(
            7, jx3, {{"id", "a-id"}, {"node_id", "A"}, {"web_url", "a.test"}, {"wafPassTicket", " wpt_x "}});
        const quint64 configA = spies.lastRequestId();
        QVERIFY(spies.traced(QStringLiteral("\"waf_pass_ticket\":\"<set>\",\"web_url\":\"a.test\"}")));
        api.loadNodeConfig(7, lol,
                           {{"connectHost", "b.test"},
                            {"waf_pass_ticket", " "},
                            {"config", QVariantMap{{"waf_pass_ticket", "n"}}}});
        const quint64 configB = spies.lastRequestId();
        QVERIFY(
            spies.traced(QStringLiteral("gameId=lol body={\"guid\":7,\"package_name\":\"com.tencent.lol\","
                                        "\"web_url\":\"b.test\"}")));
        QVERIFY(!spies.traced("wpt_x"));
        QCOMPARE(spies.busy.count(), 1);

        // Unknown ids and other operations are ignored; the entry of an ignored answer stays.
        const QVariantMap routeData = json("{'list': [{'id': 'r1', 'web_url': 'r1.test'}]}").toMap();
        answer(configB + 100, kList, true, {{"data", routeData}});
        answer(routesId, QStringLiteral("detail"), true, {{"data", routeData}});
        QCOMPARE(spies.routes.count(), 0);

        // Overlapping configurations answered in reverse order, each with its own game and node; a
        // `config` object is the configuration, else the whole data map is; a repeated answer is ignored.
        const QVariantMap configOfB{{"outbounds", QVariantList{QVariantMap{{"type", "vless"}}}}};
        const QVariantMap dataOfA{{"outbounds", QVariantList()}, {"config", "{}"}};
        answer(configB, kConfig, true, {{"data", QVariantMap{{"config", configOfB}, {"node_id", "B"}}}});
        answer(configA, kConfig, true, {{"data", dataOfA}});
        answer(configA, kConfig, true, {{"data", QVariantMap{{"config", configOfB}}}});
        QCOMPARE(spies.configs.count(), 2);
        QCOMPARE(spies.configs.at(0), (QVariantList{configOfB, "lol", "b.test"}));
        QCOMPARE(spies.configs.at(1), (QVariantList{dataOfA, "jx3", "A"}));
        QVERIFY(api.busy());
        answer(routesId, kList, true, {{"data", routeData}});
        QCOMPARE(spies.routes.constFirst().at(1), QVariant("jx3"));
        QCOMPARE(field(api.routes(), "id"), QStringList{"r1"});
        QVERIFY(!api.busy());
        QCOMPARE(spies.busy.count(), 2);

        // Failure text: the service's own (translated like the transport's), else the transport's, else
        // the fixed one.
        const QList<std::pair<QVariantMap, QString>> failures{
            {{{"msg", " 线路维护中 "}}, QString()},
            {{{"msg", "invalid token"}}, "登录状态已失效，请重新登录"},
            {{}, "网络请求失败，请检查网络连接后重试"},
            {{{"msg", " "}}, QString()}};
        const QStringList expected{"线路维护中", "登录状态已失效，请重新登录",
                                   "网络请求失败，请检查网络连接后重试", "线路请求失败"};
        for (qsizetype i = 0; i < failures.size(); ++i) {
            api.loadRoutes(7, jx3);
            answer(spies.lastRequestId(), kList, false, failures.at(i).first, failures.at(i).second);
            QCOMPARE(spies.failed.constLast(), (QVariantList{kList, expected.at(i)}));
            QCOMPARE(api.lastError(), expected.at(i));
        }
        QCOMPARE(api.routes().size(), 1);

        // Clearing the session forgets routes and the error; answers of the ended session are dropped,
        // successes and failures alike, so nothing of the previous account shows.
        api.loadNodeConfig(7, jx3, {{"node_id", "C"}, {"address", "c.test"}});
        const quint64 configC = spies.lastRequestId();
        api.loadRoutes(7, lol);
        const quint64 lateRoutes = spies.lastRequestId();
        api.loadRoutes(7, lol);
        const quint64 lateFailure = spies.lastRequestId();
        api.clearSession();
        QVERIFY(api.routes().isEmpty() && api.lastError().isEmpty() && api.busy());
        const qsizetype answered = spies.configs.count() + spies.routes.count();
        answer(configC, kConfig, true, {{"data", QVariantMap{{"config", configOfB}}}});
        answer(lateRoutes, kList, true, {{"data", QVariantList{routeData}}});
        answer(lateFailure, kList, false, {{"msg", "线路维护中"}});
        QCOMPARE(spies.configs.count() + spies.routes.count(), answered);
        QVERIFY(api.routes().isEmpty() && api.lastError().isEmpty() && !api.busy());
        api.loadRoutes(7, jx3);
        QCOMPARE(spies.failed.constLast(), (QVariantList{kList, kNoSession}));

        // The transport's own answers for every id, once all are in.
        QTRY_VERIFY_WITH_TIMEOUT(!http.busy(), 10000);
        QCOMPARE(spies.failed.count(), 5);
        QCOMPARE(spies.configs.count() + spies.routes.count(), answered);
        QVERIFY(!spies.traced("secret-value"));
    }

    void devServiceRoutesAndConfigs()
    {
        HttpManager http;
        AuthApi auth;
        AcceleratorApi api(m_service->baseUrl());
        qint64 userId = 0;
        QString secret;
        QVERIFY(signIn(http, auth, api, &userId, &secret));
        Spies spies(api);
        QStringList credentials{secret};

        // One entry per reply shape of the dev service; each route row: id, name, note, web_url,
        // source_group, full, latency.
        const QVariantList games = fixture("routes_devservice_expected.json").toMap().value("games").toList();
        for (const QVariant &entry : games) {
            const QVariantMap game = entry.toMap();
            const QString gameId = game.value("id").toString();
            api.loadRoutes(userId, game);
            QVERIFY2(spies.next(spies.routes), qPrintable(gameId));
            QCOMPARE(spies.routes.constLast().at(1).toString(), gameId);
            const QVariantList routes = api.routes();
            QCOMPARE(spies.routes.constLast().at(0).toList(), routes);
            const QVariantList rows = game.value("routes").toList();
            QCOMPARE(routes.size(), rows.size());
            for (qsizetype i = 0; i < rows.size(); ++i) {
                const QVariantList row = rows.at(i).toList();
                const QVariantMap route = routes.at(i).toMap();
                QCOMPARE((QVariantList{route.value("id"), route.value("name"), route.value("note"),
                                       route.value("web_url"), route.value("source_group", ""),
                                       route.value("full"), route.value("latency")}),
                         row);
                collectCredentials(route, credentials);

                api.loadNodeConfig(userId, game, route);
                QVERIFY2(spies.next(spies.configs), qPrintable(row.at(0).toString()));
                QCOMPARE(spies.configs.constLast().mid(1), (QVariantList{gameId, row.at(0)}));
                // Wrapped in data.config or sent as data itself, the outbounds come out on top.
                const QVariantMap config = spies.configs.constLast().at(0).toMap();
                QVERIFY(!config.contains("node_id") && !config.contains("config"));
                const QVariantMap outbound = config.value("outbounds").toList().value(0).toMap();
                QVERIFY(!outbound.value("server").toString().isEmpty());
                collectCredentials(config, credentials);

                // Every route the service lists makes a configuration the oldest supported core takes.
                const nimbra::accel::RuntimeConfigResult runtime = nimbra::accel::buildRuntimeConfig(
                    nimbra::accel::loadRuntimeConfigTemplate().config, config);
                QVERIFY2(runtime.ok, qPrintable(row.at(0).toString() + ": " + runtime.errorMessage));
                QCOMPARE(coreCheckRefusal(runtime.compactJson), QString());
            }
            if (gameId == QLatin1String("ys")) {
                // The list-level configuration goes to the routes without their own.
                const auto server = [&](int i) {
                    return routes.at(i)
                        .toMap()
                        .value("config")
                        .toMap()
                        .value("outbounds")
                        .toList()
                        .value(0)
                        .toMap()
                        .value("server");
                };
                QCOMPARE((QVariantList{server(0), server(1), server(2)}),
                         (QVariantList{"127.0.0.60", "127.0.0.62", "127.0.0.60"}));
            }
        }
        QCOMPARE(games.size(), 13);
        QCOMPARE(spies.failed.count(), 0);

        // No secret, credential or ticket ever reaches a trace line.
        credentials.removeAll(QString());
        QVERIFY(credentials.size() > 30);
        for (const QString &credential : std::as_const(credentials))
            QVERIFY2(!spies.traced(credential), qPrintable(credential.left(4)));
    }

    void devServiceRefusals()
    {
        const QVariantMap pubg{{"id", "pubg"}, {"package_name", "com.krafton.pubg"}};
        AcceleratorApi unconnected;
        QSignalSpy unconnectedFailed(&unconnected, &AcceleratorApi::requestFailed);
        unconnected.setSession(7, "s", "d");
        unconnected.loadNodeConfig(7, pubg, {{"web_url", "a.test"}});
        QCOMPARE(unconnectedFailed.constLast(), (QVariantList{kConfig, "网络管理器未初始化"}));

        HttpManager http;
        AuthApi auth;
        AcceleratorApi api(m_service->baseUrl());
        qint64 userId = 0;
        QString secret;
        QVERIFY(signIn(http, auth, api, &userId, &secret));
        Spies spies(api);
        QSignalSpy httpTraces(&http, &HttpManager::trace);

        // Refused at once, nothing sent: no session, another guid, no package name, no endpoint.
        AcceleratorApi signedOut;
        signedOut.setHttpManager(&http);
        QSignalSpy signedOutFailed(&signedOut, &AcceleratorApi::requestFailed);
        signedOut.loadRoutes(userId, pubg);
        QCOMPARE(signedOutFailed.constLast(), (QVariantList{kList, kNoSession}));
        api.loadRoutes(userId + 1, pubg);
        QCOMPARE(spies.failed.constLast(), (QVariantList{kList, kNoSession}));
        api.loadNodeConfig(0, pubg, {{"web_url", "a.test"}});
        QCOMPARE(spies.failed.constLast(), (QVariantList{kConfig, "登录状态无效，请重新登录后获取线路配置"}));
        api.loadRoutes(userId, {{"id", "pubg"}, {"package_name", " "}});
        QCOMPARE(spies.failed.constLast(), (QVariantList{kList, "当前游戏缺少包名，无法获取线路"}));
        api.loadNodeConfig(userId, pubg, {{"id", "only-an-id"}});
        QCOMPARE(spies.failed.constLast(),
                 (QVariantList{kConfig, "线路缺少节点地址或游戏包名，无法获取配置"}));
        QCOMPARE(api.lastError(), QStringLiteral("线路缺少节点地址或游戏包名，无法获取配置"));
        QVERIFY(std::none_of(httpTraces.cbegin(), httpTraces.cend(), [](const QVariantList &line) {
            return line.at(0).toString().startsWith(QStringLiteral("[HTTP] 入队"));
        }));
        QVERIFY(!http.busy() && spies.busy.isEmpty());

        // Refused by the service.
        const auto refusal = [&](const QString &operation, const QString &message) {
            const qsizetype before = spies.failed.count();
            return QTest::qWaitFor([&] { return spies.failed.count() > before; }, 10000) &&
                   spies.failed.constLast() == QVariantList{operation, message};
        };
        api.loadRoutes(userId, {{"package_name", "not a package"}});
        QVERIFY(refusal(kList, "unknown game"));
        api.loadRoutes(userId, pubg);
        QVERIFY(spies.next(spies.routes));
        QVariantMap ticketed = api.routes().constFirst().toMap();
        ticketed.remove("waf_pass_ticket");
        api.loadNodeConfig(userId, pubg, ticketed);
        QVERIFY(refusal(kConfig, "ticket required"));
        ticketed.insert("waf_pass_ticket", api.routes().at(1).toMap().value("waf_pass_ticket"));
        api.loadNodeConfig(userId, pubg, ticketed);
        QVERIFY(refusal(kConfig, "invalid ticket"));

        // A session the service does not know: another guid with this device's secret.
        http.setSession(userId + 1, secret, auth.deviceId());
        api.setSession(userId + 1, secret, auth.deviceId());
        api.loadRoutes(userId + 1, pubg);
        QVERIFY(refusal(kList, "登录状态已失效，请重新登录"));
        QVERIFY(!spies.traced(secret));
    }
};

QTEST_GUILESS_MAIN(TestAcceleratorApi)
#include "tst_acceleratorapi.moc"
