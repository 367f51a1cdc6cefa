#pragma once
// Clocks and the taking of the best batch, shared by the benchmarks.

#include <windows.h>

#include <algorithm>
#include <chrono>

namespace bench {

using clock_type = std::chrono::steady_clock;

inline double micros_per(clock_type::duration elapsed, int count) {
    return std::chrono::duration<double, std::micro>(elapsed).count() / count;
}

// Nanoseconds from the performance counter, for calls too short for the
// steady clock's resolution under Wine.
inline double now_ns() {
    static const double scale = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return 1e9 / static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * scale;
}

// The fastest of a few batches: the machine is shared, and other work only
// ever makes a batch slower.
template <typename Measure> double best_of(Measure measure) {
    double best = measure();
    for (int i = 0; i < 4; ++i) best = std::min(best, measure());
    return best;
}

} // namespace bench
