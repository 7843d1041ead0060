// Start-up benchmark, against the dev service, each figure next to its floor (a minimal Qt Quick
// Controls window built in the same tree, nimbra_bench_floor):
//   - time from process start to the first swapped frame of the real app; runs alternate between the
//     app and the floor so that drift in machine load hits both alike, and medians are reported;
//   - from the window probe (nimbra_bench_window, the main window composed as the program does it):
//     resident memory once the catalogue and the home page's pictures have loaded (the floor's once it
//     has settled) with the decoded backgrounds, the tab switches and the game library loader (the
//     floor switches to an empty page), and the CPU time of an idle stretch signed in on the home page,
//     counted from /proc for the probe and for a floor idling alongside.
#include "common/countoption.h"
#include "common/median.h"
#include "devserviceprocess.h"

#include <QByteArray>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kDefaultRuns = 7;
constexpr int kDefaultTabSwitches = 10;
constexpr int kDefaultIdleSeconds = 30;
// From the probe's start to its idle stretch: catalogue, pictures, tab switches, sign-in.
constexpr int kProbeSetupTimeoutMs = 120000;
constexpr double kTargetTimeRatio = 2.0;
// The membership tab shows its plans within this time of the click.
constexpr double kTargetVipReadyMs = 100;
constexpr double kTargetRssRatio = 2.5;
constexpr double kTargetIdleCpuPercent = 0.3;
constexpr int kFirstFrameTimeoutMs = 30000;
// Lets the window settle after its first frame before its resident memory is read.
constexpr int kSettleMs = 300;
constexpr int kQuitTimeoutMs = 10000;
constexpr int kNotElevatedExitCode = 740 % 256;

const QByteArray kFirstFrameMarker = QByteArrayLiteral("[PERF] 首帧已呈现");

struct Sample
{
    double firstFrameMs = 0;
    qint64 rssKib = 0;
    // What the program itself measured from main() to the frame, for --verbose: the rest of
    // firstFrameMs is exec, dynamic linking and static initialisation.
    QByteArray selfReported;
};

struct Options
{
    int runs = kDefaultRuns;
    int tabSwitches = kDefaultTabSwitches;
    int idleSeconds = kDefaultIdleSeconds;
    bool verbose = false;
};

struct Target
{
    const char *label;
    QString program;
    std::vector<double> firstFrameMs;
    std::vector<double> rssKib;
};

// Private home and XDG directories per run: no settings, caches or logs carry over between runs.
class Sandbox
{
public:
    Sandbox()
    {
        m_valid = m_dir.isValid();
        for (const char *name : {"home", "data", "config", "cache", "runtime"}) {
            const QString path = m_dir.filePath(QLatin1String(name));
            m_valid = m_valid && QDir().mkpath(path) &&
                      QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                      QFileDevice::ExeOwner);
        }
    }

    bool isValid() const { return m_valid; }

    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    QProcessEnvironment environment(const QString &baseUrl) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_dir.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), m_dir.filePath(QStringLiteral("cache")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath(QStringLiteral("runtime")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
        // A debugger listening on a port would be measured too.
        env.remove(QStringLiteral("NIMBRA_ENABLE_QML_DEBUGGER"));
        env.insert(QStringLiteral("NIMBRA_API_BASE_URL"), baseUrl);
        return env;
    }

private:
    QTemporaryDir m_dir;
    bool m_valid = false;
};

void fail(const Target &target, int run, const QString &reason, const QByteArray &output)
{
    std::fprintf(stderr, "nimbra_bench_startup: %s run %d failed: %s\n", target.label, run,
                 qPrintable(reason));
    if (!output.isEmpty()) {
        constexpr qsizetype kTail = 4000;
        std::fprintf(stderr, "--- last standard error of %s ---\n%s\n---\n", qPrintable(target.program),
                     output.right(kTail).constData());
    }
}

