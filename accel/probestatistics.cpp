#include "probestatistics.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace nimbra::accel {

void summarizeProbeRound(ProbeRound &round)
{
    std::vector<double> answered;
    answered.reserve(static_cast<std::size_t>(round.samplesMs.size()));
    for (double sample : round.samplesMs) {
        if (sample >= 0)
            answered.push_back(sample);
    }
    const auto sent = static_cast<double>(round.samplesMs.size());
    round.loss = sent > 0 ? 1.0 - static_cast<double>(answered.size()) / sent : 1.0;

    round.jitterMs = 0;
    for (std::size_t i = 1; i < answered.size(); ++i)
        round.jitterMs += std::abs(answered[i] - answered[i - 1]);
    if (answered.size() > 1)
        round.jitterMs /= static_cast<double>(answered.size() - 1);

    if (answered.empty()) {
        round.medianMs = -1;
        return;
    }
    std::sort(answered.begin(), answered.end());
    const std::size_t middle = answered.size() / 2;
    round.medianMs = answered.size() % 2 ? answered[middle] : (answered[middle - 1] + answered[middle]) / 2;
}

} // namespace nimbra::accel
