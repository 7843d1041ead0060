#pragma once

#include "accel/latencyprober.h"

// A round's figures from its samples, kept apart from the prober's thread and sockets so the arithmetic
// can be checked on its own.
namespace nimbra::accel {

// Fills medianMs, jitterMs and loss from round.samplesMs (negative samples are lost probes): the median
// of the answered samples (the mean of the middle two for an even count), the mean absolute difference
// of consecutive answered samples, and the share of samples lost. No samples count as all lost.
void summarizeProbeRound(ProbeRound &round);

} // namespace nimbra::accel
