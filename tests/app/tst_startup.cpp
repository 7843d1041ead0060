// Runs the real executable: the administrator refusal, the first log line, the window and an orderly
// quit on SIGTERM.
#include "devserviceprocess.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

namespace {

constexpr int kNobody = 65534;

// A private home for one run: data, config and runtime directories under a temporary folder that an
// unprivileged user can reach, plus a copy of the executable there (the build tree may not be).
struct Sandbox
{
    Sandbox()
    {
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                              QFileDevice::WriteOther | QFileDevice::ExeOther);
        app = dir.filePath(QStringLiteral("nimbra"));
        QFile::copy(QStringLiteral(NIMBRA_APP_PATH), app);
        runtimeDir = dir.filePath(QStringLiteral("run"));
        QDir().mkpath(runtimeDir);
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("cache")));
        if (runtimeDir.isEmpty())
            env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        else
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
        if (!temporaryDir.isEmpty())
            env.insert(QStringLiteral("TMPDIR"), temporaryDir);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
        env.remove(QStringLiteral("NIMBRA_ENABLE_QML_DEBUGGER"));
        return env;
    }

    QString configPath() const { return dir.filePath(QStringLiteral("config/Nimbra/Nimbra.conf")); }
    QString logPath() const { return dir.filePath(QStringLiteral("data/Nimbra/Nimbra/runtime.log")); }

    QTemporaryDir dir;
    QString app;
    QString runtimeDir;
    QString temporaryDir;
};

bool waitForOutput(QProcess &process, QByteArray &output, const QByteArray &needle, int timeoutMs = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!output.contains(needle)) {
        if (timer.elapsed() > timeoutMs || process.state() == QProcess::NotRunning)
            return false;
        process.waitForReadyRead(200);
        output += process.readAllStandardError();
    }
    return true;
}

// Starts the sandbox's client and waits for needle on its standard error.
bool startClient(QProcess &process, const Sandbox &box, QByteArray &output, const QByteArray &needle)
{
    process.setProcessEnvironment(box.environment());
    process.start(box.app);
    return waitForOutput(process, output, needle);
}

