#include "report/statistics.h"
#include "decode/sample_words.h"
#include "model/sample_store.h"
#include "platform/formatting.h"
#include <QJsonArray>
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

namespace report {
namespace {

using platform::DateTime;

constexpr double kZeroCelsiusInKelvin = 273.15;
constexpr float kInfinity = std::numeric_limits<float>::infinity();

// The chart's rule, and a guard against values that no arithmetic survives.
// (NaN fails both comparisons.)
bool isReading(float value) {
    return value < kNoReadingThreshold && value > -kInfinity;
}

// The unit that temperatures are shown in, as a scale and an offset from °C
// (1 and 0 give °C exactly).
struct DisplayUnit {
    double scale = 1, offset = 0;
    double of(double celsius) const { return celsius * scale + offset; }
};

DisplayUnit displayUnit(bool fahrenheit) {
    return fahrenheit ? DisplayUnit{.scale = 1.8, .offset = 32} : DisplayUnit{};
}

// The samples are summed in blocks of this many; the runs are counted in
// words of one bit per sample.
constexpr size_t kBlock = 4096;
constexpr size_t kWord = 64;

struct IndexRange {
    size_t begin = 0, end = 0;
};

// The passes over a block take N samples at a time in the compiler's vector
// types (an extension of GCC and Clang), so that the processor computes them
// side by side: selections instead of branches, and partial sums per lane,
// added in a fixed order so that results repeat. A comparison gives a lane
// of all ones (true) or zeros. The small functions on them are always
// inlined: a call would pass the vectors through memory. (The compilers note
// that 32-byte vectors pass differently with AVX; these functions are this
// file's own, so no caller elsewhere sees their signature.)
#pragma GCC diagnostic ignored "-Wpsabi"
template <int N> struct Lanes {
    typedef float Floats __attribute__((vector_size(N * sizeof(float))));
    typedef double Doubles __attribute__((vector_size(N * sizeof(double))));
    typedef std::int32_t Ints __attribute__((vector_size(N * sizeof(std::int32_t))));
    typedef std::uint64_t Bits __attribute__((vector_size(N * sizeof(std::uint64_t))));
    typedef std::uint8_t Bytes __attribute__((vector_size(N)));
};

template <typename Floats> [[gnu::always_inline]] inline auto readingsOf(Floats v) {
    return (v < kNoReadingThreshold) & (v > -kInfinity);
}

template <typename Vector> [[gnu::always_inline]] inline auto laneSum(const Vector& v) {
    auto sum = v[0];
    for (size_t lane = 1; lane < sizeof v / sizeof v[0]; ++lane)
        sum += v[lane];
    return sum;
}

// Visits a span of at most one block N values at a time, with the offset of
// the first from the span's beginning. The last N may reach beyond the span:
// those lanes hold no reading.
template <int N, typename Visit>
[[gnu::always_inline]] inline void forEachLanes(const float* values, IndexRange span,
                                                Visit&& visit) {
    using Floats = typename Lanes<N>::Floats;
    Floats v;
    size_t i = span.begin;
    for (; i + N <= span.end; i += N) {
        std::memcpy(&v, values + i, sizeof v);
        visit(v, i - span.begin);
    }
    if (i < span.end) {
        v = Floats{} + kNoReading;
        std::memcpy(&v, values + i, (span.end - i) * sizeof(float));
        visit(v, i - span.begin);
    }
}

// e^x for x <= 0 in plain arithmetic on the vectors (std::exp is a call per
// value), as the C libraries compute it: x = (64n + j)·ln 2 / 64 + r with
// |r| <= ln 2 / 128, e^x = 2^n · 2^(j/64) · e^r, e^r by its Taylor series to
// the fifth power (truncated below 4e-17), 2^(j/64) from a table and 2^n
// written into the exponent's bits. Below -708 the result would leave the
// normal numbers; there it stays at e^-708, which no sum holding a 1 notices.
const std::array<double, 64> kPowersOfTwo = [] {
    std::array<double, 64> powers{};
    for (size_t j = 0; j < powers.size(); ++j)
        powers[j] = std::exp2(double(j) / double(powers.size()));
    return powers;
}();

template <typename Doubles, typename Bits>
[[gnu::always_inline]] inline Doubles expOfNonPositive(Doubles x) {
    constexpr double kScale = 64 * 1.4426950408889634;            // 64 / ln 2
    constexpr double kStepHigh = 6.93147180369123816490e-01 / 64; // k·kStepHigh is exact
    constexpr double kStepLow = 1.90821492927058770002e-10 / 64;
    constexpr double kRound = 0x1.8p52; // adding it rounds to an integer in the low bits
    x = x < -708.0 ? -708.0 : x;
    const Doubles shifted = x * kScale + kRound;
    const Doubles k = shifted - kRound;
    const Doubles r = (x - k * kStepHigh) - k * kStepLow;
    const Doubles p =
        1.0 + r * (1.0 + r * (1.0 / 2 + r * (1.0 / 6 + r * (1.0 / 24 + r * (1.0 / 120)))));
    // The low bits of `shifted` hold k = 64n + j; n + 1023 is the biased exponent of 2^n.
    const Bits bits = (Bits)shifted;
    Doubles table;
    for (size_t lane = 0; lane < sizeof table / sizeof table[0]; ++lane)
        table[lane] = kPowersOfTwo[bits[lane] & 63];
    return p * table * (Doubles)(((bits >> 6) + 1023) << 52);
}

// The readings of one quantity over a span of samples: their count; the
// sums for the mean and the spread, taken about a value that the whole
// computation shares so that large offsets lose no digits; the extremes (°C
// or %RH) with the span where the first of each lies.
struct Sums {
    long long count = 0;
    double sum = 0, squares = 0;
    float min = kInfinity, max = -kInfinity;
    IndexRange minIn{}, maxIn{};

