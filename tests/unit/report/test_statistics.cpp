// The statistics over small stores, each expected value worked out here by
// hand or by the plain formula, never by the code under test.
#include "model/sample_store.h"
#include "platform/formatting.h"
#include "report/statistics.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTest>
#include <cmath>

using platform::DateTime;
using Floats = QList<float>;
using Minutes = QList<int>;

namespace {

constexpr float X = kNoReading;
// One sample a minute from midnight, 1 December 2026.
constexpr double kPerHour = 60;
const DateTime kStart = platform::encodeDateTime(2026, 12, 1, 0, 0, 0);

DateTime minute(int m) {
    return kStart + m * 60 * platform::kSecond;
}

std::vector<DateTime> minutes(const Minutes& list) {
    std::vector<DateTime> times;
    for (int m : list)
        times.push_back(minute(m));
    return times;
}

void fill(SampleStore& store, const Floats& celsius, const Floats& rh = {}) {
    store.clearLists();
    for (qsizetype i = 0; i < celsius.size(); ++i) {
        store.SampleTimes.push_back(minute(int(i)));
        store.TempData.push_back(celsius[i]);
    }
    store.RHData.assign(rh.begin(), rh.end());
}

// Mean and population deviation of the readings, by the textbook formula.
std::pair<double, double> meanAndDeviation(const QList<double>& values) {
    double sum = 0;
    for (double v : values)
        sum += v;
    const double mean = sum / values.size();
    double squares = 0;
    for (double v : values)
        squares += (v - mean) * (v - mean);
    return {mean, std::sqrt(squares / values.size())};
}

// Readings over several blocks of the window's sums: a slow swing across
// the limits 2 and 8 °C (35.6 and 46.4 °F), missing readings now and then and
// in a run across the first block's end, RH with its own gaps, and alarms of
// both quantities, the first temperature one open at the start and the last
// open at the end.
void fillBlocks(SampleStore& store, int count) {
    store.clearLists();
    for (int i = 0; i < count; ++i) {
        store.SampleTimes.push_back(minute(i));
        const bool missing = i % 211 == 7 || (i >= 4090 && i < 4105);
        store.TempData.push_back(missing ? X : float(4 + 6 * std::sin(i / 97.0) + (i % 5) * 0.01));
        store.RHData.push_back(i % 173 == 3 ? X : float(50 + 30 * std::cos(i / 300.0)));
    }
    store.AlarmEnds[0].push_back(minute(50));
    for (int i = 100; i + 400 < count; i += 900) {
        store.AlarmStarts[0].push_back(minute(i));
        store.AlarmEnds[0].push_back(minute(i + 400));
    }
    store.AlarmStarts[0].push_back(minute(count - 300));
    for (int i = 700; i + 500 < count; i += 1500) {
        store.AlarmStarts[1].push_back(minute(i));
        store.AlarmEnds[1].push_back(minute(i + 500));
    }
}

// What a range of fillBlocks' data gives, by the textbook: one sample after
// another, std::exp for every reading. Runs in samples.
struct Plain {
    long long readings = 0, missing = 0;
    double min = 0, max = 0;
    int minAt = -1, maxAt = -1;
    double mean = 0, deviation = 0, mkt = 0;
    long long longestGap = 0;
    long long below = 0, belowRuns = 0, belowLongest = 0;
    long long above = 0, aboveRuns = 0, aboveLongest = 0;
};

Plain textbook(const SampleStore& store, int from, int to, double low, double high) {
    Plain p;
    QList<double> values;
    double kinetic = 0;
    const double ratio = report::kDefaultActivationEnergy * 1000 / report::kGasConstant;
    long long gap = 0, below = 0, above = 0;
    for (int i = from; i < to; ++i) {
        const float c = store.TempData[i];
        const bool reading = c < 9998;
        gap = reading ? 0 : gap + 1;
        p.longestGap = std::max(p.longestGap, gap);
        p.missing += !reading;
        const double f = c * 1.8 + 32;
        const bool isBelow = reading && f < low, isAbove = reading && f > high;
        p.belowRuns += isBelow && below == 0;
        p.aboveRuns += isAbove && above == 0;
        below = isBelow ? below + 1 : 0;
        above = isAbove ? above + 1 : 0;
        p.below += isBelow;
        p.above += isAbove;
        p.belowLongest = std::max(p.belowLongest, below);
        p.aboveLongest = std::max(p.aboveLongest, above);
        if (!reading)
            continue;
        if (p.minAt < 0 || f < p.min)
            p.min = f, p.minAt = i;
        if (p.maxAt < 0 || f > p.max)
            p.max = f, p.maxAt = i;
        values << f;
        kinetic += std::exp(-ratio / (c + 273.15));
    }
    p.readings = values.size();
    std::tie(p.mean, p.deviation) = meanAndDeviation(values);
    p.mkt = (ratio / -std::log(kinetic / values.size()) - 273.15) * 1.8 + 32;
    return p;
}

bool hasNoNumberTrouble(const QJsonObject& json) {
    const QByteArray text = QJsonDocument(json).toJson(QJsonDocument::Compact).toLower();
    return !text.contains("nan") && !text.contains("inf");
}

} // namespace

