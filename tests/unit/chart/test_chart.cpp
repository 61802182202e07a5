// The chart widget: coloured points and segments, labels on the top axis,
// axis limits, mouse zoom and pan, printing.
#include "chart/chart.h"
#include "chart_fixture.h"
#include "platform/errors.h"
#include "platform/formatting.h"
#include <QPrinter>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using Segment = ChartSeries::Segment;
Q_DECLARE_METATYPE(QList<QColor>)
Q_DECLARE_METATYPE(std::vector<Segment>)

namespace {

const QColor kRed(255, 0, 0);
const QColor kSilver(192, 192, 192);

} // namespace

class TestChartComponent : public QObject {
    Q_OBJECT
  private slots:
    void init() { m_chart = makeTestChart(); }
    void cleanup() { m_chart.reset(); }

    void segments_data() {
        QTest::addColumn<QList<QColor>>("colours");
        QTest::addColumn<std::vector<Segment>>("expected");
        QTest::newRow("each segment takes the colour of its end")
            << QList<QColor>{kRed, kSilver, kRed}
            << std::vector<Segment>{{0, 1, kSilver}, {1, 2, kRed}};
        QTest::newRow("invalid colour breaks the line on both sides")
            << QList<QColor>{kRed, kRed, QColor(), kRed, kRed}
            << std::vector<Segment>{{0, 1, kRed}, {3, 4, kRed}};
        QTest::newRow("transparent colour counts as none")
            << QList<QColor>{kRed, QColor(255, 0, 0, 0), kRed} << std::vector<Segment>{};
        QTest::newRow("all colourless")
            << QList<QColor>{QColor(), QColor()} << std::vector<Segment>{};
    }
    void segments() {
        QFETCH(QList<QColor>, colours);
        QFETCH(std::vector<Segment>, expected);
        for (int i = 0; i < colours.size(); ++i)
            m_chart->Series1().add(i, i, QString(), colours[i]);
        QCOMPARE(m_chart->Series1().drawnSegments(), expected);
    }

    void pointsKeepTheirValues() {
        ChartSeries& s = m_chart->Series2();
        s.addX(10, "No data", QColor(128, 128, 128));
        s.add(11, 55.5, QString(), kRed);
        s.addX(12, "ns", QColor());
        ChartSeries::Batch batch;
        batch.add(13, 1, QString(), kRed);
        batch.add(14, 2, "tas", kRed);
        s.append(std::move(batch));
        QCOMPARE(s.count(), 5);
        // addX places the point at the number of points held before it.
        QCOMPARE(s.y(0), 0.0);
        QCOMPARE(s.y(2), 2.0);
        QCOMPARE(s.x(1), 11.0);
        QCOMPARE(s.label(0), QString("No data"));
        QCOMPARE(s.label(1), QString());
        QCOMPARE(s.label(2), QString("ns"));
        QCOMPARE(s.label(4), QString("tas")); // batch labels land at their own points
        QCOMPARE(s.colour(0), QColor(128, 128, 128));
        QVERIFY(!s.colour(2).isValid());
        s.clear();
        QCOMPARE(s.count(), 0);
        QVERIFY(!s.hasLabels());
        s.addX(1, QString(), kRed);
        QCOMPARE(s.y(0), 0.0);
    }

    void topAxisShowsLabelsInView() {
        ChartSeries& s = m_chart->Series2();
        s.addX(5, QString(), QColor());
        s.addX(10, "ns", QColor());
        s.addX(50, "2 ns, tas", QColor());
        s.addX(50.0000001, "te", QColor()); // would overlap the label before it
        s.addX(200, "ts", QColor());
        m_chart->TopAxis().setAutomatic(false);
        m_chart->TopAxis().setMinMax(0, 100);
        m_chart->replot();
        QCOMPARE(m_chart->xAxis2->tickVector(), QVector<double>({10, 50}));
        QCOMPARE(m_chart->xAxis2->tickVectorLabels(), QVector<QString>({"ns", "2 ns\ntas"}));
    }

    void timeAxesShowDatesWithoutLabels() {
        const double start = platform::encodeDateTime(2024, 3, 1, 0, 0, 0);
        m_chart->Series1().add(start, 20, QString(), kRed);
        m_chart->Series1().add(start + 1, 21, QString(), kRed);
        m_chart->Series2().addX(start, QString(), QColor());
        m_chart->Series2().addX(start + 1, QString(), QColor());
        m_chart->setDateTimeFormat("dd/mm/yyyy hh:mm:ss");
        m_chart->replot();
        for (QCPAxis* axis : {m_chart->xAxis, m_chart->xAxis2}) {
            const auto ticks = axis->tickVector();
            QVERIFY(ticks.size() >= 2);
            QCOMPARE(
                axis->tickVectorLabels().first(),
                platform::formatDateTime("dd/mm/yyyy hh:mm:ss", ticks.first()).replace(' ', '\n'));
        }
        QCOMPARE(m_chart->BottomAxis().minimum(), start);
        QCOMPARE(m_chart->TopAxis().maximum(), start + 1);
    }

