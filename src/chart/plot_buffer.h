#pragma once
// Redrawing the chart from the sample store.
#include "platform/clock.h"
#include <optional>

struct SampleStore;
class Chart;

struct PlotOptions {
    bool TempInF = true; // temperatures in Fahrenheit
    bool RHBV = false;   // the samples carry RH values
};

// Replaces the points of `Series1` (temperature) and `Series2` (RH and the
// event labels) with the store's samples. Returns the time of the last sample
// plotted, the store's CurrentTime after the run; nothing when the store holds
// no sample, in which case the chart keeps what it shows. The series read the
// store's lists from then on, until they are cleared or redrawn: the store
// must outlive that, and is emptied only after the series are cleared.
std::optional<platform::DateTime> PlotBuffer(const SampleStore& store, const PlotOptions& options,
                                             Chart& chart);
