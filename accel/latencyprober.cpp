#include "latencyprober.h"

#include "accel/probestatistics.h"
#include "platform/tcpprobe.h"

#include <QMetaObject>
#include <QMutex>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace nimbra::accel {

namespace {

using Clock = std::chrono::steady_clock;

// select() on Windows takes at most 64 sockets, one of them the wake-up channel.
constexpr int kMaxInFlightLimit = 60;
// How long a lookup's answer is used: the system's resolver tells no lifetime, so a resolved name is
// looked up again after a few minutes, one that did not resolve after half a minute.
constexpr auto kResolvedLifetime = std::chrono::minutes(5);
constexpr auto kFailedLifetime = std::chrono::seconds(30);
constexpr int kLookupThreads = 4;
constexpr std::size_t kMaxCachedNames = 1024;

ProbeSettings sanitized(ProbeSettings settings)
{
    settings.probesPerRound = std::max(settings.probesPerRound, 1);
    settings.intervalMs = std::max(settings.intervalMs, 0);
    settings.timeoutMs = std::max(settings.timeoutMs, 1);
    settings.maxInFlight = std::clamp(settings.maxInFlight, 1, kMaxInFlightLimit);
    settings.resolveTimeoutMs = std::max(settings.resolveTimeoutMs, 1);
    return settings;
}

double millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Host names looked up on threads of their own: the system's resolver blocks (10 s and more for a name
// no server answers) and cannot be interrupted, so neither the probes nor the prober's end wait for it.
// The lookup threads are detached and share only `State`; once the owner is gone they finish the name
// in hand and end, and nothing they learn is used.
class NameLookups
{
public:
    enum class Status
    {
        Pending,
        Resolved,
        Failed
    };

    explicit NameLookups(std::function<void()> onAnswer)
        : m_state(std::make_shared<State>())
    {
        m_state->onAnswer = std::move(onAnswer);
    }

    ~NameLookups()
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->stopped = true;
        m_state->queue.clear();
        m_state->onAnswer = nullptr;
    }

    NameLookups(const NameLookups &) = delete;
    NameLookups &operator=(const NameLookups &) = delete;

    // The cached answer for the name, or Pending while a lookup (begun now if none is) runs.
    Status find(const std::string &host, std::uint16_t port, Clock::time_point now,
                platform::SocketAddress &address)
    {
        const Key key{host, port};
        const std::lock_guard lock(m_state->mutex);
        const auto found = m_state->entries.find(key);
        if (found != m_state->entries.end() &&
            (found->second.status == Status::Pending || found->second.expires > now)) {
            address = found->second.address;
            return found->second.status;
        }
        if (m_state->entries.size() >= kMaxCachedNames)
            std::erase_if(m_state->entries, [now](const auto &entry) {
                return entry.second.status != Status::Pending && entry.second.expires <= now;
            });
        m_state->entries[key] = Entry{};
        m_state->queue.push_back(key);
        if (m_state->threads < kLookupThreads) {
            try {
                std::thread(serve, m_state).detach();
                ++m_state->threads;
            } catch (const std::system_error &) {
                // No thread to be had: the names waiting are looked up by a running one, if any.
                if (m_state->threads == 0) {
                    for (const Key &waiting : m_state->queue)
                        m_state->entries[waiting] = Entry{Status::Failed, {}, now + kFailedLifetime};
                    m_state->queue.clear();
                    return Status::Failed;
                }
            }
        }
        return Status::Pending;
    }

private:
    using Key = std::pair<std::string, std::uint16_t>;
    struct Entry
    {
        Status status = Status::Pending;
        platform::SocketAddress address;
        Clock::time_point expires;
    };
    struct State
    {
        std::mutex mutex;
        std::map<Key, Entry> entries;
        std::vector<Key> queue;
        int threads = 0;
        bool stopped = false;
        std::function<void()> onAnswer;
    };

    static void serve(const std::shared_ptr<State> state)
    {
        std::unique_lock lock(state->mutex);
        while (!state->stopped && !state->queue.empty()) {
            const Key key = state->queue.front();
            state->queue.erase(state->queue.begin());
            lock.unlock();
            const std::optional<platform::SocketAddress> address =
                platform::resolveSocketAddress(key.first, key.second);
            lock.lock();
            if (state->stopped)
                break;
            Entry &entry = state->entries[key];
            entry.status = address ? Status::Resolved : Status::Failed;
            entry.address = address.value_or(platform::SocketAddress{});
            entry.expires =
                Clock::now() + (address ? std::chrono::duration_cast<Clock::duration>(kResolvedLifetime)
                                        : std::chrono::duration_cast<Clock::duration>(kFailedLifetime));
            // Under the lock: the owner's destructor cannot pass while the wake-up is being sent.
            if (state->onAnswer)
                state->onAnswer();
        }
        --state->threads;
    }