    // Those of this span and then of the next.
    void append(const Sums& next) {
        count += next.count;
        sum += next.sum;
        squares += next.squares;
        if (next.min < min) {
            min = next.min;
            minIn = next.minIn;
        }
        if (next.max > max) {
            max = next.max;
            maxIn = next.maxIn;
        }
    }
};

// A span of at most one block.
template <int N>
[[gnu::always_inline]] inline Sums sumsOf(const float* values, IndexRange span, float shift) {
    using Floats = typename Lanes<N>::Floats;
    using Doubles = typename Lanes<N>::Doubles;
    using Ints = typename Lanes<N>::Ints;
    Ints count{};
    Doubles sum{}, squares{};
    Floats low = Floats{} + kInfinity, high = Floats{} - kInfinity;
    forEachLanes<N>(values, span, [&](Floats v, size_t) {
        const Ints reading = readingsOf(v);
        const Doubles d = __builtin_convertvector(reading ? v : shift, Doubles) - double(shift);
        count -= reading;
        sum += d;
        squares += d * d;
        low = (reading & (v < low)) ? v : low;
        high = (reading & (v > high)) ? v : high;
    });
    Sums s{.count = laneSum(count),
           .sum = laneSum(sum),
           .squares = laneSum(squares),
           .minIn = span,
           .maxIn = span};
    for (int lane = 0; lane < N; ++lane) {
        s.min = std::min(s.min, low[lane]);
        s.max = std::max(s.max, high[lane]);
    }
    return s;
}

size_t firstIndexOf(const std::vector<float>& values, IndexRange span, float value) {
    return size_t(std::find(values.begin() + span.begin, values.begin() + span.end, value) -
                  values.begin());
}

// The sum of exp(-ΔH/(R·T)) over readings, for the mean kinetic temperature,
// kept relative to the largest term, the warmest reading's, so that none
// underflows.
struct Kinetic {
    double largest = -std::numeric_limits<double>::infinity(); // its exponent
    double sum = 0;                                            // of exp(exponent - largest)

    void append(const Kinetic& next) {
        if (next.sum == 0)
            return;
        if (sum == 0) {
            *this = next;
            return;
        }
        const double top = std::max(largest, next.largest);
        sum = sum * std::exp(largest - top) + next.sum * std::exp(next.largest - top);
        largest = top;
    }
};

// A span of at most one block; `ratio` is ΔH/R in kelvin, `warmest` the
// span's warmest reading.
template <int N>
[[gnu::always_inline]] inline Kinetic kineticOf(const float* values, IndexRange span, float warmest,
                                                double ratio) {
    using Floats = typename Lanes<N>::Floats;
    using Doubles = typename Lanes<N>::Doubles;
    Kinetic k;
    if (!(warmest > -kInfinity))
        return k;
    k.largest = -ratio / (double(warmest) + kZeroCelsiusInKelvin);
    Doubles sum{};
    forEachLanes<N>(values, span, [&](Floats v, size_t) {
        const auto reading = readingsOf(v);
        const Doubles kelvin =
            __builtin_convertvector(reading ? v : warmest, Doubles) + kZeroCelsiusInKelvin;
        const Doubles term =
            expOfNonPositive<Doubles, typename Lanes<N>::Bits>(-ratio / kelvin - k.largest);
        // A missing reading's lane, computed like the others, counts nothing.
        sum += term * __builtin_convertvector(reading & 1, Doubles);
    });
    k.sum = laneSum(sum);
    return k;
}

// Maximal runs of consecutive samples that have a property, over a span:
// enough to join them with those of the next span.
struct Runs {
    long long length = 0;             // samples in the span
    long long total = 0;              // samples with the property
    long long count = 0;              // maximal runs of them
    long long prefix = 0, suffix = 0; // the runs that open and close the span
    long long longest = 0;

