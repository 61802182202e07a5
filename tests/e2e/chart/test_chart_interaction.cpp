// Working the chart with the mouse and saving it: the tip under the mouse, the
// wheel zoom, File > Export Chart Image, and the progress bar of uploads and
// long loads.
#include "app/tform1.h"
#include "app_fixture.h"
#include "chart/chart.h"
#include "chart_fixture.h"
#include "decode/packet_decode.h"
#include "platform/clock.h"
#include "upload_rig.h"
#include <QAction>
#include <QFileInfo>
#include <QImage>
#include <QProgressBar>
#include <QTest>
#include <QWheelEvent>

namespace {

const double kStart = platform::encodeDateTime(2026, 12, 1, 0, 0, 0);

void fillStore(TForm1& form, int count) {
    for (int i = 0; i < count; ++i) {
        form.store.SampleTimes.push_back(kStart + i * 15 * platform::kSecond);
        form.store.TempData.push_back(2.0f + (i % 10) * 0.5f);
        form.store.RHData.push_back(80.0f + i % 7);
    }
    form.store.AlarmStarts[0] = {kStart + 60 * platform::kSecond};
    form.RHBV.setChecked(true);
    form.TempInF->setChecked(false); // redraws
}

// The main window shown with 40 samples charted.
Chart& showCharted(TForm1& form) {
    fillStore(form, 40);
    form.show();
    [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(&form);
    form.Chart1->replot();
    return *form.Chart1;
}

// Times within a millisecond (days carry about 1e-11 of precision here).
bool close(double a, double b) {
    return std::abs(a - b) < platform::kSecond / 1000;
}

void wheel(Chart& chart, QPoint at, int notches) {
    QWheelEvent event(at, chart.mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&chart, &event);
}

} // namespace

class TestChartInteraction : public QObject {
    Q_OBJECT
  private slots:
    void tipShowsTheNearestSample() {
        AppFixture app;
        TForm1& form = app.start();
        Chart& chart = showCharted(form);
        // A little after sample 4, which carries the alarm's label.
        const double t = form.store.SampleTimes[4] + 3 * platform::kSecond;
        const QPoint at(qRound(chart.xAxis->coordToPixel(t)), chart.axisRect()->center().y());
        QCOMPARE(chart.hoverTipAt(at), QString("12/01/2026 00:01:00\nTemperature: 4 C\nRH: 84 %\n"
                                               "Events: temperature alarm start"));
        QVERIFY(chart.hoverTipAt(QPoint(1, 1)).isEmpty()); // outside the plot
    }

    // An upload labels a test start "tb"; the tip over it names the event.
    void tipNamesTheEventsOfALiveLabel() {
        AppFixture app;
        TForm1& form = app.start();
        form.RHBV.setChecked(true);
        form.TempInF->setChecked(false);
        decode::PacketLists packet;
        for (int i = 0; i < 3; ++i) {
            packet.times.push_back(kStart + i * 15 * platform::kSecond);
            packet.temps.push_back(20.0f);
            packet.rh.push_back(50.0f);
        }
        packet.events[5] = {packet.times[1]}; // a test start, stamped as the sample after it
        form.CommitPacket(packet);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Chart& chart = *form.Chart1;
        chart.replot();
        QCOMPARE(chart.Series2().label(1), QString("tb"));
        const QPoint at(qRound(chart.xAxis->coordToPixel(packet.times[1])),
                        chart.axisRect()->center().y());
        QVERIFY2(chart.hoverTipAt(at).endsWith("\nEvents: test start"),
                 qPrintable(chart.hoverTipAt(at)));
    }

