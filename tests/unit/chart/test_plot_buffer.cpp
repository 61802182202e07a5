// Redrawing the chart from the sample store: gaps, colours, event labels and
// the invisible points that carry labels.
#include "chart/chart.h"
#include "chart/chart_hover.h"
#include "chart/plot_buffer.h"
#include "chart_fixture.h"
#include "decode/point_builder.h"
#include "model/sample_store.h"
#include <QTest>
#include <bit>
#include <cmath>

namespace {

// Samples at days 1, 2, 3...; events written as "ns@1.5 tas@2".
void fill(SampleStore& store, const QList<float>& temps, const QList<float>& rh,
          const QString& events) {
    static const QStringList kinds = {"ns", "tas", "RHas", "tae", "RHae", "ts", "te"};
    for (int i = 0; i < temps.size(); ++i) {
        store.SampleTimes.push_back(i + 1);
        store.TempData.push_back(temps[i]);
    }
    store.RHData.assign(rh.begin(), rh.end());
    for (const QString& event : events.split(' ', Qt::SkipEmptyParts)) {
        const QStringList parts = event.split('@');
        store.eventLists()[kinds.indexOf(parts[0])]->push_back(parts[1].toDouble());
    }
}

QString colourName(const QColor& c) {
    if (!c.isValid())
        return "none";
    if (c == QColor(255, 0, 0))
        return "red";
    if (c == QColor(0, 0, 255))
        return "blue";
    if (c == QColor(192, 192, 192))
        return "silver";
    return c.name();
}

// "x:colour" for every point.
QStringList colours(const ChartSeries& s) {
    QStringList out;
    for (int i = 0; i < s.count(); ++i)
        out << QString("%1:%2").arg(s.x(i)).arg(colourName(s.colour(i)));
    return out;
}

// "x:label" for every labelled point.
QStringList labels(const ChartSeries& s) {
    QStringList out;
    for (int i = 0; i < s.count(); ++i)
        if (!s.label(i).isEmpty())
            out << QString("%1:%2").arg(s.x(i)).arg(s.label(i));
    return out;
}

// n samples a minute apart, jagged: runs of missing readings of either
// quantity (9999, and 9998 that is no gap), a NaN, events of every kind
// (some sharing a sample, some before the first or after the last) and an
// RH list that ends before the temperatures.
void fillLogger(SampleStore& store, int n) {
    const double start = 45000;
    for (int i = 0; i < n; ++i) {
        const double t = start + i / 1440.0;
        store.SampleTimes.push_back(t);
        // Any point of a pixel column may be its highest or lowest.
        const double jitter = (i * 7919 % 13) * 0.3;
        const bool tempGap = i % 611 == 3 || i % 611 == 4 || (i >= 2000 && i < 2200);
        store.TempData.push_back(tempGap         ? 9999.0f
                                 : i % 1500 == 7 ? 9998.0f
                                 : i == 3333     ? NAN
                                                 : float(20 + 8 * std::sin(i / 97.0) + jitter));
        if (i < n - 10) {
            const bool rhGap = i % 757 == 5 || (i >= 2150 && i < 2300) || i == 0;
            store.RHData.push_back(rhGap ? 9999.0f
                                         : float(50 + 20 * std::cos(i / 131.0) - 2 * jitter));
        }
        if (i % 900 == 30)
            store.NewSensorEvents.push_back(t - 1e-4);
        if (i % 700 == 60) {
            store.AlarmStarts[i % 1400 == 60 ? 0 : 1].push_back(t);
            store.AlarmEnds[0].push_back(t + 0.1);
        }
    }
    store.NewSensorEvents.insert(store.NewSensorEvents.begin(), start - 1);
    const double end = start + n / 1440.0;
    store.TestStarts = {start + 0.5, start + 0.5, start + 1.2};
    store.TestEnds = {end - 0.1, end + 6};
}

// The redraw from held points, as PlotBuffer drew before it read the store.
void plotHeld(const SampleStore& store, const PlotOptions& options, Chart& chart) {
    const std::size_t n = store.TempData.size();
    const decode::SampleRun run{.times = store.SampleTimes,
                                .temps = store.TempData,
                                .rh = std::span(store.RHData).first(options.RHBV ? n - 10 : 0)};
    decode::EventTimes events;
    for (std::size_t k = 0; k < events.size(); ++k)
        events[k] = *store.eventLists()[k];
    ChartSeries::Batch temperature, humidity;
    decode::buildPoints(run, events,
                        decode::eventsPresent(events, run.times.front(), run.times.back()),
                        options.TempInF, decode::kRedrawRules, temperature, humidity);
    chart.Series1().clear();
    chart.Series2().clear();
    chart.Series1().append(std::move(temperature));
    chart.Series2().append(std::move(humidity));
}

// Every point: the bits of x and y, its colour and its label's index.
std::vector<quint64> points(const ChartSeries& s) {
    std::vector<quint64> out;
    for (int i = 0; i < s.count(); ++i)
        out.insert(out.end(), {std::bit_cast<quint64>(s.x(i)), std::bit_cast<quint64>(s.y(i)),
                               s.colour(i).rgba64(), quint64(s.label(i).isEmpty() ? 0 : i)});
    return out;
}

// The strokes as drawn in the chart's current view, both ways of reading.
QStringList strokes(const ChartSeries& s) {
    QStringList out;
    for (const auto reading : {ChartSeries::Reading::Summary, ChartSeries::Reading::EveryPoint})
        for (const ChartSeries::Stroke& stroke : s.strokes(reading)) {
            QString line = QString::number(stroke.colour, 16);
            for (const QPointF& p : stroke.points)
                line += QString(" %1,%2").arg(p.x(), 0, 'g', 17).arg(p.y(), 0, 'g', 17);
            out << line;
        }
    return out;
}

// The tip under the mouse at each sample that the RH series labels; at the
// others it reads the store alone.
QStringList tips(const SampleStore& store, const PlotOptions& options, Chart& chart) {
    QStringList out;
    for (std::size_t i = 0; i < store.SampleTimes.size(); ++i) {
        const double t = store.SampleTimes[i];
        for (const auto& [x, label] : chart.Series2().labelsIn(t, t))
            out << chart::sampleTip(store, i,
                                    {options.TempInF, options.RHBV, "dd/mm/yyyy hh:mm:ss"}, label);
    }
    return out;
}

} // namespace