    void append(const Runs& next) {
        longest = std::max({longest, next.longest, suffix + next.prefix});
        count += next.count - (suffix > 0 && next.prefix > 0);
        prefix = prefix == length ? length + next.prefix : prefix;
        suffix = next.suffix == next.length ? suffix + next.length : next.suffix;
        total += next.total;
        length += next.length;
    }
    Excursions times(long long intervalSeconds) const {
        return {.seconds = total * intervalSeconds,
                .count = count,
                .longestSeconds = longest * intervalSeconds};
    }
};

// The runs of up to 64 samples, bit i for sample i (and none beyond them).
Runs wordRuns(std::uint64_t bits, int length) {
    Runs r{.length = length};
    if (bits == 0)
        return r;
    r.total = std::popcount(bits);
    r.count = std::popcount(bits & ~(bits << 1)); // the first sample of each run
    r.prefix = std::countr_one(bits);
    r.suffix = std::countl_one(bits << (64 - length));
    for (std::uint64_t rest = bits; rest != 0;) {
        rest >>= std::countr_zero(rest);
        const int run = std::countr_one(rest);
        r.longest = std::max<long long>(r.longest, run);
        rest = run < 64 ? rest >> run : 0;
    }
    return r;
}

// Floats in the order of their values, -∞ to +∞, as integers.
std::int32_t orderOf(float value) {
    const std::int32_t bits = std::bit_cast<std::int32_t>(value);
    return bits >= 0 ? bits : std::numeric_limits<std::int32_t>::min() - bits;
}

float floatOfOrder(std::int32_t order) {
    return std::bit_cast<float>(order >= 0 ? order
                                           : std::numeric_limits<std::int32_t>::min() - order);
}

// The least float whose value in the display unit is at or above the limit
// (above it, when `strictly`); +∞ when none is. Comparing a reading with it
// gives what comparing its value in the display unit with the limit gives,
// without computing that value for every reading.
float leastReaching(double limit, const DisplayUnit& unit, bool strictly) {
    const auto reaches = [&](std::int32_t order) {
        const double value = unit.of(floatOfOrder(order));
        return strictly ? value > limit : value >= limit;
    };
    std::int64_t low = orderOf(-kInfinity), high = orderOf(kInfinity);
    if (!reaches(std::int32_t(high)))
        return kInfinity;
    while (low < high) {
        const std::int64_t middle = low + (high - low) / 2;
        if (reaches(std::int32_t(middle)))
            high = middle;
        else
            low = middle + 1;
    }
    return floatOfOrder(std::int32_t(low));
}

// The user's limits as °C readings: a reading is below the low limit when
// it is below `low`, above the high one when it is at or above `high`.
struct Thresholds {
    float low = -kInfinity, high = kInfinity;
};

struct SpanRuns {
    Runs gaps{}, below{}, above{};
};

// The runs of missing readings and of readings beyond each limit over a span
// of at most one block: first a byte per sample (bit 0 no reading, bit 1
// below, bit 2 above), then each word's bytes eight at a time into its bits.
// A word whose samples all have the same byte, the usual one, is one run or
// none of each kind.
template <int N>
[[gnu::always_inline]] inline SpanRuns runsOf(const float* values, IndexRange span,
                                              const Thresholds& limits) {
    using Floats = typename Lanes<N>::Floats;
    using Bytes = typename Lanes<N>::Bytes;
    std::array<std::uint8_t, kBlock + kWord> state; // whole words, and the last lanes
    const size_t n = span.end - span.begin;
    forEachLanes<N>(values, span, [&](Floats v, size_t at) {
        const auto reading = readingsOf(v);
        const auto bits =
            (~reading & 1) | (reading & (v < limits.low) & 2) | (reading & (v >= limits.high) & 4);
        const Bytes bytes = __builtin_convertvector(bits, Bytes);
        std::memcpy(&state[at], &bytes, sizeof bytes);
    });
    std::fill(state.begin() + (n + N - 1) / N * N, state.begin() + (n + kWord - 1) / kWord * kWord,
              0);
    constexpr std::uint64_t kLowBits = 0x0101010101010101;
    constexpr std::uint64_t kGather = 0x0102040810204080; // bit 0 of byte i to bit 56 + i
    SpanRuns runs;
    for (size_t w = 0; w < n; w += kWord) {
        const size_t length = std::min(kWord, n - w);
        std::array<std::uint64_t, kWord / 8> eights;
        std::memcpy(eights.data(), &state[w], sizeof eights);
        // Bits beyond the span's end are none of its samples.
        const std::uint64_t within =
            length < kWord ? (std::uint64_t(1) << length) - 1 : ~std::uint64_t(0);
        std::array<std::uint64_t, 3> bits{};
        const std::uint64_t same = (eights[0] & 0xff) * kLowBits;
        if (length == kWord && std::all_of(eights.begin(), eights.end(),
                                           [same](std::uint64_t e) { return e == same; })) {
            for (size_t p = 0; p < bits.size(); ++p)
                bits[p] = (same >> p & 1) ? ~std::uint64_t(0) : 0;
        } else {
            for (size_t b = 0; b < eights.size(); ++b)
                for (size_t p = 0; p < bits.size(); ++p)
                    bits[p] |= ((((eights[b] >> p) & kLowBits) * kGather) >> 56) << (8 * b);
        }
        runs.gaps.append(wordRuns(bits[0] & within, int(length)));
        runs.below.append(wordRuns(bits[1] & within, int(length)));
        runs.above.append(wordRuns(bits[2] & within, int(length)));
    }
    return runs;
}

// Everything the statistics take from a span of samples.
struct Summary {
    Sums temperature{}, rh{};
    Kinetic kinetic{};
    SpanRuns runs{};