    void axisRefusesCrossedLimits() {
        ChartAxis& axis = m_chart->LeftAxis();
        axis.setMinMax(0, 100);
        QVERIFY_THROWS_EXCEPTION(platform::ChartAxisError, axis.setMinimum(101));
        QVERIFY_THROWS_EXCEPTION(platform::ChartAxisError, axis.setMaximum(-1));
        QCOMPARE(axis.minimum(), 0.0);
        QCOMPARE(axis.maximum(), 100.0);
        axis.setMinimum(100); // equal limits are allowed
        QCOMPARE(axis.minimum(), 100.0);
    }

    void automaticAxesFollowDrawnData() {
        m_chart->Series1().add(1, 20, QString(), kRed);
        m_chart->Series1().add(2, 30, QString(), kRed);
        m_chart->Series2().addX(3, "ns", QColor()); // colourless: no value range
        m_chart->LeftAxis().setAutomatic(true);
        m_chart->RightAxis().setAutomatic(true);
        m_chart->replot();
        QCOMPARE(m_chart->LeftAxis().minimum(), 20.0);
        QCOMPARE(m_chart->LeftAxis().maximum(), 30.0);
        QCOMPARE(m_chart->BottomAxis().maximum(), 3.0); // both time axes span both series
        QCOMPARE(m_chart->RightAxis().minimum(), -12.0);
        QCOMPARE(m_chart->RightAxis().maximum(), 88.0);
    }

    // Many points in one pixel column: the extremes must still be drawn.
    void decimationKeepsSpikes() {
        const int n = 200000;
        ChartSeries::Batch batch;
        for (int i = 0; i < n; ++i)
            batch.add(i, i == n / 2 ? 100 : 0, QString(), kRed);
        m_chart->Series1().append(std::move(batch));
        m_chart->LeftAxis().setMinMax(-10, 110);
        m_chart->replot();
        const QImage image = m_chart->toPixmap().toImage();
        const int x = qRound(m_chart->xAxis->coordToPixel(n / 2));
        const int top = qRound(m_chart->yAxis->coordToPixel(95));
        bool red = false;
        for (int dx = -2; dx <= 2; ++dx)
            red = red || image.pixelColor(x + dx, top) == kRed;
        QVERIFY(red);
    }

