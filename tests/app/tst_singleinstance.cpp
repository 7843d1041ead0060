// A later start hands over to the running copy through the channel (a named pipe on Windows); on Linux a
// stranger's socket where this user's copies meet is never talked to: not at the name the hand-over
// channel had in the shared temporary folder, nor in the user's runtime folder.
#include "app/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

using nimbra::SingleInstance;

namespace {

// Serves a socket at argv[1] as uid 65534 (bound as root, listening after the switch, which is when
// the kernel takes the credentials a client sees) and answers like a running copy.
const char *const kStranger = R"(
import os, socket, sys
path = sys.argv[1]
if os.path.exists(path): os.unlink(path)
s = socket.socket(socket.AF_UNIX)
s.bind(path)
os.chmod(path, 0o777)
os.setgid(65534); os.setuid(65534)
s.listen(1)
print("listening", flush=True)
s.settimeout(3)
try:
    c, _ = s.accept()
    c.settimeout(1)
    print("got", c.recv(64), flush=True)
    c.sendall(b"ok\n")
except OSError:
    print("nothing", flush=True)
)";

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    // The later copy runs on a thread of its own, as its hand-over blocks while the running copy's
    // loop answers.
    void laterStartHandsOver()
    {
        QTemporaryDir data;
        QVERIFY(data.isValid());
        const QString lockPath = data.filePath(QStringLiteral("instance.lock"));
        SingleInstance running(lockPath);
        QString error;
        QCOMPARE(running.claim(error), SingleInstance::Claim::Primary);
        QVERIFY2(running.listen(error), qPrintable(error));
        QSignalSpy activated(&running, &SingleInstance::activationRequested);

        const auto laterCopy = [&lockPath](int timeoutMs) {
            std::atomic<bool> handedOver = false;
            std::unique_ptr<QThread> thread(QThread::create([&] {
                SingleInstance later(lockPath);
                QString laterError;
                handedOver = later.claim(laterError) == SingleInstance::Claim::Secondary &&
                             later.handOver(laterError, timeoutMs);
            }));
            thread->start();
            while (!thread->wait(10))
                QCoreApplication::processEvents();
            return handedOver.load();
        };
        QVERIFY(laterCopy(5000));
        QCOMPARE(activated.count(), 1);
        // On its way out the running copy answers no more.
        running.stopListening();
        QVERIFY(!laterCopy(300));
        QCOMPARE(activated.count(), 1);
    }

#ifndef Q_OS_WIN
    void strangerSocketIsNotTalkedTo_data()
    {
        QTest::addColumn<bool>("atOldName");
        QTest::newRow("old name in the temporary folder") << true;
        QTest::newRow("in the runtime folder") << false;
    }

    void strangerSocketIsNotTalkedTo()
    {
        QFETCH(bool, atOldName);
        if (geteuid() != 0)
            QSKIP("needs root: the stranger's socket is served as uid 65534");
        QTemporaryDir runtime;
        QTemporaryDir data;
        QVERIFY(runtime.isValid() && data.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const QString lockPath = data.filePath(QStringLiteral("instance.lock"));

        // The running copy holds the lock but does not listen yet (still starting).
        SingleInstance running(lockPath);
        SingleInstance later(lockPath);
        QString error;
        QCOMPARE(running.claim(error), SingleInstance::Claim::Primary);
        QCOMPARE(later.claim(error), SingleInstance::Claim::Secondary);
        QVERIFY2(later.serverName().startsWith(runtime.path() + QLatin1Char('/')),
                 qPrintable(later.serverName()));

        const QString oldName =
            QDir(QDir::tempPath())
                .filePath(QStringLiteral("nimbra-") +
                          QString::fromLatin1(QCryptographicHash::hash(QDir::cleanPath(lockPath).toUtf8(),
                                                                       QCryptographicHash::Sha256)
                                                  .toHex()
                                                  .left(24)));
        const QString planted = atOldName ? oldName : later.serverName();
        QProcess stranger;
        stranger.start(QStringLiteral("python3"),
                       {QStringLiteral("-c"), QString::fromLatin1(kStranger), planted});
        QVERIFY(stranger.waitForReadyRead(10000));
        QCOMPARE(stranger.readLine().trimmed(), QByteArray("listening"));

        QVERIFY(!later.handOver(error, 1000));
        QVERIFY(stranger.waitForFinished(10000));
        // The new name's check comes after connecting, but before anything is said.
        QVERIFY(!stranger.readAll().contains("show"));
        QFile::remove(planted);
        qunsetenv("XDG_RUNTIME_DIR");
    }
#endif
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
