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
        if (state.upload == 0 && state.download == 0) {
            state.haveSample = false;
            return false;
        }
        state.upload = 0;
        state.download = 0;
        return true;
    }
    const bool usable = intervalMs && state.haveSample && *intervalMs >= 1 &&
                        totals->sent >= state.previousSent && totals->received >= state.previousReceived;
    if (!usable) {
        // First reading, a clock glitch, or a counter that wrapped or vanished: a new baseline only.
        state.previousSent = totals->sent;
        state.previousReceived = totals->received;
        state.haveSample = true;
        return false;
    }
    const double seconds = static_cast<double>(*intervalMs) / 1000.0;
    const double uploadSample = static_cast<double>(totals->sent - state.previousSent) / seconds;
    const double downloadSample = static_cast<double>(totals->received - state.previousReceived) / seconds;
    state.previousSent = totals->sent;
    state.previousReceived = totals->received;
    state.upload = kNewWeight * uploadSample + kOldWeight * state.upload;
    state.download = kNewWeight * downloadSample + kOldWeight * state.download;
    return true;
}

} // namespace nimbra::accel
