// Footer lines, temperature limits and automatic scaling, the %RH range after
// a zoom, and printing with the "Printed" line.
#include "chart/axis_preferences.h"
#include "chart/chart.h"
#include "chart/footer.h"
#include "chart/print_chart.h"
#include "chart_fixture.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/formatting.h"
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(FooterInputs)
Q_DECLARE_METATYPE(LimitOrder)

namespace {

FooterInputs user(const QString& name, const QString& location, const QString& id) {
    FooterInputs in;
    in.Datastored = "Average";
    in.UserName = name;
    in.UserLocation = location;
    in.UnitId = id;
    return in;
}

FooterInputs rate(double samplesPerHour, bool fahrenheit) {
    FooterInputs in;
    in.SamplesPerHour = samplesPerHour;
    in.TempInF = fahrenheit;
    in.Datastored = "Minimum";
    return in;
}

FooterInputs humidity(int headerFormat, float percent) {
    FooterInputs in;
    in.RHBV = true;
    in.HeaderFormat = headerFormat;
    in.RHFilterPercent = percent;
    in.Datastored = "Average";
    return in;
}

// The footer as the chart draws it, on screen and on paper.
QStringList shownFooter(Chart& chart) {
    const auto* footer = qobject_cast<QCPTextElement*>(chart.plotLayout()->element(2, 0));
    return footer ? footer->text().split('\n') : QStringList();
}

} // namespace

class TestChartDisplay : public QObject {
    Q_OBJECT
  private slots:
    void init() { m_chart = makeTestChart(); }
    void cleanup() { m_chart.reset(); }

    void footer_data() {
        QTest::addColumn<FooterInputs>("inputs");
        QTest::addColumn<QStringList>("expected");
        const QString avg = "Units=F  Storage Rate=15sec   Recorded Temp=Average";
        QTest::newRow("no user information") << user("", "", "") << QStringList{avg, ""};
        QTest::newRow("location only")
            << user("", "Lab 2", "") << QStringList{avg, "  Location=Lab 2", ""};
        QTest::newRow("all user fields")
            << user("Ann", "Lab 2", "77")
            << QStringList{avg, "User=Ann  Location=Lab 2  BV ID=77", ""};
        QTest::newRow("celsius, one a minute")
            << rate(60, false)
            << QStringList{"Units=C  Storage Rate=60sec   Recorded Temp=Minimum", ""};
        QTest::newRow("interval in single precision")
            << rate(7, true)
            << QStringList{"Units=F  Storage Rate=514.285705566406sec   Recorded Temp=Minimum", ""};
        QTest::newRow("no samples per hour")
            << rate(0, true)
            << QStringList{"Units=F  Storage Rate=0sec   Recorded Temp=Minimum", ""};
        QTest::newRow("RH, older header")
            << humidity(1, 12.345f) << QStringList{avg + "  Recorded RH=average", ""};
        QTest::newRow("RH, newer header rounds the weighting")
            << humidity(2, 12.345f) << QStringList{avg + "  Recorded RH=12.35% last output", ""};
        QTest::newRow("RH, newer header, whole weighting")
            << humidity(2, 25.0f) << QStringList{avg + "  Recorded RH=25% last output", ""};
    }
    void footer() {
        QFETCH(FooterInputs, inputs);
        QFETCH(QStringList, expected);
        m_chart->addFooterLine("User=");
        UpdateFooter(*m_chart, inputs);
        QCOMPARE(m_chart->footerLines(), expected);
    }

    void printedLine_data() {
        QTest::addColumn<bool>("secure");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("plain") << false << QString(87, ' ');
        QTest::newRow("secure") << true << "[Secure Data]" + QString(74, ' ');
    }
    void printedLine() {
        QFETCH(bool, secure);
        QFETCH(QString, prefix);
        const double t = platform::encodeDateTime(2024, 5, 6, 7, 8, 9);
        QCOMPARE(::printedLine(secure, t), prefix + "Printed " + platform::dateTimeToStr(t));
        QCOMPARE(prefix.size() + QString("Printed ").size(), 95); // the date stands at 95
    }

