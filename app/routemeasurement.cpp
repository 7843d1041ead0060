#include "app/routemeasurement.h"
#include "app/routelistmodel.h"

#include <chrono>
#include <cmath>

using namespace sessionrules;

RouteMeasurement::RouteMeasurement(RouteListModel &routes, QObject *parent)
    : QObject(parent)
    , m_routes(routes)
    , m_clock([] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    })
{}

RouteMeasurement::~RouteMeasurement() = default;

void RouteMeasurement::setProber(nimbra::accel::LatencyProber *prober)
{
    disconnect(m_proberConnection);
    m_prober = prober;
    if (m_prober)
        m_proberConnection =
            connect(m_prober, &nimbra::accel::LatencyProber::roundFinished, this, &RouteMeasurement::onRound);
}

nimbra::accel::LatencyProber *RouteMeasurement::prober()
{
    if (!m_prober) {
        m_ownProber = std::make_unique<nimbra::accel::LatencyProber>();
        setProber(m_ownProber.get());
    }
    return m_prober;
}

QSet<QString> RouteMeasurement::measure(const QVariantList &routes, const QString &selectedKey)
{
    QList<nimbra::accel::ProbeTarget> targets;
    QSet<QString> keys;
    for (const QVariant &value : routes) {
        const QVariantMap route = plain(value).toMap();
        const QString key = nodeStableKey(route);
        if (key.isEmpty() || routeFull(route))
            continue;
        const ProbeAddress address = probeAddress(route);
        if (address.udpOnly) {
            m_routes.setFigure(key, {QStringLiteral("UDP 节点"), QString(), false});
            continue;
        }
        if (address.host.isEmpty() || address.port == 0) {
            if (!m_rounds.contains(key))
                m_routes.setFigure(key, {});
            continue;
        }
        // The selected route is the one the core carries (or will): its figure comes first.
        targets.append({key, address.host, address.port, key == selectedKey});
        keys.insert(key);
        // A figure already shown stays until the new one arrives.
        if (!m_rounds.contains(key))
            m_routes.setFigure(key, {QStringLiteral("测速中…"), QString(), true});
    }
    if (!targets.isEmpty())
        prober()->measure(targets);
    return keys;
}

void RouteMeasurement::select(const QString &key)
{
    if (key != m_selectedKey) {
        m_selectedKey = key;
        m_samples.clear();
        m_history.clear();
    }
    updateFigures();
}

void RouteMeasurement::setRecording(bool recording)
{
    m_recording = recording;
    m_history.clear();
}

void RouteMeasurement::cancel()
{
    if (m_prober)
        m_prober->cancelAll();
    m_routes.endMeasuring();
}

void RouteMeasurement::forget()
{
    cancel();
    m_rounds.clear();
    m_routes.clearFigures();
    updateFigures();
}

void RouteMeasurement::onRound(const nimbra::accel::ProbeRound &round)
{
    if (!m_routes.lists(round.key))
        return;
    m_rounds.insert(round.key, round);
    m_routes.setFigure(round.key,
                       {round.answered() ? sessionrules::latencyText(round.medianMs) : QStringLiteral("超时"),
                        round.loss > 0 && round.answered()
                            ? QStringLiteral("丢包 %1%").arg(std::lround(round.loss * 100))
                            : QString(),
                        false});
    if (round.key == m_selectedKey) {
        const qint64 now = m_clock();
        for (double ms : round.samplesMs)
            m_samples.append({now, ms});
        // Enough for both the loss of the last 30 probes and the move rule's last 30 s.
        while (m_samples.size() > kLossWindowProbes && now - m_samples.constFirst().atMs > kMoveWindowMs)
            m_samples.removeFirst();
        if (m_recording)
            m_history.append(now, round.medianMs, round.loss);
    }
    updateFigures();
    emit roundMeasured(round);
}

void RouteMeasurement::updateFigures()
{
    const auto round = m_rounds.constFind(m_selectedKey);
    const bool measured = round != m_rounds.cend();
    const int latency =
        measured && round->answered() ? std::max(1, static_cast<int>(std::lround(round->medianMs))) : -1;
    const QString text =
        measured && !round->answered() ? QStringLiteral("超时") : sessionrules::latencyText(latency);
    if (latency != m_displayedLatency || text != m_latencyText) {
        m_displayedLatency = latency;
        m_latencyText = text;
        emit latencyChanged();
    }
    QList<double> samples;
    samples.reserve(m_samples.size());
    for (const Sample &sample : std::as_const(m_samples))
        samples.append(sample.ms);
    const QString loss = sessionrules::lossText(recentLoss(samples));
    if (loss != m_lossText) {
        m_lossText = loss;
        emit lossChanged();
    }
}

QList<sessionrules::Measured> RouteMeasurement::measured(const QVariantList &routes) const
{
    QList<Measured> list;
    list.reserve(routes.size());
    for (const QVariant &value : routes) {
        const QVariantMap route = plain(value).toMap();
        Measured figures;
        figures.full = routeFull(route);
        const auto round = m_rounds.constFind(nodeStableKey(route));
        if (round != m_rounds.cend()) {
            figures.medianMs = round->medianMs;
            figures.jitterMs = round->jitterMs;
            figures.loss = round->loss;
        }
        list.append(figures);
    }
    return list;
}

double RouteMeasurement::windowLoss() const
{
    const qint64 now = m_clock();
    int lost = 0;
    int count = 0;
    for (const Sample &sample : m_samples) {
        if (now - sample.atMs > kMoveWindowMs)
            continue;
        ++count;
        lost += sample.ms < 0 ? 1 : 0;
    }
    return count > 0 ? static_cast<double>(lost) / count : 0;
}