    std::shared_ptr<State> m_state;
};

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
        quint64 sequence = 0; // order of arrival: ordinary rounds are served first come, first served
        std::optional<platform::SocketAddress> address;
        bool resolving = false; // a host name whose lookup has not answered yet
        Clock::time_point resolveBy;
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
            resolveNames(Clock::now());
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
        const auto running = std::find_if(m_rounds.begin(), m_rounds.end(), [&](const Round &round) {
            return round.target.key == request.target.key;
        });
        if (running != m_rounds.end()) {
            running->target.urgent = running->target.urgent || request.target.urgent;
            return;
        }
        Round &round = m_rounds.emplace_back();
        round.target = std::move(request.target);
        round.generation = request.generation;
        round.sequence = m_nextSequence++;
        round.samplesMs.reserve(m_settings.probesPerRound);
        round.nextDue = Clock::now();
        if (round.target.port != 0)
            round.address =
                platform::numericSocketAddress(round.target.host.toStdString(), round.target.port);
        if (!round.address && round.target.port != 0 && !round.target.host.isEmpty()) {
            round.resolving = true;
            round.resolveBy = round.nextDue + std::chrono::milliseconds(m_settings.resolveTimeoutMs);
        } else if (!round.address) {
            lose(round);
        }
    }

    // Names answered by the lookups are probed; one that failed, or is not answered in time, loses its
    // round (its lookup goes on, and its answer serves the next round).
    void resolveNames(Clock::time_point now)
    {
        for (Round &round : m_rounds) {
            if (!round.resolving)
                continue;
            platform::SocketAddress address;
            const NameLookups::Status status =
                m_lookups.find(round.target.host.toStdString(), round.target.port, now, address);
            if (status == NameLookups::Status::Resolved) {
                round.resolving = false;
                round.address = address;
                round.nextDue = now;
            } else if (status == NameLookups::Status::Failed || now >= round.resolveBy) {
                lose(round);
            }
        }
    }

    void lose(Round &round)
    {
        round.resolving = false;
        while (round.samplesMs.size() < m_settings.probesPerRound)
            round.samplesMs.append(-1);
        round.sent = m_settings.probesPerRound;
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

    // Handshakes ordinary rounds may hold: the rest stay free for urgent ones, which then never wait
    // behind a queue of silent nodes.
    int ordinarySlots() const { return m_settings.maxInFlight - m_settings.maxInFlight / 4; }

    int ordinaryInFlight() const
    {
        return static_cast<int>(
            std::count_if(m_probes.begin(), m_probes.end(),
                          [](const std::unique_ptr<Probe> &probe) { return !probe->round->target.urgent; }));
    }

    bool waitingToSend(const Round &round) const
    {
        return !round.resolving && round.sent < m_settings.probesPerRound;
    }

    // Urgent rounds by their next probe's time; then ordinary ones of nodes that answered last time
    // (or were never measured), then those of silent nodes, each first come, first served, so that a
    // round once begun is finished before the later ones.
    Round *nextRound(Clock::time_point now, bool ordinaryAllowed)
    {
        Round *next = nullptr;
        const auto rank = [this](const Round &round) {
            return std::make_tuple(!round.target.urgent, m_silent.contains(round.target.key),
                                   round.target.urgent ? 0 : round.sequence);
        };
        for (Round &round : m_rounds) {
            if (!waitingToSend(round) || round.nextDue > now || (!round.target.urgent && !ordinaryAllowed))
                continue;
            if (!next || rank(round) < rank(*next) ||
                (rank(round) == rank(*next) && round.nextDue < next->nextDue))
                next = &round;
        }
        return next;
    }

    void startDueProbes()
    {
        int ordinary = ordinaryInFlight();
        while (static_cast<int>(m_probes.size()) < m_settings.maxInFlight) {
            Round *next = nextRound(Clock::now(), ordinary < ordinarySlots());
            if (!next)
                return;
            ordinary += next->target.urgent ? 0 : 1;
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
            if (m_silent.size() > kMaxCachedNames)
                m_silent.clear();
            if (result.answered())
                m_silent.erase(result.key);
            else
                m_silent.insert(result.key);
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
        const bool ordinaryAllowed = ordinaryInFlight() < ordinarySlots();
        for (const Round &round : m_rounds) {
            if (round.resolving)
                consider(round.resolveBy);
            else if (waitingToSend(round) && static_cast<int>(m_probes.size()) < m_settings.maxInFlight &&
                     (round.target.urgent || ordinaryAllowed))
                consider(round.nextDue);
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
    // After the waiter, so that its answers' wake-ups stop before the waiter goes.
    NameLookups m_lookups{[this] {
        m_waiter.wake();
    }};
    std::list<Round> m_rounds;
    std::vector<std::unique_ptr<Probe>> m_probes;
    quint64 m_nextSequence = 0;
    // Keys whose last round nobody answered: their next rounds come after the others'.
    std::set<QString> m_silent;
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
