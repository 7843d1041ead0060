// Runs the tests/qml/tst_*.qml files against the compiled Nimbra module. Any QML engine warning fails
// the run, so a binding error cannot hide behind passing assertions.
#include <QQmlEngine>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest/quicktest.h>

#include <cstdio>

Q_IMPORT_QML_PLUGIN(NimbraPlugin)

namespace {

int g_engineWarnings = 0;

class Setup : public QObject
{
    Q_OBJECT

public slots:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        connect(engine, &QQmlEngine::warnings, this, [](const QList<QQmlError> &warnings) {
            for (const QQmlError &warning : warnings)
                std::fprintf(stderr, "QML engine warning: %s\n", qPrintable(warning.toString()));
            g_engineWarnings += static_cast<int>(warnings.size());
        });
    }
};

} // namespace

int main(int argc, char **argv)
{
    Setup setup;
    const int result = quick_test_main_with_setup(argc, argv, "nimbra_qml", QUICK_TEST_SOURCE_DIR, &setup);
    if (g_engineWarnings > 0) {
        std::fprintf(stderr, "FAIL: %d QML engine warning(s)\n", g_engineWarnings);
        return result != 0 ? result : 1;
    }
    return result;
}

#include "tst_qml.moc"
