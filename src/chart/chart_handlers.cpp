// The main window's chart handlers: redraw, footer, preferences, zoom and
// printing, and the chart operations of the shell and the live upload.
#include "app/tform1.h"
#include "chart/axis_preferences.h"
#include "chart/chart.h"
#include "chart/chart_hover.h"
#include "chart/footer.h"
#include "chart/plot_buffer.h"
#include "chart/print_chart.h"
#include "decode/live_plot.h"
#include "model/palette.h"
#include "platform/dialogs.h"
#include "platform/formatting.h"
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>

namespace {

ChartSeries& series(Chart& chart, int which) {
    return which == 1 ? chart.Series1() : chart.Series2();
}

} // namespace

void TForm1::PlotBuffer() {
    const auto last = ::PlotBuffer(store, {TempInF->isChecked(), RHBV.checked()}, *Chart1);
    if (last) {
        store.CurrentTime = *last;
        UpdateFooter();
    }
    applyAutoScale(*Chart1, AutoScale->isChecked());
}

void TForm1::UpdateFooter() {
    FooterInputs inputs;
    inputs.TempInF = TempInF->isChecked();
    inputs.RHBV = RHBV.checked();
    inputs.SamplesPerHour = SamplesPerHour;
    inputs.Datastored = Datastored.text();
    inputs.HeaderFormat = store.HeaderFormat;
    inputs.RHFilterPercent = store.ChannelHeader[channel1Selected() ? 0 : 1].IirPercent[1];
    inputs.UserName = store.UserName;
    inputs.UserLocation = store.UserLocation;
    inputs.UnitId = store.UnitId;
    ::UpdateFooter(*Chart1, inputs);
}

void TForm1::TempInFClick() {
    PlotBuffer();
}

void TForm1::AutoScaleClick() {
    MaxTemp->setEnabled(!AutoScale->isChecked());
    MinTemp->setEnabled(!AutoScale->isChecked());
    setAutoScale(*Chart1, AutoScale->isChecked(), MinTemp->text(), MaxTemp->text());
}

void TForm1::MaxTempExit() {
    applyTempLimits(*Chart1, MinTemp->text(), MaxTemp->text(), LimitOrder::MinimumFirst);
}

void TForm1::MinTempExit() {
    applyTempLimits(*Chart1, MinTemp->text(), MaxTemp->text(), LimitOrder::MaximumFirst);
}

void TForm1::Chart1Zoom() {
    resetRHAxis(*Chart1);
}

void TForm1::Chart1Scroll() {
    resetRHAxis(*Chart1);
}

void TForm1::Button1Click() {
    // One printer for the run: the dialog offers the one chosen last.
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>();
    PrintChart(*Chart1, *m_printer, LockImage->isVisible(), [this] { UpdateFooter(); });
}

void TForm1::ExportChartImage1Click() {
    const std::optional<QString> name =
        platform::dialogs().saveFileName("PNG image (.png)|*.png|PDF document (.pdf)|*.pdf", "png");
    if (!name)
        return;
    if (ExportChart(*Chart1, *name, LockImage->isVisible(), [this] { UpdateFooter(); }))
        Edit1.setText("Chart image saved.");
    else
        platform::dialogs().messageBox("Cannot write the chart to " + *name, "Problem");
}

QString TForm1::chartTipAt(double x) const {
    const std::optional<std::size_t> i = chart::nearestSample(store.SampleTimes, x);
    if (!i || *i >= store.TempData.size())
        return QString();
    const double t = store.SampleTimes[*i];
    const auto labels = Chart1->Series2().labelsIn(t, t);
    return chart::sampleTip(store, *i, {TempInF->isChecked(), RHBV.checked(), DATEFORMAT.text()},
                            labels.empty() ? QString() : labels.front().second);
}

void TForm1::RHBVClick() {
    Chart1->RightAxis().setVisible(RHBV.checked());
    store.RHDigitsPerValue = RHBV.checked() ? 2 : 0;
}

void TForm1::clearSeries(int which) {
    series(*Chart1, which).clear();
}

void TForm1::addNoDataPlaceholder(int which) {
    series(*Chart1, which).addPlaceholder("No data", decode::kNoDataColour);
}

int TForm1::seriesPointCount(int which) const {
    return series(*Chart1, which).count();
}

void TForm1::setLeftAxisLimits(double minimum, double maximum) {
    Chart1->LeftAxis().setMinimum(minimum);
    Chart1->LeftAxis().setMaximum(maximum);
}

void TForm1::setBottomAxisFormat(const QString& pattern) {
    Chart1->setDateTimeFormat(pattern);
}

void TForm1::setUploadAxesAutomatic() {
    Chart1->BottomAxis().setAutomatic(true);
    Chart1->LeftAxis().setAutomatic(true);
}

void TForm1::drawLive(const decode::LiveDrawing& drawing) {
    if (drawing.clearFirst) {
        Chart1->Series1().clear();
        Chart1->Series2().clear();
    }
    for (int which : {1, 2}) {
        const auto& points = which == 1 ? drawing.series1 : drawing.series2;
        ChartSeries::Batch batch;
        batch.reserve(points.size());
        for (const decode::ChartPoint& p : points)
            batch.add(p.x, p.y, p.label, p.colour);
        series(*Chart1, which).append(std::move(batch));
    }
}
