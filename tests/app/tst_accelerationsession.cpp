// The session's rules that tst_controller does not reach through the window: the run log's cap and
// error lines, the route choice after a reload and by measured figures, the configuration text.
#include "app/sessionrules.h"

#include <QTest>

namespace {

QVariantList entries(int count, int importantEvery)
{
    QVariantList list;
    for (int i = 0; i < count; ++i)
        list << QVariantMap{{"time", "00:00:00"},
                            {"text", QStringLiteral("line %1").arg(i)},
                            {"error", false},
                            {"important", i % importantEvery == 0}};
    return list;
}

QString textAt(const QVariantList &list, int index)
{
    return list.at(index).toMap().value("text").toString();
}

bool never(const QString &)
{
    return false;
}

constexpr qint64 kNow = 1000000;

QList<sessionrules::Measured> measured(const QString &rows)
{
    QList<sessionrules::Measured> routes;
    for (QString item : rows.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        sessionrules::Measured route;
        route.full = item.endsWith(QLatin1Char('!'));
        item.remove(QLatin1Char('!'));
        const QStringList parts = item.split(QLatin1Char(':'));
        if (parts.size() == 3) {
            route.medianMs = parts.at(0).toDouble();
            route.jitterMs = parts.at(1).toDouble();
            route.loss = parts.at(2).toDouble();
        }
        routes.append(route);
    }
    return routes;
}

} // namespace

class TestAccelerationSession : public QObject
{
    Q_OBJECT

private slots:
    void logCap()
    {
        // Up to the cap nothing is dropped; past it the oldest plain entry goes.
        const QVariantList at = runlog::appendLines(entries(298, 1000), "a\r\nb\n\n", never, "12:00:00");
        QCOMPARE(at.size(), 300);
        QCOMPARE(textAt(at, 0), QStringLiteral("line 0"));
        QCOMPARE(textAt(at, 299), QStringLiteral("b"));
        const QVariantList past = runlog::appendLines(at, "c", never, "t");
        QCOMPARE(past.size(), 300);
        // "line 0" is important and stays first; the oldest plain one, "line 1", goes.
        QCOMPARE(textAt(past, 0), QStringLiteral("line 0"));
        QCOMPARE(textAt(past, 1), QStringLiteral("line 2"));
        QCOMPARE(textAt(past, 299), QStringLiteral("c"));
        QCOMPARE(runlog::appendLines(at, "\n\r\n", never, "t"), at);

        // 30 important entries among 400: the last 20 lead, then the last 280 others in order.
        const QVariantList trimmed = runlog::trimmed(entries(400, 13));
        QCOMPARE(trimmed.size(), 300);
        for (int i = 0; i < 20; ++i)
            QVERIFY(trimmed.at(i).toMap().value("important").toBool());
        QCOMPARE(textAt(trimmed, 0), QStringLiteral("line %1").arg(13 * 11));
        QCOMPARE(textAt(trimmed, 19), QStringLiteral("line 390"));
        QVERIFY(!trimmed.at(20).toMap().value("important").toBool());
        QCOMPARE(textAt(trimmed, 299), QStringLiteral("line 399"));

        // Few important entries: all are kept, the others fill up to 300.
        const QVariantList few = runlog::trimmed(entries(310, 200));
        QCOMPARE(few.size(), 300);
        QCOMPARE(textAt(few, 1), QStringLiteral("line 200"));
        QCOMPARE(textAt(few, 2), QStringLiteral("line 11"));
    }

