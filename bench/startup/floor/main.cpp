// A minimal Qt Quick Controls window: the floor the app's start-up time and memory are compared
// against. It reports its first frame the way the app does and quits through the event loop on
// SIGTERM, so that both programs end the same way. With --tab-switches N it then switches N times to
// an empty page and back and prints the medians as `name: value` lines, the floor of the app's tab
// switches and page loader.
#include "common/countoption.h"
#include "common/median.h"
#include "common/pagetiming.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QJSValue>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <QtQml/qqmlextensionplugin.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

Q_IMPORT_QML_PLUGIN(NimbraBenchFloorPlugin)

namespace {

int g_signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    // Nothing to do if the pipe is full: a quit is already pending.
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[0], &byte, 1);
}

void quitOnTermination(QGuiApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    auto *notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(g_signalPipe[1], &byte, 1);
        QCoreApplication::quit();
    });
}

void reportFirstFrame(QQuickWindow *window, const QElapsedTimer &sinceStart)
{
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(
        window, &QQuickWindow::frameSwapped, window,
        [connection, &sinceStart] {
            QObject::disconnect(*connection);
            // Bypasses Qt's message handler so nothing but the line itself reaches the harness.
            std::fprintf(stderr, "[PERF] 首帧已呈现 elapsed=%lldms\n",
                         static_cast<long long>(sinceStart.elapsed()));
            std::fflush(stderr);
        },
        Qt::DirectConnection);
}

constexpr int kSettleMs = 300;
constexpr int kPauseMs = 100;
constexpr int kLoaderTimeoutMs = 10000;

void spin(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Alternates between the home page and the empty page, as the benchmark does with the app's tabs.
bool switchTabs(QQuickWindow *window, int count)
{
    QObject *loader = window->findChild<QObject *>(QStringLiteral("emptyPageLoader"));
    const auto select = [window](const char *name) {
        QMetaObject::invokeMethod(window, "selectTab", Q_ARG(QVariant, QString::fromLatin1(name)));
    };
    std::vector<double> loaderMs;
    for (int i = 0; i < count; ++i) {
        const double ms = loaderReadyMs(
            loader, [&] { select("empty"); }, kLoaderTimeoutMs);
        if (ms < 0) {
            std::fprintf(stderr, "nimbra_bench_floor: the empty page did not load\n");
            return false;
        }
        loaderMs.push_back(ms);
        spin(kPauseMs);
        select("home");
        spin(kPauseMs);
    }
    // A var property holds a script value; its list of strings is what is wanted.
    QVariant lines = window->property("perfLines");
    if (lines.metaType() == QMetaType::fromType<QJSValue>())
        lines = lines.value<QJSValue>().toVariant();
    const std::vector<double> switchMs = nextEventMs(lines.toStringList(), QStringLiteral("empty"));
    if (switchMs.empty()) {
        std::fprintf(stderr, "nimbra_bench_floor: no tab switch was logged\n");
        return false;
    }
    std::printf("tab_switch_ms: %.1f\n", median(switchMs));
    std::printf("page_loader_ms: %.1f\n", median(loaderMs));
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();

    QGuiApplication app(argc, argv);
    quitOnTermination(app);
    int tabSwitches = 0;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (readCountOption(arguments, i, QStringLiteral("--tab-switches"), tabSwitches) != true) {
            std::fprintf(stderr, "usage: nimbra_bench_floor [--tab-switches N]\n");
            return 2;
        }
    }

    QQmlApplicationEngine engine;
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    engine.loadFromModule(QStringLiteral("NimbraBenchFloor"), QStringLiteral("Main"));
#else
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    engine.load(QUrl(QStringLiteral("qrc:/qt/qml/NimbraBenchFloor/Main.qml")));
#endif

    const QList<QObject *> roots = engine.rootObjects();
    auto *window = roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(roots.constFirst());
    if (!window) {
        std::fprintf(stderr, "nimbra_bench_floor: the QML window was not created\n");
        return 1;
    }
    reportFirstFrame(window, sinceStart);
    if (tabSwitches > 0) {
        QTimer::singleShot(kSettleMs, window, [window, tabSwitches] {
            if (!switchTabs(window, tabSwitches))
                QCoreApplication::exit(1);
        });
    }
    return QGuiApplication::exec();
}