class TestStatistics : public QObject {
    Q_OBJECT
  private slots:
    void values_data() {
        QTest::addColumn<Floats>("celsius");
        QTest::addColumn<Floats>("rh");
        QTest::addColumn<bool>("fahrenheit");
        QTest::addColumn<double>("min");
        QTest::addColumn<int>("minAt");
        QTest::addColumn<double>("max");
        QTest::addColumn<int>("maxAt");
        QTest::addColumn<int>("longestGap"); // samples
        QTest::newRow("flat, first occurrence of both extremes")
            << Floats{5, 5, 5, 5} << Floats{} << false << 5.0 << 0 << 5.0 << 0 << 0;
        QTest::newRow("ramp") << Floats{1, 2, 3, 4, 5} << Floats{} << false << 1.0 << 0 << 5.0 << 4
                              << 0;
        QTest::newRow("falling ramp in F")
            << Floats{10, 5, 0, -5} << Floats{} << true << 23.0 << 3 << 50.0 << 0 << 0;
        QTest::newRow("missing readings are left out")
            << Floats{X, 2, X, X, 8, 9998.5f, 4} << Floats{} << false << 2.0 << 1 << 8.0 << 4 << 2;
        QTest::newRow("with RH") << Floats{20, 21, 22} << Floats{40, X, 60} << false << 20.0 << 0
                                 << 22.0 << 2 << 0;
        QTest::newRow("extreme repeated later keeps the first time")
            << Floats{3, 1, 7, 1, 7} << Floats{} << true << 33.8 << 1 << 44.6 << 2 << 0;
    }
    void values() {
        QFETCH(Floats, celsius);
        QFETCH(Floats, rh);
        QFETCH(bool, fahrenheit);
        SampleStore store;
        fill(store, celsius, rh);
        const report::Statistics st =
            report::computeStatistics(store, kPerHour, !rh.isEmpty(), {.fahrenheit = fahrenheit});

        QList<double> readings;
        for (float c : celsius)
            if (c < 9998)
                readings << (fahrenheit ? c * 1.8 + 32 : c);
        QCOMPARE(st.samples, celsius.size());
        QCOMPARE(st.readings, readings.size());
        QCOMPARE(st.missing, celsius.size() - readings.size());
        QCOMPARE(*st.first, minute(0));
        QCOMPARE(*st.last, minute(int(celsius.size()) - 1));
        QCOMPARE(st.spanSeconds, (celsius.size() - 1) * 60);
        QCOMPARE(*st.intervalSeconds, 60);
        QFETCH(double, min);
        QFETCH(int, minAt);
        QFETCH(double, max);
        QFETCH(int, maxAt);
        QVERIFY(qAbs(*st.temperature.min - min) < 1e-5);
        QVERIFY(qAbs(*st.temperature.max - max) < 1e-5);
        QCOMPARE(*st.temperature.minAt, minute(minAt));
        QCOMPARE(*st.temperature.maxAt, minute(maxAt));
        const auto [mean, deviation] = meanAndDeviation(readings);
        QVERIFY(qAbs(*st.temperature.mean - mean) < 1e-9);
        QVERIFY(qAbs(*st.temperature.stdev - deviation) < 1e-9);
        QFETCH(int, longestGap);
        QCOMPARE(st.longestGapSeconds, longestGap * 60);
        QCOMPARE(st.rh.has_value(), !rh.isEmpty());
        if (st.rh) {
            QCOMPARE(st.rh->readings, 2);
            QCOMPARE(*st.rh->mean, 50.0);
            QCOMPARE(*st.rh->stdev, 10.0);
            QCOMPARE(*st.rh->maxAt, minute(2));
            QVERIFY(!st.rh->mkt);
        }
        QVERIFY(hasNoNumberTrouble(report::statisticsJson(st)));
    }