    void append(const Summary& next) {
        temperature.append(next.temperature);
        rh.append(next.rh);
        kinetic.append(next.kinetic);
        runs.gaps.append(next.runs.gaps);
        runs.below.append(next.runs.below);
        runs.above.append(next.runs.above);
    }
};

IndexRange clamped(IndexRange span, size_t end) {
    const size_t e = std::min(span.end, end);
    return {std::min(span.begin, e), e};
}

float firstReading(const std::vector<float>& values, IndexRange span) {
    const auto it = std::find_if(values.begin() + span.begin, values.begin() + span.end, isReading);
    return it != values.begin() + span.end ? *it : 0.0f;
}

} // namespace

struct StatisticsIndex {
    // What the sums were taken for.
    bool fahrenheit = true;
    std::optional<double> low{}, high{};
    double activationEnergy = kDefaultActivationEnergy;
    DateTime first = 0, last = 0;
    size_t rhEnd = 0; // the RH readings end here, or at the samples' end

    // The samples summed, in blocks from its beginning; the values that the
    // sums for the means are taken about.
    IndexRange covered{};
    float shift = 0, rhShift = 0;
    Thresholds limits{};
    double ratio = 0; // ΔH/R in kelvin
    std::vector<Summary> blocks{};

    // The whole data's alarm episodes, temperature and RH, with their
    // extremes (none in the sums of a part of the data), and the numbers of
    // events they were paired from.
    std::optional<std::array<std::vector<Episode>, 2>> episodes{};
    std::array<size_t, 4> alarmEvents{};
};

namespace {

// A span of at most one block, from the samples.
template <int N>
[[gnu::always_inline]] inline Summary summariseIn(const SampleStore& store, IndexRange span,
                                                  const StatisticsIndex& index) {
    const float* celsius = store.TempData.data();
    Summary s{.temperature = sumsOf<N>(celsius, span, index.shift),
              .rh = sumsOf<N>(store.RHData.data(), clamped(span, index.rhEnd), index.rhShift),
              .runs = runsOf<N>(celsius, span, index.limits)};
    s.kinetic = kineticOf<N>(celsius, span, s.temperature.max, index.ratio);
    return s;
}

#if defined(__x86_64__)
// Four lanes in the 256-bit registers of processors with AVX2 and FMA (those
// of the last decade); otherwise two, in the 128-bit ones that every x86-64
// processor has.
__attribute__((target("avx2,fma"))) Summary summariseWide(const SampleStore& store, IndexRange span,
                                                          const StatisticsIndex& index) {
    return summariseIn<4>(store, span, index);
}

bool wideVectors() {
    static const bool wide = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    }();
    return wide;
}
#endif

Summary summarise(const SampleStore& store, IndexRange span, const StatisticsIndex& index) {
#if defined(__x86_64__)
    if (wideVectors())
        return summariseWide(store, span, index);
#endif
    return summariseIn<2>(store, span, index);
}

// A span within the index's: the sums of its whole blocks, and at its ends
// those of the samples themselves (`scan` of a span of at most one block).
template <typename Part, typename Scan, typename Take>
Part collect(const StatisticsIndex& index, IndexRange span, Scan&& scan, Take&& take) {
    const IndexRange covered = index.covered;
    span = clamped(span, covered.end);
    span.begin = std::max(span.begin, covered.begin);
    span.end = std::max(span.end, span.begin);
    const auto blockEnd = [&](size_t k) {
        return std::min(covered.begin + (k + 1) * kBlock, covered.end);
    };
    // The blocks wholly within the span: [first, end).
    const size_t first = (span.begin - covered.begin + kBlock - 1) / kBlock;
    size_t end = (span.end - covered.begin) / kBlock;
    if (end < index.blocks.size() && blockEnd(end) == span.end)
        ++end; // the last block, shorter than the others
    Part part{};
    if (first >= end) {
        for (size_t b = span.begin; b < span.end; b += kBlock)
            part.append(scan(IndexRange{b, std::min(b + kBlock, span.end)}));
        return part;
    }
    part.append(scan(IndexRange{span.begin, covered.begin + first * kBlock}));
    for (size_t k = first; k < end; ++k)
        part.append(take(index.blocks[k]));
    part.append(scan(IndexRange{blockEnd(end - 1), span.end}));
    return part;
}

Summary summaryOf(const StatisticsIndex& index, const SampleStore& store, IndexRange span) {
    return collect<Summary>(
        index, span, [&](IndexRange s) { return summarise(store, s, index); },
        [](const Summary& block) { return block; });
}

// The readings of one quantity (temperature, or RH) over a span.
Sums sumsOf(const StatisticsIndex& index, const SampleStore& store, IndexRange span, bool rh) {
    const float* values = rh ? store.RHData.data() : store.TempData.data();
    const float shift = rh ? index.rhShift : index.shift;
    const size_t end = rh ? index.rhEnd : index.covered.end;
    return collect<Sums>(
        index, span, [&](IndexRange s) { return sumsOf<2>(values, clamped(s, end), shift); },
        [rh](const Summary& block) { return rh ? block.rh : block.temperature; });
}

StatisticsIndex buildIndex(const SampleStore& store, const StatisticsOptions& options,
                           IndexRange covered) {
    const size_t rhEnd = std::min(covered.end, store.RHData.size());
    const DisplayUnit unit = displayUnit(options.fahrenheit);
    StatisticsIndex index{
        .fahrenheit = options.fahrenheit,
        .low = options.low,
        .high = options.high,
        .activationEnergy = options.activationEnergy,
        .first = covered.end > covered.begin ? store.SampleTimes[covered.begin] : 0,
        .last = covered.end > covered.begin ? store.SampleTimes[covered.end - 1] : 0,
        .rhEnd = rhEnd,
        .covered = covered,
        .shift = firstReading(store.TempData, covered),
        .rhShift = firstReading(store.RHData, clamped(covered, rhEnd)),
        .limits = {.low = options.low ? leastReaching(*options.low, unit, false) : -kInfinity,
                   .high = options.high ? leastReaching(*options.high, unit, true) : kInfinity},
        .ratio = options.activationEnergy * 1000.0 / kGasConstant,
    };
    index.blocks.reserve((covered.end - covered.begin + kBlock - 1) / kBlock);
    for (size_t b = covered.begin; b < covered.end; b += kBlock)
        index.blocks.push_back(summarise(store, {b, std::min(b + kBlock, covered.end)}, index));
    return index;
}

size_t sampleCount(const SampleStore& store) {
    return std::min(store.SampleTimes.size(), store.TempData.size());
}

IndexRange indicesWithin(const std::vector<DateTime>& times, const std::optional<TimeRange>& r) {
    if (!r)
        return {0, times.size()};
    const auto b = std::lower_bound(times.begin(), times.end(), r->from);
    const auto e = std::upper_bound(b, times.end(), r->to);
    return {size_t(b - times.begin()), size_t(e - times.begin())};
}

long long countWithin(const std::vector<DateTime>& times, const std::optional<TimeRange>& r) {
    const IndexRange i = indicesWithin(times, r);
    return (long long)(i.end - i.begin);
}

long long secondsBetween(DateTime from, DateTime to) {
    return platform::wholeSeconds(to) - platform::wholeSeconds(from);
}

// In the display unit; nothing without readings.
QuantityStatistics quantityOf(const Sums& s, float shift, const DisplayUnit& unit,
                              const std::vector<float>& values,
                              const std::vector<DateTime>& times) {
    QuantityStatistics q{.readings = s.count};
    if (s.count == 0)
        return q;
    const double n = double(s.count);
    const double meanOffset = s.sum / n;
    q.min = unit.of(s.min);
    q.max = unit.of(s.max);
    q.minAt = times[firstIndexOf(values, s.minIn, s.min)];
    q.maxAt = times[firstIndexOf(values, s.maxIn, s.max)];
    q.mean = unit.of(double(shift) + meanOffset);
    q.stdev = unit.scale * std::sqrt(std::max(0.0, s.squares / n - meanOffset * meanOffset));
    return q;
}

// In °C; nothing without readings, or when the coldest is at or below
// absolute zero or ΔH leaves the range of numbers.
std::optional<double> kineticCelsius(const Kinetic& k, const Sums& temperature, double ratio) {
    if (temperature.count == 0 || !(temperature.min + kZeroCelsiusInKelvin > 0) || !(ratio > 0) ||
        !std::isfinite(ratio))
        return std::nullopt;
    return ratio / -(std::log(k.sum / double(temperature.count)) + k.largest) -
           kZeroCelsiusInKelvin;
}

struct SampleBounds {
    bool any = false;
    DateTime first = 0, last = 0;
};

// The episodes of one quantity: each start runs to the next end (at equal
// times an end closes a running episode before a start opens one); a start
// without an end runs to the last sample, an end before any start from the
// first (without samples, an open episode ends where it starts).

std::vector<Episode> pairEpisodes(const std::vector<DateTime>& starts,
                                  const std::vector<DateTime>& ends, const SampleBounds& data) {
    std::vector<Episode> episodes;
    size_t s = 0, e = 0;
    bool running = false, anyStart = false;
    while (s < starts.size() || e < ends.size()) {
        const bool takeStart =
            e == ends.size() ||
            (s < starts.size() && (starts[s] < ends[e] || (starts[s] == ends[e] && !running)));
        if (takeStart) {
            if (!running)
                episodes.push_back({.start = starts[s]});
            running = anyStart = true;
            ++s;
        } else {
            if (running)
                episodes.back().end = ends[e];
            else if (!anyStart && episodes.empty())
                episodes.push_back({.start = data.any ? std::min(data.first, ends[e]) : ends[e],
                                    .end = ends[e],
                                    .openAtStart = true});
            running = false;
            ++e;
        }
    }
    if (running) {
        episodes.back().end = std::max(data.any ? data.last : 0, episodes.back().start);
        episodes.back().openAtEnd = true;
    }
    return episodes;
}

struct Selection {
    const SampleStore& store;
    const StatisticsIndex& index;
    IndexRange samples;
};

SampleBounds boundsOf(const SampleStore& store) {
    const size_t count = sampleCount(store);
    return {.any = count > 0,
            .first = count > 0 ? store.SampleTimes.front() : 0,
            .last = count > 0 ? store.SampleTimes[count - 1] : 0};
}

std::array<size_t, 4> alarmEventsOf(const SampleStore& store) {
    return {store.AlarmStarts[0].size(), store.AlarmEnds[0].size(), store.AlarmStarts[1].size(),
            store.AlarmEnds[1].size()};
}

// The quantity's readings during an episode: their extremes in the display unit.
void measure(Episode& ep, const StatisticsIndex& index, const SampleStore& store, bool rh) {
    const Sums during =
        sumsOf(index, store, indicesWithin(store.SampleTimes, TimeRange{ep.start, ep.end}), rh);
    const DisplayUnit unit = rh ? DisplayUnit{} : displayUnit(index.fahrenheit);
    ep.min = during.count > 0 ? std::optional(unit.of(during.min)) : std::nullopt;
    ep.max = during.count > 0 ? std::optional(unit.of(during.max)) : std::nullopt;
}

// Cuts the episodes to the selected samples and fills in their durations and
// the quantity's extremes during each (those `measured` already keep theirs
// unless cut).
AlarmStatistics finishEpisodes(std::vector<Episode> all, const Selection& sel, bool rh,
                               const std::optional<TimeRange>& range, bool measured) {
    AlarmStatistics alarms;
    const auto& times = sel.store.SampleTimes;
    for (Episode& ep : all) {
        bool cut = false;
        if (range) {
            const bool any = sel.samples.end > sel.samples.begin;
            const DateTime lo = any ? times[sel.samples.begin] : range->from;
            const DateTime hi = any ? times[sel.samples.end - 1] : range->to;
            if (ep.end < lo || ep.start > hi)
                continue;
            if (ep.start < lo) {
                ep.start = lo;
                ep.openAtStart = cut = true;
            }
            if (ep.end > hi) {
                ep.end = hi;
                ep.openAtEnd = cut = true;
            }
        }
        ep.durationSeconds = secondsBetween(ep.start, ep.end);
        if (!measured || cut)
            measure(ep, sel.index, sel.store, rh);
        alarms.totalSeconds += ep.durationSeconds;
        alarms.longestSeconds = std::max(alarms.longestSeconds, ep.durationSeconds);
        alarms.episodes.push_back(ep);
    }
    return alarms;
}

} // namespace

