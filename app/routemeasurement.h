// The measurement of the current game's routes: rounds from the prober, each route's figure in the
// route list, and the selected route's probes with the loss and the latency history they make.
#pragma once

#include "accel/latencyprober.h"
#include "app/latencyhistorymodel.h"
#include "app/sessionrules.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantList>

#include <functional>
#include <memory>

class RouteListModel;

class RouteMeasurement : public QObject
{
    Q_OBJECT
    // The selected route's measured latency in ms, -1 until measured; as text, "—" until then.
    Q_PROPERTY(int displayedLatency READ displayedLatency NOTIFY latencyChanged)
    Q_PROPERTY(QString latencyText READ latencyText NOTIFY latencyChanged)
    // Loss over the selected route's last 30 probes, "—" before the first.
    Q_PROPERTY(QString lossText READ lossText NOTIFY lossChanged)
    // The selected route's rounds of the last 60 s while recording (boosting), oldest first.
    Q_PROPERTY(LatencyHistoryModel *history READ history CONSTANT)

public:
    explicit RouteMeasurement(RouteListModel &routes, QObject *parent = nullptr);
    ~RouteMeasurement() override;

    int displayedLatency() const { return m_displayedLatency; }
    QString latencyText() const { return m_latencyText; }
    QString lossText() const { return m_lossText; }
    LatencyHistoryModel *history() { return &m_history; }

    // The prober the rounds come from (not owned); by default one of its own, made on first use.
    void setProber(nimbra::accel::LatencyProber *prober);
    // Milliseconds of a steady clock.
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }

    // One round for each listed route that can be probed, the selected one first; the keys sent.
    QSet<QString> measure(const QVariantList &routes, const QString &selectedKey);
    // The route in use: its probes and chart start anew when it is another one.
    void select(const QString &key);
    // Whether the selected route's rounds go into the history (while boosting); either way it starts
    // empty.
    void setRecording(bool recording);
    // Rounds in flight are dropped; a figure being measured reads "—" again.
    void cancel();
    // Rounds and figures forgotten (another list, a sign-out).
    void forget();

    bool hasRound(const QString &key) const { return m_rounds.contains(key); }
    nimbra::accel::ProbeRound round(const QString &key) const { return m_rounds.value(key); }
    // The routes' last rounds as the choice reads them, in the routes' order.
    QList<sessionrules::Measured> measured(const QVariantList &routes) const;
    // Share of the selected route's probes of the move window that were lost (0 when none).
    double windowLoss() const;
    qint64 now() const { return m_clock(); }

signals:
    void latencyChanged();
    void lossChanged();
    // A listed route's round is in and its figures are shown.
    void roundMeasured(const nimbra::accel::ProbeRound &round);

private:
    nimbra::accel::LatencyProber *prober();
    void onRound(const nimbra::accel::ProbeRound &round);
    void updateFigures();

    struct Sample
    {
        qint64 atMs;
        double ms;
    };

    RouteListModel &m_routes;
    std::function<qint64()> m_clock;
    nimbra::accel::LatencyProber *m_prober = nullptr;
    std::unique_ptr<nimbra::accel::LatencyProber> m_ownProber;
    QMetaObject::Connection m_proberConnection;
    // The last round of each route by stable key; the selected route's probes (for the loss and the
    // move rule), kept while they are recent.
    QHash<QString, nimbra::accel::ProbeRound> m_rounds;
    QString m_selectedKey;
    QList<Sample> m_samples;
    bool m_recording = false;
    LatencyHistoryModel m_history;
    int m_displayedLatency = -1;
    QString m_latencyText = sessionrules::latencyText(-1);
    QString m_lossText = sessionrules::lossText(-1);
};