    // Nothing to measure: every figure is missing, "—" in the table, null in JSON.
    void nothingToMeasure_data() {
        QTest::addColumn<Floats>("celsius");
        QTest::addColumn<Floats>("rh");
        QTest::newRow("empty") << Floats{} << Floats{};
        QTest::newRow("all readings missing") << Floats{X, X, X} << Floats{X, X, X};
    }
    void nothingToMeasure() {
        QFETCH(Floats, celsius);
        QFETCH(Floats, rh);
        SampleStore store;
        fill(store, celsius, rh);
        store.AlarmEnds[0] = minutes({1});
        const report::Statistics st =
            report::computeStatistics(store, kPerHour, true, {.low = 35.6, .high = 46.4});
        QCOMPARE(st.readings, 0);
        QVERIFY(!st.temperature.min && !st.temperature.mean && !st.temperature.mkt);
        QVERIFY(!st.rh->max && !st.rh->stdev);

        const QJsonObject json = report::statisticsJson(st);
        QVERIFY(hasNoNumberTrouble(json));
        QVERIFY(json["temperature"]["min"].isNull());
        QVERIFY(json["temperature"]["mkt"].isNull());
        QVERIFY(json["rh"]["mean"].isNull());
        QCOMPARE(json["first"].isNull(), celsius.isEmpty());
        // Without samples there is no storage interval either.
        QCOMPARE(json["interval_s"].isNull(), celsius.isEmpty());
        // Nothing was within or beyond the limits.
        QCOMPARE(json["limits"]["high"].toDouble(), 46.4);
        for (const char* key : {"below_s", "above_s", "excursions", "longest_s"})
            QVERIFY2(json["limits"][key].isNull(), key);
        QCOMPARE(json["alarms"]["temperature"]["episodes"].toInt(), 1);

        const QString text = report::statisticsText(st);
        QVERIFY(text.contains("Temperature minimum\t—\n"));
        QVERIFY(text.contains("Mean kinetic temperature\t—\n"));
        QVERIFY(text.contains("RH standard deviation\t—\n"));
        QCOMPARE(text.contains("Storage interval\t—\n"), celsius.isEmpty());
        QCOMPARE(text.contains("Span\t—\n"), celsius.isEmpty());
        QVERIFY(text.contains("Below the low limit\t—\n"));
        QVERIFY(text.contains("Above the high limit\t—\n"));
        QVERIFY(!text.contains("nan", Qt::CaseInsensitive));
    }

