// Runs the tests/qml/tst_*.qml files against the compiled Nimbra module. Any QML engine warning fails
// the run, so a binding error cannot hide behind passing assertions.
#include "app/startup.h"
#include "app/wiring.h"
#include "purchase/qrcodegenerator.h"
#include "state/globaldata.h"

#include <QQmlEngine>
#include <QStandardPaths>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest/quicktest.h>

#include <cstdio>
#include <memory>

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
        // Views read the service's fixed labels from the state store, as in the application.
        if (!m_data)
            m_data = std::make_unique<GlobalData>();
        // The payment dialog gets the generator from its page; tests hand it over the same way.
        nimbra::Backend backend;
        backend.data = m_data.get();
        backend.qrCode = &m_qr;
        nimbra::publishBackend(*engine, backend, false, false);
        connect(engine, &QQmlEngine::warnings, this, [](const QList<QQmlError> &warnings) {
            for (const QQmlError &warning : warnings)
                std::fprintf(stderr, "QML engine warning: %s\n", qPrintable(warning.toString()));
            g_engineWarnings += static_cast<int>(warnings.size());
        });
    }

private:
    std::unique_ptr<GlobalData> m_data;
    QrCodeGenerator m_qr;
};

} // namespace

int main(int argc, char **argv)
{
    // The state store restores its files on construction: never the user's own.
    QStandardPaths::setTestModeEnabled(true);
    Setup setup;
    const int result = quick_test_main_with_setup(argc, argv, "nimbra_qml", QUICK_TEST_SOURCE_DIR, &setup);
    if (g_engineWarnings > 0) {
        std::fprintf(stderr, "FAIL: %d QML engine warning(s)\n", g_engineWarnings);
        return result != 0 ? result : 1;
    }
    return result;
}

#include "tst_qml.moc"