std::shared_ptr<const StatisticsIndex> indexStatistics(const SampleStore& store,
                                                       const StatisticsOptions& options) {
    auto index =
        std::make_shared<StatisticsIndex>(buildIndex(store, options, {0, sampleCount(store)}));
    auto& episodes = index->episodes.emplace();
    for (int q = 0; q < 2; ++q) {
        episodes[q] = pairEpisodes(store.AlarmStarts[q], store.AlarmEnds[q], boundsOf(store));
        for (Episode& ep : episodes[q])
            measure(ep, *index, store, q == 1);
    }
    index->alarmEvents = alarmEventsOf(store);
    return index;
}

bool indexFits(const StatisticsIndex& index, const SampleStore& store,
               const StatisticsOptions& options) {
    const size_t count = sampleCount(store);
    return index.fahrenheit == options.fahrenheit && index.low == options.low &&
           index.high == options.high && index.activationEnergy == options.activationEnergy &&
           index.covered.begin == 0 && index.covered.end == count &&
           index.rhEnd == std::min(count, store.RHData.size()) &&
           index.alarmEvents == alarmEventsOf(store) &&
           (count == 0 || (index.first == store.SampleTimes.front() &&
                           index.last == store.SampleTimes[count - 1]));
}

Statistics computeStatistics(const SampleStore& store, double samplesPerHour, bool hasRH,
                             const StatisticsOptions& options, const StatisticsIndex* index) {
    const auto& times = store.SampleTimes;
    const size_t count = sampleCount(store);
    const IndexRange samples = clamped(indicesWithin(times, options.range), count);
    // Without an index that fits, one of the selected samples alone.
    std::optional<StatisticsIndex> own;
    if (!index || !indexFits(*index, store, options))
        index = &own.emplace(buildIndex(store, options, samples));
    const Summary selected = summaryOf(*index, store, samples);

    Statistics st{.fahrenheit = options.fahrenheit,
                  .activationEnergy = options.activationEnergy,
                  .samples = (long long)(samples.end - samples.begin)};
    if (st.samples > 0) {
        st.first = times[samples.begin];
        st.last = times[samples.end - 1];
        st.spanSeconds = secondsBetween(*st.first, *st.last);
        st.intervalSeconds =
            platform::wholeSeconds(decode::SampleIntervalDays(std::max(0.0, samplesPerHour)));
    }
    const DisplayUnit unit = displayUnit(options.fahrenheit);
    st.temperature = quantityOf(selected.temperature, index->shift, unit, store.TempData, times);
    if (const auto mkt = kineticCelsius(selected.kinetic, selected.temperature, index->ratio))
        st.temperature.mkt = unit.of(*mkt);
    st.readings = st.temperature.readings;
    st.missing = st.samples - st.readings;
    const long long interval = st.intervalSeconds.value_or(0);
    st.longestGapSeconds = selected.runs.gaps.times(interval).longestSeconds;
    if (options.low || options.high)
        st.limits = LimitStatistics{.low = options.low,
                                    .high = options.high,
                                    .below = selected.runs.below.times(interval),
                                    .above = selected.runs.above.times(interval)};
    if (hasRH)
        st.rh = quantityOf(selected.rh, index->rhShift, DisplayUnit{}, store.RHData, times);

    // Open episodes reach the data's own first and last sample; a range cuts them after.
    const Selection sel{.store = store, .index = *index, .samples = samples};
    for (int q = 0; q < 2; ++q) {
        const bool measured = index->episodes.has_value();
        std::vector<Episode> all =
            measured ? (*index->episodes)[q]
                     : pairEpisodes(store.AlarmStarts[q], store.AlarmEnds[q], boundsOf(store));
        (q == 0 ? st.temperatureAlarms : st.rhAlarms) =
            finishEpisodes(std::move(all), sel, q == 1, options.range, measured);
    }
    st.newSensorEvents = countWithin(store.NewSensorEvents, options.range);
    st.testStarts = countWithin(store.TestStarts, options.range);
    st.testEnds = countWithin(store.TestEnds, options.range);
    return st;
}