    void limits_data() {
        QTest::addColumn<QString>("minText");
        QTest::addColumn<QString>("maxText");
        QTest::addColumn<LimitOrder>("order");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<QString>("error");
        const auto minFirst = LimitOrder::MinimumFirst;
        const auto maxFirst = LimitOrder::MaximumFirst;
        QTest::newRow("applied") << "10"
                                 << "50" << minFirst << 10.0 << 50.0 << "";
        QTest::newRow("negative") << "-5"
                                  << "50" << maxFirst << -5.0 << 50.0 << "";
        QTest::newRow("empty minimum") << ""
                                       << "50" << minFirst << 0.0 << 100.0 << "";
        QTest::newRow("empty maximum") << "10"
                                       << "" << maxFirst << 0.0 << 100.0 << "";
        QTest::newRow("minus being typed") << "-"
                                           << "50" << minFirst << 0.0 << 100.0 << "";
        QTest::newRow("minimum above maximum") << "60"
                                               << "50" << minFirst << 0.0 << 100.0 << "";
        QTest::newRow("equal") << "50"
                               << "50" << minFirst << 50.0 << 50.0 << "";
        QTest::newRow("not a number") << "1x"
                                      << "50" << minFirst << 0.0 << 100.0 << "conversion";
        // Setting the minimum first cannot pass the axis's current maximum.
        QTest::newRow("above the axis, minimum first")
            << "200"
            << "300" << minFirst << 0.0 << 100.0 << "axis";
        QTest::newRow("above the axis, maximum first") << "200"
                                                       << "300" << maxFirst << 200.0 << 300.0 << "";
        QTest::newRow("below the axis, maximum first")
            << "-300"
            << "-200" << maxFirst << 0.0 << 100.0 << "axis";
    }
    void limits() {
        QFETCH(QString, minText);
        QFETCH(QString, maxText);
        QFETCH(LimitOrder, order);
        QFETCH(double, minimum);
        QFETCH(double, maximum);
        QFETCH(QString, error);
        ChartAxis& axis = m_chart->LeftAxis();
        axis.setMinMax(0, 100);
        axis.setAutomatic(true);
        QString raised;
        try {
            applyTempLimits(*m_chart, minText, maxText, order);
        } catch (const platform::ConversionError&) {
            raised = "conversion";
        } catch (const platform::ChartAxisError&) {
            raised = "axis";
        }
        QCOMPARE(raised, error);
        QCOMPARE(axis.minimum(), minimum);
        QCOMPARE(axis.maximum(), maximum);
        QVERIFY(axis.automatic());
    }

    void autoScale() {
        ChartAxis& axis = m_chart->LeftAxis();
        m_chart->Series1().add(1, 200, QString(), Qt::red);
        m_chart->Series1().add(2, 300, QString(), Qt::red);
        setAutoScale(*m_chart, true, "0", "100");
        m_chart->replot();
        QVERIFY(axis.automatic());
        QCOMPARE(axis.minimum(), 200.0);

        // Limits wholly below the range shown are refused at the maximum.
        QVERIFY_THROWS_EXCEPTION(platform::ChartAxisError,
                                 setAutoScale(*m_chart, false, "0", "100"));
        QVERIFY(axis.automatic());
        QCOMPARE(axis.maximum(), 300.0);

        setAutoScale(*m_chart, false, "250", "400");
        QVERIFY(!axis.automatic());
        m_chart->replot();
        QCOMPARE(axis.minimum(), 250.0);
        QCOMPARE(axis.maximum(), 400.0);

        applyAutoScale(*m_chart, false);
        QVERIFY(!axis.automatic());
        applyAutoScale(*m_chart, true);
        QVERIFY(axis.automatic());
    }

    void rhAxisReset_data() {
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("maximum");
        QTest::newRow("design range") << -12.0 << 88.0;
        QTest::newRow("above 100") << 150.0 << 200.0;
        QTest::newRow("below 0") << -300.0 << -200.0;
        QTest::newRow("ends at 0") << -50.0 << 0.0;
    }
    void rhAxisReset() {
        QFETCH(double, minimum);
        QFETCH(double, maximum);
        m_chart->RightAxis().setMinMax(minimum, maximum);
        resetRHAxis(*m_chart);
        QCOMPARE(m_chart->RightAxis().minimum(), 0.0);
        QCOMPARE(m_chart->RightAxis().maximum(), 100.0);
    }

    void print_data() {
        QTest::addColumn<bool>("secure");
        QTest::newRow("plain") << false;
        QTest::newRow("secure") << true;
    }
    void print() {
        QFETCH(bool, secure);
        QTemporaryDir dir;
        platform::ScriptedDialogs dialogs;
        dialogs.printToPdf = dir.filePath("chart.pdf");
        platform::setDialogs(&dialogs);
        const FooterInputs inputs = user("Ann", "", "");
        UpdateFooter(*m_chart, inputs);
        QStringList printedFooter, shownWhilePrinting;
        QPrinter printer;
        const bool printed = PrintChart(*m_chart, printer, secure, [&] {
            printedFooter = m_chart->footerLines();
            shownWhilePrinting = shownFooter(*m_chart);
            UpdateFooter(*m_chart, inputs);
        });
        platform::setDialogs(nullptr);
        QVERIFY(printed);
        QCOMPARE(printedFooter.size(), 4);
        QVERIFY(printedFooter.last().startsWith(secure ? "[Secure Data]" : "     "));
        QCOMPARE(printedFooter.last().mid(87, 8), QString("Printed "));
        QCOMPARE(shownWhilePrinting.last(), printedFooter.last()); // the prefix is drawn too
        QCOMPARE(m_chart->footerLines(), footerLines(inputs));
        const auto pages = pdfPages(dialogs.printToPdf);
        QCOMPARE(pages.size(), 1);
        QVERIFY(pages[0].width() > pages[0].height());
    }

    void printCancelled() {
        platform::ScriptedDialogs dialogs; // no file: the dialog is cancelled
        platform::setDialogs(&dialogs);
        UpdateFooter(*m_chart, FooterInputs{});
        bool rebuilt = false;
        QPrinter printer;
        const bool printed = PrintChart(*m_chart, printer, false, [&] { rebuilt = true; });
        platform::setDialogs(nullptr);
        QVERIFY(!printed);
        QVERIFY(!rebuilt);
        QCOMPARE(m_chart->footerLines().size(), 2);
    }

  private:
    std::unique_ptr<Chart> m_chart;
};

QTEST_MAIN(TestChartDisplay)
#include "test_chart_display.moc"
