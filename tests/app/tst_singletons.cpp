// The module's C++ singletons give each engine the objects published for that engine.
#include "app/startup.h"
#include "app/wiring.h"
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

    Seen(Preferences &preferences, nimbra::WindowStart start)
    {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        nimbra::Backend backend;
        backend.preferences = &preferences;
        nimbra::publishBackend(*engine, backend, false, false, start);
        QQmlComponent component(engine.get());
        component.setData("import QtQml\nimport Nimbra\nQtObject {\n"
                          "    readonly property QtObject preferences: Preferences\n"
                          "    readonly property bool tray: WindowStart.trayAvailable\n"
                          "    readonly property bool hidden: WindowStart.startHidden\n}\n",
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
        auto inTray = std::make_unique<Seen>(first, nimbra::WindowStart{true, true});
        auto withoutTray = std::make_unique<Seen>(*second, nimbra::WindowStart{false, false});
        QVERIFY(inTray->reader && withoutTray->reader);
        QCOMPARE(inTray->reader->property("preferences").value<QObject *>(), &first);
        QCOMPARE(withoutTray->reader->property("preferences").value<QObject *>(), second);
        QCOMPARE(inTray->reader->property("tray"), QVariant(true));
        QCOMPARE(inTray->reader->property("hidden"), QVariant(true));
        QCOMPARE(withoutTray->reader->property("tray"), QVariant(false));
        QCOMPARE(withoutTray->reader->property("hidden"), QVariant(false));
        // The preferences belong to app/, not to the engine that read them.
        withoutTray.reset();
        QVERIFY(secondKept);
        delete second;
    }
};

QTEST_MAIN(TestSingletons)
#include "tst_singletons.moc"