    void oneSampleWithoutRH() {
        SampleStore store;
        fill(store, {12.5f});
        const report::Statistics st = report::computeStatistics(store, 4, false, {});
        QCOMPARE(st.samples, 1);
        QCOMPARE(st.spanSeconds, 0);
        QCOMPARE(*st.intervalSeconds, 900);
        QCOMPARE(*st.temperature.mean, 54.5);
        QCOMPARE(*st.temperature.stdev, 0.0);
        QVERIFY(qAbs(*st.temperature.mkt - 54.5) < 1e-9);
        const QJsonObject json = report::statisticsJson(st);
        QVERIFY(json["rh"].isNull());
        QVERIFY(json["limits"].isNull());
        QCOMPARE(json["first"].toString(), "2026-12-01T00:00:00");
        QCOMPARE(json["unit"].toString(), "F");
        QVERIFY(report::statisticsText(st).contains("RH minimum\t—\n"));
    }

    // MKT of 20, 25, 30 and 22 °C with ΔH 83.144 kJ/mol: ΔH/R = 9999.928 K,
    // the mean of exp(-ΔH/(R·T)) over 293.15, 298.15, 303.15 and 295.15 K
    // gives 298.1817 K, 25.0317 °C (77.057 °F).
    void meanKineticTemperature_data() {
        QTest::addColumn<Floats>("celsius");
        QTest::addColumn<bool>("fahrenheit");
        QTest::addColumn<double>("energy");
        QTest::addColumn<double>("expected");
        QTest::newRow("known series") << Floats{20, 25, 30, 22} << false << 83.144 << 25.0317;
        QTest::newRow("known series in F") << Floats{20, 25, 30, 22} << true << 83.144 << 77.0570;
        // 20 °C met again after warmer readings: its term is taken afresh.
        QTest::newRow("a value again after a warmer one")
            << Floats{20, 30, 20, 25, 30, 22, 20} << false << 83.144 << 24.8487;
        QTest::newRow("missing readings do not count")
            << Floats{20, X, 25, 30, X, 22} << false << 83.144 << 25.0317;
        // exp(-ΔH/(R·T)) underflows to zero here; a flat series keeps its value.
        QTest::newRow("energy far beyond double range")
            << Floats{-40, -40, -40} << false << 1.0e6 << -40.0;
        QTest::newRow("large energy weighs the warmest")
            << Floats{0, 40} << false << 1.0e6 << 39.99943;
    }
    void meanKineticTemperature() {
        QFETCH(Floats, celsius);
        QFETCH(bool, fahrenheit);
        QFETCH(double, energy);
        QFETCH(double, expected);
        SampleStore store;
        fill(store, celsius);
        const report::Statistics st = report::computeStatistics(
            store, kPerHour, false, {.fahrenheit = fahrenheit, .activationEnergy = energy});
        QVERIFY2(st.temperature.mkt, "no MKT");
        QVERIFY2(qAbs(*st.temperature.mkt - expected) < 1e-4,
                 qPrintable(QString::number(*st.temperature.mkt, 'f', 6)));
    }

    void meanKineticTemperatureBelowAbsoluteZeroIsMissing() {
        SampleStore store;
        fill(store, {20, -300});
        QVERIFY(!report::computeStatistics(store, kPerHour, false, {}).temperature.mkt);
    }

