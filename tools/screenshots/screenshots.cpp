// Renders each scene document given on the command line in the dark and the light theme and saves
// one PNG per scene and theme. Scenes see the same context objects the application publishes, filled
// from the service at NIMBRA_API_BASE_URL.
#include "app/wiring.h"
#include "catalog/gamelistapi.h"
#include "net/httpmanager.h"
#include "state/globaldata.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickView>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

#include <cstdio>

Q_IMPORT_QML_PLUGIN(NimbraPlugin)

namespace {

void spin(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Waits for the first common list and library page, or gives up after the time-out.
bool loadCatalogue(GameListApi &api, GlobalData &data, int timeoutMs)
{
    api.loadCommon();
    api.loadPage();
    QElapsedTimer timer;
    timer.start();
    while (!(data.commonGamesLoaded() && data.gamePageLoaded()) && timer.elapsed() < timeoutMs)
        spin(20);
    return data.commonGamesLoaded() && data.gamePageLoaded();
}

bool renderScene(QQmlEngine &engine, const QString &scene, bool light, const QString &outputDir, int settleMs)
{
    QQuickView view(&engine, nullptr);
    view.setInitialProperties({{QStringLiteral("lightMode"), light}});
    view.setResizeMode(QQuickView::SizeViewToRootObject);
    view.setSource(QUrl::fromLocalFile(QFileInfo(scene).absoluteFilePath()));
    if (view.status() != QQuickView::Ready) {
        for (const QQmlError &error : view.errors())
            std::fprintf(stderr, "%s\n", qPrintable(error.toString()));
        return false;
    }
    view.show();
    // Pictures load asynchronously, some over the network.
    spin(settleMs);
    const QString file =
        QDir(outputDir).filePath(QFileInfo(scene).completeBaseName() +
                                 (light ? QStringLiteral("-light.png") : QStringLiteral("-dark.png")));
    if (!view.grabWindow().save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Renders QML scenes with live catalogue data into PNG files."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("out"), QStringLiteral("Output directory."), QStringLiteral("dir"),
                      QStringLiteral("screenshots")});
    parser.addOption({QStringLiteral("settle"), QStringLiteral("Milliseconds to wait before each grab."),
                      QStringLiteral("ms"), QStringLiteral("1500")});
    parser.addPositionalArgument(QStringLiteral("scenes"), QStringLiteral("Scene documents (.qml)."));
    parser.process(app);
    if (parser.positionalArguments().isEmpty())
        parser.showHelp(2);

    const QString outputDir = parser.value(QStringLiteral("out"));
    QDir().mkpath(outputDir);

    GlobalData data;
    HttpManager http;
    GameListApi gameList;
    nimbra::Backend backend;
    backend.data = &data;
    backend.http = &http;
    backend.gameList = &gameList;
    gameList.setHttpManager(&http);
    nimbra::connectCatalogue(backend);
    if (!loadCatalogue(gameList, data, 15000)) {
        std::fprintf(stderr, "no catalogue from %s\n", qPrintable(gameList.baseUrl()));
        return 1;
    }

    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    engine.rootContext()->setContextProperty(QStringLiteral("globalData"), &data);
    engine.rootContext()->setContextProperty(QStringLiteral("gameListApi"), &gameList);

    bool ok = true;
    const int settleMs = parser.value(QStringLiteral("settle")).toInt();
    for (const QString &scene : parser.positionalArguments()) {
        for (const bool light : {false, true})
            ok = renderScene(engine, scene, light, outputDir, settleMs) && ok;
    }
    return ok ? 0 : 1;
}
