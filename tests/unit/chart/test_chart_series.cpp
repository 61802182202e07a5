// Drawing by pixel column from the block summaries gives exactly the strokes
// that reading every point gives, whatever the data and the view.
#include "chart/chart.h"
#include "chart_fixture.h"
#include <QRandomGenerator>
#include <QTest>
#include <bit>
#include <cmath>
#include <limits>

namespace {

const QColor kColours[] = {QColor(255, 0, 0), QColor(192, 192, 192), QColor(0, 0, 255)};

struct Case {
    const char* name;
    int points = 200000;
    double gapChance = 0;            // a run of up to 200 colourless points starts
    double colourChance = 0;         // the colour changes
    double nanChance = 0;            // y is NaN
    double infinityChance = 0;       // y is infinite
    double backStepChance = 0;       // x goes back
    double viewFrom = 0, viewTo = 1; // shown part of the x span
    bool reversedAxes = false;
    int batches = 1;       // with more than one, a few points between them come one by one
    bool refilled = false; // other points were held and cleared before
};

const Case kCases[] = {
    {.name = "full view, long runs", .gapChance = 1e-4, .colourChance = 1e-4},
    {.name = "full view, frequent gaps and colour changes",
     .gapChance = 3e-3,
     .colourChance = 1e-2},
    {.name = "tenth of the span, off centre",
     .gapChance = 1e-3,
     .colourChance = 1e-3,
     .viewFrom = 0.43,
     .viewTo = 0.53},
    {.name = "narrow view", .gapChance = 1e-3, .viewFrom = 0.5, .viewTo = 0.5008},
    {.name = "view reaching past the data", .gapChance = 1e-3, .viewFrom = -0.2, .viewTo = 0.6},
    {.name = "about a block per pixel column", .points = 45000, .gapChance = 1e-3},
    {.name = "fewer points than three blocks", .points = 150, .colourChance = 0.02},
    {.name = "reversed axes", .gapChance = 1e-3, .colourChance = 1e-3, .reversedAxes = true},
    {.name = "NaN values", .gapChance = 1e-4, .nanChance = 5e-3},
    {.name = "infinite values", .gapChance = 1e-4, .infinityChance = 1e-4},
    {.name = "x going back now and then", .gapChance = 1e-4, .backStepChance = 1e-4},
    {.name = "uneven appends and single points",
     .gapChance = 1e-3,
     .colourChance = 1e-3,
     .batches = 7},
    {.name = "refilled after clear", .gapChance = 1e-3, .refilled = true},
};

// A random walk with spikes, repeated x, colour changes and colourless runs.
void fill(ChartSeries& series, const Case& c, quint32 seed) {
    QRandomGenerator random(seed);
    ChartSeries::Batch batch;
    const int batchSize = c.points / c.batches;
    double x = 1000, y = 0;
    int colour = 0, gap = 0;
    for (int i = 0; i < c.points; ++i) {
        x += random.generateDouble() < c.backStepChance ? -50 : random.bounded(3) * 0.5;
        y += random.generateDouble() - 0.5;
        double value = random.generateDouble() < 1e-3 ? y + 40 : y;
        if (random.generateDouble() < c.nanChance)
            value = std::numeric_limits<double>::quiet_NaN();
        if (random.generateDouble() < c.infinityChance)
            value = random.bounded(2) ? std::numeric_limits<double>::infinity()
                                      : -std::numeric_limits<double>::infinity();
        if (random.generateDouble() < c.colourChance)
            colour = random.bounded(3);
        if (random.generateDouble() < c.gapChance)
            gap = 1 + random.bounded(200);
        const QColor pointColour = gap > 0 ? QColor() : kColours[colour];
        gap = std::max(0, gap - 1);
        if (c.batches > 1 && i % batchSize < 5) {
            series.append(std::move(batch));
            series.add(x, value, QString(), pointColour);
        } else {
            batch.add(x, value, QString(), pointColour);
        }
    }
    series.append(std::move(batch));
}

// Colour, length and the bits of every coordinate: equal only when drawn alike.
std::vector<quint64> exact(const std::vector<ChartSeries::Stroke>& strokes) {
    std::vector<quint64> result;
    for (const auto& stroke : strokes) {
        result.push_back(stroke.colour);
        result.push_back(stroke.points.size());
        for (const QPointF& p : stroke.points) {
            result.push_back(std::bit_cast<quint64>(p.x()));
            result.push_back(std::bit_cast<quint64>(p.y()));
        }
    }
    return result;
}

} // namespace

class TestChartDecimation : public QObject {
    Q_OBJECT
  private slots:
    void summaryDrawsAsEveryPoint_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(kCases)); ++i)
            QTest::newRow(kCases[i].name) << i;
    }
    void summaryDrawsAsEveryPoint() {
        QFETCH(int, index);
        const Case& c = kCases[index];
        const auto chart = makeTestChart();
        ChartSeries& series = chart->Series1();
        if (c.refilled) {
            fill(series, c, 1000 + index);
            series.clear();
        }
        fill(series, c, index);
        const double first = series.x(0);
        const double span = series.x(series.count() - 1) - first;
        chart->BottomAxis().setAutomatic(false);
        chart->BottomAxis().setMinMax(first + c.viewFrom * span, first + c.viewTo * span);
        chart->LeftAxis().setMinMax(-150, 150);
        chart->xAxis->setRangeReversed(c.reversedAxes);
        chart->yAxis->setRangeReversed(c.reversedAxes);
        chart->replot();

        const auto summary = series.strokes();
        const auto everyPoint = series.strokes(ChartSeries::Reading::EveryPoint);
        QVERIFY(!everyPoint.empty());
        QCOMPARE(summary.size(), everyPoint.size());
        for (std::size_t k = 0; k < summary.size(); ++k)
            QVERIFY2(exact({summary[k]}) == exact({everyPoint[k]}),
                     qPrintable(QString("stroke %1 of %2").arg(k).arg(summary.size())));
    }
};

QTEST_MAIN(TestChartDecimation)
#include "test_chart_series.moc"
