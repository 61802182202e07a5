// The chart as the main window drives it: redraws from the store, the
// preference controls, zoom and pan reaching the %RH axis, printing, and what
// the chart shows when an upload, a load or New/Clear brings new data.
#include "app/tform1.h"
#include "app_fixture.h"
#include "chart/chart.h"
#include "chart_fixture.h"
#include "platform/clock.h"
#include "upload_rig.h"
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

// Zooms into the middle of the chart with the mouse, as the user does.
void dragZoom(TForm1& form) {
    Chart& chart = *form.Chart1;
    chart.replot();
    const QPoint from(chart.width() / 3, chart.height() / 3);
    QTest::mousePress(&chart, Qt::LeftButton, {}, from);
    QTest::mouseMove(&chart, from + QPoint(60, 40));
    QTest::mouseRelease(&chart, Qt::LeftButton, {}, from + QPoint(80, 50));
}

QString range(const ChartAxis& axis) {
    return QString("%1..%2%3")
        .arg(axis.minimum(), 0, 'f', 7)
        .arg(axis.maximum(), 0, 'f', 7)
        .arg(axis.automatic() ? " auto" : "");
}

// What the chart shows once laid out: axis ranges, the labels along both time
// axes, every label of the RH series and the footer.
QString shown(Chart& chart) {
    chart.replot();
    const auto ticks = [](const QCPAxis* axis) {
        return axis->tickLabels() ? QStringList(axis->tickVectorLabels().toList()).join('|')
                                  : QString("(none)");
    };
    QStringList labels;
    for (const auto& [x, text] : chart.Series2().labelsIn(-1e9, 1e9))
        labels << QString::number(x, 'f', 7) + '=' + text;
    return QStringList{"bottom " + range(chart.BottomAxis()) + ": " + ticks(chart.xAxis),
                       "top " + range(chart.TopAxis()) + ": " + ticks(chart.xAxis2),
                       "left " + range(chart.LeftAxis()),
                       "right " + range(chart.RightAxis()),
                       "labels " + labels.join(' '),
                       "footer " + chart.footerLines().join('|')}
        .join('\n');
}

