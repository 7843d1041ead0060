// Supervisor benchmark.
//  (a) SingBoxManager::start() to started() with the stub core and no game routes. A start runs the
//      core twice (configuration check, then the run itself), so the floor is two sequential round
//      trips of a trivial program, start to finished. Both sides alternate so that load drift hits them
//      alike; medians are reported.
//  (b) CPU time of an idle manager (no session, only its throughput poll) over a stretch of wall time.
//  (c) As root: a session with as many game routes as the network helper allows (4,096; the target was
//      set for 5,000), start() → started() (the routes and their journal included) and stop() →
//      stopped() (every route removed, the journal with them).
// As root everything runs in a private network namespace, so the stub's TUN interface and the
// supervisor's route clean-up never touch the host.
#include "accel/singboxmanager.h"
#include "platform/netpolicy.h"

#include "common/countoption.h"
#include "common/quietlog.h"
#include <QByteArray>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kDefaultRuns = 15;
constexpr int kWarmUps = 2;
constexpr int kDefaultIdleSeconds = 30;
constexpr int kStartTimeoutMs = 20000;
constexpr int kStopTimeoutMs = 20000;
constexpr int kFloorTimeoutMs = 5000;
// Lets the worker's start-up clean-up of leftover routes finish before the idle count begins.
constexpr int kIdleSettleMs = 1000;
constexpr double kTargetStartMs = 30.0;
constexpr double kTargetIdleCpuPercent = 0.1;
constexpr int kManyRoutes = static_cast<int>(nimbra::platform::kMaxSessionRoutes);
constexpr int kManyRouteRuns = 3;
constexpr double kTargetManyRoutesMs = 1000.0;

struct Options
{
    int runs = kDefaultRuns;
    int idleSeconds = kDefaultIdleSeconds;
    bool verbose = false;
};