// Ends a client the way a desktop session does; true when it quit cleanly.
bool terminate(QProcess &process)
{
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    return process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

QStringList setprivAs(int uid, const QStringList &extra)
{
    return QStringList{QStringLiteral("--reuid=%1").arg(uid), QStringLiteral("--regid=%1").arg(uid),
                       QStringLiteral("--clear-groups")} +
           extra;
}

void requireRootAndSetpriv()
{
    if (geteuid() != 0)
        QSKIP("needs root: the test switches to uid 65534 with setpriv");
    if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        QSKIP("setpriv (util-linux) is not installed");
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    // An ordinary user runs the client as it is: it needs no right beyond the user's own.
    void startsAsAnOrdinaryUser()
    {
        requireRootAndSetpriv();
        Sandbox box;
        QProcess process;
        process.setProcessEnvironment(box.environment());
        process.start(QStringLiteral("setpriv"), setprivAs(kNobody, {box.app}));
        QByteArray output;
        QVERIFY2(waitForOutput(process, output, "[APP] 主窗口已创建"), output.constData());
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(readFile(box.logPath()).contains("[APP] 运行日志文件："));
    }

    void runsAndQuitsOnTerminationSignals()
    {
        if (geteuid() != 0)
            QSKIP("needs root: the client refuses to start without administrator rights");
        for (const int signalNumber : {SIGTERM, SIGHUP}) {
            Sandbox box;
            QProcess process;
            process.setProcessEnvironment(box.environment());
            process.start(box.app, {QStringLiteral("-qmljsdebugger=port:39999"), QStringLiteral("--keep")});
            QByteArray output;
            QVERIFY2(waitForOutput(process, output, "[PERF] 首帧已呈现"), output.constData());

            ::kill(static_cast<pid_t>(process.processId()), signalNumber);
            QVERIFY(process.waitForFinished(20000));
            output += process.readAllStandardError();
            QCOMPARE(process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(process.exitCode(), 0);

            const QList<QByteArray> lines = readFile(box.logPath()).split('\n');
            QVERIFY(lines.size() > 4);
            QVERIFY2(lines.constFirst().contains("[INFO] [APP] 运行日志文件："),
                     lines.constFirst().constData());
            QVERIFY(lines.constFirst().contains(box.logPath().toUtf8()));
            const QByteArray log = readFile(box.logPath());
            QVERIFY(log.contains("[PERF] 已忽略 Qt Creator 注入的 QML Debugger"));
            QVERIFY(log.contains("[APP] 主窗口已创建"));
            QVERIFY(log.contains(QByteArray("[APP] 收到终止信号 ") + QByteArray::number(signalNumber)));
            QVERIFY(log.contains("[APP] 事件循环即将退出"));
            // A smoke run fails on any QML engine warning.
            for (const QByteArray &line : lines)
                QVERIFY2(!(line.contains("[WARN]") && (line.contains("qrc:") || line.contains(".qml"))),
                         line.constData());
        }
    }

    void signsInSilentlyOnNextStart()
    {
        if (geteuid() != 0)
            QSKIP("needs root: the client refuses to start without administrator rights");
        DevServiceProcess service;
        QVERIFY(service.isRunning());

        // A previous run signed in with auto-login on: the session is in the settings store.
        const QString deviceId = QStringLiteral("nimbra-0d6f1f52-5a43-4c84-9a0e-5bd1f0a2c0de");
        QNetworkAccessManager network;
        QNetworkRequest request(QUrl(service.baseUrl() + QStringLiteral("/passport/sms/login")));
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        request.setRawHeader("X-Device-Id", deviceId.toUtf8());
        QNetworkReply *reply = network.post(
            request,
            QByteArrayLiteral(R"({"phone":"13800138000","password":"nimbra123","remember_me":true})"));
        QSignalSpy finished(reply, &QNetworkReply::finished);
        QVERIFY(finished.wait(10000));
        const QVariantMap data =
            QJsonDocument::fromJson(reply->readAll()).toVariant().toMap().value("data").toMap();
        reply->deleteLater();
        const QString token = data.value(QStringLiteral("token")).toString();
        const QString secret = data.value(QStringLiteral("device_secret")).toString();
        QVERIFY(!token.isEmpty() && !secret.isEmpty());

        Sandbox box;
        QDir().mkpath(QFileInfo(box.configPath()).path());
        QFile config(box.configPath());
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral("[auth]\ndevice_id=%1\ntoken=%2\ndevice_secret=%3\nphone=13800138000\n")
                         .arg(deviceId, token, secret)
                         .toUtf8());
        config.close();

        QProcess process;
        QProcessEnvironment env = box.environment();
        env.insert(QStringLiteral("NIMBRA_API_BASE_URL"), service.baseUrl());
        process.setProcessEnvironment(env);
        process.start(box.app);
        QByteArray output;
        QVERIFY2(waitForOutput(process, output, "op=refresh success=true"), output.constData());
        // The catalogue is asked for once, after the window exists, and lands in the state store.
        QVERIFY2(waitForOutput(process, output, "[Data] 游戏库已更新"), output.constData());
        QVERIFY2(waitForOutput(process, output, "[Data] 常用游戏已更新"), output.constData());
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitCode(), 0);

        const QByteArray log = readFile(box.logPath());
        QCOMPARE(log.count("[HTTP] 入队 #2 op=common path=/api/user/gamelist/common"), 1);
        QCOMPARE(log.count("op=common path="), 2); // queued and sent, once each
        QCOMPARE(log.count("[HTTP] 入队 #3 op=page path=/api/user/gamelist/pc/page"), 1);
        QCOMPARE(log.count("op=page path="), 2);
        QVERIFY(log.indexOf("[APP] 主窗口已创建") < log.indexOf("op=common path="));
        QVERIFY(QRegularExpression(QStringLiteral("常用游戏已更新 count=[1-9]"))
                    .match(QString::fromUtf8(log))
                    .hasMatch());
        QVERIFY(log.contains("[Data] 游戏库已更新 page=1 count=12"));
        QVERIFY(log.contains(
            "[HTTP] 入队 #1 op=refresh path=/passport/sms/refresh guid=0 signed=false deviceId=true"));
        QVERIFY(log.contains("[HTTP] 回调 #1 op=refresh success=true status=200"));
        QVERIFY(!log.contains(token.toUtf8()));
        QVERIFY(!log.contains(secret.toUtf8()));
        QVERIFY(!output.contains(secret.toUtf8()));
        // The file with the session was 0644 before the run; it is the user's alone now.
        QCOMPARE(QFile::permissions(box.configPath()), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                           QFileDevice::ReadUser | QFileDevice::WriteUser);
        QVERIFY(log.contains("[INFO] [APP] 设置文件 path=" + box.configPath().toUtf8() +
                             " status=NoError writable=true"));
    }

    void secondStartHandsOver_data()
    {
        QTest::addColumn<bool>("runtimeFolder");
        QTest::newRow("runtime folder") << true;
        QTest::newRow("no runtime folder, temporary name taken by another user") << false;
    }

    // A second start shows the running copy and ends without touching routes; a copy killed outright
    // does not keep the next start out. Without XDG_RUNTIME_DIR the copies meet in the user's own data
    // folder, so another user's folder at the old name in the temporary folder changes nothing.
    void secondStartHandsOver()
    {
        QFETCH(bool, runtimeFolder);
        if (geteuid() != 0)
            QSKIP("needs root: the client refuses to start without administrator rights");
        Sandbox box;
        if (!runtimeFolder) {
            box.runtimeDir.clear();
            const QString squatted = box.dir.filePath(QStringLiteral("tmp/nimbra-%1").arg(geteuid()));
            QVERIFY(QDir().mkpath(squatted));
            QCOMPARE(::chown(QFile::encodeName(squatted).constData(), 65534, 65534), 0);
            box.temporaryDir = box.dir.filePath(QStringLiteral("tmp"));
        }
        QProcess first;
        QByteArray firstOutput;
        QVERIFY2(startClient(first, box, firstOutput, "[PERF] 首帧已呈现"), firstOutput.constData());

        // A route of the running copy's session, as its journal records it (a documentation
        // address: no such route exists here either way).
        const QString journalPath =
            QFileInfo(box.logPath()).dir().filePath(QStringLiteral("route_journal.json"));
        const QByteArray journal =
            R"([{"destination":"198.51.100.0","mask":"255.255.255.0","gateway":"172.19.0.1"}])";
        QFile journalFile(journalPath);
        QVERIFY(journalFile.open(QIODevice::WriteOnly));
        journalFile.write(journal);
        journalFile.close();

        QProcess second;
        second.setProcessEnvironment(box.environment());
        second.start(box.app);
        QVERIFY(second.waitForFinished(20000));
        const QByteArray secondOutput = second.readAllStandardError();
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY2(secondOutput.contains("[APP] Nimbra 已在运行，已请求其显示主窗口，本次启动退出"),
                 secondOutput.constData());
        QVERIFY(!secondOutput.contains("[Route]"));
        QVERIFY(!secondOutput.contains("[APP] 主窗口已创建"));
        QCOMPARE(readFile(journalPath), journal);
        QVERIFY2(waitForOutput(first, firstOutput, "[APP] 收到再次启动的请求，显示主窗口 window=yes"),
                 firstOutput.constData());

        ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
        QVERIFY(first.waitForFinished(20000));
        QFile::remove(journalPath);
        QProcess third;
        QByteArray thirdOutput;
        QVERIFY2(startClient(third, box, thirdOutput, "[APP] 主窗口已创建"), thirdOutput.constData());
        QVERIFY(terminate(third));
    }

    // A copy that no longer answers (stopped here; quitting, in life) keeps a later start waiting rather
    // than ending it silently; once that copy is gone the later start opens its own window.
    void secondStartWaitsForAnUnansweringCopy()
    {
        Sandbox box;
        QProcess first;
        QByteArray firstOutput;
        QVERIFY2(startClient(first, box, firstOutput, "[PERF] 首帧已呈现"), firstOutput.constData());
        ::kill(static_cast<pid_t>(first.processId()), SIGSTOP);

        QProcess second;
        QByteArray secondOutput;
        QVERIFY2(startClient(second, box, secondOutput, "等待其结束后再打开"), secondOutput.constData());
        QTest::qWait(6000); // longer than a hand-over's own time limit
        QCOMPARE(second.state(), QProcess::Running);

        ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
        QVERIFY(first.waitForFinished(20000));
        QVERIFY2(waitForOutput(second, secondOutput, "[APP] 主窗口已创建"), secondOutput.constData());
        QVERIFY(secondOutput.contains("[APP] 先前运行的 Nimbra 已退出，本次启动继续"));
        QVERIFY(terminate(second));
    }

    // Settings that cannot be read or written are named in the log at start; an oversized file is
    // moved aside before anything parses it, and the run writes fresh settings without its junk.
    void unusableSettingsAreLogged_data()
    {
        QTest::addColumn<bool>("oversized");
        QTest::addColumn<QByteArray>("logged");
        QTest::newRow("folder in place of the file")
            << false << QByteArray(" status=AccessError writable=false");
        QTest::newRow("oversized file") << true << QByteArray(" status=NoError writable=true");
    }
    void unusableSettingsAreLogged()
    {
        QFETCH(bool, oversized);
        QFETCH(QByteArray, logged);
        if (geteuid() != 0)
            QSKIP("needs root: the client refuses to start without administrator rights");
        Sandbox box;
        QByteArray junk;
        if (oversized) {
            junk = "[junk]\nkey=" + QByteArray(2 * 1024 * 1024, 'j') + "\n";
            QVERIFY(QDir().mkpath(QFileInfo(box.configPath()).path()));
            QFile file(box.configPath());
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(junk) == junk.size());
        } else {
            QVERIFY(QDir().mkpath(box.configPath())); // a folder where the file should be
        }
        QProcess process;
        process.setProcessEnvironment(box.environment());
        process.start(box.app);
        QByteArray output;
        QVERIFY2(waitForOutput(process, output, "[APP] 主窗口已创建"), output.constData());
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(20000));
        const QByteArray log = readFile(box.logPath());
        QVERIFY2(log.contains("[APP] 设置文件 path=" + box.configPath().toUtf8() + logged), log.constData());
        if (oversized) {
            QVERIFY2(log.contains("[WARN] [Data] 设置文件无效，已移至 " + box.configPath().toUtf8() +
                                  ".too-large-"),
                     log.constData());
            const QFileInfoList aside =
                QFileInfo(box.configPath()).dir().entryInfoList({QStringLiteral("Nimbra.conf.too-large-*")});
            QCOMPARE(aside.size(), 1);
            QCOMPARE(aside.constFirst().size(), junk.size());
            QVERIFY(!readFile(box.configPath()).contains("junk"));
        }
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
