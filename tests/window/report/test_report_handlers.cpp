// View > Statistics and File > Export Report... on the main window: the
// menus, the window following the data and the chart, and the PDF report
// read back as text.
#include "app_fixture.h"
#include "chart/chart.h"
#include "platform/formatting.h"
#include "report/statistics_window.h"
#include "upload_rig.h"
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCryptographicHash>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>

using platform::encodeDateTime;

namespace {

constexpr double kQuarterHour = 1.0 / 96;

QString fixturePath(const QString& name) {
    return qEnvironmentVariable("BRENVALE_SOURCE_DIR") + "/tests/data/files/" + name;
}

// `count` samples a quarter of an hour apart, the temperature i °C at sample
// i, with temperature alarms started and ended at the samples given.
void fillStore(TForm1& form, int count, const std::vector<std::pair<int, int>>& alarms = {}) {
    SampleStore& store = form.store;
    const platform::DateTime first = encodeDateTime(2026, 12, 1, 0, 0, 0);
    for (int i = 0; i < count; ++i) {
        store.SampleTimes.push_back(first + i * kQuarterHour);
        store.TempData.push_back(static_cast<float>(i));
    }
    for (const auto& [start, end] : alarms) {
        store.AlarmStarts[0].push_back(first + start * kQuarterHour);
        store.AlarmEnds[0].push_back(first + end * kQuarterHour);
    }
    form.SetSamplesPerHour(4);
    form.PlotBuffer();
}

// The value of the window's row of that label; empty when there is none.
QString shown(TForm1& form, const QString& label) {
    const QTableWidget* table = form.StatisticsView->Table;
    for (int i = 0; i < table->rowCount(); ++i)
        if (table->item(i, 0)->text() == label)
            return table->item(i, 1)->text();
    return QString();
}

// The samples within the chart's time axis, counted here from the axis.
QString samplesShown(TForm1& form) {
    const QCPRange range = form.Chart1->BottomAxis().axis()->range();
    int n = 0;
    for (double t : form.store.SampleTimes)
        n += t >= range.lower && t <= range.upper;
    return QString::number(n);
}

// Zooms into the second quarter of the chart's time axis.
void zoomIntoSecondQuarter(TForm1& form) {
    const QRect plot = form.Chart1->axisRect()->rect();
    form.Chart1->zoomToPixels(QRect(plot.left() + plot.width() / 4, plot.top() + 5,
                                    plot.width() / 4, plot.height() - 10));
}

// pdftotext's text of a PDF, or pdfinfo's facts about it.
QString pdfTool(const QString& tool, const QString& file) {
    QProcess process;
    process.start(tool, tool == "pdftotext" ? QStringList{file, "-"} : QStringList{file});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString sha256Of(const QString& fileName) {
    QFile file(fileName);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
}

} // namespace

class TestReportHandlers : public QObject {
    Q_OBJECT
  private slots:
    void statisticsOpensOneModelessWindow();
    void windowFollowsLoadClearAndUnit();
    void windowReportsChoicesThatDoNotRead();
    void visibleRangeFollowsZoomAndPan();
    void copyPutsTheTableOnTheClipboard();
    void windowFollowsAnUpload();
    void reportOfALoadedDuplicate();
    void reportOfAnUploadListsThirtyEpisodes();
    void reportFollowsTheWindowsChoices();
    void reportThatCannotBeWritten();
    void chartPageKeepsTheScreensProportions();
};

void TestReportHandlers::statisticsOpensOneModelessWindow() {
    AppFixture fx;
    TForm1& form = fx.start();
    // The menus' order is the layout's test; here the item in its menu.
    QCOMPARE(form.menuBar()->actions().value(2)->menu()->actions(),
             QList<QAction*>{form.Statistics1});
    QCOMPARE(form.Statistics1->text(), "&Statistics");
    QCOMPARE(form.Statistics1->shortcut(), QKeySequence("Ctrl+T"));

    QVERIFY(!form.StatisticsView);
    form.Statistics1->trigger();
    QVERIFY(form.StatisticsView && form.StatisticsView->isVisible());
    QVERIFY(!form.StatisticsView->isModal());
    QCOMPARE(form.StatisticsView->windowTitle(), "Statistics");
    QCOMPARE(shown(form, "Samples"), "0");
    QCOMPARE(shown(form, "Storage interval"), "—");
    // A second trigger shows the same window.
    StatisticsWindow* window = form.StatisticsView;
    form.Statistics1->trigger();
    QCOMPARE(form.StatisticsView, window);
}

void TestReportHandlers::windowFollowsLoadClearAndUnit() {
    AppFixture fx;
    TForm1& form = fx.start();
    form.Statistics1->trigger();
    form.TempInF->setChecked(false);

    QCOMPARE(form.LoadDataFile(fixturePath("dup_mdy_rh.bvx")), FileOutcome::Done);
    const QString samples = QString::number(form.store.TempData.size());
    QTRY_COMPARE(shown(form, "Samples"), samples);
    QVERIFY2(shown(form, "Temperature minimum").startsWith("-40.00 °C"),
             qPrintable(shown(form, "Temperature minimum")));

    form.TempInF->setChecked(true);
    QTRY_VERIFY(shown(form, "Temperature minimum").startsWith("-40.00 °F"));
    QVERIFY(shown(form, "Temperature maximum").contains("°F"));

    form.NewClear1->trigger();
    QTRY_COMPARE(shown(form, "Samples"), "0");
    QCOMPARE(shown(form, "Temperature minimum"), "—");
}

void TestReportHandlers::windowReportsChoicesThatDoNotRead() {
    AppFixture fx;
    TForm1& form = fx.start();
    form.TempInF->setChecked(false);
    fillStore(form, 10);
    form.Statistics1->trigger();
    StatisticsWindow& window = *form.StatisticsView;

    struct Case {
        const char* low;
        const char* high;
        const char* energy;
        QString note;     // empty: the choice reads
        QString belowLow; // the row shown when it reads
    };
    const Case cases[] = {
        {"", "", "83.144", "", ""},
        {"2", "", "83.144", "", "00:30:00 (excursions: 1, longest 00:30:00)"},
        {"x", "", "83.144", "The low limit is not a number.", ""},
        {"", "5,5,", "83.144", "The high limit is not a number.", ""},
        {"6", "5", "83.144", "The low limit is above the high limit.", ""},
        {"", "", "0", "ΔH must be above 0 kJ/mol.", ""},
        {"", "", "-1", "ΔH must be above 0 kJ/mol.", ""},
    };
    for (const Case& c : cases) {
        window.LowLimit->setText(c.low);
        window.HighLimit->setText(c.high);
        window.Energy->setText(c.energy);
        if (c.note.isEmpty()) {
            QTRY_COMPARE(shown(form, "Below the low limit"), c.belowLow);
            QVERIFY(!window.Note->isVisible());
            QCOMPARE(shown(form, "Samples"), "10");
        } else {
            QTRY_COMPARE(window.Note->text(), c.note);
            QVERIFY(window.Note->isVisible());
            QCOMPARE(window.Table->rowCount(), 0);
            QVERIFY(!window.Copy->isEnabled());
        }
    }
    // A choice that does not read also stops the report, with the reason.
    window.LowLimit->setText("x");
    form.ExportReport1->trigger();
    QCOMPARE(fx.dialogs.messages().value(0), "The low limit is not a number.");
}

void TestReportHandlers::visibleRangeFollowsZoomAndPan() {
    AppFixture fx;
    TForm1& form = fx.start();
    fillStore(form, 400);
    form.Statistics1->trigger();
    StatisticsWindow& window = *form.StatisticsView;
    QTRY_COMPARE(shown(form, "Samples"), "400");

    window.VisibleRange->setChecked(true);
    QTRY_COMPARE(shown(form, "Samples"), samplesShown(form));

    zoomIntoSecondQuarter(form);
    const QString zoomed = samplesShown(form);
    QVERIFY(zoomed.toInt() > 50 && zoomed.toInt() < 200);
    QTRY_COMPARE(shown(form, "Samples"), zoomed);

    form.Chart1->panPixels(form.Chart1->axisRect()->rect().width() / 8);
    QVERIFY(samplesShown(form) != "0");
    const std::vector<double>& times = form.store.SampleTimes;
    const double firstShown = *std::lower_bound(times.begin(), times.end(),
                                                form.Chart1->BottomAxis().axis()->range().lower);
    const platform::FormatSettings& user = platform::formatSettings();
    QTRY_COMPARE(shown(form, "First sample"),
                 platform::formatDateTime(user.shortDateFormat + " " + user.longTimeFormat,
                                          platform::roundToSecond(firstShown)));

    // Back to the whole data set, whatever the chart shows.
    window.WholeData->setChecked(true);
    QTRY_COMPARE(shown(form, "Samples"), "400");
}

void TestReportHandlers::copyPutsTheTableOnTheClipboard() {
    AppFixture fx;
    TForm1& form = fx.start();
    fillStore(form, 12, {{2, 4}});
    form.Statistics1->trigger();
    QTRY_COMPARE(shown(form, "Samples"), "12");
    QApplication::clipboard()->clear();
    form.StatisticsView->Copy->click();
    const QStringList lines = QApplication::clipboard()->text().split('\n');
    QVERIFY(lines.contains("Samples\t12"));
    QVERIFY(lines.contains("Temperature alarms\t1, total 00:30:00, longest 00:30:00"));
    QVERIFY(lines.filter(QRegularExpression("^Temperature alarm 1\t")).size() == 1);
    // The episode shows in the window's table as well.
    QVERIFY(!shown(form, "Temperature alarm 1").isEmpty());
}

void TestReportHandlers::windowFollowsAnUpload() {
    bvsim::LoggerConfig config;
    config.channels[0].count = 4000;
    UploadRig rig(config);
    TForm1& form = rig.form();
    form.Statistics1->trigger();
    StatisticsWindow& window = *form.StatisticsView;
    const QString note = "An upload is in progress: these are the samples so far.";
    form.UploadData->click();
    QVERIFY(runUntil([&] { return window.Note->text() == note; }, 30000));
    QVERIFY(shown(form, "Samples").toInt() < 4000);
    QVERIFY(rig.waitForStatus("DATA LOADED"));
    QTRY_COMPARE(shown(form, "Samples"), "4000");
    QVERIFY(!window.Note->isVisible());
}

void TestReportHandlers::reportOfALoadedDuplicate() {
    AppFixture fx;
    TForm1& form = fx.start();
    const QString duplicate = fixturePath("dup_mdy_rh.bvx");
    QCOMPARE(form.LoadDataFile(duplicate), FileOutcome::Done);
    form.store.UserName = "Ann, QA";
    form.store.UserLocation = "Lab <2>";
    form.store.UnitId = "BV-0042";
    form.Statistics1->trigger();
    form.StatisticsView->LowLimit->setText("0");

    qunsetenv("LC_ALL");
    qputenv("LC_PAPER", "en_US.UTF-8");
    fx.dialogs.saveAnswers.push_back(fx.path("report.pdf"));
    form.ExportReport1->trigger();
    QCOMPARE(form.Edit1.text(), "Report saved.");
    const QString text = pdfTool("pdftotext", fx.path("report.pdf"));
    for (const QString& expected :
         {QString("Brenvale(tm) - Version 5.2.1"), QString("Source: dup_mdy_rh.bvx"),
          QString("User: Ann, QA"), QString("Location: Lab <2>"), QString("BV ID: BV-0042"),
          QString("Samples"), QString("Mean kinetic temperature"), QString("Low limit"),
          QString("Below the low limit"), QString("Duplicate: dup_mdy_rh.bvx"),
          QString("SHA-256: " + sha256Of(duplicate)),
          QString("TWO DIMENSIONAL TEMPERATURE RECORDER")})
        QVERIFY2(text.contains(expected), qPrintable(expected));
    QVERIFY(text.contains("Made: " + platform::dateTimeToStr(platform::now())));
    const QString info = pdfTool("pdfinfo", fx.path("report.pdf"));
    QVERIFY2(info.contains("612 x 792 pts"), qPrintable(info));

    qputenv("LC_PAPER", "de_DE.UTF-8");
    fx.dialogs.saveAnswers.push_back(fx.path("a4.pdf"));
    form.ExportReport1->trigger();
    QVERIFY(pdfTool("pdfinfo", fx.path("a4.pdf")).contains("595 x 842 pts"));
    qunsetenv("LC_PAPER");
}

void TestReportHandlers::reportOfAnUploadListsThirtyEpisodes() {
    AppFixture fx;
    TForm1& form = fx.start();
    std::vector<std::pair<int, int>> alarms;
    for (int i = 0; i < 35; ++i)
        alarms.push_back({i * 4, i * 4 + 2});
    fillStore(form, 200, alarms);
    form.store.ChannelLabel = "Channel 2";
    form.store.ChannelHeader[1].Model = "BV-2000";
    form.store.ChannelHeader[1].Serial = "12345";
    QVERIFY(form.WriteReport(fx.path("upload.pdf"), {}));
    const QString text = pdfTool("pdftotext", fx.path("upload.pdf"));
    QVERIFY(text.contains("Source: Upload, Channel 2, model BV-2000, serial number 12345"));
    QVERIFY(text.contains("Temperature alarm 30"));
    QVERIFY(!text.contains("Temperature alarm 31"));
    QVERIFY(text.contains("and 5 more"));
    QVERIFY(!text.contains("SHA-256"));
}

// Export Report... takes the Statistics window's limits, ΔH and range once
// the window has them, and keeps them when it is closed; before, the whole
// data set without limits.
void TestReportHandlers::reportFollowsTheWindowsChoices() {
    AppFixture fx;
    TForm1& form = fx.start();
    form.TempInF->setChecked(false);
    fillStore(form, 400);
    const auto exported = [&](const QString& name) {
        fx.dialogs.saveAnswers.push_back(fx.path(name));
        form.ExportReport1->trigger();
        return pdfTool("pdftotext", fx.path(name));
    };
    const auto has = [](const QString& text, const QString& pattern) {
        return text.contains(QRegularExpression(pattern));
    };
    const QString before = exported("before.pdf");
    QVERIFY2(has(before, "Statistics of the whole data set\\s+Samples\\s+400\\s"),
             qPrintable(before));
    QVERIFY(before.contains("(ΔH 83.144 kJ/mol)"));
    QVERIFY(!before.contains("Low limit"));

    form.Statistics1->trigger();
    StatisticsWindow& window = *form.StatisticsView;
    window.LowLimit->setText("100");
    window.Energy->setText("100");
    const QString whole = exported("whole.pdf");
    QVERIFY(has(whole, "Statistics of the whole data set\\s+Samples\\s+400\\s"));
    QVERIFY(has(whole, "Low limit\\s+100.00 °C"));
    QVERIFY(has(whole, "Below the low limit\\s+1 d 01:00:00 \\(excursions: 1"));
    QVERIFY(whole.contains("(ΔH 100.000 kJ/mol)"));

    window.VisibleRange->setChecked(true);
    zoomIntoSecondQuarter(form);
    const QString count = samplesShown(form);
    window.close();
    const QString visible = exported("visible.pdf");
    QVERIFY2(has(visible, "Statistics of the chart's visible range\\s+Samples\\s+" + count + "\\s"),
             qPrintable(count + "\n" + visible));
    QVERIFY(has(visible, "Low limit\\s+100.00 °C"));
    QVERIFY(visible.contains("(ΔH 100.000 kJ/mol)"));
    QCOMPARE(fx.dialogs.messages().size(), 0);
}

void TestReportHandlers::reportThatCannotBeWritten() {
    AppFixture fx;
    TForm1& form = fx.start();
    const QString name = fx.path("missing/folder/report.pdf");
    fx.dialogs.saveAnswers.push_back(name);
    form.ExportReport1->trigger();
    QCOMPARE(fx.dialogs.messages().value(0), "Cannot write the report to " + name);
    QVERIFY(!QFile::exists(name));
    // Cancelled: nothing written, nothing said.
    fx.dialogs.saveAnswers.push_back(std::nullopt);
    form.ExportReport1->trigger();
    QCOMPARE(fx.dialogs.messages().size(), 1);
}

// The page's resolution must not blow up the fonts set in points (the axes'
// labels) against those set in pixels (the title): on screen a tick label is
// about as tall as a title word, and so it must stay on paper.
void TestReportHandlers::chartPageKeepsTheScreensProportions() {
    AppFixture fx;
    TForm1& form = fx.start();
    fillStore(form, 100);
    QVERIFY(form.WriteReport(fx.path("chart.pdf"), {}));
    QProcess process;
    process.start("pdftotext", {"-f", "2", "-l", "2", "-bbox", fx.path("chart.pdf"), "-"});
    QVERIFY(process.waitForFinished(30000));
    const QString boxes = QString::fromUtf8(process.readAllStandardOutput());
    const auto height = [&boxes](const QString& word) {
        const QRegularExpression box("yMin=\"([\\d.]+)\" xMax=\"[\\d.]+\" yMax=\"([\\d.]+)\">" +
                                     QRegularExpression::escape(word) + "<");
        const QRegularExpressionMatch m = box.match(boxes);
        return m.hasMatch() ? m.captured(2).toDouble() - m.captured(1).toDouble() : -1.0;
    };
    const double title = height("RECORDER");
    const double tick = height(form.Chart1->LeftAxis().axis()->tickVectorLabels().value(1));
    QVERIFY2(title > 0 && tick > 0, qPrintable(boxes.left(2000)));
    QVERIFY2(tick < 1.5 * title, qPrintable(QString("tick %1, title %2").arg(tick).arg(title)));
}

QTEST_MAIN(TestReportHandlers)
#include "test_report_handlers.moc"
