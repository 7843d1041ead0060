// The module's C++ singletons give each engine the objects published for that engine; the window's
// first place on the screen.
#include "app/startup.h"
#include "app/windowfit.h"
#include "app/wiring.h"
#include "state/globaldata.h"
#include "state/preferences.h"

#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QStandardPaths>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(NimbraPlugin)

namespace {

// What a document of the module reads from the singletons, as seen by one engine.
struct Seen
{
    std::unique_ptr<QQmlApplicationEngine> engine = std::make_unique<QQmlApplicationEngine>();
    std::unique_ptr<QObject> reader;

    Seen(Preferences &preferences, nimbra::WindowStart start, GlobalData *data, bool debugger)
    {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        nimbra::Backend backend;
        backend.preferences = &preferences;
        backend.data = data;
        nimbra::publishBackend(*engine, backend, debugger, debugger, start);
        QQmlComponent component(engine.get());
        component.setData("import QtQml\nimport Nimbra\nQtObject {\n"
                          "    readonly property QtObject preferences: Preferences\n"
                          "    readonly property bool tray: WindowStart.trayAvailable\n"
                          "    readonly property bool hidden: WindowStart.startHidden\n"
                          "    readonly property rect geometry: WindowStart.geometry\n"
                          "    readonly property QtObject data: App.globalData\n"
                          "    readonly property QtObject session: App.accelerationSession\n"
                          "    readonly property bool debuggerOn: App.qmlDebuggerActive\n}\n",
                          QUrl());
        reader.reset(component.create());
        if (!reader)
            qWarning().noquote() << component.errorString();
    }
};

} // namespace

class TestSingletons : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void eachEngineSeesItsOwn()
    {
        Preferences first;
        auto *second = new Preferences;
        const QPointer<Preferences> secondKept(second);
        const QRect placed(40, 30, 1100, 700);
        GlobalData firstData;
        GlobalData secondData;
        auto inTray =
            std::make_unique<Seen>(first, nimbra::WindowStart{true, true, placed}, &firstData, true);
        auto withoutTray =
            std::make_unique<Seen>(*second, nimbra::WindowStart{false, false, {}}, &secondData, false);
        QVERIFY(inTray->reader && withoutTray->reader);
        QCOMPARE(inTray->reader->property("preferences").value<QObject *>(), &first);
        QCOMPARE(withoutTray->reader->property("preferences").value<QObject *>(), second);
        QCOMPARE(inTray->reader->property("tray"), QVariant(true));
        QCOMPARE(inTray->reader->property("hidden"), QVariant(true));
        QCOMPARE(inTray->reader->property("geometry").toRect(), placed);
        QCOMPARE(withoutTray->reader->property("tray"), QVariant(false));
        QCOMPARE(withoutTray->reader->property("hidden"), QVariant(false));
        // The back-end objects the engine was given, and null for one it was not.
        QCOMPARE(inTray->reader->property("data").value<QObject *>(), &firstData);
        QCOMPARE(withoutTray->reader->property("data").value<QObject *>(), &secondData);
        QCOMPARE(inTray->reader->property("session").value<QObject *>(), nullptr);
        QCOMPARE(inTray->reader->property("debuggerOn"), QVariant(true));
        QCOMPARE(withoutTray->reader->property("debuggerOn"), QVariant(false));
        // The preferences belong to app/, not to the engine that read them.
        withoutTray.reset();
        QVERIFY(secondKept);
        delete second;
    }

    void fitWindow_data()
    {
        QTest::addColumn<QRect>("remembered");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("placed");
        const QRect fullHd(0, 0, 1920, 1040);
        const QRect small(0, 0, 1280, 680); // 1280 x 720 less a 40-pixel panel
        QTest::newRow("first start centred") << QRect() << fullHd << QRect(280, 102, 1360, 836);
        QTest::newRow("first start on a small screen") << QRect() << small << QRect(0, 0, 1280, 680);
        QTest::newRow("below the minimum keeps the minimum")
            << QRect() << QRect(0, 0, 1024, 600) << QRect(0, 0, 1060, 680);
        QTest::newRow("remembered kept") << QRect(100, 50, 1200, 760) << fullHd << QRect(100, 50, 1200, 760);
        QTest::newRow("remembered off the right edge")
            << QRect(1500, 50, 1200, 760) << fullHd << QRect(720, 50, 1200, 760);
        QTest::newRow("remembered above and left")
            << QRect(-300, -80, 1200, 760) << fullHd << QRect(0, 0, 1200, 760);
        QTest::newRow("remembered larger than the screen")
            << QRect(200, 100, 1600, 1000) << small << QRect(0, 0, 1280, 680);
        QTest::newRow("second screen's offset")
            << QRect(3000, 200, 1300, 800) << QRect(1920, 24, 1280, 696) << QRect(1920, 24, 1280, 696);
    }

    void fitWindow()
    {
        QFETCH(QRect, remembered);
        QFETCH(QRect, available);
        QFETCH(QRect, placed);
        QCOMPARE(nimbra::fitWindowGeometry(remembered, available), placed);
    }
};

QTEST_MAIN(TestSingletons)
#include "tst_singletons.moc"
