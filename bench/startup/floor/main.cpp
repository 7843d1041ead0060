// A minimal Qt Quick Controls window: the floor the app's start-up time and memory are compared
// against. It reports its first frame the way the app does and quits through the event loop on
// SIGTERM, so that both programs end the same way.
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSocketNotifier>
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

} // namespace

int main(int argc, char *argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();

    QGuiApplication app(argc, argv);
    quitOnTermination(app);

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
    return QGuiApplication::exec();
}
