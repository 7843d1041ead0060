// The session's rules that tst_controller does not reach through the window: the run log's and the
// latency history's rows, error lines, the route choice after a reload and by measured figures, the
// configuration text.
#include "app/latencyhistorymodel.h"
#include "app/routelistmodel.h"
#include "app/routemeasurement.h"
#include "app/runlogmodel.h"
#include "app/sessionrules.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

namespace {

// count lines in one batch; every importantEvery-th (from the first) is a game-address line.
QString lines(int count, int importantEvery)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << (i % importantEvery == 0 ? QStringLiteral("[GameIP] line %1") : QStringLiteral("line %1"))
                    .arg(i);
    return list.join(QLatin1Char('\n'));
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
    // Rows leave and move, never a reset, so the dialog keeps the delegates of the lines that stay; the
    // tester checks every change the model announces against its rows.
    void logRows_data()
    {
        QTest::addColumn<int>("filled");
        QTest::addColumn<int>("importantEvery");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("count");
        // "row=text" for the rows checked; -1 is the last one.
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("up to the cap") << 297 << 1000 << "a\r\nb\n\n"
                                       << 299 << QStringList{"0=[GameIP] line 0", "1=line 1", "-1=b"};
        QTest::newRow("past the cap: oldest plain line leaves")
            << 300 << 1000 << "c" << 300 << QStringList{"0=[GameIP] line 0", "1=line 2", "-1=c"};
        QTest::newRow("blank lines only") << 300 << 1000 << "\n\r\n"
                                          << 300 << QStringList{"1=line 1", "-1=line 299"};
        QTest::newRow("an address line past the cap joins the lead")
            << 300 << 1000 << "[GameIP] new\nd" << 300
            << QStringList{"0=[GameIP] line 0", "1=[GameIP] new", "2=line 3", "-1=d"};
        QTest::newRow("the last 20 address lines lead")
            << 400 << 13 << "" << 300
            << QStringList{"0=[GameIP] line 143", "19=[GameIP] line 390", "20=line 97", "-1=line 399"};
        QTest::newRow("few address lines: all kept")
            << 310 << 200 << "" << 300 << QStringList{"1=[GameIP] line 200", "2=line 11", "-1=line 309"};
    }