void fail(const QString &message)
{
    std::fprintf(stderr, "nimbra_bench_supervisor: %s\n", qPrintable(message));
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double processCpuSeconds()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &value) {
        return static_cast<double>(value.tv_sec) + static_cast<double>(value.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

bool enterPrivateNetwork()
{
    if (geteuid() != 0)
        return true; // the stub then skips its TUN interface and no route can be touched
    if (unshare(CLONE_NEWNET) == 0)
        return true;
    fail(QStringLiteral("cannot enter a private network namespace (%1); refusing to let the stub core "
                        "create its TUN interface on this machine")
             .arg(QString::fromLocal8Bit(std::strerror(errno))));
    return false;
}

std::optional<double> floorOnce(const QString &program, QString &error)
{
    QElapsedTimer clock;
    clock.start();
    for (int trip = 0; trip < 2; ++trip) {
        QProcess process;
        process.setProgram(program);
        process.start();
        if (!process.waitForFinished(kFloorTimeoutMs) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            error =
                process.state() != QProcess::NotRunning || process.error() != QProcess::UnknownError
                    ? QStringLiteral("floor program %1 failed: %2").arg(program, process.errorString())
                    : QStringLiteral("floor program %1 exited with %2").arg(program).arg(process.exitCode());
            return std::nullopt;
        }
    }
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

// One full session: start, wait for started, stop, wait for stopped. Returns start() → started(), and
// stop() → stopped() in stopMs when given.
std::optional<double> startOnce(SingBoxManager &manager, const QByteArray &node, QString &error,
                                const QVariantList &routes = {}, double *stopMs = nullptr)
{
    if (!manager.prepareRuntimeConfig(node)) {
        error = QStringLiteral("prepareRuntimeConfig rejected the node fixture: ") + manager.lastError();
        return std::nullopt;
    }
    manager.setRouteIpList(routes);

    enum class Outcome
    {
        Pending,
        Started,
        Failed,
        TimedOut,
    };
    Outcome outcome = Outcome::Pending;
    QString failure;
    double startedMs = 0;
    QElapsedTimer clock;
    {
        QEventLoop loop;
        QObject::connect(&manager, &SingBoxManager::started, &loop, [&] {
            startedMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            outcome = Outcome::Started;
            loop.quit();
        });
        QObject::connect(&manager, &SingBoxManager::startFailed, &loop, [&](const QString &message) {
            failure = message;
            outcome = Outcome::Failed;
            loop.quit();
        });
        QTimer::singleShot(kStartTimeoutMs, &loop, [&] {
            outcome = Outcome::TimedOut;
            loop.quit();
        });
        clock.start();
        manager.start(); // a refusal arrives as startFailed, before the loop runs
        if (outcome == Outcome::Pending)
            loop.exec();
    }
    if (outcome == Outcome::Failed) {
        error = QStringLiteral("start failed: ") + failure;
        return std::nullopt;
    }
    if (outcome != Outcome::Started) {
        error = QStringLiteral("no started() within %1 ms").arg(kStartTimeoutMs);
        return std::nullopt;
    }

    bool stopped = false;
    {
        QEventLoop loop;
        QObject::connect(&manager, &SingBoxManager::stopped, &loop, [&] {
            stopped = true;
            loop.quit();
        });
        QTimer::singleShot(kStopTimeoutMs, &loop, &QEventLoop::quit);
        clock.start();
        manager.stop();
        if (!stopped)
            loop.exec();
    }
    if (!stopped) {
        error = QStringLiteral("no stopped() within %1 ms of stop()").arg(kStopTimeoutMs);
        return std::nullopt;
    }
    if (stopMs)
        *stopMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    return startedMs;
}

void idleFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

double idleCpuPercent(const QString &stub, int seconds)
{
    SingBoxManager manager;
    manager.setExecutablePath(stub);
    idleFor(kIdleSettleMs);

    QElapsedTimer wall;
    const double cpuBefore = processCpuSeconds();
    wall.start();
    idleFor(seconds * 1000);
    const double cpuSeconds = processCpuSeconds() - cpuBefore;
    const double wallSeconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    if (g_verbose)
        std::fprintf(stderr, "idle: %.3f ms of CPU over %.3f s of wall time\n", cpuSeconds * 1e3,
                     wallSeconds);
    return 100.0 * cpuSeconds / wallSeconds;
}

std::optional<Options> parseOptions(const QStringList &arguments)
{
    Options options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--verbose")) {
            options.verbose = true;
            continue;
        }
        std::optional<bool> read = readCountOption(arguments, i, QStringLiteral("--runs"), options.runs);
        if (!read)
            read = readCountOption(arguments, i, QStringLiteral("--idle-seconds"), options.idleSeconds);
        if (read != true)
            return std::nullopt;
    }
    return options;
}

} // namespace