    // Ten samples, minutes 0 to 9.
    void episodes_data() {
        QTest::addColumn<Minutes>("starts");
        QTest::addColumn<Minutes>("ends");
        QTest::addColumn<Minutes>("expected"); // start, end and open (0, 1 start, 2 end) each
        QTest::newRow("none") << Minutes{} << Minutes{} << Minutes{};
        QTest::newRow("start then end") << Minutes{2} << Minutes{5} << Minutes{2, 5, 0};
        QTest::newRow("two episodes")
            << Minutes{1, 6} << Minutes{3, 8} << Minutes{1, 3, 0, 6, 8, 0};
        QTest::newRow("start without end runs to the last sample")
            << Minutes{4} << Minutes{} << Minutes{4, 9, 2};
        QTest::newRow("end without start runs from the first sample")
            << Minutes{} << Minutes{3} << Minutes{0, 3, 1};
        QTest::newRow("end first, then a closed one")
            << Minutes{5} << Minutes{2, 7} << Minutes{0, 2, 1, 5, 7, 0};
        QTest::newRow("end first, then an open one")
            << Minutes{5} << Minutes{2} << Minutes{0, 2, 1, 5, 9, 2};
        QTest::newRow("a second start inside an episode")
            << Minutes{1, 3} << Minutes{6} << Minutes{1, 6, 0};
        QTest::newRow("a second end after an episode")
            << Minutes{1} << Minutes{3, 6} << Minutes{1, 3, 0};
        QTest::newRow("start and end at the same time")
            << Minutes{4} << Minutes{4} << Minutes{4, 4, 0};
        QTest::newRow("an end closes before a start at the same time opens")
            << Minutes{2, 5} << Minutes{5, 7} << Minutes{2, 5, 0, 5, 7, 0};
        QTest::newRow("a start after the last sample")
            << Minutes{12} << Minutes{} << Minutes{12, 12, 2};
    }
    void episodes() {
        QFETCH(Minutes, starts);
        QFETCH(Minutes, ends);
        QFETCH(Minutes, expected);
        SampleStore store;
        fill(store, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {50, 51, 52, 53, 54, 55, 56, 57, 58, 59});
        // The same events for both quantities; RH is offset by 50 from temperature.
        for (int q = 0; q < 2; ++q) {
            store.AlarmStarts[q] = minutes(starts);
            store.AlarmEnds[q] = minutes(ends);
        }
        const report::Statistics st =
            report::computeStatistics(store, kPerHour, true, {.fahrenheit = false});
        for (const report::AlarmStatistics* alarms : {&st.temperatureAlarms, &st.rhAlarms}) {
            const double offset = alarms == &st.rhAlarms ? 50 : 0;
            QCOMPARE(qsizetype(alarms->episodes.size()), expected.size() / 3);
            long long total = 0, longest = 0;
            for (size_t i = 0; i < alarms->episodes.size(); ++i) {
                const report::Episode& ep = alarms->episodes[i];
                const int from = expected[3 * i], to = expected[3 * i + 1];
                const int open = expected[3 * i + 2];
                QCOMPARE(ep.start, minute(from));
                QCOMPARE(ep.end, minute(to));
                QCOMPARE(ep.durationSeconds, (to - from) * 60);
                QCOMPARE(ep.openAtStart, open == 1);
                QCOMPARE(ep.openAtEnd, open == 2);
                // The readings of minutes from..to are from..to (+ offset).
                QCOMPARE(ep.min.has_value(), from <= 9);
                if (ep.min) {
                    QCOMPARE(*ep.min, from + offset);
                    QCOMPARE(*ep.max, std::min(to, 9) + offset);
                }
                total += ep.durationSeconds;
                longest = std::max(longest, ep.durationSeconds);
            }
            QCOMPARE(alarms->totalSeconds, total);
            QCOMPARE(alarms->longestSeconds, longest);
        }
    }

