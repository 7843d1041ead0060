// The start-up benchmark's window probe: the application's objects and main window composed as the
// program does it, against the service at NIMBRA_API_BASE_URL, with the core never started. It
// prints `name: value` lines on standard output for the harness (bench_startup.cpp):
//   - resident memory once the catalogue and the home page's pictures have loaded, and what the
//     decoded backgrounds cost;
//   - the tab switches' next-event figures and the game library loader's time;
//   - signed in, the membership page's loader time and the time to its first frame with plan cards;
//   - then, signed in and on the home page, "idle_begin" and, the idle stretch later, "idle_end": the
//     harness counts the process's CPU time in between.
#include "app/startup.h"
#include "app/wiring.h"
#include "common/countoption.h"
#include "common/median.h"
#include "common/pagetiming.h"
#include "windowscript.h"
#include "wiredbackend.h"

#include <QFile>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

#include <cstdio>
#include <optional>

Q_IMPORT_QML_PLUGIN(NimbraPlugin)

namespace {

using windowscript::evaluate;
using windowscript::spin;
using windowscript::waitFor;

constexpr int kCatalogueTimeoutMs = 15000;
constexpr int kPicturesTimeoutMs = 10000;
constexpr int kSignInTimeoutMs = 10000;
constexpr int kLoaderTimeoutMs = 10000;
// Lets decoding threads and the first frames after the pictures finish before memory is read.
constexpr int kSettleMs = 500;
constexpr int kPauseMs = 100;
// Long enough for the sign-in notices and the first latency update to pass before the idle count.
constexpr int kIdleSettleMs = 3000;

struct Options
{
    int tabSwitches = 10;
    int idleSeconds = 30;
};

std::optional<Options> parseOptions(const QStringList &arguments)
{
    Options options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (readCountOption(arguments, i, QStringLiteral("--tab-switches"), options.tabSwitches) == true)
            continue;
        if (readCountOption(arguments, i, QStringLiteral("--idle-seconds"), options.idleSeconds) != true)
            return std::nullopt;
    }
    return options;
}

std::optional<qint64> residentKib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).simplified().split(' ').value(0).toLongLong();
    }
    return std::nullopt;
}

void report(const char *name, double value)
{
    std::printf("%s: %.1f\n", name, value);
    std::fflush(stdout);
}

bool fail(const char *what)
{
    std::fprintf(stderr, "nimbra_bench_window: %s\n", what);
    return false;
}

bool measureLoaded(QQuickWindow *window, const GlobalData &data)
{
    QElapsedTimer timer;
    timer.start();
    while (!(data.commonGamesLoaded() && data.gamePageLoaded()) && timer.elapsed() < kCatalogueTimeoutMs)
        spin(20);
    if (!(data.commonGamesLoaded() && data.gamePageLoaded()))
        return fail("no catalogue from the service");
    if (!windowscript::waitForHomePictures(window, kPicturesTimeoutMs))
        std::fprintf(stderr, "nimbra_bench_window: the home page's pictures were still loading\n");
    spin(kSettleMs);
    const std::optional<qint64> rss = residentKib();
    if (!rss)
        return fail("could not read VmRSS from /proc");
    const windowscript::HomePictures pictures = windowscript::homePictures(window);
    report("rss_kib", static_cast<double>(*rss));
    report("backgrounds_decoded", pictures.decoded);
    report("backgrounds_kib", pictures.bytes / 1024);
    return true;
}

// Home to the game library and back, `count` times; the library page is created off each switch.
bool measureTabSwitches(QQuickWindow *window, int count)
{
    auto *pages = qvariant_cast<QObject *>(evaluate(window, QStringLiteral("pages")));
    QObject *loader = pages ? pages->findChild<QObject *>(QStringLiteral("libraryLoader")) : nullptr;
    if (!loader)
        return fail("the game library's loader was not found");
    evaluate(window, QStringLiteral("session.clearSingBoxLogs()"));
    std::vector<double> loaderMs;
    for (int i = 0; i < count; ++i) {
        const double ms = loaderReadyMs(
            loader, [window] { evaluate(window, QStringLiteral("navigation.selectTab('games', 1)")); },
            kLoaderTimeoutMs);
        if (ms < 0)
            return fail("the game library did not load");
        loaderMs.push_back(ms);
        spin(kPauseMs);
        evaluate(window, QStringLiteral("navigation.selectTab('home', 0)"));
        spin(kPauseMs);
    }
    const QStringList lines =
        evaluate(window, QStringLiteral("Array.from({ length: session.runLog.count }, (_, i) => "
                                        "session.runLog.entry(i).text)"))
            .toStringList();
    const std::vector<double> toLibrary = nextEventMs(lines, QStringLiteral("games"));
    const std::vector<double> toHome = nextEventMs(lines, QStringLiteral("home"));
    if (toLibrary.empty() || toHome.empty())
        return fail("the window logged no tab switches");
    report("tab_switch_games_ms", median(toLibrary));
    report("tab_switch_home_ms", median(toHome));
    report("library_loader_ms", median(loaderMs));
    return true;
}