int main(int argc, char *argv[])
{
    // Before any thread exists, so that every thread and child lands in the same namespace.
    if (!enterPrivateNetwork())
        return 1;
    // A failure mode left in the environment would time something else than a normal start.
    qunsetenv("NIMBRA_STUB_CORE_MODE");

    QCoreApplication app(argc, argv);
    const std::optional<Options> options = parseOptions(QCoreApplication::arguments());
    if (!options) {
        std::fprintf(stderr,
                     "usage: nimbra_bench_supervisor [--runs N] [--idle-seconds S] [--verbose]\n"
                     "  --runs N          timed starts, N >= 1, after %d warm-ups (default %d)\n"
                     "  --idle-seconds S  wall time of the idle CPU count, S >= 1 (default %d)\n"
                     "  --verbose         every run's figures and the supervisor's log on standard error\n",
                     kWarmUps, kDefaultRuns, kDefaultIdleSeconds);
        return 2;
    }
    g_verbose = options->verbose;
    qInstallMessageHandler(filterMessages);
    // The route journal goes to a test location of this program's own, never the client's.
    QStandardPaths::setTestModeEnabled(true);

    const QString stub = QStringLiteral(NIMBRA_STUB_CORE);
    if (!QFileInfo(stub).isExecutable()) {
        fail(QStringLiteral("stub core not found: ") + stub);
        return 1;
    }
    QString floorProgram;
    for (const QString &candidate : {QStringLiteral("/bin/true"), QStringLiteral("/usr/bin/true")}) {
        if (QFileInfo(candidate).isExecutable()) {
            floorProgram = candidate;
            break;
        }
    }
    if (floorProgram.isEmpty()) {
        fail(QStringLiteral("no /bin/true for the floor"));
        return 1;
    }
    QFile nodeFile(QStringLiteral(NIMBRA_NODE_FIXTURE));
    if (!nodeFile.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("cannot read the node fixture %1: %2")
                 .arg(nodeFile.fileName(), nodeFile.errorString()));
        return 1;
    }
    const QByteArray node = nodeFile.readAll();

    std::vector<double> startMs;
    std::vector<double> floorMs;
    {
        SingBoxManager manager;
        manager.setExecutablePath(stub);
        // Else it would create a "data" folder beside this program.
        manager.setDataDirectory(QFileInfo(stub).absolutePath());
        for (int run = 1 - kWarmUps; run <= options->runs; ++run) {
            const QString label = run < 1 ? QStringLiteral("warm-up %1").arg(run + kWarmUps)
                                          : QStringLiteral("run %1").arg(run);
            QString error;
            const std::optional<double> floor = floorOnce(floorProgram, error);
            if (!floor) {
                fail(label + QStringLiteral(": ") + error);
                return 1;
            }
            const std::optional<double> start = startOnce(manager, node, error);
            if (!start) {
                fail(label + QStringLiteral(": ") + error);
                return 1;
            }
            if (g_verbose)
                std::fprintf(stderr, "%s: start→started %.2f ms, floor %.2f ms\n", qPrintable(label), *start,
                             *floor);
            if (run < 1)
                continue;
            startMs.push_back(*start);
            floorMs.push_back(*floor);
        }
    }
    const double start = median(startMs);
    const double floor = median(floorMs);
    std::printf("supervisor_start_to_started_ms: %.1f\n", start);
    std::printf("supervisor_floor_two_roundtrips_ms: %.1f\n", floor);
    std::printf("supervisor_start_ratio: %.2f\n", start / floor);
    std::fflush(stdout);

    if (geteuid() == 0) {
        // Distinct /24 ranges that no refusal rule touches.
        QVariantList routes;
        for (int index = 0; index < kManyRoutes; ++index)
            routes.append(QStringLiteral("11.%1.%2.0/24").arg(index / 256).arg(index % 256));
        std::vector<double> installMs;
        std::vector<double> removeMs;
        SingBoxManager manager;
        manager.setExecutablePath(stub);
        manager.setDataDirectory(QFileInfo(stub).absolutePath());
        for (int run = 1; run <= kManyRouteRuns; ++run) {
            QString error;
            double stopMs = 0;
            const std::optional<double> startedMs = startOnce(manager, node, error, routes, &stopMs);
            if (!startedMs) {
                fail(QStringLiteral("%1 routes, run %2: %3").arg(kManyRoutes).arg(run).arg(error));
                return 1;
            }
            if (g_verbose)
                std::fprintf(stderr, "%d routes, run %d: start→started %.1f ms, stop→stopped %.1f ms\n",
                             kManyRoutes, run, *startedMs, stopMs);
            installMs.push_back(*startedMs);
            removeMs.push_back(stopMs);
        }
        std::printf("supervisor_routes_%d_start_ms: %.1f\n", kManyRoutes, median(installMs));
        std::printf("supervisor_routes_%d_stop_ms: %.1f\n", kManyRoutes, median(removeMs));
        std::fflush(stdout);
    }

    const double idle = idleCpuPercent(stub, options->idleSeconds);
    std::printf("supervisor_idle_cpu_percent: %.3f\n", idle);
    std::printf("supervisor_targets: start_median_ms<%.0f idle_cpu_percent<%.1f routes_%d_start_ms<%.0f "
                "routes_%d_stop_ms<%.0f\n",
                kTargetStartMs, kTargetIdleCpuPercent, kManyRoutes, kTargetManyRoutesMs, kManyRoutes,
                kTargetManyRoutesMs);
    return 0;
}
