// The chart points of a run of samples under the rules of a live upload and of
// a redraw from the store: one fixture that shows every difference between them.
#include "decode/point_builder.h"
#include <QStringList>
#include <QTest>
#include <optional>
#include <utility>

Q_DECLARE_METATYPE(decode::PointRules)

namespace {

// Points as "x y colour label".
struct Recorded {
    QStringList points;
    QString pending;
    void labelNext(const QString& label) { pending = label; }
    void addPacked(double x, double y, QRgb colour) {
        const QString name = colour == decode::kTemperatureColour.rgb() ? "red"
                             : colour == decode::kRHColour.rgb()        ? "blue"
                             : colour == decode::kAfterGapColour.rgb()  ? "silver"
                             : qAlpha(colour) == 0                      ? "none"
                                                                        : "other";
        points << QString("%1 %2 %3 %4").arg(x).arg(y).arg(name, std::exchange(pending, {}));
    }
    std::size_t size() const { return points.size(); }
};

// Each sample's points as "j temperature humidity label", one call expanded.
QStringList marks(const decode::SampleRun& run, const decode::EventTimes& events,
                  const decode::PointRules& rules, bool seriesEmpty, bool stretches) {
    QStringList out;
    const auto colour = [](const std::optional<QRgb>& c) {
        return c ? QString::number(*c, 16) : QString("-");
    };
    decode::markSamples(run, events, false, seriesEmpty, rules, stretches,
                        [&](std::size_t from, std::size_t to, const decode::SamplePoints& p) {
                            for (std::size_t j = from; j < to; ++j)
                                out << QString("%1 %2 %3 %4")
                                           .arg(j)
                                           .arg(colour(p.temperature), colour(p.humidity),
                                                j == from ? p.label : QString());
                        });
    return out;
}

} // namespace

class TestPointBuilder : public QObject {
    Q_OBJECT
  private slots:
    void rules_data() {
        QTest::addColumn<decode::PointRules>("rules");
        QTest::addColumn<QStringList>("temperature");
        QTest::addColumn<QStringList>("humidity");
        // The upload's first sample is a new sensor; a point after a gap is
        // silver from the second sample; 9998 is drawn; the test start reads
        // "tb" and is lost with the RH gap under it.
        QTest::newRow("live") << decode::kLiveRules
                              << QStringList{"1 20 silver ", "2 9998 red ", "3 21 red "}
                              << QStringList{"0 50 blue ns", "2 60 silver ", "3 61 blue "};
        // No extra new sensor, so the first point carries "."; silver from the
        // third sample; 9998 is no reading; "ts" rides on an undrawn point.
        QTest::newRow("redraw") << decode::kRedrawRules << QStringList{"1 20 red ", "3 21 red "}
                                << QStringList{"0 50 blue .", "1 1 none ts", "2 60 silver ",
                                               "3 61 blue "};
    }
    void rules() {
        QFETCH(decode::PointRules, rules);
        QFETCH(QStringList, temperature);
        QFETCH(QStringList, humidity);
        const std::vector<double> times{0, 1, 2, 3};
        const std::vector<float> temps{9999, 20, 9998, 21};
        const std::vector<float> rh{50, 9999, 60, 61};
        const std::vector<double> testStarts{1};
        decode::EventTimes events;
        events[5] = testStarts;
        Recorded t, h;
        decode::buildPoints({.times = times, .temps = temps, .rh = rh}, events, false, false, rules,
                            t, h);
        QCOMPARE(t.points, temperature);
        QCOMPARE(h.points, humidity);
    }

    // Plain stretches taken whole give each sample what it gets alone:
    // a stretch ends at a missing reading, after it, at a label and where
    // the RH list ends, under either rules, in a later packet too.
    void stretchesMarkAsSingleSamples_data() {
        QTest::addColumn<decode::PointRules>("rules");
        QTest::addColumn<int>("firstIndex");
        QTest::newRow("live, first packet") << decode::kLiveRules << 0;
        QTest::newRow("live, later packet") << decode::kLiveRules << 40;
        QTest::newRow("redraw") << decode::kRedrawRules << 0;
    }
    void stretchesMarkAsSingleSamples() {
        QFETCH(decode::PointRules, rules);
        QFETCH(int, firstIndex);
        std::vector<double> times;
        std::vector<float> temps, rh;
        for (int j = 0; j < 60; ++j) {
            times.push_back(j);
            temps.push_back(j % 11 == 4 ? 9999 : j % 13 == 6 ? 9998 : 20 + j % 3);
            if (j < 50)
                rh.push_back(j % 17 == 9 ? 9999 : j == 30 ? 9998.5f : 50);
        }
        const std::vector<double> alarms{2.5, 20, 20, 33.2};
        decode::EventTimes events;
        events[1] = alarms;
        const decode::SampleRun run{.times = times,
                                    .temps = temps,
                                    .rh = rh,
                                    .firstIndex = std::size_t(firstIndex),
                                    .tempBefore =
                                        firstIndex > 0 ? std::optional(9999.0f) : std::nullopt};
        const bool seriesEmpty = firstIndex == 0;
        const QStringList single = marks(run, events, rules, seriesEmpty, false);
        QCOMPARE(single.size(), 60);
        QCOMPARE(marks(run, events, rules, seriesEmpty, true), single);
    }
};

QTEST_MAIN(TestPointBuilder)
#include "test_point_builder.moc"
