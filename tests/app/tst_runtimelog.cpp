#include "app/runtimelog.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace nimbra;

class TestRuntimeLog : public QObject
{
    Q_OBJECT

private:
    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QtMessageHandler m_previous = nullptr;

private slots:
    void initTestCase() { m_previous = qInstallMessageHandler(nullptr); }
    void cleanupTestCase()
    {
        closeRuntimeLog();
        qInstallMessageHandler(m_previous);
    }

    void lineFormat()
    {
        const QDateTime time(QDate(2026, 3, 4), QTime(5, 6, 7, 89));
        QCOMPARE(formatRuntimeLogLine(time, QtInfoMsg, QStringLiteral("[APP] hi")),
                 QStringLiteral("2026-03-04 05:06:07.089 [INFO] [APP] hi"));
        QCOMPARE(formatRuntimeLogLine(time, QtWarningMsg, QStringLiteral("progress %1 of %2 100%")),
                 QStringLiteral("2026-03-04 05:06:07.089 [WARN] progress %1 of %2 100%"));
        QCOMPARE(formatRuntimeLogLine(QDateTime(QDate(2026, 12, 31), QTime(23, 0)), QtDebugMsg, QString()),
                 QStringLiteral("2026-12-31 23:00:00.000 [DEBUG] "));

        QCOMPARE(runtimeLogLevelName(QtDebugMsg), QStringLiteral("DEBUG"));
        QCOMPARE(runtimeLogLevelName(QtInfoMsg), QStringLiteral("INFO"));
        QCOMPARE(runtimeLogLevelName(QtWarningMsg), QStringLiteral("WARN"));
        QCOMPARE(runtimeLogLevelName(QtCriticalMsg), QStringLiteral("CRITICAL"));
        QCOMPARE(runtimeLogLevelName(QtFatalMsg), QStringLiteral("FATAL"));
        QCOMPARE(runtimeLogLevelName(static_cast<QtMsgType>(42)), QStringLiteral("LOG"));
    }

    void writesThroughQtLogging()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        openRuntimeLog(dir.filePath(QStringLiteral("nested/deeper")));
        const QString path = dir.filePath(QStringLiteral("nested/deeper/runtime.log"));

        qInfo().noquote() << "[Data] literal %1 and %2 stay";
        qWarning().noquote() << "[HTTP] 警告 %1";
        // A warning forces everything written so far to disk while the file is still open.
        QByteArray text = readAll(path);
#ifdef Q_OS_WIN
        // Written in text mode: Windows line ends.
        QVERIFY(text.contains("stay\r\n"));
        text.replace("\r\n", "\n");
#endif
        const QList<QByteArray> lines = text.split('\n');
        QVERIFY2(lines.size() >= 3, readAll(path).constData());
        QVERIFY(lines[0].contains("[INFO] [APP] 运行日志文件："));
        QVERIFY(lines[0].contains("runtime.log"));
        QVERIFY(lines[1].endsWith("[INFO] [Data] literal %1 and %2 stay"));
        QVERIFY(lines[2].endsWith("[WARN] [HTTP] 警告 %1"));
        const QRegularExpression stamp(
            QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\["));
        for (int i = 0; i < 3; ++i)
            QVERIFY2(stamp.match(QString::fromUtf8(lines[i])).hasMatch(), lines[i].constData());
    }

    void sizeCapAtOpen()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("runtime.log"));
        for (const qint64 size : {kRuntimeLogSizeCap, kRuntimeLogSizeCap + 1}) {
            closeRuntimeLog();
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QVERIFY(old.write(QByteArray(size, 'x')) == size);
            old.close();

            openRuntimeLog(dir.path());
            qWarning("flush");
            const QByteArray content = readAll(path);
            if (size == kRuntimeLogSizeCap) {
                QVERIFY(content.size() > size);
                QVERIFY(content.startsWith(QByteArray(64, 'x')));
                QVERIFY(content.mid(size).contains("[APP] 运行日志文件："));
            } else {
                QVERIFY(content.size() < 4096);
                QVERIFY(content.split('\n').constFirst().contains("[APP] 运行日志文件："));
            }
        }
    }

    void unopenableDirectoryStillLogs()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString blocker = dir.filePath(QStringLiteral("not-a-dir"));
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        openRuntimeLog(blocker + QStringLiteral("/sub"));
        QVERIFY(!runtimeLogIsOpen());
        // The handler stays installed: replacing it hands ours back.
        QtMessageHandler current = qInstallMessageHandler(nullptr);
        QVERIFY(current == &runtimeMessageHandler);
        qInstallMessageHandler(current);
        qInfo("still goes to stderr");
    }
};

QTEST_GUILESS_MAIN(TestRuntimeLog)
#include "tst_runtimelog.moc"
