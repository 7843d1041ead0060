#pragma once

#include <algorithm>
#include <vector>

// The median of a series; -1 for an empty one, which no measured duration or size can be.
inline double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}