QString describeEnd(const QProcess &process)
{
    if (process.exitStatus() == QProcess::CrashExit)
        return QStringLiteral("crashed (ended by a signal)");
    if (process.exitCode() == kNotElevatedExitCode)
        return QStringLiteral("exited with %1: refused to start without administrator rights")
            .arg(process.exitCode());
    return QStringLiteral("exited with %1").arg(process.exitCode());
}

std::optional<qint64> residentKib(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (!line.startsWith("VmRSS:"))
            continue;
        // "VmRSS:    123456 kB"
        const QList<QByteArray> fields = line.mid(6).simplified().split(' ');
        bool ok = false;
        const qint64 value = fields.value(0).toLongLong(&ok);
        if (ok && fields.value(1) == "kB")
            return value;
    }
    return std::nullopt;
}

std::optional<Sample> runOnce(const Target &target, int run, const QString &baseUrl)
{
    Sandbox sandbox;
    if (!sandbox.isValid()) {
        fail(target, run, QStringLiteral("could not create the private home directories"), {});
        return std::nullopt;
    }

    QProcess process;
    process.setProcessEnvironment(sandbox.environment(baseUrl));
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setReadChannel(QProcess::StandardError);
    process.setProgram(target.program);

    QByteArray output;
    QElapsedTimer sinceStart;
    sinceStart.start();
    process.start();
    if (!process.waitForStarted(kFirstFrameTimeoutMs)) {
        fail(target, run, QStringLiteral("could not start: %1").arg(process.errorString()), {});
        return std::nullopt;
    }

    Sample sample;
    for (;;) {
        output += process.readAllStandardError();
        if (output.contains(kFirstFrameMarker)) {
            sample.firstFrameMs = static_cast<double>(sinceStart.nsecsElapsed()) / 1e6;
            const qsizetype at = output.indexOf(kFirstFrameMarker);
            const qsizetype end = output.indexOf('\n', at);
            sample.selfReported = output.mid(at, end < 0 ? -1 : end - at).trimmed();
            break;
        }
        if (process.state() == QProcess::NotRunning) {
            fail(target, run, QStringLiteral("ended before its first frame: %1").arg(describeEnd(process)),
                 output);
            return std::nullopt;
        }
        const qint64 remaining = kFirstFrameTimeoutMs - sinceStart.elapsed();
        if (remaining <= 0) {
            process.kill();
            process.waitForFinished(kQuitTimeoutMs);
            fail(target, run, QStringLiteral("no first-frame line within %1 ms").arg(kFirstFrameTimeoutMs),
                 output);
            return std::nullopt;
        }
        process.waitForReadyRead(static_cast<int>(remaining));
    }

    // Keeps draining standard error meanwhile so that a chatty child never blocks on a full pipe.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < kSettleMs && process.state() == QProcess::Running) {
        process.waitForReadyRead(static_cast<int>(std::max<qint64>(1, kSettleMs - settle.elapsed())));
        output += process.readAllStandardError();
    }
    if (process.state() != QProcess::Running) {
        fail(target, run, QStringLiteral("ended right after its first frame: %1").arg(describeEnd(process)),
             output);
        return std::nullopt;
    }
    const std::optional<qint64> rss = residentKib(process.processId());
    if (!rss) {
        process.kill();
        process.waitForFinished(kQuitTimeoutMs);
        fail(target, run, QStringLiteral("could not read VmRSS from /proc"), output);
        return std::nullopt;
    }
    sample.rssKib = *rss;

    process.terminate();
    if (!process.waitForFinished(kQuitTimeoutMs)) {
        process.kill();
        process.waitForFinished(kQuitTimeoutMs);
        fail(target, run, QStringLiteral("did not quit within %1 ms of SIGTERM").arg(kQuitTimeoutMs), output);
        return std::nullopt;
    }
    output += process.readAllStandardError();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        fail(target, run, QStringLiteral("did not quit cleanly on SIGTERM: %1").arg(describeEnd(process)),
             output);
        return std::nullopt;
    }
    return sample;
}