bool signIn(QQuickWindow *window, WiredBackend &wired)
{
    // The dev service's account, with the purchase entry the membership page shows.
    wired.auth->loginPassword(QStringLiteral("13800138000"), QStringLiteral("nimbra123"));
    if (!waitFor(window, QStringLiteral("loggedIn"), kSignInTimeoutMs) ||
        !waitFor(window,
                 QStringLiteral("session.routeSource.nodes.length > 0 && !session.routeSource.routesLoading "
                                "&& !session.routeSource.routeConfigLoading"),
                 kSignInTimeoutMs) ||
        !waitFor(window, QStringLiteral("Object.keys(N.App.globalData.preparedPurchaseData).length > 0"),
                 kSignInTimeoutMs))
        return fail("signing in with the dev service's account failed");
    return true;
}

// Home to the membership page and back, `count` times: the loader's time, and the time from the
// switch to the first frame that shows plan cards.
bool measureMembership(QQuickWindow *window, int count)
{
    auto *pages = qvariant_cast<QObject *>(evaluate(window, QStringLiteral("pages")));
    QObject *loader = pages ? pages->findChild<QObject *>(QStringLiteral("vipLoader")) : nullptr;
    if (!loader)
        return fail("the membership page's loader was not found");
    const auto plansShown = [loader] {
        auto *page = qvariant_cast<QObject *>(loader->property("item"));
        QObject *grid = page ? page->findChild<QObject *>(QStringLiteral("planGrid")) : nullptr;
        return grid && grid->property("count").toInt() > 0;
    };
    std::vector<double> loaderMs;
    std::vector<double> framesMs;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer clock;
        double frameMs = -1;
        const QMetaObject::Connection frames =
            QObject::connect(window, &QQuickWindow::frameSwapped, window, [&] {
                if (frameMs < 0 && plansShown())
                    frameMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            });
        const double ms = loaderReadyMs(
            loader,
            [window, &clock] {
                clock.start();
                evaluate(window, QStringLiteral("navigation.selectTab('vip', 2)"));
            },
            kLoaderTimeoutMs);
        QElapsedTimer wait;
        wait.start();
        while (ms >= 0 && frameMs < 0 && wait.elapsed() < kLoaderTimeoutMs)
            spin(5);
        QObject::disconnect(frames);
        if (ms < 0 || frameMs < 0)
            return fail("the membership page did not show its plans");
        loaderMs.push_back(ms);
        framesMs.push_back(frameMs);
        spin(kPauseMs);
        evaluate(window, QStringLiteral("navigation.selectTab('home', 0)"));
        spin(kPauseMs);
    }
    report("vip_loader_ms", median(loaderMs));
    report("vip_plans_frame_ms", median(framesMs));
    return true;
}

bool idleSignedIn(QQuickWindow *window, int idleSeconds)
{
    evaluate(window, QStringLiteral("navigation.selectTab('home', 0)"));
    spin(kIdleSettleMs);
    if (evaluate(window, QStringLiteral("session.controller.boosting")).toBool())
        return fail("the window is boosting");
    std::printf("idle_begin\n");
    std::fflush(stdout);
    spin(idleSeconds * 1000);
    std::printf("idle_end\n");
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const std::optional<Options> options = parseOptions(QCoreApplication::arguments());
    if (!options) {
        std::fprintf(stderr, "usage: nimbra_bench_window [--tab-switches N] [--idle-seconds S]\n");
        return 2;
    }

    WiredBackend wired(QString::fromUtf8(qgetenv("NIMBRA_API_BASE_URL")));
    QQmlApplicationEngine engine;
    nimbra::publishBackend(engine, wired.backend, false, false);
    nimbra::loadMainDocument(engine);
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().value(0));
    if (!window) {
        fail("the main window was not created");
        return 1;
    }
    // As in the program, the start-up requests go out on the first turn of the event loop.
    QTimer::singleShot(0, window, [&wired] { nimbra::issueStartupRequests(wired.backend); });

    const bool ok = measureLoaded(window, wired.data) && measureTabSwitches(window, options->tabSwitches) &&
                    signIn(window, wired) && measureMembership(window, options->tabSwitches) &&
                    idleSignedIn(window, options->idleSeconds);
    wired.singBox->shutdown();
    return ok ? 0 : 1;
}
