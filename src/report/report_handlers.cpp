// The main window's statistics and report handlers: the Statistics window
// kept up with the data and the chart, and the PDF report.
#include "app/tform1.h"
#include "app/version.h"
#include "chart/chart.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/formatting.h"
#include "platform/guard.h"
#include "platform/paper.h"
#include "report/report_document.h"
#include "report/statistics_window.h"
#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QRadioButton>
#include <QTimer>

namespace {

// Pan and zoom events come many to a second; the window follows at this
// pace, and so computes once per pass however many came meanwhile.
constexpr int kRefreshMilliseconds = 30;

QString dataSource(const SampleStore& store, const QString& dataFile) {
    if (!dataFile.isEmpty())
        return QFileInfo(dataFile).fileName();
    if (store.ChannelLabel.isEmpty())
        return "No data";
    QString source = "Upload, " + store.ChannelLabel;
    const ChannelHeaderRecord& header =
        store.ChannelHeader[store.ChannelLabel == "Channel 2" ? 1 : 0];
    if (!header.Model.isEmpty())
        source += ", model " + header.Model;
    if (!header.Serial.isEmpty())
        source += ", serial number " + header.Serial;
    return source;
}

} // namespace

void TForm1::setUpStatistics() {
    m_statisticsTimer = new QTimer(this);
    m_statisticsTimer->setSingleShot(true);
    m_statisticsTimer->setInterval(kRefreshMilliseconds);
    connect(m_statisticsTimer, &QTimer::timeout, this, [this] { StatisticsRefresh(); });
    connect(Statistics1, &QAction::triggered, this, [this] { Statistics1Click(); });
    connect(ExportReport1, &QAction::triggered, this,
            [this] { platform::runGuarded([this] { ExportReport1Click(); }); });
    connect(TempInF, &QCheckBox::toggled, this, [this] { scheduleStatistics(); });
    for (auto signal : {&Chart::zoomed, &Chart::scrolled})
        connect(Chart1, signal, this, [this] {
            if (StatisticsView && StatisticsView->VisibleRange->isChecked())
                scheduleStatistics();
        });
}

void TForm1::Statistics1Click() {
    if (!StatisticsView) {
        StatisticsView = new StatisticsWindow(this);
        connect(StatisticsView, &StatisticsWindow::choiceChanged, this,
                [this] { scheduleStatistics(); });
    }
    StatisticsView->show();
    StatisticsView->raise();
    StatisticsView->activateWindow();
    StatisticsRefresh();
}

void TForm1::scheduleStatistics() {
    // A timer that runs already brings the change with it.
    if (StatisticsView && StatisticsView->isVisible() && !m_statisticsTimer->isActive())
        m_statisticsTimer->start();
}

void TForm1::StatisticsDataChanged() {
    // Other choices (unit, limits, ΔH) make the next pass build the sums
    // again; other data must say so.
    m_statisticsIndex.reset();
    scheduleStatistics();
}

std::variant<report::StatisticsOptions, QString> TForm1::statisticsOptions() const {
    report::StatisticsOptions options;
    options.fahrenheit = TempInF->isChecked();
    if (!StatisticsView)
        return options;
    const auto choice = StatisticsView->choice();
    if (const QString* reason = std::get_if<QString>(&choice))
        return *reason;
    const auto& chosen = std::get<report::StatisticsChoice>(choice);
    options.low = chosen.low;
    options.high = chosen.high;
    options.activationEnergy = chosen.activationEnergy;
    if (chosen.visibleRange) {
        const QCPRange shown = Chart1->BottomAxis().axis()->range();
        options.range = report::TimeRange{.from = shown.lower, .to = shown.upper};
    }
    return options;
}

void TForm1::StatisticsRefresh() {
    if (!StatisticsView || !StatisticsView->isVisible())
        return;
    const auto options = statisticsOptions();
    if (const QString* reason = std::get_if<QString>(&options)) {
        StatisticsView->showProblem(*reason);
        return;
    }
    const auto& chosen = std::get<report::StatisticsOptions>(options);
    if (!m_statisticsIndex || !report::indexFits(*m_statisticsIndex, store, chosen))
        m_statisticsIndex = report::indexStatistics(store, chosen);
    const report::Statistics statistics = report::computeStatistics(
        store, SamplesPerHour, RHBV.checked(), chosen, m_statisticsIndex.get());
    const QString note =
        uploadRunning() ? "An upload is in progress: these are the samples so far." : QString();
    StatisticsView->showStatistics(statistics, note);
}

bool TForm1::WriteReport(const QString& fileName, const report::StatisticsOptions& options) {
    const report::Statistics statistics =
        report::computeStatistics(store, SamplesPerHour, RHBV.checked(), options);
    const report::ReportContent content{
        .program = app::versionCaption(),
        .source = dataSource(store, DataFile),
        .coverage = options.range ? "the chart's visible range" : "the whole data set",
        .userName = store.UserName,
        .userLocation = store.UserLocation,
        .unitId = store.UnitId,
        .statistics = report::statisticsRows(statistics),
        .episodes = report::episodeRows(statistics),
        .made = platform::dateTimeToStr(platform::now()),
        .duplicate = DataDuplicate,
        .duplicateSha256 = DataDuplicate.isEmpty() ? QString() : report::fileSha256(DataDuplicate),
    };
    return report::writeReport(
        fileName, content, platform::localePaper(),
        [this](QCPPainter& painter, const QRectF& area) { Chart1->paint(painter, area); });
}

void TForm1::ExportReport1Click() {
    const auto options = statisticsOptions();
    if (const QString* reason = std::get_if<QString>(&options)) {
        platform::dialogs().messageBox(*reason, "Problem");
        return;
    }
    const std::optional<QString> name =
        platform::dialogs().saveFileName("PDF document (.pdf)|*.pdf", "pdf");
    if (!name)
        return;
    if (WriteReport(*name, std::get<report::StatisticsOptions>(options)))
        Edit1.setText("Report saved.");
    else
        platform::dialogs().messageBox("Cannot write the report to " + *name, "Problem");
}