// A program run for the `name: value` lines it prints on standard output; bare lines are markers.
// Its standard error goes to a file in its sandbox and is shown when it fails.
class FigureSource
{
public:
    FigureSource(const char *label, const QString &program, const QStringList &arguments,
                 const QString &baseUrl)
        : m_label(label)
    {
        m_process.setProcessEnvironment(m_sandbox.environment(baseUrl));
        m_process.setStandardErrorFile(m_sandbox.filePath(QStringLiteral("stderr.txt")));
        m_process.setProgram(program);
        m_process.setArguments(arguments);
    }

    ~FigureSource() { stop(); }

    bool start()
    {
        if (!m_sandbox.isValid())
            return failed(QStringLiteral("could not create the private home directories"));
        m_process.start();
        return m_process.waitForStarted(kFirstFrameTimeoutMs) ||
               failed(QStringLiteral("could not start: %1").arg(m_process.errorString()));
    }

    // Reads standard output until `marker` (a bare line or a figure's name) has come.
    bool waitFor(const QByteArray &marker, int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            m_pending += m_process.readAllStandardOutput();
            qsizetype end = 0;
            while ((end = m_pending.indexOf('\n')) >= 0) {
                const QByteArray line = m_pending.left(end).trimmed();
                m_pending.remove(0, end + 1);
                const qsizetype colon = line.indexOf(": ");
                const QByteArray name = colon < 0 ? line : line.left(colon);
                if (colon >= 0)
                    m_figures[name] = line.mid(colon + 2).toDouble();
                if (name == marker)
                    return true;
            }
            if (m_process.state() == QProcess::NotRunning)
                return failed(QStringLiteral("ended before \"%1\": %2")
                                  .arg(QString::fromLatin1(marker), describeEnd(m_process)));
            const qint64 remaining = timeoutMs - timer.elapsed();
            if (remaining <= 0)
                return failed(
                    QStringLiteral("no \"%1\" within %2 ms").arg(QString::fromLatin1(marker)).arg(timeoutMs));
            m_process.waitForReadyRead(static_cast<int>(remaining));
        }
    }

    bool waitForCleanEnd()
    {
        if (!m_process.waitForFinished(kQuitTimeoutMs))
            return failed(QStringLiteral("did not end within %1 ms").arg(kQuitTimeoutMs));
        return (m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0) ||
               failed(describeEnd(m_process));
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(kQuitTimeoutMs)) {
            m_process.kill();
            m_process.waitForFinished(kQuitTimeoutMs);
        }
    }

    qint64 pid() const { return m_process.processId(); }
    double figure(const QByteArray &name) const
    {
        const auto found = m_figures.find(name);
        return found == m_figures.end() ? -1 : found->second;
    }

private:
    bool failed(const QString &reason)
    {
        std::fprintf(stderr, "nimbra_bench_startup: %s failed: %s\n", m_label, qPrintable(reason));
        QFile errors(m_sandbox.filePath(QStringLiteral("stderr.txt")));
        if (errors.open(QIODevice::ReadOnly)) {
            constexpr qsizetype kTail = 4000;
            std::fprintf(stderr, "--- last standard error of %s ---\n%s\n---\n", m_label,
                         errors.readAll().right(kTail).constData());
        }
        return false;
    }

    const char *m_label;
    Sandbox m_sandbox;
    QProcess m_process;
    QByteArray m_pending;
    std::map<QByteArray, double> m_figures;
};

// User and system CPU time of a process so far, in seconds.
std::optional<double> cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    // "pid (comm) state ..." where comm may hold spaces: fields count from after its ')'.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 1).simplified().split(' ');
    constexpr int kUtime = 11;
    constexpr int kStime = 12;
    if (fields.size() <= kStime)
        return std::nullopt;
    const double ticks = fields[kUtime].toDouble() + fields[kStime].toDouble();
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

struct WindowFigures
{
    double rssKib = 0;
    double backgroundsDecoded = 0;
    double backgroundsKib = 0;
    double tabSwitchGamesMs = 0;
    double tabSwitchHomeMs = 0;
    double libraryLoaderMs = 0;
    double tabSwitchFloorMs = 0;
    double pageLoaderFloorMs = 0;
    double vipLoaderMs = 0;
    double vipPlansFrameMs = 0;
    double idleCpuPercent = 0;
    double idleCpuPercentFloor = 0;
};