namespace {

QJsonValue number(const std::optional<double>& value, int decimals) {
    if (!value || !std::isfinite(*value))
        return QJsonValue::Null;
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(*value * scale) / scale;
    return rounded == 0 ? 0.0 : rounded; // never "-0"
}

QJsonValue isoTime(const std::optional<DateTime>& t) {
    if (!t)
        return QJsonValue::Null;
    return platform::formatDateTimeFixed("yyyy-mm-dd'T'hh:nn:ss", platform::roundToSecond(*t));
}

QJsonValue openText(const Episode& ep) {
    if (ep.openAtStart && ep.openAtEnd)
        return "both";
    if (ep.openAtStart)
        return "start";
    if (ep.openAtEnd)
        return "end";
    return QJsonValue::Null;
}

// Extremes as the data files write them; derived figures one digit finer.
constexpr int kValueDecimals = 2;
constexpr int kDerivedDecimals = 3;

QJsonObject quantityJson(const QuantityStatistics& q, bool temperature) {
    QJsonObject o{
        {"min", number(q.min, kValueDecimals)},     {"min_at", isoTime(q.minAt)},
        {"max", number(q.max, kValueDecimals)},     {"max_at", isoTime(q.maxAt)},
        {"mean", number(q.mean, kDerivedDecimals)}, {"stdev", number(q.stdev, kDerivedDecimals)}};
    if (temperature)
        o["mkt"] = number(q.mkt, kDerivedDecimals);
    return o;
}

QJsonObject alarmsJson(const AlarmStatistics& a) {
    QJsonArray list;
    for (const Episode& ep : a.episodes)
        list.append(QJsonObject{{"start", isoTime(ep.start)},
                                {"end", isoTime(ep.end)},
                                {"duration_s", ep.durationSeconds},
                                {"min", number(ep.min, kValueDecimals)},
                                {"max", number(ep.max, kValueDecimals)},
                                {"open", openText(ep)}});
    return {{"episodes", qint64(a.episodes.size())},
            {"total_s", a.totalSeconds},
            {"longest_s", a.longestSeconds},
            {"list", list}};
}

} // namespace