QByteArray duplicateFixture() {
    QFile file(qEnvironmentVariable("BRENVALE_SOURCE_DIR") + "/tests/data/files/dup_mdy_rh.bvx");
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

    // A finished upload shows what a redraw of its store shows, whatever the
    // logger: without RH the "No data" stand-in must not pull the time axes
    // to 1899, and the event labels and the footer's "Recorded RH=" are there
    // at once.
    void uploadEndsAsARedrawShowsIt_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("rh");
        QTest::newRow("older, temperature model") << 1 << false;
        QTest::newRow("older, RH model") << 1 << true;
        QTest::newRow("newer without RH") << 2 << false;
        QTest::newRow("newer with RH") << 2 << true;
    }
    void uploadEndsAsARedrawShowsIt() {
        QFETCH(int, format);
        QFETCH(bool, rh);
        bvsim::LoggerConfig config = loggerConfig(format, rh, 400);
        if (format == 2)
            for (bvsim::ChannelData& ch : config.channels)
                ch.events = {{10, 0xfffe}, {20, 0xfffa}, {30, 0xfff9}, {40, 0xfff8}, {40, 0xfff8}};
        UploadRig rig(config);
        QVERIFY(rig.upload());
        TForm1& form = rig.form();
        const QString uploaded = shown(*form.Chart1);
        QVERIFY2(form.Chart1->BottomAxis().minimum() >= form.store.SampleTimes.front(),
                 qPrintable(uploaded));
        QCOMPARE(form.Chart1->footerLines()[0].contains("Recorded RH="), rh);
        form.PlotBuffer();
        QCOMPARE(uploaded, shown(*form.Chart1));
    }

    // With nothing but the "No data" stand-ins the time axes show no dates
    // (not 30 Dec 1899) and the top one names the empty chart; beside real
    // samples a stand-in moves no axis.
    void placeholdersMoveNoTimeAxis() {
        AppFixture app;
        TForm1& form = app.start();
        Chart& chart = *form.Chart1;
        chart.replot();
        QVERIFY(!chart.xAxis->tickLabels());
        QCOMPARE(chart.xAxis2->tickVectorLabels(), QVector<QString>{"No data"});

        fillStore(form);
        form.PlotBuffer();
        chart.replot();
        const QString withCarriers = range(chart.BottomAxis());
        QCOMPARE(chart.BottomAxis().minimum(), form.store.SampleTimes.front());
        QCOMPARE(chart.BottomAxis().maximum(), form.store.SampleTimes.back());
        form.clearSeries(2);
        form.addNoDataPlaceholder(2);
        chart.replot();
        QCOMPARE(range(chart.BottomAxis()), withCarriers);
        QCOMPARE(range(chart.TopAxis()), withCarriers);
        QVERIFY(chart.xAxis->tickLabels());
    }

    // A zoom belongs to the data it was made on: an upload, a load or
    // New/Clear starts the new data unzoomed.
    void newDataStartUnzoomed_data() {
        QTest::addColumn<QString>("then");
        QTest::newRow("New/Clear") << "clear";
        QTest::newRow("load") << "load";
        QTest::newRow("upload") << "upload";
    }
    void newDataStartUnzoomed() {
        QFETCH(QString, then);
        UploadRig rig(loggerConfig(2, true, 400));
        TForm1& form = rig.form();
        rig.app.writeFile("june.bvx", duplicateFixture());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(rig.upload());
        const QString before = shown(*form.Chart1);
        const QString rhAxis = range(form.Chart1->RightAxis());
        dragZoom(form);
        QVERIFY(!form.Chart1->BottomAxis().automatic());
        QVERIFY(!form.Chart1->TopAxis().automatic());

        if (then == "clear") {
            form.NewClear1->trigger();
            QVERIFY(form.Chart1->BottomAxis().automatic() && form.Chart1->TopAxis().automatic());
            QCOMPARE(range(form.Chart1->RightAxis()), rhAxis);
            return;
        }
        if (then == "load")
            form.LoadDataFile(rig.app.path("june.bvx"));
        else
            QVERIFY(rig.upload());
        const QString after = shown(*form.Chart1);
        form.PlotBuffer();
        QCOMPARE(after, shown(*form.Chart1));
        QVERIFY(form.Chart1->BottomAxis().automatic() && form.Chart1->TopAxis().automatic());
        QCOMPARE(form.Chart1->BottomAxis().minimum(), form.store.SampleTimes.front());
        QCOMPARE(form.Chart1->TopAxis().maximum(), form.store.SampleTimes.back());
        if (then == "upload")
            QCOMPARE(after, before);
    }

    // The limit edits take numbers only, as they are typed: no error box for
    // a stray key.
    void limitEditsTakeNumbersAsTyped() {
        AppFixture app;
        TForm1& form = app.start();
        form.AutoScale->setChecked(false);
        form.MinTemp->clear();
        QTest::keyClicks(form.MinTemp, "-1x2,a");
        QCOMPARE(form.MinTemp->text(), QString("-12"));
        form.MaxTemp->clear();
        QTest::keyClicks(form.MaxTemp, "q.4-5e.6");
        QCOMPARE(form.MaxTemp->text(), QString(".456"));
        QVERIFY(app.dialogs.errors().isEmpty());
        QCOMPARE(form.Chart1->LeftAxis().minimum(), -12.0);
        QCOMPARE(form.Chart1->LeftAxis().maximum(), 0.456);
    }

    // A printer that fails leaves the footer as it was; the print dialog
    // opens on the printer chosen last.
    void printerFailureAndMemory() {
        AppFixture app;
        TForm1& form = app.start();
        fillStore(form);
        form.PlotBuffer();
        const QStringList footer = form.Chart1->footerLines();
        app.dialogs.printToPdf = app.path("no/such/folder/chart.pdf");
        form.PrintChart1->trigger();
        QCOMPARE(app.dialogs.errors().size(), 1);
        QCOMPARE(form.Chart1->footerLines(), footer);

        app.dialogs.printToPdf = app.path("chart.pdf");
        form.PrintChart1->trigger();
        app.dialogs.printToPdf.clear();
        form.PrintChart1->trigger();
        QCOMPARE(
            app.dialogs.printersOffered,
            (QStringList{QString(), app.path("no/such/folder/chart.pdf"), app.path("chart.pdf")}));
        QCOMPARE(pdfPages(app.path("chart.pdf")).size(), 1);
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
#include "test_chart_handlers.moc"
