// Renders each scene document given on the command line in the dark and the light theme and saves
// one PNG per scene and theme. Scenes see the same context objects the application publishes, filled
// from the service at NIMBRA_API_BASE_URL. With --window it renders the whole main window instead, in
// a series of states (signed out, signed in, menus, dialogs, pages), composed as the program does.
#include "accel/singboxmanager.h"
#include "account/authapi.h"
#include "app/accelerationsession.h"
#include "app/startup.h"
#include "app/wiring.h"
#include "catalog/gamelistapi.h"
#include "net/httpmanager.h"
#include "purchase/qrcodegenerator.h"
#include "purchase/rechargeapi.h"
#include "state/globaldata.h"
#include "windowscript.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QQmlApplicationEngine>
#include <QQmlEngine>
#include <QQuickView>
#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>

#include <cstdio>

Q_IMPORT_QML_PLUGIN(NimbraPlugin)

namespace {

using windowscript::evaluate;
using windowscript::spin;
using windowscript::waitFor;

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

// One state of the main window: the script puts the window in it; toasts are hidden unless the shot
// is about them, so a notice left by an earlier step does not cover the scene.
struct WindowShot
{
    const char *name;
    const char *script;
    bool keepToast = false;
    // Staged on the session: the window shows the running core without starting one.
    bool boosting = false;
    // Staged session figures: an hour and a quarter of play, its traffic and mean node latency.
    bool figures = false;
    // A minute of rounds ending now in the latency history: a lossy stretch, one round with no answer.
    bool chart = false;
};

const WindowShot kSignedOutShots[] = {
    {"home-signed-out", "navigation.selectTab('home', 0)"},
    {"region-menu", "navigation.toggleServerMenu()"},
    {"mode-menu", "navigation.toggleModeMenu()"},
    {"route-dialog-signed-out", "navigation.openRouteDialog()"},
    {"library", "navigation.selectTab('games', 1)"},
    {"settings", "navigation.selectTab('settings', 3)"},
    {"toast", "navigation.selectTab('home', 0); session.toast('已切换区服：艾欧尼亚')", true},
    {"toast-warning", "session.toast('请先登录后再开始加速', true)", true},
    {"sign-in", "navigation.openLogin(); dialogs.signIn.reset()"},
    {"sign-in-password", "navigation.openLogin(); dialogs.signIn.reset(); dialogs.signIn.setLoginMode(true)"},
    {"register", "navigation.openLogin(); dialogs.signIn.reset(); dialogs.signIn.registerMode = true"},
    // The membership page is made when its tab opens; the shots after the first change its mode.
    {"vip-shared-signed-out",
     "navigation.selectTab('vip', 2); if (pages.vipPage) pages.vipPage.selection.selectMode('shared')"},
    {"vip-private-signed-out", "pages.vipPage.selection.selectMode('private')"},
    {"vip-group-signed-out", "pages.vipPage.selection.selectMode('group')"},
};

const WindowShot kSignedInShots[] = {
    {"home-signed-in", "navigation.selectTab('home', 0)"},
    {"boosting", "session.controller.boosting", false, true},
    {"session-figures", "navigation.selectTab('home', 0)", false, true, true},
    // Another game clicked while accelerating: the question (the next shot's stop clears it).
    {"switch-game", "session.chooseGame('yj')", false, true},
    {"account-menu-avatar", "navigation.toggleAccountMenu(rail.avatar, 'rail-avatar')"},
    {"account-menu-chip", "navigation.toggleAccountMenu(titleBar.accountChip, 'title-account')"},
    {"route-dialog", "navigation.openRouteDialog()"},
    {"log-dialog", "navigation.openLogDialog(); if (dialogs.log) dialogs.log.technical = false"},
    {"log-dialog-technical", "navigation.openLogDialog(); dialogs.log.technical = true"},
    // Accelerating: the chart and the player's lines.
    {"log-dialog-chart",
     "session.playerLog.clear(); session.appendPlayerLog('加速已开始 · 英雄联盟 · 华东', false); "
     "navigation.openLogDialog(); dialogs.log.technical = false",
     false, true, false, true},
    // The payment of the last theme's shots outlives the page: its code is put away first.
    {"vip-shared", "N.App.rechargeApi.payment.close(); navigation.selectTab('vip', 2); if (pages.vipPage) "
                   "pages.vipPage.selection.selectMode('shared')"},
    {"vip-private", "pages.vipPage.selection.selectMode('private')"},
    {"vip-group",
     "pages.vipPage.selection.selectMode('group'); pages.vipPage.selection.selectGame('com.tencent.lol')"},
    {"vip-group-leader", "pages.vipPage.selection.groupMethod = 'leader'"},
    {"vip-history",
     "pages.vipPage.selection.groupMethod = 'normal'; pages.vipPage.selection.selectMode('shared'); "
     "pages.vipPage.ordersOpened = true"},
    // A real order of the dev service, so the dialog shows its code.
    {"vip-payment", "pages.vipPage.ordersOpened = false; pages.vipPage.selection.agreed = true; "
                    "pages.vipPage.selection.pay()"},
};

const char *const kCloseAll = "navigation.nodeDialog = false; navigation.logDialog = false; "
                              "navigation.loginDialog = false; navigation.accountMenu = false; "
                              "navigation.serverMenu = false; navigation.modeMenu = false";

template<std::size_t N>
bool renderShots(QQuickWindow *window, AccelerationSession &session, const WindowShot (&shots)[N],
                 const QString &outputDir, int settleMs)
{
    bool ok = true;
    for (const bool light : {false, true}) {
        for (const WindowShot &shot : shots) {
            evaluate(window, QString::fromLatin1(kCloseAll));
            session.controller()->stageBoosting(shot.boosting);
            if (shot.figures)
                session.controller()->stageFigures(4521, 38.6 * 1024 * 1024, 412.0 * 1024 * 1024, 36);
            else
                session.controller()->stageFigures(0, 0, 0, -1);
            if (shot.chart) {
                LatencyHistoryModel *history = session.measurement()->history();
                history->clear();
                const qint64 end = session.measurement()->now();
                for (int i = 0; i < 30; ++i) {
                    const bool lossy = i > 12 && i < 20;
                    history->append(end - 2000 * (29 - i), i == 17 ? -1 : 34 + (i % 5) * 3 + (lossy ? 25 : 0),
                                    lossy ? 0.2 : 0);
                }
            }
            evaluate(window, QStringLiteral("dawn = %1").arg(light ? "true" : "false"));
            evaluate(window, QString::fromUtf8(shot.script));
            spin(settleMs);
            if (!shot.keepToast) {
                evaluate(window, QStringLiteral("session.toast('')"));
                spin(50);
            }
            const QString file =
                QDir(outputDir).filePath(QStringLiteral("window-%1-%2.png")
                                             .arg(QString::fromLatin1(shot.name),
                                                  light ? QStringLiteral("light") : QStringLiteral("dark")));
            if (!window->grabWindow().save(file)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
                ok = false;
                continue;
            }
            std::printf("%s\n", qPrintable(file));
        }
    }
    evaluate(window, QString::fromLatin1(kCloseAll));
    session.controller()->stageBoosting(false);
    return ok;
}

// The whole application composed as the program does it (without the core running), Main loaded.
int renderWindow(const QString &outputDir, int settleMs)
{
    GlobalData data;
    nimbra::BackendObjects wired(QString::fromUtf8(qgetenv("NIMBRA_API_BASE_URL")), &data);
    QQmlApplicationEngine engine;
    nimbra::publishBackend(engine, wired.backend, false, false);
    nimbra::loadMainDocument(engine);
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().value(0));
    if (!window)
        return 1;
    // As in the program, the catalogues arrive once the window is up.
    wired.recharge->loadPublicPurchaseEntry();
    if (!loadCatalogue(*wired.gameList, data, 15000)) {
        std::fprintf(stderr, "no catalogue from %s\n", qPrintable(wired.gameList->baseUrl()));
        return 1;
    }
    spin(settleMs);
    // What the home page's pictures cost once the catalogue is in.
    const windowscript::HomePictures pictures = windowscript::homePictures(window);
    std::printf("home backgrounds decoded: %d, %.1f MiB (common games %d, known games %d)\n",
                pictures.decoded, pictures.bytes / (1024 * 1024), pictures.commonGames, pictures.knownGames);
    bool ok = renderShots(window, *wired.session, kSignedOutShots, outputDir, settleMs);