class TestChartPlotBuffer : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        m_chart = std::make_unique<Chart>();
        m_store = std::make_unique<SampleStore>();
    }
    void cleanup() {
        m_chart.reset();
        m_store.reset();
    }

    void colours_data() {
        QTest::addColumn<QList<float>>("temps");
        QTest::addColumn<QList<float>>("rh"); // empty: no RH channel
        QTest::addColumn<QStringList>("series1");
        QTest::addColumn<QStringList>("series2");
        QTest::newRow("gap bridged in silver")
            << QList<float>{20, 9999, 21} << QList<float>{} << QStringList{"1:red", "3:silver"}
            << QStringList{"1:none", "3:none"};
        QTest::newRow("9998 leaves no point and no silver")
            << QList<float>{20, 9998, 21} << QList<float>{} << QStringList{"1:red", "3:red"}
            << QStringList{"1:none", "3:none"};
        QTest::newRow("above 9999 is no reading, not a gap")
            << QList<float>{20, 10000, 21} << QList<float>{} << QStringList{"1:red", "3:red"}
            << QStringList{"1:none", "3:none"};
        QTest::newRow("gap at the first sample does not make the second silver")
            << QList<float>{9999, 20, 21} << QList<float>{} << QStringList{"2:red", "3:red"}
            << QStringList{"2:none", "3:none"};
        QTest::newRow("gap at the second sample makes the third silver")
            << QList<float>{20, 9999, 9999, 21} << QList<float>{}
            << QStringList{"1:red", "4:silver"} << QStringList{"1:none", "4:none"};
        QTest::newRow("RH gaps are its own")
            << QList<float>{20, 21, 22, 23} << QList<float>{50, 9999, 52, 9998}
            << QStringList{"1:red", "2:red", "3:red", "4:red"}
            << QStringList{"1:blue", "2:none", "3:silver", "4:none"};
        QTest::newRow("no point at all without either reading")
            << QList<float>{20, 9999} << QList<float>{50, 9999} << QStringList{"1:red"}
            << QStringList{"1:blue"};
    }
    void colours() {
        QFETCH(QList<float>, temps);
        QFETCH(QList<float>, rh);
        QFETCH(QStringList, series1);
        QFETCH(QStringList, series2);
        SampleStore& store = *m_store;
        fill(store, temps, rh, QString());
        PlotBuffer(store, {false, !rh.isEmpty()}, *m_chart);
        QCOMPARE(::colours(m_chart->Series1()), series1);
        QCOMPARE(::colours(m_chart->Series2()), series2);
    }

    void labels_data() {
        QTest::addColumn<QList<float>>("temps");
        QTest::addColumn<QString>("events");
        QTest::addColumn<QStringList>("expected");
        const QList<float> three{20, 21, 22};
        QTest::newRow("no events: a dot on the first point") << three << "" << QStringList{"1:."};
        QTest::newRow("counts and order")
            << three << "tas@1.5 ns@1.2 ns@1.8" << QStringList{"2:2 ns, tas"};
        QTest::newRow("every kind in list order")
            << three << "te@2 ts@2 RHae@2 tae@2 RHas@2 tas@2 ns@2"
            << QStringList{"1:.", "2:ns, tas, RHas, tae, RHae, ts, te"};
        QTest::newRow("event at a sample's time belongs to it")
            << three << "tae@3" << QStringList{"1:.", "3:tae"};
        QTest::newRow("events before the first sample go to it")
            << three << "ns@0.2 ns@0.5 ts@0.7" << QStringList{"1:2 ns, ts"};
        QTest::newRow("events after the last sample are not shown")
            << three << "tas@3.5" << QStringList{"1:."};
        QTest::newRow("each event is given once")
            << three << "ns@1.5 ns@2.5" << QStringList{"2:ns", "3:ns"};
        QTest::newRow("a single event in range keeps the dot")
            << three << "tas@2.5" << QStringList{"1:.", "3:tas"};
        QTest::newRow("two events in range drop the dot")
            << three << "ts@1.5 ts@2.5" << QStringList{"2:ts", "3:ts"};
        QTest::newRow("last event beyond the samples keeps the dot")
            << three << "tas@1.5 tas@9" << QStringList{"1:.", "2:tas"};
        QTest::newRow("test ends never drop the dot")
            << three << "te@1.5 te@2.5" << QStringList{"1:.", "2:te", "3:te"};
        QTest::newRow("dot goes to the first sample drawn")
            << QList<float>{9999, 20} << "" << QStringList{"2:."};
        QTest::newRow("label of a sample without a point is lost")
            << QList<float>{20, 9999, 21} << "tas@2" << QStringList{"1:."};
    }
    void labels() {
        QFETCH(QList<float>, temps);
        QFETCH(QString, events);
        QFETCH(QStringList, expected);
        SampleStore& store = *m_store;
        fill(store, temps, {}, events);
        PlotBuffer(store, {true, false}, *m_chart);
        QCOMPARE(::labels(m_chart->Series2()), expected);
        QCOMPARE(::labels(m_chart->Series1()), QStringList());
    }

    void valuesAndCarriers() {
        SampleStore& store = *m_store;
        fill(store, {20, 9999, 30, 40}, {50, 60, 9999, 70}, "");
        PlotBuffer(store, {true, false}, *m_chart);
        const ChartSeries& t = m_chart->Series1();
        QCOMPARE(t.count(), 3);
        QCOMPARE(t.y(0), 68.0);
        QCOMPARE(t.y(2), 104.0);
        // Without RH the label carriers stand at their own index, undrawn.
        const ChartSeries& h = m_chart->Series2();
        QCOMPARE(h.count(), 3);
        QCOMPARE(h.y(2), 2.0);
        QVERIFY(h.drawnSegments().empty());

        PlotBuffer(store, {false, true}, *m_chart);
        QCOMPARE(t.y(0), 20.0);
        QCOMPARE(h.count(), 4);
        QCOMPARE(h.y(1), 60.0);
        QCOMPARE(h.y(2), 2.0); // RH missing at a drawn temperature: a carrier
        QVERIFY(!h.colour(2).isValid());
        QCOMPARE(h.y(3), 70.0);
    }

    void returnsTheLastSampleTime() {
        SampleStore& store = *m_store;
        fill(store, {20, 21}, {}, "");
        QCOMPARE(PlotBuffer(store, {}, *m_chart), std::optional<platform::DateTime>(2.0));
    }

    void emptyStoreLeavesTheChart() {
        m_chart->Series1().addX(0, "No data", QColor(128, 128, 128));
        QCOMPARE(PlotBuffer(*m_store, {}, *m_chart), std::nullopt);
        QCOMPARE(m_chart->Series1().count(), 1);
        QCOMPARE(m_chart->Series1().label(0), QString("No data"));
    }

    // A store whose RH or time list falls short of the temperatures must not
    // be read past its end.
    void shortListsAreNotOverrun() {
        SampleStore& store = *m_store;
        fill(store, {20, 21, 22}, {50}, "");
        PlotBuffer(store, {false, true}, *m_chart);
        QCOMPARE(::colours(m_chart->Series2()), QStringList({"1:blue", "2:none", "3:none"}));
        store.SampleTimes.pop_back();
        QCOMPARE(PlotBuffer(store, {false, true}, *m_chart),
                 std::optional<platform::DateTime>(2.0));
        QCOMPARE(m_chart->Series1().count(), 2);
    }

    // The series that reads the store shows what held points of the same
    // redraw show: points, segments, strokes in several views, axes, labels,
    // the tip under the mouse and the image; points added after it join it
    // as they join held points.
    void storeAndHeldPointsAlike_data() {
        QTest::addColumn<bool>("fahrenheit");
        QTest::addColumn<bool>("rh");
        QTest::addColumn<int>("samples");
        QTest::newRow("F with RH") << true << true << 4320;
        QTest::newRow("C with RH") << false << true << 4320;
        QTest::newRow("F without RH") << true << false << 4320;
        // Many whole blocks of points in each pixel column of a full view.
        QTest::newRow("F with RH, half a year") << true << true << 260000;
    }
    void storeAndHeldPointsAlike() {
        QFETCH(bool, fahrenheit);
        QFETCH(bool, rh);
        QFETCH(int, samples);
        SampleStore& store = *m_store;
        fillLogger(store, samples);
        const PlotOptions options{fahrenheit, rh};
        const auto fromStore = makeTestChart(), held = makeTestChart();
        for (Chart* chart : {fromStore.get(), held.get()}) {
            chart->LeftAxis().setAutomatic(true);
            chart->RightAxis().setVisible(rh);
            chart->RightAxis().setAutomatic(true);
        }
        PlotBuffer(store, options, *fromStore);
        plotHeld(store, options, *held);

        const auto expectAlike = [&](const char* view) {
            fromStore->replot();
            held->replot();
            for (ChartAxis* axis : {&fromStore->BottomAxis(), &fromStore->LeftAxis(),
                                    &fromStore->TopAxis(), &fromStore->RightAxis()}) {
                const QCPAxis* other = held->axisRect()->axis(axis->axis()->axisType(), 0);
                QVERIFY2(axis->axis()->range() == other->range(), view);
            }
            for (auto which : {&Chart::Series1, &Chart::Series2})
                QCOMPARE(strokes(((*fromStore).*which)()), strokes(((*held).*which)()));
            QCOMPARE(fromStore->xAxis2->tickVectorLabels(), held->xAxis2->tickVectorLabels());
            QVERIFY2(fromStore->toPixmap().toImage() == held->toPixmap().toImage(), view);
        };
        const auto showTimes = [&](double from, double to) {
            for (Chart* chart : {fromStore.get(), held.get()})
                for (ChartAxis* axis : {&chart->BottomAxis(), &chart->TopAxis()})
                    axis->setMinMax(from, to);
        };
        // The points whatever the view.
        const auto expectSamePoints = [&] {
            for (auto which : {&Chart::Series1, &Chart::Series2}) {
                const ChartSeries& a = ((*fromStore).*which)();
                const ChartSeries& b = ((*held).*which)();
                QCOMPARE(points(a), points(b));
                QVERIFY(a.drawnSegments() == b.drawnSegments());
                QCOMPARE(a.labelsIn(-1e9, 1e9), b.labelsIn(-1e9, 1e9));
            }
        };
        expectSamePoints();
        expectAlike("full view");
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(tips(store, options, *fromStore), tips(store, options, *held));
        QVERIFY(!strokes(fromStore->Series1()).isEmpty());
        // Parts of the span; zoomed far out, whole blocks of points fall into
        // one pixel column.
        const struct {
            const char* name;
            double from, to;
        } views[] = {{"zoomed out", -16, 17}, {"a tenth", 0.43, 0.53}, {"narrow", 0.497, 0.503}};
        const double start = store.SampleTimes.front(), span = store.SampleTimes.back() - start;
        for (const auto& view : views) {
            showTimes(start + view.from * span, start + view.to * span);
            expectAlike(view.name);
            QVERIFY(!QTest::currentTestFailed());
        }

        // An upload's points after a redraw: the series' own points from then on.
        for (Chart* chart : {fromStore.get(), held.get()}) {
            chart->Series1().add(start + span + 0.5, 30, "tas", QColor(0, 255, 0));
            chart->Series2().addX(start + span + 0.5, QString(), QColor());
        }
        showTimes(start - span, start + 2 * span);
        expectSamePoints();
        expectAlike("points added");
    }

    // The series reads the lists where they are now: they may grow and move
    // under it; cut back, they are not read at all.
    void storeListsMayMoveButNotShrink() {
        SampleStore& store = *m_store;
        fillLogger(store, 4320);
        PlotBuffer(store, {true, true}, *m_chart);
        const auto before = points(m_chart->Series2());
        for (auto* list : {&store.TempData, &store.RHData}) {
            list->shrink_to_fit();
            list->insert(list->end(), 100000, 30.0f);
        }
        QCOMPARE(points(m_chart->Series2()), before);
        store.clearLists();
        QCOMPARE(m_chart->Series2().count(), 0);
        QVERIFY(m_chart->Series2().strokes().empty());
        QVERIFY(m_chart->Series2().labelsIn(-1e9, 1e9).empty());
        m_chart->Series2().addX(1, "No data", QColor(128, 128, 128));
        QCOMPARE(m_chart->Series2().count(), 1);
    }

  private:
    std::unique_ptr<Chart> m_chart;
    std::unique_ptr<SampleStore> m_store;
};

QTEST_MAIN(TestChartPlotBuffer)
#include "test_plot_buffer.moc"
