#include "platform/configpipe.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace nimbra::platform;

class TestConfigPipe : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_runtime;

    QString pipeDirectory() const { return m_runtime->path() + QStringLiteral("/nimbra"); }
    QStringList leftBehind() const
    {
        return QDir(pipeDirectory())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    static mode_t modeOf(const QString &path)
    {
        struct stat info = {};
        return lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode : 0;
    }
    static std::function<bool()> stillRunning(QProcess &process)
    {
        return [&process] {
            process.waitForFinished(0);
            return process.state() != QProcess::NotRunning;
        };
    }

private slots:
    void initTestCase()
    {
        // A vanished reader must come back as EPIPE; a leaked SIGPIPE would end this run.
        std::signal(SIGPIPE, SIG_DFL);
    }

    void init()
    {
        m_runtime = std::make_unique<QTemporaryDir>();
        QVERIFY(m_runtime->isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime->path()));
    }

    void readerReceivesWholeConfiguration()
    {
        QByteArray config;
        for (int i = 0; config.size() < 200 * 1024; ++i)
            config += QByteArray::number(i) + ',';
        QTemporaryDir outputDir;
        const QString outputPath = outputDir.filePath(QStringLiteral("received"));

        ConfigPipe pipe;
        const ConfigPipeResult created = pipe.create(ConfigPipeUse::Run, config.size());
        QVERIFY2(created.ok(), created.message.c_str());
        const QString path = QString::fromStdString(pipe.path());
        QVERIFY2(QRegularExpression(QStringLiteral("^%1/nimbra-config-[0-9a-f]{32}$")
                                        .arg(QRegularExpression::escape(pipeDirectory())))
                     .match(path)
                     .hasMatch(),
                 qPrintable(path));
        QCOMPARE(modeOf(pipeDirectory()), mode_t(S_IFDIR | 0700));
        QCOMPARE(modeOf(path), mode_t(S_IFIFO | 0600));

        // More than a pipe buffer, so the write waits for the reader several times.
        QProcess reader;
        reader.setStandardOutputFile(outputPath);
        reader.start(QStringLiteral("cat"), {path});
        QVERIFY(reader.waitForStarted());
        const ConfigPipeResult served = pipe.serve(config.toStdString(), stillRunning(reader));
        QVERIFY2(served.ok(), served.message.c_str());
        // cat ending by itself shows that the reader got the end of its input.
        QVERIFY(reader.waitForFinished(5000));
        QCOMPARE(reader.exitCode(), 0);
        QFile received(outputPath);
        QVERIFY(received.open(QIODevice::ReadOnly));
        QVERIFY(received.readAll() == config);
        QCOMPARE(leftBehind(), QStringList());
    }

    // Without a runtime folder the pipe goes into the user's own folder (never a shared one another
    // user could take first); a folder others may enter is refused.
    void ownFolderWithoutRuntimeFolder()
    {
        qunsetenv("XDG_RUNTIME_DIR");
        QTemporaryDir own;
        ConfigPipe pipe;
        const ConfigPipeResult created = pipe.create(ConfigPipeUse::Run, 16, own.path().toStdString());
        QVERIFY2(created.ok(), created.message.c_str());
        QVERIFY(QString::fromStdString(pipe.path()).startsWith(own.path() + QStringLiteral("/nimbra/")));
        QProcess reader;
        reader.start(QStringLiteral("cat"), {QString::fromStdString(pipe.path())});
        QVERIFY(reader.waitForStarted());
        QVERIFY(pipe.serve("{}", stillRunning(reader)).ok());
        QVERIFY(reader.waitForFinished(5000));
        QCOMPARE(reader.readAllStandardOutput(), QByteArray("{}"));

        QFile::setPermissions(own.path(), QFile::permissions(own.path()) | QFileDevice::ExeOther);
        QVERIFY(!pipe.create(ConfigPipeUse::Run, 16, own.path().toStdString()).ok());
    }

    // No reader comes: serving ends with the time-out, having asked after the reader at each poll. A
    // steady clock cannot reach the deadline early, and each poll sleeps at least its interval.
    void noReaderTimesOut()
    {
        ConfigPipe pipe;
        QVERIFY(pipe.create(ConfigPipeUse::Run, 16).ok());
        int asked = 0;
        QElapsedTimer clock;
        clock.start();
        const ConfigPipeResult result = pipe.serve("{\"password\":\"pw\"}", [&] { return ++asked > 0; });
        QCOMPARE(QString::fromStdString(result.message), QStringLiteral("nimbra-server 读取内存配置超时"));
        QVERIFY2(clock.elapsed() >= kConfigPipeConnectTimeoutMs,
                 qPrintable(QString::number(clock.elapsed())));
        // Polled, neither busily nor once.
        QVERIFY2(asked > 1 && asked <= kConfigPipeConnectTimeoutMs / kConfigPipePollIntervalMs + 1,
                 qPrintable(QString::number(asked)));
        QCOMPARE(leftBehind(), QStringList());
    }

    // The reader process ends without opening the pipe: noticed at the next poll, not at the time-out.
    void readerExitingFirstIsNoticed()
    {
        ConfigPipe pipe;
        QVERIFY(pipe.create(ConfigPipeUse::Validation, 16).ok());
        int asked = 0;
        const ConfigPipeResult result = pipe.serve("{}", [&] { return ++asked < 3; });
        QCOMPARE(QString::fromStdString(result.message),
                 QStringLiteral("nimbra-server 未读取内存配置便已退出"));
        QCOMPARE(asked, 3);
        QCOMPARE(leftBehind(), QStringList());
    }

    void vanishedPipeCannotBeServed()
    {
        ConfigPipe pipe;
        QVERIFY(pipe.create(ConfigPipeUse::Run, 16).ok());
        QVERIFY(QFile::remove(QString::fromStdString(pipe.path())));
        const ConfigPipeResult result = pipe.serve("{}", {});
        QCOMPARE(result.status, ConfigPipeStatus::ConnectFailed);
        QCOMPARE(QString::fromStdString(result.message),
                 QStringLiteral("连接配置管道失败（错误 %1）").arg(ENOENT));
        QCOMPARE(pipe.serve("{}", {}).status, ConfigPipeStatus::ConnectFailed); // served pipes are closed
        QCOMPARE(leftBehind(), QStringList());
    }

    void readerLeavingEarlyIsAWriteError()
    {
        // Far more than the pipe holds, so the write is still going when the reader has gone.
        const std::string config(4 * 1024 * 1024, 'x');
        ConfigPipe pipe;
        QVERIFY(pipe.create(ConfigPipeUse::Run, config.size()).ok());
        QProcess reader;
        reader.start(QStringLiteral("head"),
                     {QStringLiteral("-c"), QStringLiteral("100"), QString::fromStdString(pipe.path())});
        QVERIFY(reader.waitForStarted());
        const ConfigPipeResult result = pipe.serve(config, stillRunning(reader));
        QCOMPARE(result.systemError, static_cast<unsigned long>(EPIPE));
        QCOMPARE(QString::fromStdString(result.message),
                 QStringLiteral("写入内存配置失败（错误 %1）").arg(EPIPE));
        sigset_t pending;
        sigpending(&pending);
        QCOMPARE(sigismember(&pending, SIGPIPE), 0);
        QCOMPARE(leftBehind(), QStringList());
    }

    void privateDirectoryAndCleanUp()
    {
        const QByteArray directory = QFile::encodeName(pipeDirectory());
        // Made under a restrictive umask it still ends up usable and private.
        const mode_t previousMask = umask(0277);
        auto pipe = std::make_unique<ConfigPipe>();
        const ConfigPipeResult created = pipe->create(ConfigPipeUse::Run, 16);
        umask(previousMask);
        QVERIFY2(created.ok(), created.message.c_str());
        QCOMPARE(modeOf(pipeDirectory()), mode_t(S_IFDIR | 0700));
        QCOMPARE(modeOf(QString::fromStdString(pipe->path())), mode_t(S_IFIFO | 0600));
        // An abandoned pipe is removed, by a new create and by destruction.
        QVERIFY(pipe->create(ConfigPipeUse::Run, 16).ok());
        QCOMPARE(leftBehind().size(), 1);
        pipe.reset();
        QCOMPARE(leftBehind(), QStringList());

        // Our own directory left open to others is tightened.
        QCOMPARE(chmod(directory.constData(), 0755), 0);
        QVERIFY(ConfigPipe().create(ConfigPipeUse::Run, 16).ok());
        QCOMPARE(modeOf(pipeDirectory()), mode_t(S_IFDIR | 0700));
    }

    // What cannot be made private is refused, and the message names the path at fault.
    void unusableDirectoryIsNamed_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("error");
        QTest::newRow("someone else's") << "foreign" << EPERM;
        QTest::newRow("a symbolic link") << "link" << ENOTDIR;
        QTest::newRow("a file") << "file" << ENOTDIR;
    }

    void unusableDirectoryIsNamed()
    {
        QFETCH(QString, setup);
        QFETCH(int, error);
        const QByteArray directory = QFile::encodeName(pipeDirectory());
        QTemporaryDir elsewhere;
        if (setup == QLatin1String("foreign")) {
            if (geteuid() != 0)
                QSKIP("needs root to give the directory to another user");
            QVERIFY(QDir().mkdir(pipeDirectory()));
            QCOMPARE(chown(directory.constData(), 65534, 65534), 0);
        } else if (setup == QLatin1String("link")) {
            QVERIFY(QFile::link(elsewhere.path(), pipeDirectory()));
        } else {
            QFile file(pipeDirectory());
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        ConfigPipe refused;
        QCOMPARE(QString::fromStdString(refused.create(ConfigPipeUse::Validation, 16).message),
                 QStringLiteral("无法创建配置校验管道（错误 %1）：%2").arg(error).arg(pipeDirectory()));
        QCOMPARE(QString::fromStdString(refused.create(ConfigPipeUse::Run, 16).message),
                 QStringLiteral("无法创建运行配置管道（错误 %1）：%2").arg(error).arg(pipeDirectory()));
        QVERIFY(refused.path().empty());
    }

    void readerThatNeverReadsEndsServing()
    {
        // Far more than the FIFO holds; the reader opens it and then does nothing.
        const std::string config(4 * 1024 * 1024, 'x');
        ConfigPipe pipe;
        QVERIFY(pipe.create(ConfigPipeUse::Run, config.size()).ok());
        QProcess reader;
        reader.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("exec 3<\"$0\"; sleep 30"),
                                            QString::fromStdString(pipe.path())});
        QVERIFY(reader.waitForStarted());
        const ConfigPipeResult result = pipe.serve(config, stillRunning(reader));
        // The reader still holds the pipe: serving ended by its own deadline, not by the reader leaving.
        const bool readerStayed = stillRunning(reader)();
        reader.kill();
        reader.waitForFinished();
        QCOMPARE(QString::fromStdString(result.message), QStringLiteral("nimbra-server 读取内存配置超时"));
        QVERIFY(readerStayed);
        QCOMPARE(leftBehind(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestConfigPipe)
#include "tst_configpipe.moc"