    // A notch of the wheel zooms the time axes around the mouse and resets the
    // %RH axis as a drag zoom does; the other way zooms out again.
    void wheelZoomsTheTimeAroundTheMouse() {
        AppFixture app;
        TForm1& form = app.start();
        Chart& chart = showCharted(form);
        const double lower = chart.BottomAxis().minimum(), upper = chart.BottomAxis().maximum();
        const QPoint at(qRound(chart.xAxis->coordToPixel(lower + (upper - lower) / 4)),
                        chart.axisRect()->center().y());
        const double under = chart.xAxis->pixelToCoord(at.x());
        wheel(chart, at, 1);
        QCOMPARE(chart.RightAxis().minimum(), 0.0);
        QCOMPARE(chart.RightAxis().maximum(), 100.0);
        for (ChartAxis* axis : {&chart.BottomAxis(), &chart.TopAxis()}) {
            QVERIFY(!axis->automatic());
            QVERIFY(close(axis->maximum() - axis->minimum(), (upper - lower) * 0.8));
            QVERIFY(close(axis->axis()->pixelToCoord(at.x()), under));
        }
        wheel(chart, at, -1);
        QVERIFY(close(chart.BottomAxis().maximum() - chart.BottomAxis().minimum(), upper - lower));
    }

    void exportWritesPngOrPdf_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("PNG") << "chart.png";
        QTest::newRow("PDF") << "chart.pdf";
    }
    void exportWritesPngOrPdf() {
        QFETCH(QString, name);
        AppFixture app;
        TForm1& form = app.start();
        fillStore(form, 40);
        form.show();
        const QStringList footer = form.Chart1->footerLines();
        app.dialogs.saveAnswers.push_back(app.path(name));
        form.ExportChartImage1->trigger();
        QCOMPARE(form.Edit1.text(), QString("Chart image saved."));
        if (name.endsWith(".png")) {
            QCOMPARE(QImage(app.path(name)).size(),
                     form.Chart1->size() * form.Chart1->devicePixelRatio());
        } else {
            const QList<QSizeF> pages = pdfPages(app.path(name));
            QCOMPARE(pages.size(), 1);
            QVERIFY(pages[0].width() > pages[0].height()); // landscape, as printed
        }
        QCOMPARE(form.Chart1->footerLines(), footer); // the "Printed" line is gone again

        app.dialogs.saveAnswers.push_back(app.path("missing/folder/" + name));
        form.ExportChartImage1->trigger();
        QCOMPARE(app.dialogs.messages().last(),
                 "Cannot write the chart to " + app.path("missing/folder/" + name));
        QCOMPARE(form.Chart1->footerLines(), footer);
    }

    // An upload shows the samples read of the range, block by block; the bar
    // goes when the upload ends.
    void uploadShowsItsProgress() {
        const bvsim::LoggerConfig logger = loggerConfig(2, true, 4000);
        UploadRig rig(logger);
        TForm1& form = rig.form();
        QStringList shown;
        QObject::connect(&form.Edit1, &StateControl::valueChanged, [&] {
            if (form.Edit1.text().startsWith("Reading "))
                shown << (form.ProgressBar->isHidden() ? "hidden" : form.ProgressBar->format());
        });
        QVERIFY(rig.upload());
        const QString range = QString::number(form.store.RangeSampleCount);
        QCOMPARE(shown, (QStringList{"0 of " + range, "1500 of " + range, "3000 of " + range}));
        QVERIFY(form.ProgressBar->isHidden());
    }

    // Loading a large duplicate shows the share of the file read.
    void longLoadShowsItsProgress() {
        AppFixture app;
        TForm1& form = app.start();
        form.show();
        fillStore(form, 40000);
        app.dialogs.saveAnswers.push_back(app.path("big.csv"));
        form.SaveDataFile();
        QVERIFY(QFileInfo(app.path("big.bvx")).size() >= (1 << 20));
        QList<int> values;
        QObject::connect(form.ProgressBar, &QProgressBar::valueChanged,
                         [&](int value) { values << value; });
        form.LoadDataFile(app.path("big.bvx"));
        QCOMPARE(form.Edit1.text(), QString("File loaded."));
        QVERIFY2(values.size() >= 50, qPrintable(QString::number(values.size())));
        QVERIFY(std::is_sorted(values.begin(), values.end()));
        QVERIFY(values.last() >= 990);
        QVERIFY(form.ProgressBar->isHidden());
    }
};

QTEST_MAIN(TestChartInteraction)
#include "test_chart_interaction.moc"
