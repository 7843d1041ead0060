// Latency prober benchmark: 20 routes probed every 2 s (a round of 5 handshakes 200 ms apart each, the
// prober's defaults) against listeners on loopback addresses 127.0.0.10-29, for a stretch of wall time.
// Reported: the CPU of the prober's thread and the whole process's added CPU, as a share of one core
// (target below 0.2 %), and the longest gap of a 10 ms timer on the main thread, with and without
// probing (target: no longer than without). The listeners run in a child process that accepts and
// closes, so their work is not counted.
#include "accel/latencyprober.h"

#include "common/countoption.h"
#include "common/quietlog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using nimbra::accel::LatencyProber;
using nimbra::accel::ProbeRound;
using nimbra::accel::ProbeTarget;

namespace {

constexpr int kRoutes = 20;
constexpr int kRoundEveryMs = 2000;
constexpr int kDefaultSeconds = 20;
constexpr int kTickMs = 10;
constexpr double kTargetCpuPercent = 0.2;

double seconds(const timeval &value)
{
    return static_cast<double>(value.tv_sec) + static_cast<double>(value.tv_usec) / 1e6;
}

// User and system time, of the process (RUSAGE_SELF) or the calling thread (RUSAGE_THREAD).
std::pair<double, double> cpuSeconds(int who)
{
    rusage usage = {};
    getrusage(who, &usage);
    return {seconds(usage.ru_utime), seconds(usage.ru_stime)};
}

// Listens on 127.0.0.10.. (one port for all) in a child process until the parent closes `stop`.
// Returns the port, or 0.
quint16 startListeners(pid_t &child)
{
    int portPipe[2];
    int stopPipe[2];
    if (pipe(portPipe) != 0 || pipe(stopPipe) != 0)
        return 0;
    child = fork();
    if (child == 0) {
        close(portPipe[0]);
        close(stopPipe[1]);
        std::vector<pollfd> fds{{stopPipe[0], POLLIN, 0}};
        quint16 port = 0;
        for (int i = 0; i < kRoutes; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            sockaddr_in address = {};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(0x7f00000a + static_cast<quint32>(i));
            address.sin_port = htons(port);
            socklen_t length = sizeof address;
            if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
                listen(fd, 64) != 0 || getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
                _exit(1);
            port = ntohs(address.sin_port);
            fds.push_back({fd, POLLIN, 0});
        }
        if (write(portPipe[1], &port, sizeof port) != sizeof port)
            _exit(1);
        for (;;) {
            poll(fds.data(), fds.size(), -1);
            if (fds[0].revents)
                _exit(0);
            for (std::size_t i = 1; i < fds.size(); ++i) {
                for (int accepted;
                     (fds[i].revents & POLLIN) && (accepted = accept(fds[i].fd, nullptr, nullptr)) >= 0;)
                    close(accepted);
            }
        }
    }
    close(portPipe[1]);
    close(stopPipe[0]);
    quint16 port = 0;
    if (child < 0 || read(portPipe[0], &port, sizeof port) != sizeof port)
        port = 0;
    close(portPipe[0]);
    // The write end stays open in this process until it exits; the child then ends.
    return port;
}

struct Run
{
    double threadCpuPercent = 0;  // every thread but the main one
    double processCpuPercent = 0; // the whole process
    double longestGapMs = 0;      // of the 10 ms main-thread timer
    int rounds = 0;
    int answeredRounds = 0;
};

Run runFor(int seconds, quint16 port)
{
    Run run;
    std::unique_ptr<LatencyProber> prober;
    QList<ProbeTarget> targets;
    if (port != 0) {
        prober = std::make_unique<LatencyProber>();
        for (int i = 0; i < kRoutes; ++i)
            targets.append(
                {QStringLiteral("route-%1").arg(i), QStringLiteral("127.0.0.%1").arg(10 + i), port});
        QObject::connect(prober.get(), &LatencyProber::roundFinished, [&](const ProbeRound &round) {
            ++run.rounds;
            run.answeredRounds += round.answered() && round.loss == 0;
        });
    }

    QEventLoop loop;
    QElapsedTimer sinceTick;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        run.longestGapMs = std::max(run.longestGapMs, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.start();
    });
    QTimer rounds;
    QObject::connect(&rounds, &QTimer::timeout, [&] {
        if (prober)
            prober->measure(targets);
    });
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &loop, &QEventLoop::quit);

    QElapsedTimer wall;
    const auto processBefore = cpuSeconds(RUSAGE_SELF);
    const auto mainBefore = cpuSeconds(RUSAGE_THREAD);
    wall.start();
    sinceTick.start();
    tick.start(kTickMs);
    rounds.start(kRoundEveryMs);
    if (prober)
        prober->measure(targets);
    loop.exec();
    const double wallSeconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    const auto processAfter = cpuSeconds(RUSAGE_SELF);
    const auto mainAfter = cpuSeconds(RUSAGE_THREAD);
    const double user = (processAfter.first - processBefore.first) - (mainAfter.first - mainBefore.first);
    const double system =
        (processAfter.second - processBefore.second) - (mainAfter.second - mainBefore.second);
    const double main = mainAfter.first + mainAfter.second - mainBefore.first - mainBefore.second;
    run.threadCpuPercent = 100.0 * (user + system) / wallSeconds;
    run.processCpuPercent = 100.0 * (user + system + main) / wallSeconds;
    if (g_verbose)
        std::fprintf(stderr, "%s: other threads %.1f ms user, %.1f ms system; main thread %.1f ms\n",
                     port ? "probing" : "idle", user * 1e3, system * 1e3, main * 1e3);
    return run;
}

} // namespace

int main(int argc, char *argv[])
{
    pid_t listeners = -1;
    // Before Qt starts any thread: the child is a plain fork.
    const quint16 port = startListeners(listeners);
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    int seconds = kDefaultSeconds;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--verbose")) {
            g_verbose = true;
        } else if (readCountOption(arguments, i, QStringLiteral("--seconds"), seconds) != true) {
            std::fprintf(stderr,
                         "usage: nimbra_bench_prober [--seconds S] [--verbose]\n"
                         "  --seconds S  wall time of each run, S >= 1 (default %d)\n",
                         kDefaultSeconds);
            return 2;
        }
    }
    qInstallMessageHandler(filterMessages);
    if (port == 0) {
        std::fprintf(stderr, "nimbra_bench_prober: cannot listen on 127.0.0.10-%d\n", 9 + kRoutes);
        return 1;
    }

    const Run idle = runFor(seconds, 0);
    const Run probing = runFor(seconds, port);
    kill(listeners, SIGTERM);
    waitpid(listeners, nullptr, 0);

    const int expectedRounds = kRoutes * (seconds * 1000 / kRoundEveryMs);
    std::printf("prober_rounds: %d of %d (%d without loss)\n", probing.rounds, expectedRounds,
                probing.answeredRounds);
    std::printf("prober_thread_cpu_percent: %.3f\n", probing.threadCpuPercent);
    std::printf("prober_added_process_cpu_percent: %.3f\n",
                probing.processCpuPercent - idle.processCpuPercent);
    std::printf("prober_gui_longest_gap_ms: %.2f\n", probing.longestGapMs);
    std::printf("prober_baseline_gui_longest_gap_ms: %.2f\n", idle.longestGapMs);
    std::printf("prober_targets: cpu_percent<%.1f gui_longest_gap_ms<=baseline\n", kTargetCpuPercent);
    return probing.rounds > 0 ? 0 : 1;
}
