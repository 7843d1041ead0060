#include "latencyprober.h"

#include "accel/probestatistics.h"
#include "platform/tcpprobe.h"

#include <QMetaObject>
#include <QMutex>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <list>
#include <optional>
#include <vector>

namespace nimbra::accel {

namespace {

using Clock = std::chrono::steady_clock;

// select() on Windows takes at most 64 sockets, one of them the wake-up channel.
constexpr int kMaxInFlightLimit = 60;

ProbeSettings sanitized(ProbeSettings settings)
{
    settings.probesPerRound = std::max(settings.probesPerRound, 1);
    settings.intervalMs = std::max(settings.intervalMs, 0);
    settings.timeoutMs = std::max(settings.timeoutMs, 1);
    settings.maxInFlight = std::clamp(settings.maxInFlight, 1, kMaxInFlightLimit);
    return settings;
}

double millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

} // namespace

// The thread's own state (rounds, sockets) is touched only by that thread; the owner hands it work
// through the mutex-guarded inbox and the waiter's wake-up.
class LatencyProber::Worker
{
public:
    Worker(LatencyProber *owner, ProbeSettings settings)
        : m_owner(owner)
        , m_settings(sanitized(settings))
    {
        m_thread.reset(QThread::create([this] { run(); }));
        m_thread->setObjectName(QStringLiteral("LatencyProber"));
        m_thread->start();
    }

    ~Worker()
    {
        {
            const QMutexLocker lock(&m_mutex);
            m_stop = true;
        }
        m_waiter.wake();
        m_thread->wait();
    }

    Worker(const Worker &) = delete;
    Worker &operator=(const Worker &) = delete;

    void measure(const QList<ProbeTarget> &targets)
    {
        {
            const QMutexLocker lock(&m_mutex);
            for (const ProbeTarget &target : targets)
                m_inbox.push_back({target, generation});
        }
        m_waiter.wake();
    }

    void cancelAll()
    {
        ++generation;
        {
            const QMutexLocker lock(&m_mutex);
            m_inbox.clear();
            m_cancelBelow = generation;
        }
        m_waiter.wake();
    }

    // Owner's thread only: results of rounds begun before the last cancelAll are dropped on arrival.
    quint64 generation = 0;

private:
    struct Request
    {
        ProbeTarget target;
        quint64 generation = 0;
    };

    struct Round
    {
        ProbeTarget target;
        quint64 generation = 0;
        std::optional<platform::SocketAddress> address;
        QList<double> samplesMs;
        int sent = 0;
        int outstanding = 0;
        Clock::time_point nextDue;
    };

    struct Probe
    {
        Round *round = nullptr;
        qsizetype index = 0;
        Clock::time_point started;
        Clock::time_point deadline;
        platform::TcpHandshake handshake;
    };

    void run()
    {
        for (;;) {
            std::vector<Request> requests;
            quint64 cancelBelow = 0;
            {
                const QMutexLocker lock(&m_mutex);
                if (m_stop)
                    break;
                requests.swap(m_inbox);
                cancelBelow = m_cancelBelow;
            }
            dropCancelled(cancelBelow);
            for (Request &request : requests)
                addRound(std::move(request));
            expireProbes(Clock::now());
            startDueProbes();
            finishRounds();
            m_waiter.wait(pendingHandshakes(), waitMs());
            collectAnswers(Clock::now());
        }
        // Destroying the probes closes their sockets.
        m_probes.clear();
        m_rounds.clear();
    }

    void dropCancelled(quint64 cancelBelow)
    {
        std::erase_if(m_probes, [&](const std::unique_ptr<Probe> &probe) {
            return probe->round->generation < cancelBelow;
        });
        m_rounds.remove_if([&](const Round &round) { return round.generation < cancelBelow; });
    }

    void addRound(Request request)
    {
        const bool running = std::any_of(m_rounds.begin(), m_rounds.end(), [&](const Round &round) {
            return round.target.key == request.target.key;
        });
        if (running)
            return;
        Round &round = m_rounds.emplace_back();
        round.target = std::move(request.target);
        round.generation = request.generation;
        round.samplesMs.reserve(m_settings.probesPerRound);
        round.nextDue = Clock::now();
        // A host name is looked up here, on this thread; one that does not resolve loses the round.
        if (round.target.port != 0)
            round.address =
                platform::resolveSocketAddress(round.target.host.toStdString(), round.target.port);
        if (!round.address) {
            for (int i = 0; i < m_settings.probesPerRound; ++i)
                round.samplesMs.append(-1);
            round.sent = m_settings.probesPerRound;
        }
    }

    void expireProbes(Clock::time_point now)
    {
        std::erase_if(m_probes, [&](const std::unique_ptr<Probe> &probe) {
            if (probe->deadline > now)
                return false;
            record(*probe, -1);
            return true;
        });
    }

