#pragma once
// The benchmarks' sample store: one sample a minute with a daily swing, a gap
// now and then, alarms and new sensors.
#include "model/sample_store.h"
#include <cmath>

inline void fillBenchStore(SampleStore& store, int n) {
    const double start = 45000;
    for (int i = 0; i < n; ++i) {
        const double t = start + i / 1440.0;
        store.SampleTimes.push_back(t);
        const bool gap = i % 9973 == 500;
        store.TempData.push_back(gap ? kNoReading
                                     : float(20 + 8 * std::sin(i / 229.0) + (i % 7) * 0.1));
        store.RHData.push_back(gap ? kNoReading : float(50 + 20 * std::cos(i / 311.0)));
        if (i % 5000 == 10)
            store.AlarmStarts[0].push_back(t - 1e-5);
        if (i % 5000 == 900)
            store.AlarmEnds[0].push_back(t - 1e-5);
        if (i % 20000 == 30)
            store.NewSensorEvents.push_back(t - 1e-5);
    }
}