    void logRows()
    {
        QFETCH(int, filled);
        QFETCH(int, importantEvery);
        QFETCH(QString, message);
        QFETCH(int, count);
        QFETCH(QStringList, expected);
        RunLogModel log;
        QAbstractItemModelTester tester(&log, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(&log, &QAbstractItemModel::modelReset);
        log.append(lines(filled, importantEvery), false, "12:00:00");
        log.append(message, false, "12:00:01");
        QCOMPARE(log.count(), count);
        QCOMPARE(resets.count(), 0);
        for (const QString &check : expected) {
            const int row = check.section(QLatin1Char('='), 0, 0).toInt();
            const QString text = check.section(QLatin1Char('='), 1);
            const QModelIndex index = log.index(row < 0 ? log.count() + row : row);
            QCOMPARE(index.data(RunLogModel::TextRole).toString(), text);
            QCOMPARE(index.data(RunLogModel::ImportantRole).toBool(), text.startsWith("[GameIP]"));
        }
        log.clear();
        QCOMPARE(log.count(), 0);
    }

    void logLines()
    {
        RunLogModel log;
        const QString text = runlog::stripAnsi("\x1b[36mINFO\x1b[0m ok\nERROR [GameIP] x\n");
        log.appendLines(text, runlog::isCoreErrorLine, "t");
        QCOMPARE(log.count(), 2);
        QCOMPARE(log.entry(0), (RunLogEntry{"t", "INFO ok", false, false}));
        QCOMPARE(log.entry(1), (RunLogEntry{"t", "ERROR [GameIP] x", true, true}));
        log.clear();
        log.append("a", true, "01:02:03");
        log.append("b", false, "t");
        QCOMPARE(log.text(), QStringLiteral("[01:02:03] [ERROR] a\n[t] b"));

        // Queued lines become rows by the timer, or before a line appended at once.
        log.clear();
        log.queueLines("q1\nq2", runlog::isCoreErrorLine, "t");
        QCOMPARE(log.count(), 0);
        log.append("a", false, "t");
        QCOMPARE(log.entry(0).text, QStringLiteral("q1"));
        QCOMPARE(log.entry(2).text, QStringLiteral("a"));
        log.queueLines(lines(400, 1000), runlog::isCoreErrorLine, "t");
        QTRY_COMPARE(log.count(), 300);
        QCOMPARE(log.entry(0).text, QStringLiteral("[GameIP] line 0"));
        QCOMPARE(log.entry(1).text, QStringLiteral("line 101"));
        QCOMPARE(log.entry(299).text, QStringLiteral("line 399"));
    }

    void latencyHistory_data()
    {
        QTest::addColumn<QList<qint64>>("times");
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("oldestSeconds");
        QTest::addColumn<double>("peakMs");
        QTest::addColumn<double>("averageMs");
        // The chart's drawing: pieces of line (a round with no answer breaks it) and loss bars.
        QTest::addColumn<int>("pieces");
        QTest::addColumn<int>("bars");

        QTest::newRow("within the span")
            << QList<qint64>{1000, 2000, 3000} << 3 << 1.0 << 30.0 << 20.0 << 2 << 1;
        QTest::newRow("exactly the span") << QList<qint64>{1000, 61000} << 2 << 1.0 << 10.0 << 10.0 << 1 << 1;
        QTest::newRow("older rounds leave")
            << QList<qint64>{1000, 2000, 30000, 62001} << 2 << 30.0 << 40.0 << 35.0 << 1 << 0;
        QTest::newRow("a gap leaves all but the newest")
            << QList<qint64>{0, 1000, 500000} << 1 << 500.0 << 30.0 << 30.0 << 1 << 0;
    }

    // Round i answers in 10 * (i + 1) ms, the second round none at all.
    void latencyHistory()
    {
        QFETCH(QList<qint64>, times);
        QFETCH(int, count);
        QFETCH(double, oldestSeconds);
        QFETCH(double, peakMs);
        LatencyHistoryModel history;
        QAbstractItemModelTester tester(&history, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(&history, &QAbstractItemModel::modelReset);
        for (int i = 0; i < times.size(); ++i)
            history.append(times.at(i), i == 1 ? -1 : 10.0 * (i + 1), i == 1 ? 1 : 0);
        QCOMPARE(history.count(), count);
        QCOMPARE(history.point(0).seconds, oldestSeconds);
        QCOMPARE(history.point(count - 1).seconds, static_cast<double>(times.constLast()) / 1000);
        QCOMPARE(history.peakMs(), peakMs);
        QFETCH(double, averageMs);
        QCOMPARE(history.averageMs(), averageMs);
        QCOMPARE(resets.count(), 0);
        QFETCH(int, pieces);
        QFETCH(int, bars);
        const QString line = history.linePath(600, 64, 100);
        QCOMPARE(line.count(QLatin1Char('M')), pieces);
        QCOMPARE(history.lossPath(600, 64).count(QLatin1Char('Z')), bars);
        // The newest answered round is at the right edge.
        if (history.point(count - 1).ms >= 0)
            QVERIFY(line.contains(QStringLiteral("600.0 ")));
    }

    void routeValue_data()
    {
        QTest::addColumn<QVariantMap>("record");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("badge");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<bool>("full");

        QTest::newRow("shared group")
            << QVariantMap{{"source_group", "shared_list"}, {"name", "a"}} << "shared"
            << "共享节点"
            << "可用线路" << false;
        QTest::newRow("group decides, not the name")
            << QVariantMap{{"source_group", "idc_list"}, {"name", "HOME_LIST 共享"}} << "idc"
            << "IDC 专线"
            << "IDC 专线 · 可用线路" << false;
        QTest::newRow("own group") << QVariantMap{{"source_group", "idc_vip"}, {"note", "尊享机房"}} << "idc"
                                   << "IDC 专线"
                                   << "IDC 专线 · 尊享机房" << false;
        QTest::newRow("home group") << QVariantMap{{"source_group", "home_list"}} << "native"
                                    << "原生住宅"
                                    << "原生住宅 · 可用线路" << false;
        QTest::newRow("words without a group: no badge")
            << QVariantMap{{"name", "共享 · 原生住宅"}, {"type_name", "运营商专线"}, {"note", "电信"}} << ""
            << ""
            << "电信" << false;
        QTest::newRow("unknown group") << QVariantMap{{"source_group", "list"}, {"note", "  "}} << ""
                                       << ""
                                       << "可用线路" << false;
        QTest::newRow("load at capacity") << QVariantMap{{"cur", 5}, {"cap", "5"}} << ""
                                          << ""
                                          << "可用线路" << true;
        QTest::newRow("flagged full") << QVariantMap{{"full", true}, {"cur", 1}, {"cap", 5}} << ""
                                      << ""
                                      << "可用线路" << true;
        QTest::newRow("no capacity is not full") << QVariantMap{{"cur", 5}, {"cap", 0}} << ""
                                                 << ""
                                                 << "可用线路" << false;
    }

    void routeValue()
    {
        QFETCH(QVariantMap, record);
        QFETCH(QString, kind);
        QFETCH(QString, badge);
        QFETCH(QString, detail);
        QFETCH(bool, full);
        RouteListModel list;
        list.setRoutes({record});
        const RouteItem route = list.at(0);
        QCOMPARE(route.kind, kind);
        QCOMPARE(route.typeLabel, badge);
        QCOMPARE(route.detail, detail);
        QCOMPARE(route.full, full);
        // A full route is never measured; its figure says why it has none.
        QCOMPARE(route.latencyText, full ? QStringLiteral("已满 · 不测速") : QStringLiteral("—"));
        bool found = true;
        sessionrules::selectRoute({record}, QString(), &found);
        QCOMPARE(found, !full);
    }

    void routeSelection_data()
    {
        QTest::addColumn<QVariantMap>("route");
        QTest::addColumn<QVariantMap>("chosen");
        QTest::addColumn<bool>("selected");

        QTest::newRow("same id") << QVariantMap{{"id", "a"}, {"name", "x"}}
                                 << QVariantMap{{"id", "a"}, {"name", "y"}} << true;
        QTest::newRow("number and text") << QVariantMap{{"id", 5}} << QVariantMap{{"id", "5"}} << true;
        QTest::newRow("node_id when id is blank")
            << QVariantMap{{"id", " "}, {"node_id", "n"}} << QVariantMap{{"node_id", "n"}} << true;
        QTest::newRow("route_id before key")
            << QVariantMap{{"route_id", "r"}, {"key", "k"}} << QVariantMap{{"key", "k"}} << false;
        QTest::newRow("name only") << QVariantMap{{"name", "华东 1"}} << QVariantMap{{"name", "华东 1"}}
                                   << true;
        QTest::newRow("endpoint is not a row key")
            << QVariantMap{{"web_url", "w"}} << QVariantMap{{"web_url", "w"}} << false;
        QTest::newRow("nothing selected") << QVariantMap{{"id", "a"}} << QVariantMap{} << false;
    }

    void routeSelection()
    {
        QFETCH(QVariantMap, route);
        QFETCH(QVariantMap, chosen);
        QFETCH(bool, selected);
        RouteListModel routes;
        routes.setSelected(chosen);
        routes.setRoutes({route});
        QCOMPARE(routes.at(0).selected, selected);
        routes.setSelected({});
        routes.setSelected(chosen);
        QCOMPARE(routes.at(0).selected, selected);
    }

    // The first seven are offered, the rest listed apart; a configuration arriving for a listed route
    // and its figures change rows in place, only another list resets them.
    void routeRows_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("offered");
        QTest::addColumn<int>("overflow");

        QTest::newRow("none") << 0 << 0 << 0;
        QTest::newRow("seven") << 7 << 7 << 0;
        QTest::newRow("ten") << 10 << 7 << 3;
    }

    void routeRows()
    {
        QFETCH(int, count);
        QFETCH(int, offered);
        QFETCH(int, overflow);
        RouteListModel routes;
        QAbstractItemModelTester tester(&routes, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester offeredTester(routes.offered(),
                                               QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVariantList records;
        for (int i = 1; i <= count; ++i)
            records << QVariantMap{{"id", QStringLiteral("r%1").arg(i)}};
        routes.setRoutes(records);
        QCOMPARE(routes.offered()->rowCount(), offered);
        QCOMPARE(routes.overflow()->rowCount(), overflow);
        QCOMPARE(routes.overflowCount(), overflow);
        if (count == 0)
            return;
        const QString last = QStringLiteral("r%1").arg(count);
        QCOMPARE(
            routes.overflow()->index(overflow - 1, 0).data(RouteListModel::RouteRole).value<RouteItem>().key,
            overflow > 0 ? last : QString());

        QSignalSpy resets(&routes, &QAbstractItemModel::modelReset);
        QSignalSpy changes(&routes, &QAbstractItemModel::dataChanged);
        routes.showFigure(last, "23 ms", "丢包 20%");
        QVariantMap configured = records.constLast().toMap();
        configured.insert("config", QVariantMap{{"server", "198.51.100.7"}});
        records.last() = configured;
        routes.setRoutes(records);
        QCOMPARE(resets.count(), 0);
        QCOMPARE(changes.count(), 2);
        QCOMPARE(routes.at(count - 1).record, configured);
        QCOMPARE(routes.at(count - 1).latencyText, QStringLiteral("23 ms"));
        QCOMPARE(routes.at(count - 1).lossText, QStringLiteral("丢包 20%"));

        routes.setRoutes(records.mid(1));
        QCOMPARE(resets.count(), 1);
        routes.clearFigures();
        QCOMPARE(routes.at(count - 2).latencyText, QStringLiteral("—"));
    }

    // The selected route's figures notify only when their text changes, not with every round.
    void measuredFigures_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QList<double>>("medians");
        QTest::addColumn<QString>("latency");
        QTest::addColumn<QString>("loss");
        QTest::addColumn<int>("latencySignals");

        QTest::newRow("the same figure again") << "r1" << QList<double>{20, 20.2, 19.9} << "20 ms"
                                               << "0.0%" << 1;
        QTest::newRow("a new figure") << "r1" << QList<double>{20, 30} << "30 ms"
                                      << "0.0%" << 2;
        QTest::newRow("no answer") << "r1" << QList<double>{20, -1} << "超时"
                                   << "50.0%" << 2;
        QTest::newRow("a route not listed") << "gone" << QList<double>{20} << "—"
                                            << "—" << 0;
    }

    void measuredFigures()
    {
        QFETCH(QString, key);
        QFETCH(QList<double>, medians);
        QFETCH(QString, latency);
        QFETCH(QString, loss);
        QFETCH(int, latencySignals);
        RouteListModel routes;
        routes.setRoutes({QVariantMap{{"id", "r1"}}});
        RouteMeasurement measurement(routes);
        nimbra::accel::LatencyProber prober;
        measurement.setProber(&prober);
        measurement.select(key);
        measurement.setRecording(true);
        QSignalSpy latencySpy(&measurement, &RouteMeasurement::latencyChanged);
        for (const double ms : medians) {
            nimbra::accel::ProbeRound round;
            round.key = key;
            round.samplesMs = {ms};
            round.medianMs = ms;
            round.loss = ms < 0 ? 1 : 0;
            emit prober.roundFinished(round);
        }
        QCOMPARE(measurement.latencyText(), latency);
        QCOMPARE(measurement.lossText(), loss);
        QCOMPARE(latencySpy.count(), latencySignals);
        QCOMPARE(measurement.history()->count(), latencySignals == 0 ? 0 : static_cast<int>(medians.size()));
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
