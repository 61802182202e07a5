// Redrawing the chart from the sample store: gaps, colours, event labels and
// the invisible points that carry labels.
#include "chart/chart.h"
#include "chart/plot_buffer.h"
#include "model/sample_store.h"
#include <QTest>

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

  private:
    std::unique_ptr<Chart> m_chart;
    std::unique_ptr<SampleStore> m_store;
};

QTEST_MAIN(TestChartPlotBuffer)
#include "test_plot_buffer.moc"