QJsonObject statisticsJson(const Statistics& st) {
    QJsonValue limits = QJsonValue::Null;
    // Without readings nothing was within or beyond the limits.
    const auto measured = [&st](long long value) {
        return st.readings > 0 ? QJsonValue(value) : QJsonValue::Null;
    };
    if (st.limits)
        limits = QJsonObject{
            {"low", number(st.limits->low, kDerivedDecimals)},
            {"high", number(st.limits->high, kDerivedDecimals)},
            {"below_s", measured(st.limits->below.seconds)},
            {"above_s", measured(st.limits->above.seconds)},
            {"excursions", measured(st.limits->below.count + st.limits->above.count)},
            {"longest_s",
             measured(std::max(st.limits->below.longestSeconds, st.limits->above.longestSeconds))}};
    return {
        {"samples", st.samples},
        {"readings", st.readings},
        {"missing", st.missing},
        {"first", isoTime(st.first)},
        {"last", isoTime(st.last)},
        {"interval_s", st.intervalSeconds ? QJsonValue(*st.intervalSeconds) : QJsonValue::Null},
        {"unit", st.fahrenheit ? "F" : "C"},
        {"temperature", quantityJson(st.temperature, true)},
        {"rh", st.rh ? QJsonValue(quantityJson(*st.rh, false)) : QJsonValue::Null},
        {"alarms", QJsonObject{{"temperature", alarmsJson(st.temperatureAlarms)},
                               {"rh", alarmsJson(st.rhAlarms)}}},
        {"events", QJsonObject{{"new_sensor", st.newSensorEvents},
                               {"test_starts", st.testStarts},
                               {"test_ends", st.testEnds}}},
        {"gaps", QJsonObject{{"missing", st.missing}, {"longest_s", st.longestGapSeconds}}},
        {"limits", limits},
    };
}

