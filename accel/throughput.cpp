#include "accel/throughput.h"

namespace nimbra::accel {

namespace {

constexpr double kNewWeight = 0.65;
constexpr double kOldWeight = 0.35;

} // namespace

bool applyThroughputSample(ThroughputState &state, const std::optional<ByteCounters> &totals,
                           std::optional<qint64> intervalMs)
{
    if (!totals) {
        const bool changed = state.upload != 0 || state.download != 0;
        state.haveSample = false;
        state.upload = 0;
        state.download = 0;
        return changed;
    }
    const bool continued =
        state.haveSample && totals->sent >= state.previousSent && totals->received >= state.previousReceived;
    const quint64 sent = continued ? totals->sent - state.previousSent : totals->sent;
    const quint64 received = continued ? totals->received - state.previousReceived : totals->received;
    state.previousSent = totals->sent;
    state.previousReceived = totals->received;
    state.haveSample = true;
    state.sentTotal += sent;
    state.receivedTotal += received;
    if (!continued || !intervalMs || *intervalMs < 1) {
        // A first reading or a clock glitch: the bytes count, a rate needs the next interval.
        return sent != 0 || received != 0;
    }
    const double seconds = static_cast<double>(*intervalMs) / 1000.0;
    state.upload = kNewWeight * (static_cast<double>(sent) / seconds) + kOldWeight * state.upload;
    state.download = kNewWeight * (static_cast<double>(received) / seconds) + kOldWeight * state.download;
    return true;
}

} // namespace nimbra::accel
