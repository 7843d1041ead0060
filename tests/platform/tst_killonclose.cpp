#include "platform/killonclose.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

using namespace nimbra::platform;

namespace {

constexpr const char *kSpawnSleeperArgument = "--spawn-sleeper";

void setKillOnClose(QProcess &process)
{
    const std::int64_t parent = currentProcessId();
    process.setChildProcessModifier([parent] { childSetupForKillOnClose(parent); });
}

// Helper mode of this executable: starts "sleep" the way the client starts the core, prints its
// process id and waits to be killed.
int spawnSleeper()
{
    QProcess sleeper;
    setKillOnClose(sleeper);
    sleeper.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    if (!sleeper.waitForStarted(5000))
        return 1;
    std::printf("%lld\n", static_cast<long long>(sleeper.processId()));
    std::fflush(stdout);
    for (;;)
        pause();
}

// Gone, or a zombie nobody has reaped yet: either way it no longer runs.
bool processEnded(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close < 0 || text.mid(close + 2, 1) == "Z";
}

bool waitForEnd(qint64 pid, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!processEnded(pid)) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QThread::msleep(10);
    }
    return true;
}

} // namespace

class TestKillOnClose : public QObject
{
    Q_OBJECT

private slots:
    void childDiesWithTheThreadThatStartedIt()
    {
        // Both children are started from a thread that then ends; only the one with the setup dies.
        std::unique_ptr<QProcess> guarded;
        std::unique_ptr<QProcess> unguarded;
        bool started = false;
        QThread *const testThread = QThread::currentThread();
        std::unique_ptr<QThread> starter(QThread::create([&] {
            guarded = std::make_unique<QProcess>();
            setKillOnClose(*guarded);
            guarded->start(QStringLiteral("sleep"), {QStringLiteral("30")});
            unguarded = std::make_unique<QProcess>();
            unguarded->start(QStringLiteral("sleep"), {QStringLiteral("30")});
            started = guarded->waitForStarted(5000) && unguarded->waitForStarted(5000);
            guarded->moveToThread(testThread);
            unguarded->moveToThread(testThread);
        }));
        starter->start();
        QVERIFY(starter->wait(10000));
        QVERIFY(started);

        QVERIFY(guarded->waitForFinished(2000));
        QCOMPARE(guarded->exitStatus(), QProcess::CrashExit);
        QVERIFY(!unguarded->waitForFinished(300));
        unguarded->kill();
        QVERIFY(unguarded->waitForFinished(2000));
    }

    void childDiesWhenTheClientIsKilled()
    {
        QProcess client;
        client.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kSpawnSleeperArgument)});
        QVERIFY(client.waitForStarted(5000));
        QVERIFY(client.waitForReadyRead(5000));
        bool ok = false;
        const qint64 sleeper = client.readLine().trimmed().toLongLong(&ok);
        QVERIFY(ok && sleeper > 0);
        QVERIFY(!processEnded(sleeper));

        client.kill();
        QVERIFY(client.waitForFinished(2000));
        const bool ended = waitForEnd(sleeper, 1000);
        if (!ended)
            ::kill(static_cast<pid_t>(sleeper), SIGKILL);
        QVERIFY2(ended, "the core outlived the killed client");
    }

    void childOfAGoneParentExitsAtOnce()
    {
        // The parent pid taken before the fork no longer matching stands for a parent that died
        // before the death signal was armed: the program must not run.
        QProcess orphan;
        const std::int64_t notTheParent = currentProcessId() + 1;
        orphan.setChildProcessModifier([notTheParent] { childSetupForKillOnClose(notTheParent); });
        orphan.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("exit 0")});
        QVERIFY(orphan.waitForFinished(5000));
        QCOMPARE(orphan.exitStatus(), QProcess::NormalExit);
        QCOMPARE(orphan.exitCode(), 127);

        QProcess child;
        setKillOnClose(child);
        child.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("exit 3")});
        QVERIFY(child.waitForFinished(5000));
        QCOMPARE(child.exitCode(), 3);
    }
};

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], kSpawnSleeperArgument) == 0)
        return spawnSleeper();
    QCoreApplication app(argc, argv);
    TestKillOnClose test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_killonclose.moc"