// The floor switches tabs first and then idles while the probe loads, switches, signs in and idles;
// both idle stretches are counted over the same wall time.
std::optional<WindowFigures> measureWindow(const Options &options, const QString &baseUrl)
{
    const QString switches = QString::number(options.tabSwitches);
    FigureSource floor("floor", QStringLiteral(NIMBRA_FLOOR_PATH),
                       {QStringLiteral("--tab-switches"), switches}, baseUrl);
    if (!floor.start() || !floor.waitFor("page_loader_ms", kProbeSetupTimeoutMs))
        return std::nullopt;
    FigureSource probe("window probe", QStringLiteral(NIMBRA_WINDOW_PATH),
                       {QStringLiteral("--tab-switches"), switches, QStringLiteral("--idle-seconds"),
                        QString::number(options.idleSeconds)},
                       baseUrl);
    if (!probe.start() || !probe.waitFor("idle_begin", kProbeSetupTimeoutMs))
        return std::nullopt;
    QElapsedTimer wall;
    wall.start();
    const std::optional<double> probeBefore = cpuSeconds(probe.pid());
    const std::optional<double> floorBefore = cpuSeconds(floor.pid());
    if (!probe.waitFor("idle_end", options.idleSeconds * 1000 + kQuitTimeoutMs))
        return std::nullopt;
    const std::optional<double> probeAfter = cpuSeconds(probe.pid());
    const std::optional<double> floorAfter = cpuSeconds(floor.pid());
    const double wallSeconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    if (!probeBefore || !floorBefore || !probeAfter || !floorAfter) {
        std::fprintf(stderr, "nimbra_bench_startup: could not read CPU times from /proc\n");
        return std::nullopt;
    }
    if (!probe.waitForCleanEnd())
        return std::nullopt;
    floor.stop();

    WindowFigures figures;
    figures.rssKib = probe.figure("rss_kib");
    figures.backgroundsDecoded = probe.figure("backgrounds_decoded");
    figures.backgroundsKib = probe.figure("backgrounds_kib");
    figures.tabSwitchGamesMs = probe.figure("tab_switch_games_ms");
    figures.tabSwitchHomeMs = probe.figure("tab_switch_home_ms");
    figures.libraryLoaderMs = probe.figure("library_loader_ms");
    figures.tabSwitchFloorMs = floor.figure("tab_switch_ms");
    figures.pageLoaderFloorMs = floor.figure("page_loader_ms");
    figures.vipLoaderMs = probe.figure("vip_loader_ms");
    figures.vipPlansFrameMs = probe.figure("vip_plans_frame_ms");
    figures.idleCpuPercent = 100 * (*probeAfter - *probeBefore) / wallSeconds;
    figures.idleCpuPercentFloor = 100 * (*floorAfter - *floorBefore) / wallSeconds;
    return figures;
}

