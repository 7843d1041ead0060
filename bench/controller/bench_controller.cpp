// Run-log benchmark: the main window's controller under a chatty core.
// The stub core prints N log lines per second (200, 2,000, 20,000); the supervisor batches them every
// 100 ms (its pending text capped at 64 KiB) and the controller of the loaded Main appends them to its
// run log. For each rate we report the lines that reach the controller per second, the GUI thread's
// CPU share, the longest gap of a 100 ms probe timer in the GUI thread (the window's own probe logs a
// stall at 300 ms) and the run log's size at the end, twice: with the run-log dialog closed, and open
// with its latency chart drawing (a staged route in use, one measured round a second). Floor: the same
// supervisor output appended to a plain JS array, without the window. As root everything runs in a
// private network namespace.
#include "accel/acceleratorapi.h"
#include "accel/latencyprober.h"
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
#include "state/preferences.h"

#include "common/countoption.h"
#include "common/quietlog.h"
#include "windowscript.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJSEngine>
#include <QQmlApplicationEngine>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>

#include <sched.h>
#include <unistd.h>

Q_IMPORT_QML_PLUGIN(NimbraPlugin)

namespace {

constexpr int kRates[] = {200, 2000, 20000};
constexpr int kDefaultSeconds = 5;
constexpr int kWarmUpMs = 1000;
constexpr int kProbeMs = 100;
constexpr int kStartTimeoutMs = 20000;

void fail(const QString &message)
{
    std::fprintf(stderr, "nimbra_bench_controller: %s\n", qPrintable(message));
}

// CPU seconds of the calling thread (the measurement runs on the GUI thread). The scheduler's exact
// run time, not /proc's tick samples: at these loads a 10 ms tick is a tenth of the figure.
double guiThreadCpuSeconds()
{
    timespec now{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0)
        return 0;
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

int lineCount(const QString &text)
{
    int count = 0;
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty())
            ++count;
    }
    return count;
}

void waitMs(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Figures
{
    double linesPerSecond = 0;
    double guiCpuPercent = 0;
    double maxGapMs = 0;
};

// Runs one session of the stub core at `rate` lines per second on `manager` and measures while
// `consume` takes every output batch (after whatever else is connected to the manager).
std::optional<Figures> measure(SingBoxManager &manager, const QByteArray &node, int rate, int seconds,
                               const std::function<void(const QString &)> &consume, QString &error)
{
    qputenv("NIMBRA_STUB_CORE_MODE", QByteArray("log-rate=") + QByteArray::number(rate));
    manager.setRouteIpList({});
    if (!manager.prepareRuntimeConfig(node)) {
        error = QStringLiteral("prepareRuntimeConfig: ") + manager.lastError();
        return std::nullopt;
    }
    bool started = false;
    QString failure;
    {
        QEventLoop loop;
        QObject::connect(&manager, &SingBoxManager::started, &loop, [&] {
            started = true;
            loop.quit();
        });
        QObject::connect(&manager, &SingBoxManager::startFailed, &loop, [&](const QString &message) {
            failure = message;
            loop.quit();
        });
        QTimer::singleShot(kStartTimeoutMs, &loop, &QEventLoop::quit);
        if (manager.start())
            loop.exec();
    }
    qunsetenv("NIMBRA_STUB_CORE_MODE");
    if (!started) {
        error = failure.isEmpty() ? QStringLiteral("no started() in time") : failure;
        return std::nullopt;
    }

    qint64 lines = 0;
    bool counting = false;
    const QMetaObject::Connection output =
        QObject::connect(&manager, &SingBoxManager::outputReceived, [&](const QString &text, bool) {
            consume(text);
            if (counting)
                lines += lineCount(text);
        });
    double maxGap = 0;
    QElapsedTimer sinceTick;
    QTimer probe;
    probe.setInterval(kProbeMs);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (counting)
            maxGap = std::max(maxGap, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.restart();
    });
    sinceTick.start();
    probe.start();
    waitMs(kWarmUpMs);

    counting = true;
    sinceTick.restart();
    const double cpuBefore = guiThreadCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    waitMs(seconds * 1000);
    const double wallSeconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    const double cpuSeconds = guiThreadCpuSeconds() - cpuBefore;
    counting = false;
    probe.stop();
    QObject::disconnect(output);

    {
        QEventLoop loop;
        QObject::connect(&manager, &SingBoxManager::stopped, &loop, &QEventLoop::quit);
        QTimer::singleShot(kStartTimeoutMs, &loop, &QEventLoop::quit);
        manager.stop();
        if (manager.running())
            loop.exec();
    }
    return Figures{static_cast<double>(lines) / wallSeconds, 100.0 * cpuSeconds / wallSeconds, maxGap};
}