    wired.auth->loginPassword(QStringLiteral("13800138000"), QStringLiteral("nimbra123"));
    if (!waitFor(window, QStringLiteral("loggedIn"), 10000) ||
        !waitFor(window,
                 QStringLiteral("session.routeSource.nodes.length > 0 && !session.routeSource.routesLoading "
                                "&& !session.routeSource.routeConfigLoading"),
                 10000)) {
        std::fprintf(stderr, "signing in with the dev service's account failed:\n%s\n",
                     qPrintable(evaluate(window, QStringLiteral("session.runLog.text()")).toString()));
        return 1;
    }
    evaluate(
        window,
        QStringLiteral(
            "for (let i = 0; i < 14; ++i) session.appendAppLog('[UI] 截图用日志行 ' + i, i === 3, false)"));
    ok = renderShots(window, *wired.session, kSignedInShots, outputDir, settleMs) && ok;
    wired.singBox->shutdown();
    return ok ? 0 : 1;
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
    parser.addOption(
        {QStringLiteral("window"), QStringLiteral("Render the whole main window in its states.")});
    parser.addPositionalArgument(QStringLiteral("scenes"), QStringLiteral("Scene documents (.qml)."));
    parser.process(app);
    const bool wholeWindow = parser.isSet(QStringLiteral("window"));
    if (parser.positionalArguments().isEmpty() && !wholeWindow)
        parser.showHelp(2);

    const QString outputDir = parser.value(QStringLiteral("out"));
    QDir().mkpath(outputDir);
    if (wholeWindow)
        return renderWindow(outputDir, parser.value(QStringLiteral("settle")).toInt());

    GlobalData data;
    const QString baseUrl = QString::fromUtf8(qgetenv("NIMBRA_API_BASE_URL"));
    HttpManager http(baseUrl);
    GameListApi gameList(baseUrl);
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

    QrCodeGenerator qrCodeGenerator;
    backend.qrCode = &qrCodeGenerator;
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    nimbra::publishBackend(engine, backend, false, false);

    bool ok = true;
    const int settleMs = parser.value(QStringLiteral("settle")).toInt();
    for (const QString &scene : parser.positionalArguments()) {
        for (const bool light : {false, true})
            ok = renderScene(engine, scene, light, outputDir, settleMs) && ok;
    }
    return ok ? 0 : 1;
}