std::optional<Options> parseOptions(const QStringList &arguments)
{
    Options options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--verbose")) {
            options.verbose = true;
            continue;
        }
        if (readCountOption(arguments, i, QStringLiteral("--runs"), options.runs) == true ||
            readCountOption(arguments, i, QStringLiteral("--tab-switches"), options.tabSwitches) == true)
            continue;
        if (readCountOption(arguments, i, QStringLiteral("--idle-seconds"), options.idleSeconds) != true)
            return std::nullopt;
    }
    return options;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);

    const std::optional<Options> options = parseOptions(QCoreApplication::arguments());
    if (!options) {
        std::fprintf(
            stderr,
            "usage: nimbra_bench_startup [--runs N] [--tab-switches N] [--idle-seconds S] [--verbose]\n"
            "  --runs N          first-frame runs of the app and of the floor, N >= 1 (default %d)\n"
            "  --tab-switches N  switches to the game library and back, N >= 1 (default %d)\n"
            "  --idle-seconds S  idle stretch signed in on the home page, S >= 1 (default %d)\n"
            "  --verbose         every first-frame run's figures on standard error\n",
            kDefaultRuns, kDefaultTabSwitches, kDefaultIdleSeconds);
        return 2;
    }
    if (::geteuid() != 0) {
        std::printf(
            "startup_skipped: needs root (the client refuses to start without administrator rights)\n");
        return 0;
    }

    Target appTarget{"app", QStringLiteral(NIMBRA_APP_PATH), {}, {}};
    Target floorTarget{"floor", QStringLiteral(NIMBRA_FLOOR_PATH), {}, {}};
    for (const QString &program :
         {appTarget.program, floorTarget.program, QStringLiteral(NIMBRA_WINDOW_PATH)}) {
        if (!QFileInfo(program).isExecutable()) {
            std::fprintf(stderr, "nimbra_bench_startup: executable not found: %s\n", qPrintable(program));
            return 1;
        }
    }
    DevServiceProcess service;
    if (!service.isRunning()) {
        std::fprintf(stderr, "nimbra_bench_startup: the dev service did not start\n");
        return 1;
    }

    for (int run = 1; run <= options->runs; ++run) {
        for (Target *target : {&appTarget, &floorTarget}) {
            const std::optional<Sample> sample = runOnce(*target, run, service.baseUrl());
            if (!sample)
                return 1;
            if (options->verbose)
                std::fprintf(stderr, "%s run %d: first frame %.1f ms, VmRSS %lld KiB (%s)\n", target->label,
                             run, sample->firstFrameMs, static_cast<long long>(sample->rssKib),
                             sample->selfReported.constData());
            target->firstFrameMs.push_back(sample->firstFrameMs);
            target->rssKib.push_back(static_cast<double>(sample->rssKib));
        }
    }
    const std::optional<WindowFigures> window = measureWindow(*options, service.baseUrl());
    if (!window)
        return 1;

    const double appMs = median(appTarget.firstFrameMs);
    const double floorMs = median(floorTarget.firstFrameMs);
    const double floorRss = median(floorTarget.rssKib);
    std::printf("startup_first_frame_ms: %.1f\n", appMs);
    std::printf("startup_first_frame_ms_floor: %.1f\n", floorMs);
    std::printf("startup_time_ratio: %.2f\n", appMs / floorMs);
    std::printf("startup_loaded_rss_kib: %.0f\n", window->rssKib);
    std::printf("startup_loaded_rss_kib_floor: %.0f\n", floorRss);
    std::printf("startup_rss_ratio: %.2f\n", window->rssKib / floorRss);
    std::printf("startup_backgrounds_decoded: %.0f\n", window->backgroundsDecoded);
    std::printf("startup_backgrounds_kib: %.0f\n", window->backgroundsKib);
    std::printf("startup_idle_cpu_percent: %.3f\n", window->idleCpuPercent);
    std::printf("startup_idle_cpu_percent_floor: %.3f\n", window->idleCpuPercentFloor);
    std::printf("startup_tab_switch_games_ms: %.1f\n", window->tabSwitchGamesMs);
    std::printf("startup_tab_switch_home_ms: %.1f\n", window->tabSwitchHomeMs);
    std::printf("startup_tab_switch_ms_floor: %.1f\n", window->tabSwitchFloorMs);
    std::printf("startup_library_loader_ms: %.1f\n", window->libraryLoaderMs);
    std::printf("startup_library_loader_ms_floor: %.1f\n", window->pageLoaderFloorMs);
    // The membership tab against the same floor: a loader of an empty page.
    std::printf("startup_vip_loader_ms: %.1f\n", window->vipLoaderMs);
    std::printf("startup_vip_plans_frame_ms: %.1f\n", window->vipPlansFrameMs);
    std::printf(
        "startup_targets: time_ratio<=%.2f rss_ratio<=%.2f idle_cpu_percent<%.2f vip_plans_frame_ms<=%.0f\n",
        kTargetTimeRatio, kTargetRssRatio, kTargetIdleCpuPercent, kTargetVipReadyMs);
    return 0;
}