namespace {

const QString kNone = QStringLiteral("—");

QString decimal(double value, int decimals) {
    QString text = QString::number(value, 'f', decimals);
    if (text.startsWith('-') && text.count('0') == text.size() - 2) // "-0.00"
        text.remove(0, 1);
    return text.replace('.', platform::formatSettings().decimalSeparator);
}

QString measured(const std::optional<double>& value, const QString& unit, int decimals) {
    return value ? decimal(*value, decimals) + " " + unit : kNone;
}

QString duration(long long seconds) {
    const long long days = seconds / 86400, rest = seconds % 86400;
    const QString clock = QString("%1:%2:%3")
                              .arg(rest / 3600, 2, 10, QChar('0'))
                              .arg(rest / 60 % 60, 2, 10, QChar('0'))
                              .arg(rest % 60, 2, 10, QChar('0'));
    return days > 0 ? QString("%1 d %2").arg(days).arg(clock) : clock;
}

// Date and time always, midnight included.
QString timeText(const std::optional<DateTime>& t) {
    if (!t)
        return kNone;
    const platform::FormatSettings& user = platform::formatSettings();
    return platform::formatDateTime(user.shortDateFormat + " " + user.longTimeFormat,
                                    platform::roundToSecond(*t));
}

QString extreme(const std::optional<double>& value, const std::optional<DateTime>& at,
                const QString& unit) {
    return value ? measured(value, unit, kValueDecimals) + " at " + timeText(at) : kNone;
}

QString temperatureUnit(const Statistics& st) {
    return st.fahrenheit ? "°F" : "°C";
}

void appendQuantity(QList<StatisticsRow>& rows, const QString& name,
                    const std::optional<QuantityStatistics>& q, const QString& unit) {
    rows +=
        {{name + " minimum", q ? extreme(q->min, q->minAt, unit) : kNone},
         {name + " maximum", q ? extreme(q->max, q->maxAt, unit) : kNone},
         {name + " mean", q ? measured(q->mean, unit, kDerivedDecimals) : kNone},
         {name + " standard deviation", q ? measured(q->stdev, unit, kDerivedDecimals) : kNone}};
}

QString alarmSummary(const AlarmStatistics& a) {
    if (a.episodes.empty())
        return "none";
    return QString("%1, total %2, longest %3")
        .arg(a.episodes.size())
        .arg(duration(a.totalSeconds), duration(a.longestSeconds));
}

QString limitText(const std::optional<double>& limit, const QString& unit) {
    return limit ? measured(limit, unit, kValueDecimals) : "not set";
}

QString excursionText(const Excursions& e) {
    return QString("%1 (excursions: %2, longest %3)")
        .arg(duration(e.seconds))
        .arg(e.count)
        .arg(duration(e.longestSeconds));
}

} // namespace

QList<StatisticsRow> statisticsRows(const Statistics& st) {
    const QString unit = temperatureUnit(st);
    QList<StatisticsRow> rows = {
        {"Samples", QString::number(st.samples)},
        {"With a reading", QString::number(st.readings)},
        {"Without a reading", QString::number(st.missing)},
        {"First sample", timeText(st.first)},
        {"Last sample", timeText(st.last)},
        {"Span", st.first ? duration(st.spanSeconds) : kNone},
        {"Storage interval", st.intervalSeconds ? duration(*st.intervalSeconds) : kNone},
    };
    appendQuantity(rows, "Temperature", st.temperature, unit);
    rows +=
        {"Mean kinetic temperature",
         st.temperature.mkt ? measured(st.temperature.mkt, unit, kDerivedDecimals) +
                                  QString(" (ΔH %1 kJ/mol)").arg(decimal(st.activationEnergy, 3))
                            : kNone};
    appendQuantity(rows, "RH", st.rh, "%RH");
    rows += {{"Temperature alarms", alarmSummary(st.temperatureAlarms)},
             {"RH alarms", alarmSummary(st.rhAlarms)},
             {"New sensor events", QString::number(st.newSensorEvents)},
             {"Test starts", QString::number(st.testStarts)},
             {"Test ends", QString::number(st.testEnds)},
             {"Longest gap", st.missing > 0 ? duration(st.longestGapSeconds) : kNone}};
    if (st.limits)
        rows += {{"Low limit", limitText(st.limits->low, unit)},
                 {"High limit", limitText(st.limits->high, unit)},
                 {"Below the low limit",
                  st.limits->low && st.readings > 0 ? excursionText(st.limits->below) : kNone},
                 {"Above the high limit",
                  st.limits->high && st.readings > 0 ? excursionText(st.limits->above) : kNone}};
    return rows;
}

QList<StatisticsRow> episodeRows(const Statistics& st) {
    QList<StatisticsRow> rows;
    const auto append = [&](const QString& name, const AlarmStatistics& a, const QString& unit) {
        int n = 0;
        for (const Episode& ep : a.episodes) {
            QString value = timeText(ep.start) + " to " + timeText(ep.end) + ", " +
                            duration(ep.durationSeconds) + ", " +
                            measured(ep.min, unit, kValueDecimals) + " to " +
                            measured(ep.max, unit, kValueDecimals);
            if (ep.openAtStart)
                value += ", open at the start";
            if (ep.openAtEnd)
                value += ", open at the end";
            rows += {QString("%1 alarm %2").arg(name).arg(++n), value};
        }
    };
    append("Temperature", st.temperatureAlarms, temperatureUnit(st));
    append("RH", st.rhAlarms, "%RH");
    return rows;
}

QString statisticsText(const Statistics& st) {
    QString text;
    for (const StatisticsRow& row : statisticsRows(st) + episodeRows(st))
        text += row.label + '\t' + row.value + '\n';
    return text;
}

} // namespace report
