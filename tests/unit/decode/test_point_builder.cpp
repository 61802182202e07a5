// The chart points of a run of samples under the rules of a live upload and of
// a redraw from the store: one fixture that shows every difference between them.
#include "decode/point_builder.h"
#include <QStringList>
#include <QTest>
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
};

QTEST_MAIN(TestPointBuilder)
#include "test_point_builder.moc"
