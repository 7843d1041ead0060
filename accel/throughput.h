#pragma once

#include <QtGlobal>

#include <optional>

// Upload and download rates of the core's TUN interface, smoothed over one-second samples, and the
// bytes it carried in all. Kept apart from the timer and the OS query so the arithmetic can be checked
// on its own.
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
    // Every byte the tunnels carried, across cores started anew: each new TUN counts from zero.
    quint64 sentTotal = 0;
    quint64 receivedTotal = 0;
};

// Applies one poll. `totals` is empty when the interface is not there (no core runs) or could not be
// read; `intervalMs` is empty for the very first reading (the caller's clock was not running yet). The
// first reading of an interface is all new bytes, as is one below the last (the core made its TUN
// anew). Returns whether the figures changed and should be announced.
bool applyThroughputSample(ThroughputState &state, const std::optional<ByteCounters> &totals,
                           std::optional<qint64> intervalMs);

} // namespace nimbra::accel
