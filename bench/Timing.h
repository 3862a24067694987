#pragma once
// Times and their middle, as every benchmark reports them.
#include <QElapsedTimer>

#include <algorithm>
#include <functional>
#include <vector>

namespace kordane::bench {

// Milliseconds.
inline double timed(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace kordane::bench
