// The session's rules that tst_controller does not reach through the window: the run log's cap and
// error lines, the route choice after a reload, the configuration text and the latency figures.
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

    void figures()
    {
        using namespace sessionrules;
        QCOMPARE(latencyBaseline({{"latency", 0}, {"ping", "38ms"}, {"ms", 41.6}}, {{"ping", 9}}), 42);
        QCOMPARE(latencyBaseline({}, {{"ping", 12}}), 12);
        QCOMPARE(latencyBaseline({{"latency", -3}}, {{"ping", 0}}), 68);
        QCOMPARE(nextDisconnectedLatency(68, 0), 64);
        QCOMPARE(nextDisconnectedLatency(998, 1), 999);
        QCOMPARE(nextDisconnectedLatency(2, 0), 1);
        QCOMPARE(initialBoostedLatency({{"ping", 0}}, 68), 33.0);
        QCOMPARE(initialBoostedLatency({{"ping", 17}}, 68), 17.0);
        QCOMPARE(nextBoostedLatency(57, 1), 58.0);
        QCOMPARE(nextBoostedLatency(23, 0), 22.0);
        QCOMPARE(nextBoostedLatency(40, 0.75), 41.5);
    }
};

QTEST_GUILESS_MAIN(TestAccelerationSession)
#include "tst_accelerationsession.moc"
