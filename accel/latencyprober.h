#pragma once

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <memory>

// Round trips to the service's nodes, measured as TCP handshake times: no ICMP, so neither system
// needs a privilege for it. Only the addresses a caller passes in are ever contacted.
namespace nimbra::accel {

struct ProbeTarget
{
    QString key;      // the caller's name for the node (a route's id), echoed in the result
    QString host;     // a numeric address or a host name, as the service gave it
    quint16 port = 0; // the node's TCP port
    // Measured before every other round and within slots kept free for it (the selected route, the
    // one carrying the game): a long queue of silent nodes never delays its figure.
    bool urgent = false;
};

// One round of probes against one target.
struct ProbeRound
{
    QString key;
    QList<double> samplesMs; // one per probe in the order sent; a negative value is a lost probe
    double medianMs = -1;    // of the answered probes; negative when none answered
    double jitterMs = 0;     // mean absolute difference of consecutive answered samples
    double loss = 0;         // share of the round's probes that failed or timed out, 0..1

    bool answered() const { return medianMs >= 0; }
};

struct ProbeSettings
{
    int probesPerRound = 5;
    int intervalMs = 200; // between a round's probes
    int timeoutMs = 1000; // one probe's limit; a refusal counts as lost at once
    int maxInFlight = 32; // handshakes open at one time, over all rounds; a quarter kept for urgent ones
    int resolveTimeoutMs = 2000; // a host name not resolved by then loses the round (the lookup goes on)
};

// Runs the probes on a thread of its own; results come back as queued signals on the owner's thread.
class LatencyProber : public QObject
{
    Q_OBJECT

public:
    explicit LatencyProber(QObject *parent = nullptr);
    explicit LatencyProber(ProbeSettings settings, QObject *parent = nullptr);
    // Stops the thread and closes every socket still open.
    ~LatencyProber() override;

    // Starts one round per target. A target whose key already has a round running is left to it (made
    // urgent when this request is). Host names are looked up off the probing thread, and each answer is
    // kept for a while, so a name no server answers never holds up other rounds or the destructor.
    void measure(const QList<ProbeTarget> &targets);
    // Drops every round not yet finished: their results never arrive.
    void cancelAll();

signals:
    void roundFinished(const nimbra::accel::ProbeRound &round);

private:
    class Worker;
    std::unique_ptr<Worker> m_worker;
};

} // namespace nimbra::accel

Q_DECLARE_METATYPE(nimbra::accel::ProbeRound)
