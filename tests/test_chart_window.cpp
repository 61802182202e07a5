// The chart as the main window drives it: redraws from the store, the
// preference controls, zoom and pan reaching the %RH axis, printing.
#include "app/tform1.h"
#include "app_fixture.h"
#include "chart/chart.h"
#include "chart_fixture.h"
#include "platform/clock.h"
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {

void fillStore(TForm1& form) {
    const double start = platform::encodeDateTime(2026, 12, 1, 0, 0, 0);
    for (int i = 0; i < 40; ++i) {
        form.store.SampleTimes.push_back(start + i * 15 * platform::kSecond);
        form.store.TempData.push_back(i == 5 ? 9999.0f : 20.0f + i);
        form.store.RHData.push_back(40.0f + i);
    }
    form.store.AlarmStarts[0] = {start + 60 * platform::kSecond};
}

QPoint pixel(Chart& chart, double x, double y) {
    return QPoint(qRound(chart.xAxis->coordToPixel(x)), qRound(chart.yAxis->coordToPixel(y)));
}

} // namespace

class TestChartWindow : public QObject {
    Q_OBJECT
  private slots:
    void unitSwitchRedrawsTheStore() {
        AppFixture app;
        TForm1& form = app.start();
        fillStore(form);
        form.RHBV.setChecked(true);
        form.TempInF->setChecked(false);
        ChartSeries& temperature = form.Chart1->Series1();
        QCOMPARE(temperature.count(), 39); // the 9999 sample is left out
        QCOMPARE(temperature.y(0), 20.0);
        QCOMPARE(form.Chart1->Series2().label(4), QString("tas"));
        QVERIFY(form.Chart1->footerLines()[0].startsWith("Units=C"));
        form.TempInF->setChecked(true);
        QCOMPARE(temperature.y(0), 68.0);
        QVERIFY(form.Chart1->footerLines()[0].startsWith("Units=F"));
    }

    void limitsFollowTheEdits() {
        AppFixture app;
        TForm1& form = app.start();
        form.AutoScale->setChecked(false);
        QVERIFY(form.MinTemp->isEnabled() && form.MaxTemp->isEnabled());
        QVERIFY(!form.Chart1->LeftAxis().automatic());
        form.MinTemp->clear();
        for (QChar c : QString("-5"))
            QTest::keyClick(form.MinTemp, c.toLatin1());
        QCOMPARE(form.Chart1->LeftAxis().minimum(), -5.0);
        form.MinTemp->setText("500"); // above the maximum: ignored
        QCOMPARE(form.Chart1->LeftAxis().minimum(), -5.0);
        QVERIFY(app.dialogs.errors().isEmpty());
        form.MinTemp->setText("1x");
        QCOMPARE(app.dialogs.errors().size(), 1);
        QCOMPARE(form.Chart1->LeftAxis().minimum(), -5.0);
        form.AutoScale->setChecked(true);
        QVERIFY(!form.MinTemp->isEnabled());
        QVERIFY(form.Chart1->LeftAxis().automatic());
    }

    void zoomAndPanShowTheWholeRHRange() {
        AppFixture app;
        TForm1& form = app.start();
        fillStore(form);
        form.RHBV.setChecked(true);
        form.PlotBuffer();
        Chart& chart = *form.Chart1;
        QCOMPARE(chart.RightAxis().minimum(), -12.0);
        QCOMPARE(chart.RightAxis().maximum(), 88.0);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        chart.replot();
        const double t0 = form.store.SampleTimes[10], t1 = form.store.SampleTimes[20];
        QTest::mousePress(&chart, Qt::LeftButton, {}, pixel(chart, t0, 140));
        QTest::mouseMove(&chart, pixel(chart, t1, 100));
        QTest::mouseRelease(&chart, Qt::LeftButton, {}, pixel(chart, t1, 90));
        QCOMPARE(chart.RightAxis().minimum(), 0.0);
        QCOMPARE(chart.RightAxis().maximum(), 100.0);

        chart.RightAxis().setMinMax(-12, 88);
        chart.replot();
        const QPoint mid = pixel(chart, (t0 + t1) / 2, 110);
        QTest::mousePress(&chart, Qt::RightButton, {}, mid);
        QTest::mouseMove(&chart, mid + QPoint(40, 0));
        QTest::mouseRelease(&chart, Qt::RightButton, {}, mid + QPoint(80, 0));
        QCOMPARE(chart.RightAxis().minimum(), 0.0);
        QCOMPARE(chart.RightAxis().maximum(), 100.0);
    }

    void printingGoesToOneLandscapePage_data() {
        QTest::addColumn<bool>("secure");
        QTest::newRow("plain") << false;
        QTest::newRow("secure data") << true;
    }
    void printingGoesToOneLandscapePage() {
        QFETCH(bool, secure);
        AppFixture app;
        TForm1& form = app.start();
        fillStore(form);
        form.PlotBuffer();
        form.LockImage->setVisible(secure);
        const QStringList footer = form.Chart1->footerLines();
        app.dialogs.printToPdf = app.path("chart.pdf");
        form.PrintChart1->trigger();
        const QList<QSizeF> pages = pdfPages(app.path("chart.pdf"));
        QCOMPARE(pages.size(), 1);
        QVERIFY(pages[0].width() > pages[0].height());
        QCOMPARE(form.Chart1->footerLines(), footer);
        QVERIFY(app.dialogs.errors().isEmpty());
    }

    void cancelledPrintChangesNothing() {
        AppFixture app;
        TForm1& form = app.start();
        const QStringList footer = form.Chart1->footerLines();
        form.PrintChart1->trigger();
        QCOMPARE(form.Chart1->footerLines(), footer);
        QVERIFY(!QFile::exists(app.path("chart.pdf")));
    }
};

QTEST_MAIN(TestChartWindow)
#include "test_chart_window.moc"