    void dragZoomsUnzoomsAndPans() {
        for (int i = 0; i <= 100; ++i)
            m_chart->Series1().add(i, i, QString(), kRed);
        m_chart->LeftAxis().setAutomatic(true);
        m_chart->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_chart.get()));
        m_chart->replot();
        QSignalSpy zoomed(m_chart.get(), &Chart::zoomed);
        QSignalSpy scrolled(m_chart.get(), &Chart::scrolled);
        const auto at = [this](double x, double y) {
            return QPoint(qRound(m_chart->xAxis->coordToPixel(x)),
                          qRound(m_chart->yAxis->coordToPixel(y)));
        };
        const double pixelX = 100.0 / m_chart->axisRect()->width();

        QTest::mousePress(m_chart.get(), Qt::LeftButton, {}, at(20, 60));
        QTest::mouseMove(m_chart.get(), at(30, 40));
        QTest::mouseRelease(m_chart.get(), Qt::LeftButton, {}, at(40, 30));
        QCOMPARE(zoomed.count(), 1);
        QVERIFY(!m_chart->BottomAxis().automatic());
        QVERIFY(!m_chart->LeftAxis().automatic());
        QVERIFY(qAbs(m_chart->BottomAxis().minimum() - 20) < 2 * pixelX);
        QVERIFY(qAbs(m_chart->BottomAxis().maximum() - 40) < 2 * pixelX);
        QVERIFY(qAbs(m_chart->LeftAxis().minimum() - 30) < 1);
        QVERIFY(qAbs(m_chart->LeftAxis().maximum() - 60) < 1);
        QCOMPARE(m_chart->TopAxis().minimum(), m_chart->BottomAxis().minimum());

        // Right drag to the right moves the view back in time.
        m_chart->replot();
        const double before = m_chart->BottomAxis().minimum();
        const double step = m_chart->xAxis->pixelToCoord(100) - m_chart->xAxis->pixelToCoord(0);
        const QPoint mid = at(30, 45);
        QTest::mousePress(m_chart.get(), Qt::RightButton, {}, mid);
        QTest::mouseMove(m_chart.get(), mid + QPoint(50, 0));
        QTest::mouseRelease(m_chart.get(), Qt::RightButton, {}, mid + QPoint(100, 10));
        QVERIFY(scrolled.count() >= 1);
        QCOMPARE(zoomed.count(), 1);
        QVERIFY(qAbs(m_chart->BottomAxis().minimum() - (before - step)) < 1e-9);
        QCOMPARE(m_chart->TopAxis().minimum(), m_chart->BottomAxis().minimum());

        // A drag towards the upper left returns to the automatic ranges.
        QTest::mousePress(m_chart.get(), Qt::LeftButton, {}, mid);
        QTest::mouseRelease(m_chart.get(), Qt::LeftButton, {}, mid - QPoint(30, 30));
        QVERIFY(m_chart->BottomAxis().automatic());
        QVERIFY(m_chart->LeftAxis().automatic());
        m_chart->replot();
        QCOMPARE(m_chart->BottomAxis().minimum(), 0.0);
        QCOMPARE(m_chart->BottomAxis().maximum(), 100.0);
        QCOMPARE(zoomed.count(), 1);

        // A click is no zoom.
        QTest::mouseClick(m_chart.get(), Qt::LeftButton, {}, mid);
        QCOMPARE(zoomed.count(), 1);
        QVERIFY(m_chart->BottomAxis().automatic());
    }

    // A footer wider than the chart goes onto further lines at its spaces;
    // nothing of it is lost and no line is wider than the chart.
    void footerWrapsToTheWidth_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("lines"); // 0: more than one, as many as it takes
        const QString line =
            "Units=F  Storage Rate=15sec   Recorded Temp=IIR filter 0% last output";
        const int full = QFontMetrics(QFont()).horizontalAdvance(line);
        QTest::newRow("wide enough") << full + 10 << 1;
        QTest::newRow("narrow") << full / 2 << 0;
        QTest::newRow("one word a line") << 1 << line.split(' ', Qt::SkipEmptyParts).size();
    }
    void footerWrapsToTheWidth() {
        QFETCH(int, width);
        QFETCH(int, lines);
        const QString line =
            "Units=F  Storage Rate=15sec   Recorded Temp=IIR filter 0% last output";
        const QFontMetrics metrics{QFont()};
        const QStringList wrapped = wrapToWidth({line, "Printed"}, metrics, width);
        QCOMPARE(wrapped.last(), "Printed");
        if (lines > 0)
            QCOMPARE(wrapped.size(), lines + 1);
        else
            QVERIFY(wrapped.size() > 2);
        QStringList words;
        for (const QString& part : wrapped.mid(0, wrapped.size() - 1)) {
            if (part.contains(' '))
                QVERIFY2(metrics.horizontalAdvance(part) <= width, qPrintable(part));
            words += part.split(' ', Qt::SkipEmptyParts);
        }
        QCOMPARE(words, line.split(' ', Qt::SkipEmptyParts));
    }

    // The "Printed" line stands at the right by its leading blanks; wrapping
    // keeps them, on the first line when the line must break.
    void footerWrapKeepsTheIndent_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("width");
        QTest::addColumn<QStringList>("expected");
        const QString indent(87, ' ');
        const QString printed = indent + "Printed 12/10/2026 12:00:00";
        const int full = QFontMetrics(QFont()).horizontalAdvance(printed);
        QTest::newRow("fits") << printed << full + 10 << QStringList{printed};
        QTest::newRow("breaks after the indented word")
            << printed << full - 10 << QStringList{indent + "Printed 12/10/2026", "12:00:00"};
        QTest::newRow("indented word wider than the width")
            << printed << 1 << QStringList{indent + "Printed", "12/10/2026", "12:00:00"};
        QTest::newRow("user line without a name")
            << "  Location=Lab 2" << 1000 << QStringList{"  Location=Lab 2"};
        QTest::newRow("blanks only") << "   " << 1000 << QStringList{""};
    }
    void footerWrapKeepsTheIndent() {
        QFETCH(QString, line);
        QFETCH(int, width);
        QFETCH(QStringList, expected);
        QCOMPARE(wrapToWidth({line}, QFontMetrics(QFont()), width), expected);
    }

    // Temperatures read with two decimals at every tick.
    void leftAxisShowsTwoDecimals() {
        m_chart->LeftAxis().setMinMax(37, 38);
        m_chart->replot();
        const QStringList labels = m_chart->yAxis->tickVectorLabels().toList();
        QVERIFY(!labels.isEmpty());
        QCOMPARE(labels.first(), QString("37.00"));
        for (const QString& label : labels)
            QVERIFY2(QRegularExpression(R"(^\d+\.\d\d$)").match(label).hasMatch(),
                     qPrintable(label));
        QVERIFY(labels.contains("37.20") || labels.contains("37.50"));
    }

    void printsOneLandscapePage() {
        QTemporaryDir dir;
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("chart.pdf"));
        printer.setPageOrientation(QPageLayout::Portrait);
        m_chart->Series1().add(1, 1, QString(), kRed);
        m_chart->print(printer);
        QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Portrait);
        const auto pages = pdfPages(dir.filePath("chart.pdf"));
        QCOMPARE(pages.size(), 1);
        QVERIFY(pages[0].width() > pages[0].height());
    }

  private:
    std::unique_ptr<Chart> m_chart;
};

QTEST_MAIN(TestChartComponent)
#include "test_chart.moc"
