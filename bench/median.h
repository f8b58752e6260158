#ifndef MEDIAN_H
#define MEDIAN_H

#include <algorithm>
#include <vector>

// The median of a series of timings; 0 for an empty one.
inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

#endif // MEDIAN_H