    void startDueProbes()
    {
        while (static_cast<int>(m_probes.size()) < m_settings.maxInFlight) {
            Round *next = nullptr;
            const Clock::time_point now = Clock::now();
            for (Round &round : m_rounds) {
                if (round.sent < m_settings.probesPerRound && round.nextDue <= now &&
                    (!next || round.nextDue < next->nextDue))
                    next = &round;
            }
            if (!next)
                return;
            auto probe = std::make_unique<Probe>();
            probe->round = next;
            probe->index = next->samplesMs.size();
            next->samplesMs.append(-1);
            ++next->sent;
            ++next->outstanding;
            probe->started = Clock::now();
            probe->deadline = probe->started + std::chrono::milliseconds(m_settings.timeoutMs);
            next->nextDue = probe->started + std::chrono::milliseconds(m_settings.intervalMs);
            const platform::HandshakeState state = probe->handshake.begin(*next->address);
            if (state == platform::HandshakeState::Pending)
                m_probes.push_back(std::move(probe));
            else
                record(*probe, state == platform::HandshakeState::Answered
                                   ? millisecondsBetween(probe->started, Clock::now())
                                   : -1);
        }
    }

    void collectAnswers(Clock::time_point now)
    {
        std::erase_if(m_probes, [&](const std::unique_ptr<Probe> &probe) {
            const platform::HandshakeState state = probe->handshake.state();
            if (state == platform::HandshakeState::Pending)
                return false;
            // An answer noticed only after the time-out counts as the time-out.
            const bool answered = state == platform::HandshakeState::Answered && now <= probe->deadline;
            record(*probe, answered ? millisecondsBetween(probe->started, now) : -1);
            return true;
        });
    }

    static void record(Probe &probe, double sampleMs)
    {
        probe.round->samplesMs[probe.index] = sampleMs;
        --probe.round->outstanding;
    }

    void finishRounds()
    {
        m_rounds.remove_if([&](Round &round) {
            if (round.sent < m_settings.probesPerRound || round.outstanding > 0)
                return false;
            ProbeRound result;
            result.key = round.target.key;
            result.samplesMs = std::move(round.samplesMs);
            summarizeProbeRound(result);
            deliver(std::move(result), round.generation);
            return true;
        });
    }

    void deliver(ProbeRound result, quint64 roundGeneration)
    {
        LatencyProber *owner = m_owner;
        QMetaObject::invokeMethod(
            owner,
            [owner, result = std::move(result), roundGeneration] {
                if (owner->m_worker && owner->m_worker->generation == roundGeneration)
                    emit owner->roundFinished(result);
            },
            Qt::QueuedConnection);
    }

    std::vector<platform::TcpHandshake *> pendingHandshakes() const
    {
        std::vector<platform::TcpHandshake *> handshakes;
        handshakes.reserve(m_probes.size());
        for (const std::unique_ptr<Probe> &probe : m_probes)
            handshakes.push_back(&probe->handshake);
        return handshakes;
    }

    // Until the nearest time-out, or the next probe due when a slot is free; -1 when nothing is waiting.
    int waitMs() const
    {
        std::optional<Clock::time_point> wakeAt;
        const auto consider = [&](Clock::time_point at) {
            if (!wakeAt || at < *wakeAt)
                wakeAt = at;
        };
        for (const std::unique_ptr<Probe> &probe : m_probes)
            consider(probe->deadline);
        if (static_cast<int>(m_probes.size()) < m_settings.maxInFlight) {
            for (const Round &round : m_rounds) {
                if (round.sent < m_settings.probesPerRound)
                    consider(round.nextDue);
            }
        }
        if (!wakeAt)
            return -1;
        const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(*wakeAt - Clock::now());
        return static_cast<int>(std::max<std::chrono::milliseconds::rep>(remaining.count(), 0));
    }

    LatencyProber *const m_owner;
    const ProbeSettings m_settings;

    QMutex m_mutex;
    std::vector<Request> m_inbox;
    quint64 m_cancelBelow = 0;
    bool m_stop = false;

    platform::HandshakeWaiter m_waiter;
    std::list<Round> m_rounds;
    std::vector<std::unique_ptr<Probe>> m_probes;
    std::unique_ptr<QThread> m_thread; // started once everything above exists
};

LatencyProber::LatencyProber(QObject *parent)
    : LatencyProber(ProbeSettings{}, parent)
{}

LatencyProber::LatencyProber(ProbeSettings settings, QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<nimbra::accel::ProbeRound>();
    m_worker = std::make_unique<Worker>(this, settings);
}

LatencyProber::~LatencyProber() = default;

void LatencyProber::measure(const QList<ProbeTarget> &targets)
{
    if (!targets.isEmpty())
        m_worker->measure(targets);
}

void LatencyProber::cancelAll()
{
    m_worker->cancelAll();
}

} // namespace nimbra::accel
