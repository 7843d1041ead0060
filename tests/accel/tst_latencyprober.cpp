// The prober against nodes of known round trip and loss: nimbra_tunresponder answers SYNs on a TUN
// device inside this test's private network namespace (root only).
#include "accel/latencyprober.h"
#include "accel/probestatistics.h"

#include "privatenetwork.h"
#include "silentresolver.h"
#include "tunresponderprocess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <memory>

#include <sched.h>

using nimbra::accel::LatencyProber;
using nimbra::accel::ProbeRound;
using nimbra::accel::ProbeSettings;
using nimbra::accel::ProbeTarget;

namespace {

bool g_inPrivateNetwork = false;
bool g_silentResolver = false;

struct Node
{
    int delayMs;
    int lossPercent;
};
// The responder's nodes; every one is also a row of measuredFigures.
constexpr Node kNodes[] = {{15, 0}, {40, 0}, {80, 0}, {40, 30}, {15, 100}};

const QString kRefused = QStringLiteral("10.77.0.20");
const QString kSilent = QStringLiteral("10.77.0.21");

// The node the responder answers with this delay and loss.
QString nodeAddress(int delayMs, int lossPercent)
{
    return QStringLiteral("10.77.%1.%2").arg(lossPercent).arg(delayMs);
}

// TCP sockets of this namespace in any state but LISTEN (every one of them is the prober's).
int openTcpSockets()
{
    QFile table(QStringLiteral("/proc/self/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return -1;
    int count = 0;
    table.readLine(); // the header
    while (!table.atEnd()) {
        const QList<QByteArray> fields = table.readLine().simplified().split(' ');
        count += fields.size() > 3 && fields[3] != "0A";
    }
    return count;
}

ProbeRound measureOne(LatencyProber &prober, const ProbeTarget &target, int waitMs)
{
    QSignalSpy finished(&prober, &LatencyProber::roundFinished);
    prober.measure({target});
    if (!finished.wait(waitMs) || finished.size() != 1)
        return {};
    return finished.takeFirst().at(0).value<ProbeRound>();
}

} // namespace

class tst_LatencyProber : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!g_inPrivateNetwork)
            return;
        QStringList arguments{QStringLiteral("--address"), QStringLiteral("10.77.0.1/16")};
        for (const Node &node : kNodes) {
            arguments << QStringLiteral("--node")
                      << QStringLiteral("%1=%2ms,%3%")
                             .arg(nodeAddress(node.delayMs, node.lossPercent))
                             .arg(node.delayMs)
                             .arg(node.lossPercent);
        }
        arguments << QStringLiteral("--refuse") << kRefused << QStringLiteral("--silent") << kSilent;
        m_responder = std::make_unique<TunResponderProcess>();
        QVERIFY2(m_responder->start(arguments), qPrintable(m_responder->error()));
    }

    void statistics_data()
    {
        QTest::addColumn<QList<double>>("samples");
        QTest::addColumn<double>("median");
        QTest::addColumn<double>("jitter");
        QTest::addColumn<double>("loss");
        QTest::newRow("odd count, unsorted") << QList<double>{30, 10, 20} << 20.0 << 15.0 << 0.0;
        QTest::newRow("even count") << QList<double>{10, 40, 20, 30} << 25.0 << 20.0 << 0.0;
        // Jitter spans the lost probe: consecutive answered samples are 10 and 30.
        QTest::newRow("lost probe in between") << QList<double>{10, -1, 30, -1} << 20.0 << 20.0 << 0.5;
        QTest::newRow("all lost") << QList<double>{-1, -1} << -1.0 << 0.0 << 1.0;
        QTest::newRow("no probes") << QList<double>{} << -1.0 << 0.0 << 1.0;
    }

    void statistics()
    {
        QFETCH(QList<double>, samples);
        QFETCH(double, median);
        QFETCH(double, jitter);
        QFETCH(double, loss);
        ProbeRound round;
        round.samplesMs = samples;
        nimbra::accel::summarizeProbeRound(round);
        QCOMPARE(round.medianMs, median);
        QCOMPARE(round.jitterMs, jitter);
        QCOMPARE(round.loss, loss);
        QCOMPARE(round.answered(), round.medianMs >= 0);
    }

    void measuredFigures_data()
    {
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("lossPercent");
        for (const Node &node : kNodes) {
            QTest::addRow("%d ms, %d%% lost", node.delayMs, node.lossPercent)
                << node.delayMs << node.lossPercent;
        }
    }

    void measuredFigures()
    {
        QFETCH(int, delayMs);
        QFETCH(int, lossPercent);
        if (!g_inPrivateNetwork)
            QSKIP("needs root: the nodes are a TUN device inside a private network namespace");
        const ProbeSettings settings{40, 20, 500, 8};
        LatencyProber prober(settings);
        const ProbeRound round =
            measureOne(prober, {QStringLiteral("node"), nodeAddress(delayMs, lossPercent), 443},
                       settings.probesPerRound * settings.timeoutMs);
        QCOMPARE(round.key, QStringLiteral("node"));
        QCOMPARE(round.samplesMs.size(), settings.probesPerRound);
        QVERIFY2(qAbs(round.loss * 100 - lossPercent) <= 10, qPrintable(QString::number(round.loss)));
        if (lossPercent == 100) {
            QVERIFY(!round.answered());
        } else {
            QVERIFY2(qAbs(round.medianMs - delayMs) <= 5, qPrintable(QString::number(round.medianMs)));
        }
    }

    // Each round ends with every probe lost; a refusal at once, not at the (long) time-out.
    void unansweredTargetsAreLost_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("timeoutMs");
        QTest::newRow("refused") << kRefused << 60000;
        QTest::newRow("silent") << kSilent << 300;
        QTest::newRow("name that does not resolve") << QStringLiteral("node.invalid") << 60000;
    }

    void unansweredTargetsAreLost()
    {
        QFETCH(QString, host);
        QFETCH(int, timeoutMs);
        if (!g_inPrivateNetwork)
            QSKIP("needs root: the nodes are a TUN device inside a private network namespace");
        const ProbeSettings settings{5, 20, timeoutMs, 8};
        LatencyProber prober(settings);
        const ProbeRound round = measureOne(prober, {host, host, 443}, 10000);
        QCOMPARE(round.key, host);
        QCOMPARE(round.samplesMs, QList<double>(settings.probesPerRound, -1));
        QCOMPARE(round.loss, 1.0);
        QVERIFY(!round.answered());
        QCOMPARE(openTcpSockets(), 0);
    }

    // A cancelled round never reports, even one already finished; at most maxInFlight handshakes are
    // open at once; none is left after the destructor, which does not wait for the probes' time-outs.
    void cancellationAndShutdown()
    {
        if (!g_inPrivateNetwork)
            QSKIP("needs root: the nodes are a TUN device inside a private network namespace");
        auto prober = std::make_unique<LatencyProber>(ProbeSettings{10, 0, 60000, 3});
        QSignalSpy finished(prober.get(), &LatencyProber::roundFinished);
        prober->measure({{QStringLiteral("refused"), kRefused, 443}});
        QThread::msleep(300); // its result is on its way, not yet delivered
        prober->cancelAll();

        prober->measure({{QStringLiteral("a"), kSilent, 443}, {QStringLiteral("b"), kSilent, 444}});
        QTRY_COMPARE(openTcpSockets(), 3);
        prober->cancelAll();
        QTRY_COMPARE(openTcpSockets(), 0);

        prober->measure({{QStringLiteral("answered"), nodeAddress(15, 0), 443}});
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().at(0).value<ProbeRound>().key, QStringLiteral("answered"));

        prober->measure({{QStringLiteral("a"), kSilent, 443}});
        QTRY_COMPARE(openTcpSockets(), 3);
        QElapsedTimer clock;
        clock.start();
        prober.reset();
        QVERIFY2(clock.elapsed() < 5000, "the destructor waited for the probes");
        QCOMPARE(openTcpSockets(), 0);
    }

    // The selected route's round is served before a queue of silent nodes asked for earlier, and a name
    // no server answers holds up neither the other rounds nor the destructor: its round is lost once
    // the deadline has passed while the lookup goes on.
    void urgentRoundsAndSlowNamesWaitForNothing()
    {
        if (!g_inPrivateNetwork || !g_silentResolver)
            QSKIP(
                "needs root: the nodes are a TUN device and the DNS server is silent in private namespaces");
        auto prober = std::make_unique<LatencyProber>(ProbeSettings{5, 200, 1000, 8, 1500});
        QSignalSpy finished(prober.get(), &LatencyProber::roundFinished);
        QList<ProbeTarget> queue{{QStringLiteral("name"), QStringLiteral("node.nimbra.test"), 443}};
        for (int i = 0; i < 40; ++i)
            queue.append({QStringLiteral("silent-%1").arg(i), kSilent, static_cast<quint16>(1000 + i)});
        prober->measure(queue);
        prober->measure({{QStringLiteral("selected"), nodeAddress(15, 0), 443, true}});
        QVERIFY(finished.wait(5000));
        const ProbeRound first = finished.first().at(0).value<ProbeRound>();
        QCOMPARE(first.key, QStringLiteral("selected"));
        QCOMPARE(first.loss, 0.0);
        QTRY_VERIFY_WITH_TIMEOUT(std::any_of(finished.cbegin(), finished.cend(),
                                             [](const QList<QVariant> &signal) {
                                                 return signal.at(0).value<ProbeRound>().key == "name";
                                             }),
                                 5000);
        QElapsedTimer clock;
        clock.start();
        prober.reset(); // the name's lookup is still waiting for the server
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    }

    void cleanupTestCase() { m_responder.reset(); }

private:
    std::unique_ptr<TunResponderProcess> m_responder;
};

int main(int argc, char **argv)
{
    // Before any thread exists, so that the prober's thread and the responder share the namespace.
    g_inPrivateNetwork = enterPrivateNetwork();
    g_silentResolver = g_inPrivateNetwork && useSilentResolver();
    // The figures are compared within 5 ms: on a busy machine a woken thread may otherwise wait a whole
    // scheduler tick for a CPU. Real-time priority, inherited by the prober's thread, keeps that noise out
    // of the measurement; every thread here sleeps between its short bursts.
    if (g_inPrivateNetwork) {
        sched_param priority = {};
        priority.sched_priority = 5;
        sched_setscheduler(0, SCHED_FIFO, &priority);
    }
    QCoreApplication app(argc, argv);
    tst_LatencyProber test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_latencyprober.moc"