// The objects as the program composes them, with Main loaded and no service behind them.
struct Client
{
    explicit Client(const QString &stub, const QString &dataDirectory)
    {
        singBox.setExecutablePath(stub);
        singBox.setDataDirectory(dataDirectory);
        QObject::connect(&engine, &QQmlEngine::warnings, [](const QList<QQmlError> &warnings) {
            for (const QQmlError &warning : warnings)
                fail(warning.toString());
        });
        nimbra::publishBackend(engine, backend, false, false);
        nimbra::loadMainDocument(engine);
        window = engine.rootObjects().value(0);
    }
    ~Client() { singBox.shutdown(); }

    GlobalData data;
    nimbra::BackendObjects objects{QString(), &data};
    const nimbra::Backend &backend = objects.backend;
    SingBoxManager &singBox = *objects.singBox;
    QQmlApplicationEngine engine;
    QObject *window = nullptr;
};

// The run-log dialog shown over the window, its chart fed a round a second for a staged route in use:
// the latency history the chart draws grows while the log fills. It shows the player's log (which the
// core's lines never reach) or, with technical, the full log they fill.
class OpenDialog
{
public:
    OpenDialog(Client &client, bool technical)
        : m_client(client)
    {
        const QVariantMap route{{QStringLiteral("id"), QStringLiteral("bench-route")},
                                {QStringLiteral("name"), QStringLiteral("bench")}};
        AccelerationSession &session = *client.objects.session;
        session.setProber(&m_prober);
        session.routeSource()->stageSelection({{QStringLiteral("id"), QStringLiteral("bench")}}, {route},
                                              route);
        session.controller()->stageBoosting(true);
        windowscript::evaluate(client.window, QStringLiteral("navigation.logDialog = true"));
        m_rounds.setInterval(1000);
        QObject::connect(&m_rounds, &QTimer::timeout, [this] {
            nimbra::accel::ProbeRound round;
            round.key = QStringLiteral("bench-route");
            round.samplesMs = {20.0 + m_tick % 7, 21, 22, m_tick % 5 == 0 ? -1.0 : 23.0, 24};
            round.medianMs = 22;
            round.loss = m_tick % 5 == 0 ? 0.2 : 0;
            ++m_tick;
            emit m_prober.roundFinished(round);
        });
        m_rounds.start();
        // The dialog is made on its first opening, over many frames; what is measured is the dialog
        // shown, not its making.
        QElapsedTimer made;
        made.start();
        while (!listShown() && made.elapsed() < 10000)
            windowscript::spin(50);
        windowscript::evaluate(
            client.window, QStringLiteral("dialogs.log.technical = %1").arg(technical ? "true" : "false"));
        windowscript::spin(2000);
    }
    ~OpenDialog() { m_client.objects.session->setProber(nullptr); }
    // Whether the dialog's chart (drawn once the core runs) and its log are on screen.
    bool chartShown() { return shown(m_chart, QStringLiteral("latencyChart")); }
    bool listShown() { return shown(m_list, QStringLiteral("logList")); }

private:
    bool shown(QObject *&item, const QString &name)
    {
        if (!item)
            item = m_client.window->findChild<QObject *>(name);
        return item && item->property("visible").toBool();
    }

    Client &m_client;
    nimbra::accel::LatencyProber m_prober;
    QTimer m_rounds;
    int m_tick = 0;
    QObject *m_chart = nullptr;
    QObject *m_list = nullptr;
};

qsizetype runLogSize(const Client &client)
{
    return client.objects.session->runLog()->count();
}

bool enterPrivateNetwork()
{
    if (geteuid() != 0)
        return true; // the stub then skips its TUN interface
    if (unshare(CLONE_NEWNET) == 0)
        return true;
    fail(QStringLiteral("cannot enter a private network namespace (%1)")
             .arg(QString::fromLocal8Bit(std::strerror(errno))));
    return false;
}