    void logLines()
    {
        const QString text = runlog::stripAnsi("\x1b[36mINFO\x1b[0m ok\nERROR [GameIP] x\n");
        const QVariantList list = runlog::appendLines({}, text, runlog::isCoreErrorLine, "t");
        QCOMPARE(list.size(), 2);
        QCOMPARE(textAt(list, 0), QStringLiteral("INFO ok"));
        QCOMPARE(list.at(0).toMap().value("important").toBool(), false);
        QCOMPARE(list.at(1).toMap().value("important").toBool(), true);
        QCOMPARE(list.at(0).toMap().value("error").toBool(), false);
        QCOMPARE(list.at(1).toMap().value("error").toBool(), true);
        QCOMPARE(runlog::text({QVariantMap{{"time", "01:02:03"}, {"text", "a"}, {"error", true}},
                               QVariantMap{{"time", "t"}, {"text", "b"}, {"error", false}}}),
                 QStringLiteral("[01:02:03] [ERROR] a\n[t] b"));
    }

    void coreErrorLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("error");
        QTest::newRow("timestamped") << "+0800 2026-03-04 05:06:07 ERROR dns: failed" << true;
        QTest::newRow("coloured") << runlog::stripAnsi("+0800 x \x1b[31mFATAL\x1b[0m[0000] bad") << false;
        QTest::newRow("coloured spaced") << runlog::stripAnsi("\x1b[31mFATAL\x1b[0m bad") << true;
        QTest::newRow("lower case") << "core panic now" << true;
        QTest::newRow("at the end") << "level error" << true;
        QTest::newRow("inside a word") << "INFO errors=0 terror" << false;
        QTest::newRow("bracketed") << "ERROR[0000] x" << false;
        QTest::newRow("info") << "INFO sing-box started" << false;
    }

    void coreErrorLine()
    {
        QFETCH(QString, line);
        QFETCH(bool, error);
        QCOMPARE(runlog::isCoreErrorLine(line), error);
    }

    void selectRoute_data()
    {
        const QVariantMap a{{"id", "a"}, {"name", "A"}};
        const QVariantMap fullB{{"id", "b"}, {"full", true}};
        const QVariantMap c{{"route_id", "c"}};
        const QVariantMap d{{"name", "D"}};
        QTest::addColumn<QVariantList>("routes");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QVariantMap>("node");
        QTest::newRow("remembered") << QVariantList{a, c, d} << "c" << c;
        QTest::newRow("remembered but full") << QVariantList{fullB, a} << "b" << a;
        QTest::newRow("missing key") << QVariantList{a, c} << "gone" << a;
        QTest::newRow("no target") << QVariantList{QVariant(), a} << "" << a;
        QTest::newRow("first not full") << QVariantList{fullB, d, a} << "" << d;
        QTest::newRow("name key") << QVariantList{a, d} << "D" << d;
        QTest::newRow("full as text is not full") << QVariantList{QVariantMap{{"id", "t"}, {"full", "true"}}}
                                                  << "" << QVariantMap{{"id", "t"}, {"full", "true"}};
        QTest::newRow("all full") << QVariantList{fullB, QVariantMap{{"id", "e"}, {"full", true}}} << "e"
                                  << QVariantMap();
        QTest::newRow("none") << QVariantList() << "a" << QVariantMap();
    }

    void selectRoute()
    {
        QFETCH(QVariantList, routes);
        QFETCH(QString, target);
        QFETCH(QVariantMap, node);
        bool found = false;
        QCOMPARE(sessionrules::selectRoute(routes, target, &found), node);
        QCOMPARE(found, !node.isEmpty());
    }

    void routeRecords()
    {
        // The route client names a node by node_id before id: either identifies the route.
        const QVariantMap both{{"id", "route-7"}, {"node_id", "node-7"}, {"web_url", "h"}};
        QVERIFY(sessionrules::nodeMatchesConfig(both, "route-7"));
        QVERIFY(sessionrules::nodeMatchesConfig(both, " node-7 "));
        QVERIFY(!sessionrules::nodeMatchesConfig(both, "h"));
        QVERIFY(!sessionrules::nodeMatchesConfig({{"id", ""}}, ""));

        QCOMPARE(sessionrules::routeConfigText({{"config", QVariantMap{{"a", QVariantList{1}}}}}),
                 QStringLiteral("{\"a\":[1]}"));
        QCOMPARE(sessionrules::routeConfigText({{"config", ""}, {"config_json", "{\"b\":1}"}}),
                 QStringLiteral("{\"b\":1}"));
        QCOMPARE(sessionrules::routeConfigText({{"config", QVariant()}, {"runtime_config", "{}"}}),
                 QStringLiteral("{}"));
        QCOMPARE(sessionrules::routeConfigText({}), QString());

        QCOMPARE(sessionrules::gameRegion({{"servers", QVariantList{"国服"}}, {"country", "x"}}),
                 QStringLiteral("国服"));
        QCOMPARE(sessionrules::gameRegion({{"servers", QVariantList{}}, {"country", "美服"}}),
                 QStringLiteral("美服"));
        QCOMPARE(sessionrules::gameRegion({}), QStringLiteral("默认区服"));
    }

    void regionWithin_data()
    {
        QTest::addColumn<QVariantMap>("game");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("region");
        const QVariantMap twoServers{{"servers", QVariantList{"国服", "国际服"}}, {"country", "国服"}};
        QTest::newRow("start-up region the game lacks")
            << QVariantMap{{"servers", QVariantList{"国服"}}} << "艾欧尼亚"
            << "国服";
        QTest::newRow("chosen server kept") << twoServers << "国际服"
                                            << "国际服";
        QTest::newRow("country only") << QVariantMap{{"country", "韩服"}} << "艾欧尼亚"
                                      << "韩服";
        QTest::newRow("blank servers fall to country")
            << QVariantMap{{"servers", QVariantList{""}}, {"country", "美服"}} << "国服"
            << "美服";
        QTest::newRow("nothing named") << QVariantMap{{"id", "x"}} << "艾欧尼亚"
                                       << "艾欧尼亚";
    }

    void regionWithin()
    {
        QFETCH(QVariantMap, game);
        QFETCH(QString, current);
        QFETCH(QString, region);
        QCOMPARE(sessionrules::regionWithin(game, current), region);
    }

    // Each route as "ms:jitter:loss", "dead" for a round nobody answered, a trailing "!" when full.
    void chooseRoute_data()
    {
        QTest::addColumn<QString>("routes");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("chosen");
        const QString mixed = QStringLiteral("50:0:0 20:15:0 28:2:0.03");
        QTest::newRow("esports: lowest latency") << mixed << "极速电竞" << -1 << 1;
        QTest::newRow("stable: least loss, then jitter") << mixed << "稳定优先" << -1 << 0;
        QTest::newRow("balanced: latency, jitter and loss") << mixed << "智能匹配" << -1 << 2;
        QTest::newRow("stable: jitter decides equal loss") << "30:4:0 18:6:0.2 25:0:0.01"
                                                           << "稳定优先" << 0 << 2;
        QTest::newRow("a dead node, even the current one") << "dead 40:0:0"
                                                           << "极速电竞" << 0 << 1;
        QTest::newRow("a full route is skipped") << "10:0:0! 40:0:0"
                                                 << "智能匹配" << -1 << 1;
        QTest::newRow("nothing usable") << "dead 10:0:0!"
                                        << "极速电竞" << -1 << -1;
        QTest::newRow("a near tie keeps the current") << "20:0:0 18.5:0:0"
                                                      << "极速电竞" << 0 << 0;
        QTest::newRow("a clear gain replaces it") << "20:0:0 14:0:0"
                                                  << "极速电竞" << 0 << 1;
    }

    void chooseRoute()
    {
        QFETCH(QString, routes);
        QFETCH(QString, mode);
        QFETCH(int, current);
        QFETCH(int, chosen);
        QCOMPARE(sessionrules::chooseRoute(measured(routes), sessionrules::routeMode(mode), current), chosen);
    }

    // Boosting on route 0 with 智能选路 on: whether the session moves, and where to.
    void moveRule_data()
    {
        QTest::addColumn<QString>("routes");
        QTest::addColumn<double>("windowLoss");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<qint64>("lastMoveMs");
        QTest::addColumn<int>("target");
        const QString two = QStringLiteral("30:0:0.4 35:0:0 60:0:0");
        QTest::newRow("losing, a better route") << two << 0.4 << true << qint64(-1) << 1;
        QTest::newRow("20 % is not yet failing") << two << 0.2 << true << qint64(-1) << -1;
        QTest::newRow("stopped answering") << two << 0.1 << false << qint64(-1) << 1;
        QTest::newRow("others not clearly better") << "30:0:0.4 35:0:0.35" << 0.4 << true << qint64(-1) << -1;
        QTest::newRow("moved within two minutes") << two << 0.4 << true << qint64(kNow - 119999) << -1;
        QTest::newRow("moved two minutes ago") << two << 0.4 << true << qint64(kNow - 120000) << 1;
        QTest::newRow("never to a dead or full one")
            << "30:0:0.5 dead 5:0:0! 50:0:0" << 0.5 << true << qint64(-1) << 3;
    }

    void moveRule()
    {
        QFETCH(QString, routes);
        QFETCH(double, windowLoss);
        QFETCH(bool, answered);
        QFETCH(qint64, lastMoveMs);
        QFETCH(int, target);
        using namespace sessionrules;
        const bool move = routeFailing(windowLoss, answered) && moveAllowed(lastMoveMs, kNow);
        QCOMPARE(move ? moveTarget(measured(routes), 0, answered ? windowLoss : 1.0, RouteMode::Esports) : -1,
                 target);
    }

    void probeAddress_data()
    {
        const QVariantMap hysteria{
            {"outbounds", QVariantList{QVariantMap{{"type", "hysteria2"}, {"server_port", 8443}}}}};
        QTest::addColumn<QVariantMap>("route");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("udpOnly");
        QTest::newRow("URL, the node's port")
            << QVariantMap{{"web_url", "https://127.0.0.5:8443/x"}, {"server_port", "3000"}} << "127.0.0.5"
            << 3000 << false;
        QTest::newRow("host:port, port from the config")
            << QVariantMap{{"connect_host", "127.0.0.6:99"},
                           {"config",
                            QVariantMap{{"outbounds", QVariantList{QVariantMap{{"server_port", 24011}}}}}}}
            << "127.0.0.6" << 24011 << false;
        QTest::newRow("config as text")
            << QVariantMap{{"web_url", "a"}, {"config", "{\"outbounds\":[{\"server_port\":7}]}"}} << "a" << 7
            << false;
        QTest::newRow("no port known") << QVariantMap{{"web_url", "n.test"}} << "n.test" << 0 << false;
        QTest::newRow("UDP-only protocol")
            << QVariantMap{{"web_url", "h"}, {"config", hysteria}} << "h" << 8443 << true;
        QTest::newRow("protocol named by the route")
            << QVariantMap{{"web_url", "h"}, {"server_port", 1}, {"protocol", "TUIC"}} << "h" << 1 << true;
    }

    void probeAddress()
    {
        QFETCH(QVariantMap, route);
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(bool, udpOnly);
        const sessionrules::ProbeAddress address = sessionrules::probeAddress(route);
        QCOMPARE(address.host, host);
        QCOMPARE(int(address.port), port);
        QCOMPARE(address.udpOnly, udpOnly);
    }

    void lossWindow()
    {
        // Only the last 30 probes count: 5 early losses drop out, 3 recent ones stay.
        QList<double> samples(35, 12.0);
        for (int i : {0, 1, 2, 3, 4, 10, 20, 34})
            samples[i] = -1;
        QCOMPARE(sessionrules::recentLoss(samples), 0.1);
        QCOMPARE(sessionrules::lossText(sessionrules::recentLoss(samples)), QStringLiteral("10.0%"));
        QCOMPARE(sessionrules::lossText(sessionrules::recentLoss({})), QStringLiteral("—"));
        QCOMPARE(sessionrules::latencyText(0.2), QStringLiteral("1 ms"));
    }
};

QTEST_GUILESS_MAIN(TestAccelerationSession)
#include "tst_accelerationsession.moc"
