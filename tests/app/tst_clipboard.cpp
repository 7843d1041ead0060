// Copying a team code or share link must reach the desktop's clipboard, not only Qt's copy of it: a
// second process, which does not own the selection, reads it back through the X server (Xvfb). The
// state store copies through the writer the application installs.
#include "app/singletons.h"
#include "state/globaldata.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>

namespace {

const char *const kPrintOption = "--print-clipboard";

} // namespace

class TestClipboard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { GlobalData::setClipboardWriter(&nimbra::copyToSystemClipboard); }

    void copiedTextReachesAnotherProcess_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("team code") << QStringLiteral("K7M2QX");
        QTest::newRow("share link") << QStringLiteral(
            "https://nimbra.example/pintuan/join?team_code=K7M2QX&来源=团长");
    }

    void copiedTextReachesAnotherProcess()
    {
        QFETCH(QString, text);
        QVERIFY(GlobalData::instance()->copyToClipboard(text));
        QProcess reader;
        QSignalSpy finished(&reader, &QProcess::finished);
        reader.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kPrintOption)});
        // Waiting on the spy runs the event loop, so this process can answer the reader's request.
        QVERIFY(finished.wait(20000));
        QCOMPARE(reader.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(reader.readAllStandardOutput()), text);
    }
};

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], kPrintOption) == 0) {
        const QByteArray text = QGuiApplication::clipboard()->text().toUtf8();
        std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
        return 0;
    }
    TestClipboard test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_clipboard.moc"
