// The core supervisor with the stub core as the real child process. As root the whole test runs in a
// private network namespace of its own, so the TUN interface and every route stay out of the host; on
// Windows the routes go to the route.exe stand-in's table.
#include "accel/acceleratorapi.h"
#include "accel/gameroutes.h"
#include "accel/singboxmanager.h"
#include "accel/throughput.h"
#include "account/authapi.h"
#include "childprocesses.h"
#include "devserviceprocess.h"
#include "net/httpmanager.h"
#include "platform/netpolicy.h"
#include "privatenetwork.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <algorithm>
#include <csignal>

using nimbra::accel::RouteEntry;

namespace {

bool g_inPrivateNetwork = false;

const QString kStub = QStringLiteral(NIMBRA_STUB_CORE);
const QString kNode = QStringLiteral(NIMBRA_SOURCE_DIR "/tests/accel/data/node_shadowsocks.json");

// The routing table of this run's user (root), where the helper puts its game routes.
QString ownTable()
{
    return QString::number(*nimbra::platform::userRouteTable(0));
}

QByteArray nodeConfig()
{
    QFile file(kNode);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Live stub cores started by `parent` (this test unless given).
QList<qint64> stubChildren(qint64 parent = testing::currentProcess())
{
    return testing::childProcesses(kStub, parent);
}

// The command ("check" or "run") of each live stub core started by this test.
QStringList stubCommands()
{
    QStringList commands;
    for (const qint64 pid : stubChildren())
        commands << testing::processCommand(pid);
    return commands;
}

int stubProcesses()
{
    return static_cast<int>(stubChildren().size());
}

struct Session
{
    explicit Session(const QByteArray &mode = {})
    {
        qputenv("NIMBRA_STUB_CORE_MODE", mode);
        manager.setExecutablePath(kStub);
    }
    ~Session() { qunsetenv("NIMBRA_STUB_CORE_MODE"); }

    SingBoxManager manager;
    QSignalSpy started{&manager, &SingBoxManager::started};
    QSignalSpy failed{&manager, &SingBoxManager::startFailed};
    QSignalSpy stopped{&manager, &SingBoxManager::stopped};
    QSignalSpy output{&manager, &SingBoxManager::outputReceived};
};

// A path as messages show it: absolute, with the system's separators.
QString shown(const char *path)
{
    return QDir::toNativeSeparators(QFileInfo(QString::fromUtf8(path)).absoluteFilePath());
}

QString failure(const QSignalSpy &spy)
{
    return spy.isEmpty() ? QString() : spy.constLast().at(0).toString();
}

} // namespace

class TestSingBoxManager : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(QFile::exists(kStub)); }
    void cleanup() { QTRY_COMPARE_WITH_TIMEOUT(stubProcesses(), 0, 3000); }

    void routeEntriesParse()
    {
        const auto parsed = [](const QString &text) {
            RouteEntry entry;
            QString error;
            return nimbra::accel::parseRouteEntry(text, entry, error)
                       ? entry.destination + QLatin1Char(' ') + entry.mask
                       : error;
        };
        QCOMPARE(parsed(QStringLiteral(" 1.2.3.4 ")), QStringLiteral("1.2.0.0 255.255.0.0"));
        QCOMPARE(parsed(QStringLiteral("1.2.3.4/32")), QStringLiteral("1.2.3.4 255.255.255.255"));
        QCOMPARE(parsed(QStringLiteral("10.1.2.3 / 8")), QStringLiteral("10.0.0.0 255.0.0.0"));
        QCOMPARE(parsed(QStringLiteral("0.0.0.0/0")), QStringLiteral("0.0.0.0 0.0.0.0"));
        QCOMPARE(parsed(QStringLiteral("203.0.113.77/27")), QStringLiteral("203.0.113.64 255.255.255.224"));
        for (const QString &bad : {QStringLiteral("1.2.3.4/33"), QStringLiteral("1.2.3.4/x"),
                                   QStringLiteral("1.2.3.4/"), QStringLiteral("1.2.3.4/-1")})
            QCOMPARE(parsed(bad), QStringLiteral("游戏 IP 网段长度无效：%1").arg(bad));
        for (const QString &bad : {QStringLiteral("2001:db8::1"), QStringLiteral("game.example.test"),
                                   QStringLiteral("1.2.3.256/24")})
            QCOMPARE(parsed(bad), QStringLiteral("游戏 IP 不是有效的 IPv4 地址：%1").arg(bad));
    }

    void routeRefusals_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("refusal");
        const struct
        {
            const char *text;
            const char *refusal;
        } rows[] = {
            {"1.2.3.4", ""},
            {"11.16.0.0/12", ""},
            {"11.0.0.0/11", "网段宽于 /12"},
            {"0.0.0.0/0", "网段宽于 /12"},
            {"0.1.2.3", "本网络地址"},
            {"10.1.2.3", "私有地址"},
            {"100.127.0.0/16", "运营商共享地址"},
            {"100.128.0.0/16", ""},
            {"127.5.6.7", "回环地址"},
            {"169.254.10.1/32", "链路本地地址"},
            {"169.255.0.1", ""},
            {"172.31.0.0/16", "私有地址"},
            {"172.32.0.0/16", ""},
            {"192.168.9.0/24", "私有地址"},
            {"239.255.255.250", "组播地址"},
            {"223.255.255.0/24", ""},
            {"255.255.255.255/32", "保留地址"},
            {"198.51.100.0/24", "包含服务或节点地址 198.51.100.7"},
        };
        for (const auto &row : rows)
            QTest::newRow(row.text) << QString::fromUtf8(row.text) << QString::fromUtf8(row.refusal);
    }

    void routeRefusals()
    {
        QFETCH(QString, text);
        QFETCH(QString, refusal);
        RouteEntry entry;
        QString error;
        QVERIFY(nimbra::accel::parseRouteEntry(text, entry, error));
        QCOMPARE(nimbra::accel::routeRefusal(entry, {QStringLiteral("198.51.100.7")}), refusal);
    }

    void throughputSmoothing()
    {
        using nimbra::accel::ByteCounters;
        nimbra::accel::ThroughputState state;
        // A new TUN's first reading: its bytes count, a rate needs an interval.
        QVERIFY(applyThroughputSample(state, ByteCounters{1000, 5000}, std::nullopt));
        QVERIFY(state.haveSample);
        QCOMPARE(state.upload, 0.0);
        QVERIFY(applyThroughputSample(state, ByteCounters{1000 + 1000000, 5000 + 2000000}, 1000));
        QCOMPARE(state.upload, 650000.0);
        QCOMPARE(state.download, 1300000.0);
        QVERIFY(applyThroughputSample(state, ByteCounters{1000 + 2000000, 5000 + 4000000}, 1000));
        QCOMPARE(state.upload, 877500.0);
        // A counter below the last: the core made its TUN anew, which counts from zero; no rate.
        QVERIFY(applyThroughputSample(state, ByteCounters{10, 4000000}, 1000));
        QCOMPARE(state.upload, 877500.0);
        QVERIFY(applyThroughputSample(state, ByteCounters{10 + 500, 4000000}, 500));
        QCOMPARE(state.upload, 0.65 * 1000 + 0.35 * 877500.0);
        QCOMPARE(state.download, 0.35 * 1755000.0);
        QVERIFY(!applyThroughputSample(state, ByteCounters{10 + 500, 4000000}, 0));
        QCOMPARE(state.sentTotal, quint64(1000 + 2000000 + 10 + 500));
        QCOMPARE(state.receivedTotal, quint64(5000 + 4000000 + 4000000));
        // No TUN (no core): the rates drop to zero once, then stay quiet; the totals stay.
        QVERIFY(applyThroughputSample(state, std::nullopt, std::nullopt));
        QCOMPARE(state.upload, 0.0);
        QVERIFY(!applyThroughputSample(state, std::nullopt, std::nullopt));
        QVERIFY(!state.haveSample);
        QCOMPARE(state.sentTotal, quint64(1000 + 2000000 + 10 + 500));
    }

    void startFailuresAreReported()
    {
        {
            Session session;
            QVERIFY(!session.manager.startWithConfig(QStringLiteral("/nonexistent/config.json")));
            QCOMPARE(failure(session.failed),
                     QStringLiteral("无法读取 nimbra-server 配置：") + shown("/nonexistent/config.json"));
        }
        {
            Session session;
            session.manager.setExecutablePath(QStringLiteral("/nonexistent/nimbra-server"));
            QVERIFY(session.manager.prepareRuntimeConfig(nodeConfig()));
            QVERIFY(!session.manager.start());
            QCOMPARE(failure(session.failed), QStringLiteral("未找到加速内核 ") + SingBoxManager::coreName() +
                                                  QStringLiteral("：") + shown("/nonexistent/nimbra-server"));
            QCOMPARE(session.manager.lastError(), failure(session.failed));
        }
        struct Case
        {
            QByteArray mode;
            QString message;
            QByteArray version = {};
        };
        const QList<Case> cases = {
            {{}, QStringLiteral("内核版本 1.11.4 过低，需要 1.12.0 或更新"), "1.11.4"},
            {{}, QStringLiteral("无法识别 nimbra-server 的内核版本：sing-box version unknown"), "unknown"},
            {"check-fail=decode config: unknown field \"tun\"",
             QStringLiteral("nimbra-server 配置校验失败：FATAL[0000] decode config: unknown field \"tun\"")},
            {"exit-during-start=1", QStringLiteral("nimbra-server 在建立加速通道前已退出（代码 1）")},
#ifdef Q_OS_WIN
            // On Linux the network helper reads the client's pipe, whatever the core then does.
            {"never-open-pipe=run", QStringLiteral("nimbra-server 读取内存配置超时")},
            {"never-open-pipe=check", QStringLiteral("nimbra-server 读取内存配置超时")},
#endif
        };
        for (const Case &c : cases) {
            Session session(c.mode);
            qputenv("NIMBRA_STUB_CORE_VERSION", c.version);
            QVERIFY(session.manager.prepareRuntimeConfig(nodeConfig()));
            QVERIFY(session.manager.start());
            QVERIFY(session.manager.starting());
            QVERIFY2(session.failed.wait(15000), c.mode.constData());
            QCOMPARE(failure(session.failed), c.message);
            QVERIFY(!session.manager.starting() && !session.manager.running());
            QCOMPARE(session.started.count(), 0);
            QCOMPARE(session.stopped.count(), 0);
            QVERIFY(session.manager.runtimeConfig().isEmpty());
            QTRY_COMPARE_WITH_TIMEOUT(stubProcesses(), 0, 3000);
        }
        qunsetenv("NIMBRA_STUB_CORE_VERSION");
    }

    void neverReadyTimesOut()
    {
        Session session("never-ready");
        QVERIFY(session.manager.prepareRuntimeConfig(nodeConfig()));
        QVERIFY(session.manager.start());
        QVERIFY(session.failed.wait(15000));
        QCOMPARE(failure(session.failed), QStringLiteral("nimbra-server 启动超时，未建立 TUN 通道"));
        QTRY_COMPARE_WITH_TIMEOUT(stubProcesses(), 0, 3000);
        QCOMPARE(session.stopped.count(), 0);
    }

    void startStopAndOutput()
    {
        // The readiness line split across writes and in mixed case.
        Session session("split-ready");
        QSignalSpy running(&session.manager, &SingBoxManager::runningChanged);
        QVERIFY(session.manager.prepareRuntimeConfig(nodeConfig()));
        QVERIFY(session.manager.start());
        QVERIFY(session.manager.start()); // while starting: accepted, nothing new
        QVERIFY2(session.started.wait(15000), qPrintable(failure(session.failed)));
        QVERIFY(session.manager.running());
        QVERIFY(session.manager.start()); // while running
        QCOMPARE(stubProcesses(), 1);
        const auto everything = [&] {
            QString text;
            for (const QVariantList &batch : std::as_const(session.output))
                text += batch.at(0).toString() + QLatin1Char('\n');
            return text;
        };
        // The line that said it started reaches the output with the next flush.
        QTRY_VERIFY_WITH_TIMEOUT(everything().contains(QStringLiteral("STARTED"), Qt::CaseInsensitive), 3000);
        QVERIFY(!everything().contains(QStringLiteral("Tm9kZVNlY3JldEtleTE2Qg==")));

        session.manager.stop();
        QVERIFY(session.stopped.wait(10000));
        QVERIFY(!session.manager.running());
        QCOMPARE(session.failed.count(), 0);
        // A stop that was asked for ends cleanly on every system (the window says so, not "code N").
        QCOMPARE(session.stopped.constFirst().at(0).toInt(), 0);
        QCOMPARE(session.stopped.constFirst().at(1).value<QProcess::ExitStatus>(), QProcess::NormalExit);
        QTRY_COMPARE_WITH_TIMEOUT(stubProcesses(), 0, 3000);
        QVERIFY(session.manager.runtimeConfig().isEmpty());

        // Idle: stop does nothing at all.
        const qsizetype changes = running.count();
        session.manager.stop();
        QTest::qWait(200);
        QCOMPARE(running.count(), changes);
        QCOMPARE(session.stopped.count(), 1);
    }

    void stopDuringValidationPreventsTheRun()
    {
        Session session("slow-check=800");
        QVERIFY(session.manager.prepareRuntimeConfig(nodeConfig()));
        QVERIFY(session.manager.start());
        // The check is under way (its process exists) when the stop comes.
        QTRY_COMPARE_WITH_TIMEOUT(stubProcesses(), 1, 10000);
        session.manager.stop();
        QVERIFY(!session.manager.starting());
        // Wine lists an ended process for a while longer on a busy machine.
        QTRY_COMPARE_WITH_TIMEOUT(stubProcesses(), 0, 30000);
        // Long past the check's own end: a run it let through would have been reported by now.
        QVERIFY(!session.started.wait(2000));
        QCOMPARE(session.failed.count(), 0);
        QCOMPARE(stubProcesses(), 0);
    }

    void restartAndCrash()
    {
        Session session("crash-after=3");
        QVERIFY(session.manager.prepareRuntimeConfig(nodeConfig()));
        QVERIFY(session.manager.start());
        QVERIFY(session.started.wait(15000));
        QVERIFY(session.manager.restart());
        QVERIFY(session.stopped.wait(10000));
        QTRY_COMPARE_WITH_TIMEOUT(session.started.count(), 2, 15000);
        QVERIFY(session.manager.running());
        // The established core crashes (exit code 2): stopped, not running.
        QTRY_COMPARE_WITH_TIMEOUT(session.stopped.count(), 2, 10000);
        QCOMPARE(session.stopped.constLast().at(0).toInt(), 2);
        QVERIFY(!session.manager.running());
        QCOMPARE(session.failed.count(), 0);
    }

    // Restart, or stop with a start right after it, in each phase of a session: the new start always
    // ends established with the prepared configuration (the bare template would fail its check), and
    // nothing of the old start is taken for the new one's.
    void quickRestarts_data()
    {
        QTest::addColumn<QByteArray>("mode");
        QTest::addColumn<QString>("phase");
        QTest::addColumn<bool>("viaRestart");
        for (const bool viaRestart : {true, false}) {
            const char *how = viaRestart ? "restart" : "stop+start";
            QTest::addRow("%s during validation", how)
                << QByteArray("slow-check=1500") << "check" << viaRestart;
            QTest::addRow("%s during the run phase", how)
                << QByteArray("slow-ready=1500") << "run" << viaRestart;
            QTest::addRow("%s when established", how) << QByteArray() << "established" << viaRestart;
        }
    }

    void quickRestarts()
    {
        QFETCH(QByteArray, mode);
        QFETCH(QString, phase);
        QFETCH(bool, viaRestart);
        Session session(mode);
        QVERIFY(session.manager.prepareRuntimeConfig(nodeConfig()));
        QVERIFY(session.manager.start());
        if (phase == QLatin1String("established"))
            QVERIFY2(session.started.wait(15000), qPrintable(failure(session.failed)));
        else
            QTRY_VERIFY_WITH_TIMEOUT(stubCommands().contains(phase), 5000);
        const qsizetype startedBefore = session.started.count();

        if (viaRestart) {
            QVERIFY(session.manager.restart());
        } else {
            session.manager.stop();
            QVERIFY(session.manager.start());
        }
        QVERIFY(session.manager.starting());
        QTRY_COMPARE_WITH_TIMEOUT(session.started.count(), startedBefore + 1, 15000);
        QCOMPARE(session.failed.count(), 0);
        QVERIFY(session.manager.running() && !session.manager.starting());
        QCOMPARE(session.stopped.count(), startedBefore); // only an established session reports its end
        QCOMPARE(stubCommands(), QStringList{QStringLiteral("run")});

        session.manager.stop();
        QVERIFY(session.stopped.wait(10000));
        QVERIFY(!session.manager.running());
    }

    // A core that dies during acceleration, whatever the cause, is logged and leaves its reason in
    // lastError; the routes the kernel removed with its TUN count as deleted.
    void deathDuringAcceleration_data()
    {
        QTest::addColumn<QByteArray>("mode");
        QTest::addColumn<bool>("killed");
        QTest::addColumn<QString>("message");
        QTest::newRow("exit of its own") << QByteArray("crash-after=0.5") << false
                                         << QStringLiteral("nimbra-server 在加速期间意外退出（代码 2）");
#ifdef Q_OS_WIN
        // The stub crashes with an access violation; the task manager ends a process with code 1.
        QTest::newRow("crash") << QByteArray("crash-after=0.5:signal") << false
                               << QStringLiteral("nimbra-server 在加速期间异常退出（代码 0xC0000005）");
        QTest::newRow("killed") << QByteArray() << true
                                << QStringLiteral("nimbra-server 在加速期间意外退出（代码 1）");
#else
        QTest::newRow("crash") << QByteArray("crash-after=0.5:signal") << false
                               << QStringLiteral("nimbra-server 在加速期间异常退出（信号 %1）").arg(SIGSEGV);
        QTest::newRow("killed") << QByteArray() << true
                                << QStringLiteral("nimbra-server 在加速期间异常退出（信号 %1）").arg(SIGKILL);
#endif
    }

    void deathDuringAcceleration()
    {
        QFETCH(QByteArray, mode);
        QFETCH(bool, killed);
        QFETCH(QString, message);
        Session session(mode);
        QVERIFY(session.manager.prepareRuntimeConfig(nodeConfig()));
        if (g_inPrivateNetwork)
            session.manager.setRouteIpList({QStringLiteral("198.18.30.0/24")});
        QVERIFY(session.manager.start());
        QVERIFY2(session.started.wait(15000), qPrintable(failure(session.failed)));
        // Matched as text: a char* pattern would pass through the local 8-bit code page.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(
                                               QStringLiteral("[Accelerator] ") + message)));
        if (killed)
            testing::killProcess(stubChildren().value(0));
        QVERIFY(session.stopped.wait(10000));
        QCOMPARE(session.manager.lastError(), message);
        QVERIFY(!session.manager.running());
        if (g_inPrivateNetwork) {
            QVERIFY(ownRoutes().isEmpty());
            QVERIFY(!QFile::exists(SingBoxManager::defaultRouteJournalPath()));
        }
    }

    void gameRoutesInPrivateNetwork()
    {
        if (!g_inPrivateNetwork)
            QSKIP("needs root: routes are tested inside a private network namespace");
        {
            Session session;
            QVERIFY(session.manager.prepareRuntimeConfig(nodeConfig()));
            // Refused entries are skipped, the node's own address (203.0.113.10) among them; the rest
            // of the list is installed.
            session.manager.setRouteIpList({QStringLiteral("198.51.100.7"), QStringLiteral(" "),
                                            QStringLiteral("127.0.0.1"), QStringLiteral("0.0.0.0/0"),
                                            QStringLiteral("203.0.113.0/24"), QStringLiteral("198.51.9.9"),
                                            QStringLiteral("203.0.114.0/24")});
            QVERIFY(session.manager.start());
            QVERIFY2(session.started.wait(15000), qPrintable(failure(session.failed)));
            QCOMPARE(ownRoutes(), (QStringList{"198.51.0.0/16", "203.0.114.0/24"}));
            QFile journal(SingBoxManager::defaultRouteJournalPath());
            QVERIFY(journal.open(QIODevice::ReadOnly));
            QVERIFY(journal.readAll().contains("203.0.114.0"));
            journal.close();
#ifndef Q_OS_WIN
            // The core sees the fixed environment only.
            QFile environment(QStringLiteral("/proc/%1/environ").arg(stubChildren().value(0)));
            QVERIFY(environment.open(QIODevice::ReadOnly));
            QStringList names;
            for (const QByteArray &variable : environment.readAll().split('\0'))
                names << QString::fromLocal8Bit(variable.left(variable.indexOf('=')));
            names.removeAll(QString());
            names.sort();
            QCOMPARE(names, (QStringList{"LANG", "PATH"}));
#endif
            session.manager.stop();
            QVERIFY(session.stopped.wait(10000));
            QTRY_VERIFY_WITH_TIMEOUT(ownRoutes().isEmpty(), 3000);
            QVERIFY(!QFile::exists(SingBoxManager::defaultRouteJournalPath()));
        }
        {
            // The third of five adds fails on a route that already exists in the user's table: the first
            // two are rolled back.
#ifdef Q_OS_WIN
            QFile table(qEnvironmentVariable("NIMBRA_ROUTE_TABLE"));
            QVERIFY(table.open(QIODevice::WriteOnly) &&
                    table.write("198.18.3.0 255.255.255.0 172.19.0.1\n") > 0);
            table.close();
            const QStringList before = ownRoutes();
#else
            run(QStringLiteral("ip"), {"route", "add", "blackhole", "198.18.3.0/24", "table", ownTable()});
            const QStringList before;
#endif
            Session session;
            QVERIFY(session.manager.prepareRuntimeConfig(nodeConfig()));
            session.manager.setRouteIpList(
                {"198.18.1.0/24", "198.18.2.0/24", "198.18.3.0/24", "198.18.4.0/24", "198.18.5.0/24"});
            QVERIFY(session.manager.start());
            QVERIFY(session.failed.wait(15000));
            QVERIFY(failure(session.failed).startsWith(QStringLiteral("添加游戏路由失败：")));
            QVERIFY(failure(session.failed).endsWith(QStringLiteral(" → 172.19.0.1")));
            QTRY_COMPARE_WITH_TIMEOUT(ownRoutes(), before, 3000);
#ifndef Q_OS_WIN
            QVERIFY(run(QStringLiteral("ip"), {"route", "show", "198.18.3.0/24", "table", ownTable()})
                        .contains(QStringLiteral("blackhole")));
#endif
            QCOMPARE(session.started.count(), 0);
            QTRY_COMPARE_WITH_TIMEOUT(stubProcesses(), 0, 3000);
        }
#ifndef Q_OS_WIN
        // (Windows runs one route.exe per route: thousands of them take minutes under wine.)
        {
            // Past the session's bound the rest of a list is refused, not the whole start.
            QVariantList list;
            for (int index = 0; index <= 4096; ++index)
                list.append(QStringLiteral("11.%1.%2.0/24").arg(index / 256).arg(index % 256));
            Session session;
            QVERIFY(session.manager.prepareRuntimeConfig(nodeConfig()));
            session.manager.setRouteIpList(list);
            QVERIFY(session.manager.start());
            QVERIFY2(session.started.wait(15000), qPrintable(failure(session.failed)));
            QCOMPARE(ownRoutes().size(), 4096);
            session.manager.stop();
            QVERIFY(session.stopped.wait(10000));
            QTRY_VERIFY_WITH_TIMEOUT(ownRoutes().isEmpty(), 3000);
        }
#endif
    }

    void leftoversOfADeadClientAreRemoved()
    {
        if (!g_inPrivateNetwork)
            QSKIP("needs root: routes are tested inside a private network namespace");
#ifdef Q_OS_WIN
        // Windows marks no route as ours: the journal alone names a dead client's routes, and a route
        // it does not name stays.
        QFile table(qEnvironmentVariable("NIMBRA_ROUTE_TABLE"));
        QVERIFY(table.open(QIODevice::WriteOnly));
        table.write("198.18.20.0 255.255.255.0 172.19.0.1\n198.18.22.0 255.255.255.0 172.19.0.1\n");
        table.close();
        nimbra::accel::RouteJournal(SingBoxManager::defaultRouteJournalPath()).save({{
            QStringLiteral("198.18.20.0"),
            QStringLiteral("255.255.255.0"),
            QStringLiteral("172.19.0.1")
        }});
        {
            Session session;
            QTRY_COMPARE_WITH_TIMEOUT(ownRoutes(), QStringList{"198.18.22.0/24"}, 5000);
        }
        QVERIFY(!QFile::exists(SingBoxManager::defaultRouteJournalPath()));
        QFile::remove(table.fileName());
        return;
#endif
        // A dead client's routes in this user's table: two tagged as ours, one of them in the journal
        // too, and an untagged one; and another user's (tagged, in that user's table).
        run(QStringLiteral("ip"), {"link", "add", "leftover0", "type", "veth", "peer", "name", "leftover1"});
        run(QStringLiteral("ip"), {"addr", "add", "172.19.0.1/30", "dev", "leftover0"});
        run(QStringLiteral("ip"), {"addr", "add", "172.19.255.249/30", "dev", "leftover0"});
        run(QStringLiteral("ip"), {"link", "set", "leftover0", "up"});
        run(QStringLiteral("ip"), {"link", "set", "leftover1", "up"});
        const QString other = QString::number(*nimbra::platform::userRouteTable(65534));
        for (const char *range : {"198.18.20.0/24", "198.18.21.0/24"})
            run(QStringLiteral("ip"),
                {"route", "add", range, "dev", "leftover0", "table", ownTable(), "proto", "215"});
        run(QStringLiteral("ip"),
            {"route", "add", "198.18.22.0/24", "dev", "leftover0", "table", ownTable()});
        run(QStringLiteral("ip"),
            {"route", "add", "198.18.23.0/24", "dev", "leftover0", "table", other, "proto", "215"});
        nimbra::accel::RouteJournal(SingBoxManager::defaultRouteJournalPath())
            .save({{QStringLiteral("198.18.21.0"), QStringLiteral("255.255.255.0"),
                    QStringLiteral("172.19.0.1")}});
        QCOMPARE(ownRoutes().size(), 3);
        {
            Session session;
            QTRY_COMPARE_WITH_TIMEOUT(ownRoutes(), QStringList{"198.18.23.0/24"}, 5000);
        }
        QVERIFY(run(QStringLiteral("ip"), {"route", "show", "198.18.22.0/24", "table", ownTable()})
                    .contains(QStringLiteral("leftover0")));
        QVERIFY(!QFile::exists(SingBoxManager::defaultRouteJournalPath()));
        run(QStringLiteral("ip"), {"link", "del", "leftover0"});
    }

    void signedInSessionAcceleratesAGame_data()
    {
        QTest::addColumn<QString>("gameId");
        QTest::addColumn<QString>("package");
        QTest::addColumn<QString>("routeId");
        QTest::newRow("shadowsocks") << "jx3"
                                     << "com.kingsoft.jx3"
                                     << "jx3-sh-ct-bgp3";
        QTest::newRow("hysteria2") << "yj"
                                   << "com.netease.naraka"
                                   << "yj-gz-cu-hy2";
    }

    void signedInSessionAcceleratesAGame()
    {
        QFETCH(QString, gameId);
        QFETCH(QString, package);
        QFETCH(QString, routeId);
        if (!g_inPrivateNetwork)
            QSKIP("needs root: the game's routes are installed inside a private network namespace");
        DevServiceProcess service;
        QVERIFY(service.isRunning());
        HttpManager http;
        AuthApi auth;
        auth.setHttpManager(&http);
        auth.setBaseUrl(service.baseUrl());
        AcceleratorApi accelerator;
        accelerator.setHttpManager(&http);

        QSignalSpy signedIn(&auth, &AuthApi::authenticated);
        auth.loginPassword(QStringLiteral("13800138000"), QStringLiteral("nimbra123"));
        QVERIFY(signedIn.wait(10000));
        const qint64 guid = signedIn.constFirst().at(2).toInt();
        const QString secret = auth.deviceSecret();
        http.setSession(guid, secret, auth.deviceId());
        accelerator.setSession(guid, secret, auth.deviceId());

        const QVariantMap game{{"id", gameId},
                               {"package_name", package},
                               {"packageName", package},
                               {"country", "国服"},
                               {"ip_list", QStringList{"198.18.6.10", "192.0.2.96/28"}}};
        QSignalSpy routes(&accelerator, &AcceleratorApi::routesLoaded);
        accelerator.loadRoutes(guid, game);
        QVERIFY2(routes.wait(10000), qPrintable(accelerator.lastError()));
        const QVariantList list = routes.constFirst().at(0).toList();
        const auto route = std::find_if(list.cbegin(), list.cend(),
                                        [&](const QVariant &r) { return r.toMap().value("id") == routeId; });
        QVERIFY(route != list.cend());
        QSignalSpy node(&accelerator, &AcceleratorApi::nodeConfigLoaded);
        accelerator.loadNodeConfig(guid, game, route->toMap());
        QVERIFY2(node.wait(10000), qPrintable(accelerator.lastError()));
        const QByteArray config = QJsonDocument(QJsonObject::fromVariantMap(node.constFirst().at(0).toMap()))
                                      .toJson(QJsonDocument::Compact);

        Session session;
        QVERIFY2(session.manager.prepareRuntimeConfig(config), qPrintable(session.manager.lastError()));
        session.manager.setRouteIpList(game.value("ip_list").toList());
        QVERIFY(session.manager.start());
        QVERIFY2(session.started.wait(15000), qPrintable(failure(session.failed)));
        QCOMPARE(ownRoutes(), (QStringList{"192.0.2.96/28", "198.18.0.0/16"}));
        session.manager.stop();
        QVERIFY(session.stopped.wait(10000));
        QTRY_VERIFY_WITH_TIMEOUT(ownRoutes().isEmpty(), 3000);
    }

    void coreDiesWithAKilledClient()
    {
        QProcess client;
        client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        client.start(QStringLiteral(NIMBRA_SUPERVISOR_CHILD), {kStub, kNode});
        QVERIFY(client.waitForReadyRead(15000));
        const QByteArray line = client.readLine();
        if (line.startsWith("FAILED") && !g_inPrivateNetwork)
            QSKIP("needs root: the client's route cannot be installed without it");
        QCOMPARE(line.trimmed(), QByteArray("STARTED"));
        const QList<qint64> cores = stubChildren(client.processId());
        QCOMPARE(cores.size(), 1);
        testing::killProcess(client.processId());
        QVERIFY(client.waitForFinished(5000));
        QTRY_VERIFY_WITH_TIMEOUT(!testing::processAlive(cores.constFirst()), 1000);
    }
};

int main(int argc, char **argv)
{
    // Root gets a network namespace of its own for the whole run: TUN device and routes never reach
    // the host. Everything this process starts inherits it.
    g_inPrivateNetwork = enterPrivateNetwork();
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QFile::remove(SingBoxManager::defaultRouteJournalPath());
    TestSingBoxManager test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singboxmanager.moc"
