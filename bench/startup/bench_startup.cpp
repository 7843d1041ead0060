// Start-up benchmark: time from process start to the first swapped frame, and peak resident memory
// shortly after, for the real app and for a minimal Qt Quick Controls window built in the same tree.
// Runs alternate between the two so that drift in machine load hits both alike; medians are reported
// with the floor measured in the same run.
#include "common/countoption.h"
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
#include <optional>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kDefaultRuns = 7;
constexpr int kFirstFrameTimeoutMs = 30000;
// Lets the window settle after its first frame before the high-water mark is read.
constexpr int kSettleMs = 300;
constexpr int kQuitTimeoutMs = 10000;
constexpr int kNotElevatedExitCode = 740 % 256;

const QByteArray kFirstFrameMarker = QByteArrayLiteral("[PERF] 首帧已呈现");

struct Sample
{
    double firstFrameMs = 0;
    qint64 peakRssKib = 0;
    // What the program itself measured from main() to the frame, for --verbose: the rest of
    // firstFrameMs is exec, dynamic linking and static initialisation.
    QByteArray selfReported;
};

struct Options
{
    int runs = kDefaultRuns;
    bool verbose = false;
};

struct Target
{
    const char *label;
    QString program;
    std::vector<double> firstFrameMs;
    std::vector<double> peakRssKib;
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

    QProcessEnvironment environment() const
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

std::optional<qint64> peakRssKib(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (!line.startsWith("VmHWM:"))
            continue;
        // "VmHWM:    123456 kB"
        const QList<QByteArray> fields = line.mid(6).simplified().split(' ');
        bool ok = false;
        const qint64 value = fields.value(0).toLongLong(&ok);
        if (ok && fields.value(1) == "kB")
            return value;
    }
    return std::nullopt;
}

std::optional<Sample> runOnce(const Target &target, int run)
{
    Sandbox sandbox;
    if (!sandbox.isValid()) {
        fail(target, run, QStringLiteral("could not create the private home directories"), {});
        return std::nullopt;
    }

    QProcess process;
    process.setProcessEnvironment(sandbox.environment());
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
    const std::optional<qint64> rss = peakRssKib(process.processId());
    if (!rss) {
        process.kill();
        process.waitForFinished(kQuitTimeoutMs);
        fail(target, run, QStringLiteral("could not read VmHWM from /proc"), output);
        return std::nullopt;
    }
    sample.peakRssKib = *rss;

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

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::optional<Options> parseOptions(const QStringList &arguments)
{
    Options options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--verbose")) {
            options.verbose = true;
            continue;
        }
        if (readCountOption(arguments, i, QStringLiteral("--runs"), options.runs) != true)
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
        std::fprintf(stderr,
                     "usage: nimbra_bench_startup [--runs N] [--verbose]\n"
                     "  --runs N   runs of each program, N >= 1 (default %d)\n"
                     "  --verbose  every run's figures on standard error\n",
                     kDefaultRuns);
        return 2;
    }
    if (::geteuid() != 0) {
        std::printf(
            "startup_skipped: needs root (the client refuses to start without administrator rights)\n");
        return 0;
    }

    Target appTarget{"app", QStringLiteral(NIMBRA_APP_PATH), {}, {}};
    Target floorTarget{"floor", QStringLiteral(NIMBRA_FLOOR_PATH), {}, {}};
    for (const Target *target : {&appTarget, &floorTarget}) {
        if (!QFileInfo(target->program).isExecutable()) {
            std::fprintf(stderr, "nimbra_bench_startup: %s executable not found: %s\n", target->label,
                         qPrintable(target->program));
            return 1;
        }
    }

    for (int run = 1; run <= options->runs; ++run) {
        for (Target *target : {&appTarget, &floorTarget}) {
            const std::optional<Sample> sample = runOnce(*target, run);
            if (!sample)
                return 1;
            if (options->verbose)
                std::fprintf(stderr, "%s run %d: first frame %.1f ms, VmHWM %lld KiB (%s)\n", target->label,
                             run, sample->firstFrameMs, static_cast<long long>(sample->peakRssKib),
                             sample->selfReported.constData());
            target->firstFrameMs.push_back(sample->firstFrameMs);
            target->peakRssKib.push_back(static_cast<double>(sample->peakRssKib));
        }
    }

    const double appMs = median(appTarget.firstFrameMs);
    const double floorMs = median(floorTarget.firstFrameMs);
    const double appRss = median(appTarget.peakRssKib);
    const double floorRss = median(floorTarget.peakRssKib);
    std::printf("startup_first_frame_ms: %.1f\n", appMs);
    std::printf("startup_first_frame_ms_floor: %.1f\n", floorMs);
    std::printf("startup_time_ratio: %.2f\n", appMs / floorMs);
    std::printf("startup_peak_rss_kib: %.0f\n", appRss);
    std::printf("startup_peak_rss_kib_floor: %.0f\n", floorRss);
    std::printf("startup_rss_ratio: %.2f\n", appRss / floorRss);
    std::printf("startup_targets: time_ratio<=2.00 rss_ratio<=1.50\n");
    return 0;
}