    // A range: the samples within it only, episodes cut at its first and
    // last sample, events within it counted.
    void visibleRange() {
        SampleStore store;
        fill(store, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
        store.AlarmStarts[0] = minutes({1, 6});
        store.AlarmEnds[0] = minutes({4, 8});
        store.TestStarts = minutes({1, 5});
        store.NewSensorEvents = minutes({0});
        const report::Statistics st = report::computeStatistics(
            store, kPerHour, false,
            {.fahrenheit = false,
             .range = report::TimeRange{minute(3) - platform::kSecond, minute(6) + 1e-9}});
        QCOMPARE(st.samples, 4);
        QCOMPARE(*st.first, minute(3));
        QCOMPARE(*st.temperature.min, 3.0);
        QCOMPARE(*st.temperature.max, 6.0);
        QCOMPARE(st.temperatureAlarms.episodes.size(), size_t(2));
        const report::Episode& cutStart = st.temperatureAlarms.episodes[0];
        QCOMPARE(cutStart.start, minute(3));
        QCOMPARE(cutStart.end, minute(4));
        QVERIFY(cutStart.openAtStart && !cutStart.openAtEnd);
        const report::Episode& cutEnd = st.temperatureAlarms.episodes[1];
        QCOMPARE(cutEnd.start, minute(6));
        QCOMPARE(cutEnd.end, minute(6));
        QVERIFY(!cutEnd.openAtStart && cutEnd.openAtEnd);
        QCOMPARE(st.testStarts, 1);
        QCOMPARE(st.newSensorEvents, 0);

        const report::Statistics outside = report::computeStatistics(
            store, kPerHour, false, {.range = report::TimeRange{minute(20), minute(30)}});
        QCOMPARE(outside.samples, 0);
        QVERIFY(outside.temperatureAlarms.episodes.empty());
        QVERIFY(!outside.temperature.mean);
    }

    // Limits in the display unit: 41 °F is exactly 5 °C.
    void limits_data() {
        QTest::addColumn<Floats>("celsius");
        QTest::addColumn<bool>("fahrenheit");
        QTest::addColumn<std::optional<double>>("low");
        QTest::addColumn<std::optional<double>>("high");
        QTest::addColumn<Minutes>("expected"); // below: samples, runs, longest; then above
        QTest::newRow("both sides") << Floats{1, 5, 9, 9, 2, 2, 2, 5} << false << std::optional(3.0)
                                    << std::optional(8.0) << Minutes{4, 2, 3, 2, 1, 2};
        QTest::newRow("a value on the limit is within")
            << Floats{5, 5, 8} << true << std::optional(41.0) << std::optional(46.4)
            << Minutes{0, 0, 0, 0, 0, 0};
        QTest::newRow("low only") << Floats{2, 2, 4, 2} << false << std::optional(3.0)
                                  << std::optional<double>() << Minutes{3, 2, 2, 0, 0, 0};
        QTest::newRow("high only, in F") << Floats{30, 30, 20} << true << std::optional<double>()
                                         << std::optional(80.0) << Minutes{0, 0, 0, 2, 1, 2};
        QTest::newRow("a missing reading ends a run")
            << Floats{9, X, 9, 9} << false << std::optional<double>() << std::optional(8.0)
            << Minutes{0, 0, 0, 3, 2, 2};
    }
    void limits() {
        QFETCH(Floats, celsius);
        QFETCH(bool, fahrenheit);
        QFETCH(std::optional<double>, low);
        QFETCH(std::optional<double>, high);
        QFETCH(Minutes, expected);
        SampleStore store;
        fill(store, celsius);
        const report::Statistics st = report::computeStatistics(
            store, kPerHour, false, {.fahrenheit = fahrenheit, .low = low, .high = high});
        QVERIFY(st.limits);
        const report::Excursions& b = st.limits->below;
        const report::Excursions& a = st.limits->above;
        QCOMPARE((Minutes{int(b.seconds / 60), int(b.count), int(b.longestSeconds / 60),
                          int(a.seconds / 60), int(a.count), int(a.longestSeconds / 60)}),
                 expected);
        const QJsonObject json = report::statisticsJson(st)["limits"].toObject();
        QCOMPARE(json["low"].isNull(), !low);
        QCOMPARE(json["below_s"].toInteger(), expected[0] * 60);
        QCOMPARE(json["above_s"].toInteger(), expected[3] * 60);
        QCOMPARE(json["excursions"].toInteger(), expected[1] + expected[4]);
        QCOMPARE(json["longest_s"].toInteger(), std::max(expected[2], expected[5]) * 60);
    }

    // The table in the user's formats: here a decimal comma and day first.
    void rows() {
        platform::FormatSettings& user = platform::formatSettings();
        const platform::FormatSettings saved = user;
        user.decimalSeparator = ',';
        user.shortDateFormat = "dd/mm/yyyy";
        SampleStore store;
        fill(store, {-0.001f, 2.5f, X});
        store.AlarmStarts[0] = minutes({1});
        const QString text = report::statisticsText(
            report::computeStatistics(store, kPerHour, false, {.fahrenheit = false, .high = 2.0}));
        user = saved;
        for (const char* line :
             {"Samples\t3\n", "Without a reading\t1\n", "Span\t00:02:00\n",
              "Temperature minimum\t0,00 °C at 01/12/2026 00:00:00\n",
              "Temperature maximum\t2,50 °C at 01/12/2026 00:01:00\n",
              "Temperature alarms\t1, total 00:01:00, longest 00:01:00\n", "RH mean\t—\n",
              "Low limit\tnot set\n",
              "Above the high limit\t00:01:00 (excursions: 1, longest 00:01:00)\n",
              "Temperature alarm 1\t01/12/2026 00:01:00 to 01/12/2026 00:02:00, 00:01:00, 2,50 °C "
              "to 2,50 °C, open at the end\n"})
            QVERIFY2(text.contains(QString::fromUtf8(line)), qPrintable(text));
    }

    // The window's block sums give what the samples give, and both what the
    // textbook gives, over ranges that start and end anywhere in the blocks,
    // with missing readings, excursions and alarms running over their edges.
    void rangesFromTheBlockSums() {
        SampleStore store;
        const int count = 3 * 4096 + 1234;
        fillBlocks(store, count);
        report::StatisticsOptions options{.fahrenheit = true, .low = 35.6, .high = 46.4};
        const auto index = report::indexStatistics(store, options);
        QVERIFY(report::indexFits(*index, store, options));
        QRandomGenerator random(20261210);
        for (int k = 0; k < 300; ++k) {
            // The whole data first, then a block's first sample to its last, then any.
            int from = k == 0 ? 0 : k == 1 ? 4096 : random.bounded(count);
            int to = k == 0 ? count : k == 1 ? 8192 : random.bounded(count) + 1;
            if (from > to)
                std::swap(from, to);
            options.range = report::TimeRange{minute(from) - platform::kSecond, minute(to - 1)};
            const report::Statistics summed =
                report::computeStatistics(store, kPerHour, true, options, index.get());
            const report::Statistics plain =
                report::computeStatistics(store, kPerHour, true, options);
            const QString where = QString("samples %1 to %2").arg(from).arg(to);
            QVERIFY2(report::statisticsJson(summed) == report::statisticsJson(plain),
                     qPrintable(where));
            QVERIFY2(report::statisticsText(summed) == report::statisticsText(plain),
                     qPrintable(where));

            const Plain p = textbook(store, from, to, *options.low, *options.high);
            for (const report::Statistics* st : {&summed, &plain}) {
                QCOMPARE(st->samples, to - from);
                QCOMPARE(st->readings, p.readings);
                QCOMPARE(st->missing, p.missing);
                QCOMPARE(st->longestGapSeconds, p.longestGap * 60);
                if (p.readings == 0) {
                    QVERIFY(!st->temperature.mean && !st->temperature.mkt);
                    continue;
                }
                QCOMPARE(*st->temperature.min, p.min);
                QCOMPARE(*st->temperature.max, p.max);
                QCOMPARE(*st->temperature.minAt, minute(p.minAt));
                QCOMPARE(*st->temperature.maxAt, minute(p.maxAt));
                QVERIFY2(qAbs(*st->temperature.mean - p.mean) < 1e-9, qPrintable(where));
                QVERIFY2(qAbs(*st->temperature.stdev - p.deviation) < 1e-9, qPrintable(where));
                QVERIFY2(qAbs(*st->temperature.mkt - p.mkt) < 1e-9, qPrintable(where));
                const report::Excursions& b = st->limits->below;
                const report::Excursions& a = st->limits->above;
                QCOMPARE((QList<long long>{b.seconds, b.count, b.longestSeconds, a.seconds, a.count,
                                           a.longestSeconds}),
                         (QList<long long>{p.below * 60, p.belowRuns, p.belowLongest * 60,
                                           p.above * 60, p.aboveRuns, p.aboveLongest * 60}));
            }
        }
    }

    // Block sums built for other choices or other data are not used.
    void blockSumsOfOtherChoicesDoNotFit() {
        SampleStore store;
        fillBlocks(store, 5000);
        const report::StatisticsOptions options{.fahrenheit = true, .high = 46.4};
        const auto index = report::indexStatistics(store, options);
        QVERIFY(report::indexFits(*index, store, options));
        const report::StatisticsOptions celsius{.fahrenheit = false, .high = 46.4};
        const report::StatisticsOptions low{.fahrenheit = true, .low = 30.0, .high = 46.4};
        const report::StatisticsOptions energy{.high = 46.4, .activationEnergy = 100};
        for (const report::StatisticsOptions& other : {celsius, low, energy})
            QVERIFY(!report::indexFits(*index, store, other));
        // Used anyway, they are left aside: the statistics are those of the samples.
        QCOMPARE(report::statisticsJson(
                     report::computeStatistics(store, kPerHour, true, celsius, index.get())),
                 report::statisticsJson(report::computeStatistics(store, kPerHour, true, celsius)));
        // Another sample, another alarm event.
        store.SampleTimes.push_back(minute(5000));
        store.TempData.push_back(20);
        QVERIFY(!report::indexFits(*index, store, options));
        const auto longer = report::indexStatistics(store, options);
        store.AlarmStarts[0].push_back(minute(4000));
        QVERIFY(!report::indexFits(*longer, store, options));
    }

    // The keys and shapes of the command line's object.
    void json() {
        SampleStore store;
        fill(store, {20, X, 25}, {40, 41, 42});
        store.AlarmStarts[1] = minutes({1});
        store.TestEnds = minutes({2});
        const QJsonObject json = report::statisticsJson(
            report::computeStatistics(store, kPerHour, true, {.fahrenheit = false, .low = 21.0}));
        QCOMPARE(json.keys(),
                 (QStringList{"alarms", "events", "first", "gaps", "interval_s", "last", "limits",
                              "missing", "readings", "rh", "samples", "temperature", "unit"}));
        QCOMPARE(json["temperature"].toObject().keys(),
                 (QStringList{"max", "max_at", "mean", "min", "min_at", "mkt", "stdev"}));
        QCOMPARE(json["rh"].toObject().keys(),
                 (QStringList{"max", "max_at", "mean", "min", "min_at", "stdev"}));
        QCOMPARE(json["temperature"]["max_at"].toString(), "2026-12-01T00:02:00");
        QCOMPARE(json["temperature"]["mean"].toDouble(), 22.5);
        QCOMPARE(json["unit"].toString(), "C");
        QCOMPARE(json["gaps"]["missing"].toInt(), 1);
        QCOMPARE(json["gaps"]["longest_s"].toInt(), 60);
        QCOMPARE(json["events"]["test_ends"].toInt(), 1);
        QVERIFY(json["limits"]["high"].isNull());
        const QJsonObject episode = json["alarms"]["rh"]["list"][0].toObject();
        QCOMPARE(episode.keys(), (QStringList{"duration_s", "end", "max", "min", "open", "start"}));
        QCOMPARE(episode["open"].toString(), "end");
        QCOMPARE(episode["min"].toDouble(), 41.0);
        QCOMPARE(episode["duration_s"].toInt(), 60);
        QVERIFY(json["alarms"]["temperature"]["list"].toArray().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestStatistics)
#include "test_statistics.moc"