void print(const char *name, int rate, double value)
{
    std::printf("%s_%d: %.2f\n", name, rate, value);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    if (!enterPrivateNetwork())
        return 1;
    qunsetenv("NIMBRA_STUB_CORE_MODE");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    int seconds = kDefaultSeconds;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--verbose")) {
            g_verbose = true;
            continue;
        }
        if (readCountOption(arguments, i, QStringLiteral("--seconds"), seconds) != true) {
            std::fprintf(stderr, "usage: nimbra_bench_controller [--seconds S] [--verbose]\n"
                                 "  --seconds S  measured wall time per rate and side, S >= 1 (default 5)\n"
                                 "  --verbose    the application's log on standard error\n");
            return 2;
        }
    }
    qInstallMessageHandler(filterMessages);
    QStandardPaths::setTestModeEnabled(true);

    const QString stub = QStringLiteral(NIMBRA_STUB_CORE);
    QFile nodeFile(QStringLiteral(NIMBRA_NODE_FIXTURE));
    if (!QFileInfo(stub).isExecutable() || !nodeFile.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("stub core or node fixture missing"));
        return 1;
    }
    const QByteArray node = nodeFile.readAll();
    QTemporaryDir dataDirectory;

    for (const int rate : kRates) {
        QString error;
        // The window alone, the dialog with the player's log, the dialog with the technical log.
        std::optional<Figures> sides[3];
        const std::optional<Figures> &controller = sides[0];
        const std::optional<Figures> &dialog = sides[1];
        const std::optional<Figures> &technical = sides[2];
        qsizetype runLogEntries = 0;
        bool chartDrawn = false;
        for (int side = 0; side < 3; ++side) {
            const bool open = side > 0;
            Client client(stub, dataDirectory.path());
            if (!client.window) {
                fail(QStringLiteral("Main did not load"));
                return 1;
            }
            std::unique_ptr<OpenDialog> shown =
                open ? std::make_unique<OpenDialog>(client, side == 2) : nullptr;
            std::optional<Figures> &figures = sides[side];
            figures = measure(
                client.singBox, node, rate, seconds,
                [&shown, &chartDrawn](const QString &) {
                    if (shown && shown->chartShown())
                        chartDrawn = true;
                },
                error);
            if (!open)
                runLogEntries = runLogSize(client);
            if (!figures) {
                fail(QStringLiteral("controller at %1 lines/s%2: %3")
                         .arg(rate)
                         .arg(open ? (side == 2 ? QStringLiteral(" (technical log open)")
                                                : QStringLiteral(" (dialog open)"))
                                   : QString(),
                              error));
                return 1;
            }
        }
        if (!chartDrawn) {
            fail(QStringLiteral("the run-log dialog's chart was not shown at %1 lines/s").arg(rate));
            return 1;
        }

        QJSEngine js;
        QJSValue append = js.evaluate(QStringLiteral(
            "(function () { const lines = []; return function (text) { const parts = text.split(/\\r?\\n/);"
            " for (let i = 0; i < parts.length; ++i) if (parts[i] !== '') lines.push(parts[i]);"
            " return lines.length } })()"));
        SingBoxManager plain;
        plain.setExecutablePath(stub);
        plain.setDataDirectory(dataDirectory.path());
        const std::optional<Figures> floor = measure(
            plain, node, rate, seconds, [&append](const QString &text) { append.call({text}); }, error);
        if (!floor) {
            fail(QStringLiteral("floor at %1 lines/s: %2").arg(rate).arg(error));
            return 1;
        }

        print("controller_lines_per_s", rate, controller->linesPerSecond);
        print("controller_gui_cpu_percent", rate, controller->guiCpuPercent);
        print("controller_max_probe_gap_ms", rate, controller->maxGapMs);
        print("controller_run_log_entries", rate, static_cast<double>(runLogEntries));
        print("dialog_lines_per_s", rate, dialog->linesPerSecond);
        print("dialog_gui_cpu_percent", rate, dialog->guiCpuPercent);
        print("dialog_max_probe_gap_ms", rate, dialog->maxGapMs);
        print("technical_dialog_lines_per_s", rate, technical->linesPerSecond);
        print("technical_dialog_gui_cpu_percent", rate, technical->guiCpuPercent);
        print("technical_dialog_max_probe_gap_ms", rate, technical->maxGapMs);
        print("floor_lines_per_s", rate, floor->linesPerSecond);
        print("floor_gui_cpu_percent", rate, floor->guiCpuPercent);
        print("floor_max_probe_gap_ms", rate, floor->maxGapMs);
    }
    std::printf("controller_targets: max_probe_gap_ms_2000<300 run_log_entries<=300"
                " dialog_gui_cpu_percent<=3*floor_gui_cpu_percent"
                " technical_dialog_gui_cpu_percent<=3*floor_gui_cpu_percent\n");
    return 0;
}
