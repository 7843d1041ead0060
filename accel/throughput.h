#pragma once

#include <QtGlobal>

#include <optional>

// Upload and download rates from the machine's interface byte counters, smoothed over one-second
// samples. Kept apart from the timer and the OS query so the arithmetic can be checked on its own.
namespace nimbra::accel {

struct ByteCounters
{
    quint64 sent = 0;
    quint64 received = 0;
};

struct ThroughputState
{
    bool haveSample = false;
    quint64 previousSent = 0;
    quint64 previousReceived = 0;
    double upload = 0;   // bytes per second
    double download = 0; // bytes per second
};

// Applies one poll. `totals` is empty when the counters could not be read; `intervalMs` is empty for
// the very first reading (the caller's clock was not running yet). Returns whether the rates changed
// and should be announced.
bool applyThroughputSample(ThroughputState &state, const std::optional<ByteCounters> &totals,
                           std::optional<qint64> intervalMs);

} // namespace nimbra::accel
