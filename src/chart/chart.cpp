#include "chart/chart.h"
#include "model/palette.h"
#include "platform/errors.h"
#include "platform/formatting.h"
#include <QPicture>
#include <QPrinter>
#include <QRubberBand>
#include <QToolTip>
#include <cmath>
#include <limits>

namespace {

constexpr int kMinDragPixels = 4;

std::optional<QCPRange> unite(std::optional<QCPRange> a, const std::optional<QCPRange>& b) {
    if (!a)
        return b;
    if (b)
        a->expand(*b);
    return a;
}

} // namespace

void ChartAxis::setMinimum(double value) {
    setMinMax(value, m_max);
}

void ChartAxis::setMaximum(double value) {
    if (value < m_min)
        throw platform::ChartAxisError(
            QStringLiteral("Axis maximum %1 must not be below the minimum %2")
                .arg(value)
                .arg(m_min));
    setMinMax(m_min, value);
}

void ChartAxis::setMinMax(double minimum, double maximum) {
    if (minimum > maximum)
        throw platform::ChartAxisError(
            QStringLiteral("Axis minimum %1 must not be above the maximum %2")
                .arg(minimum)
                .arg(maximum));
    show(minimum, maximum);
    changed();
}

void ChartAxis::setAutomatic(bool automatic) {
    m_automatic = automatic;
    changed();
}

void ChartAxis::setVisible(bool visible) {
    m_axis->setVisible(visible);
    changed();
}

void ChartAxis::changed() {
    m_axis->parentPlot()->replot(QCustomPlot::rpQueuedReplot);
}

// The plot cannot show an empty range: equal limits are widened for display only.
void ChartAxis::show(double minimum, double maximum) {
    m_min = minimum;
    m_max = maximum;
    if (m_max - m_min > std::abs(m_max) * 1e-12)
        m_axis->setRange(m_min, m_max);
    else
        m_axis->setRange(m_min - 0.5, m_max + 0.5);
}

// Date-time ticks for values in days; with a labelled series, the series'
// labels in view instead, each shown where it does not overlap the one before.
class Chart::TimeTicker : public QCPAxisTicker {
  public:
    TimeTicker(const QString& pattern, const QCPAxis* axis, const ChartSeries* labels)
        : m_pattern(pattern), m_axis(axis), m_labels(labels) {}

    void generate(const QCPRange& range, const QLocale& locale, QChar formatChar, int precision,
                  QVector<double>& ticks, QVector<double>* subTicks,
                  QVector<QString>* tickLabels) override {
        if (!m_labels || !m_labels->hasLabels()) {
            QCPAxisTicker::generate(range, locale, formatChar, precision, ticks, subTicks,
                                    tickLabels);
            return;
        }
        ticks.clear();
        if (subTicks)
            subTicks->clear();
        if (tickLabels)
            tickLabels->clear();
        const QFontMetricsF metrics(m_axis->tickLabelFont());
        double freeFrom = -std::numeric_limits<double>::infinity();
        for (const auto& [x, text] : m_labels->labelsIn(range.lower, range.upper)) {
            const QString lines = QString(text).replace(QStringLiteral(", "), QStringLiteral("\n"));
            double width = 0;
            for (const QString& line : lines.split('\n'))
                width = std::max(width, metrics.horizontalAdvance(line));
            const double centre = m_axis->coordToPixel(x);
            if (centre - width / 2 < freeFrom)
                continue;
            freeFrom = centre + width / 2;
            ticks.append(x);
            if (tickLabels)
                tickLabels->append(lines);
        }
    }

  protected:
    // Steps of whole seconds, minutes and hours up to a day; plain numbers of
    // days beyond.
    double getTickStep(const QCPRange& range) override {
        const double seconds = range.size() * 86400.0 / (mTickCount + 1e-10);
        if (seconds < 1 || seconds > 86400)
            return QCPAxisTicker::getTickStep(range);
        static const QVector<double> steps = {1,     2,     5,     10,    15,   30,   60,
                                              120,   300,   600,   900,   1800, 3600, 7200,
                                              10800, 14400, 21600, 43200, 86400};
        return pickClosest(seconds, steps) / 86400.0;
    }
    int getSubTickCount(double) override { return 0; }
    QString getTickLabel(double tick, const QLocale&, QChar, int) override {
        return platform::formatDateTime(m_pattern, tick).replace(' ', '\n');
    }

  private:
    const QString& m_pattern;
    const QCPAxis* m_axis;
    const ChartSeries* m_labels;
};

Chart::Chart(QWidget* parent)
    : QCustomPlot(parent), m_bottom(xAxis), m_left(yAxis), m_top(xAxis2), m_right(yAxis2),
      m_dateTimeFormat(QStringLiteral("mm/dd/yyyy hh:mm:ss")),
      m_rubberBand(new QRubberBand(QRubberBand::Rectangle, this)) {
    setBackground(Qt::white);
    legend->setVisible(false);

    plotLayout()->insertRow(0);
    QFont titleFont = font();
    titleFont.setPixelSize(15);
    titleFont.setBold(true);
    m_title =
        new QCPTextElement(this, QStringLiteral("TWO DIMENSIONAL TEMPERATURE RECORDER"), titleFont);
    m_title->setTextColor(Qt::black);
    plotLayout()->addElement(0, 0, m_title);
    QFont footerFont = font();
    footerFont.setPixelSize(13);
    footerFont.setBold(false);
    footerFont.setItalic(false);
    m_footerElement = new QCPTextElement(this, QString(), footerFont);
    m_footerElement->setTextColor(Qt::black);
    plotLayout()->addElement(2, 0, m_footerElement);

    xAxis->setTicker(QSharedPointer<TimeTicker>::create(m_dateTimeFormat, xAxis, nullptr));
    xAxis->grid()->setPen(QPen(Qt::gray, 0, Qt::DotLine));
    xAxis2->setVisible(true);
    yAxis->setLabel(QStringLiteral("TEMPERATURE"));
    yAxis->setLabelColor(decode::kTemperatureColour);
    // Two decimals always ("37.50", not "37.5"), whatever the range.
    yAxis->setNumberFormat(QStringLiteral("f"));
    yAxis->setNumberPrecision(2);
    yAxis->grid()->setPen(QPen(Qt::gray, 0, Qt::DotLine));
    yAxis2->setLabel(QStringLiteral("%RH"));
    QFont rhFont = yAxis2->labelFont();
    rhFont.setBold(true);
    yAxis2->setLabelFont(rhFont);
    yAxis2->setLabelColor(decode::kRHColour);
    yAxis2->setTickLabels(true);
    yAxis2->setVisible(false);

    m_series1 = new ChartSeries(xAxis, yAxis);
    m_series1->setPen(QPen(decode::kTemperatureColour, 3));
    m_series2 = new ChartSeries(xAxis2, yAxis2);
    m_series2->setPen(QPen(decode::kRHColour, 2));

    xAxis2->setTicker(QSharedPointer<TimeTicker>::create(m_dateTimeFormat, xAxis2, m_series2));
    xAxis2->setTickLabels(true);
    xAxis2->grid()->setVisible(true);
    xAxis2->grid()->setPen(QPen(Qt::red, 0, Qt::DotLine));

    m_bottom.setAutomatic(true);
    m_top.setAutomatic(true);
    m_left.setMinMax(397.0, 859.5);
    m_right.setMinMax(-12, 88);

    connect(this, &QCustomPlot::beforeReplot, this, &Chart::followData);
    setMouseTracking(true); // for the tip under the mouse
}

Chart::~Chart() = default;

QStringList wrapToWidth(const QStringList& lines, const QFontMetrics& metrics, int width) {
    // A line as shown: its leading blanks stay (the "Printed" line stands at
    // the right by them), blanks at a break go.
    const auto shown = [](const QString& text) {
        qsizetype end = text.size();
        while (end > 0 && text[end - 1] == ' ')
            --end;
        return text.left(end);
    };
    QStringList wrapped;
    for (const QString& line : lines) {
        // The indent is part of the first word, so no break falls inside it.
        qsizetype indent = 0;
        while (indent < line.size() && line[indent] == ' ')
            ++indent;
        QStringList words = line.mid(indent).split(' ');
        words.first().prepend(line.left(indent));
        QString current;
        for (const QString& word : words) {
            const QString longer = current.isEmpty() ? word : current + ' ' + word;
            if (!current.trimmed().isEmpty() && metrics.horizontalAdvance(shown(longer)) > width) {
                wrapped.append(shown(current));
                current = word;
            } else {
                current = longer;
            }
        }
        wrapped.append(shown(current));
    }
    return wrapped;
}

// The footer's parts are long: in a narrow window or at a large scale they
// go onto further lines instead of being cut at the chart's edges.
void Chart::showFooter() {
    const int width = std::max(1, this->width() - 8);
    m_footerElement->setText(
        wrapToWidth(m_footer, QFontMetrics(m_footerElement->font()), width).join('\n'));
}

void Chart::resizeEvent(QResizeEvent* event) {
    showFooter();
    QCustomPlot::resizeEvent(event);
}

QString Chart::title() const {
    return m_title->text();
}

void Chart::clearFooter() {
    m_footer.clear();
    showFooter();
    replot(rpQueuedReplot);
}

void Chart::addFooterLine(const QString& line) {
    m_footer.append(line);
    showFooter();
    replot(rpQueuedReplot);
}

void Chart::setDateTimeFormat(const QString& pattern) {
    m_dateTimeFormat = pattern;
    replot(rpQueuedReplot);
}

QString Chart::dateTimeFormat() const {
    return m_dateTimeFormat;
}

// Automatic axes take the extent of their series; both time axes take the
// times of both series so that labels on top stand over their samples. A
// chart with nothing but placeholders has no times: its time axes stand at
// the placeholders (whose label shows on top) and show no dates.
void Chart::followData() {
    const auto times = unite(m_series1->keyExtent(), m_series2->keyExtent());
    std::optional<QCPRange> placeholders;
    for (const ChartSeries* series : {m_series1, m_series2})
        if (series->placeholderOnly())
            placeholders = unite(placeholders, QCPRange(series->x(0), series->x(0)));
    const auto follow = [](ChartAxis& axis, const std::optional<QCPRange>& extent) {
        if (axis.automatic() && extent)
            axis.show(extent->lower, extent->upper);
    };
    follow(m_bottom, times ? times : placeholders);
    follow(m_top, times ? times : placeholders);
    xAxis->setTickLabels(times.has_value());
    xAxis2->setTickLabels(times.has_value() || m_series2->hasLabels());
    follow(m_left, m_series1->valueExtent());
    follow(m_right, m_series2->valueExtent());
    // The top axis spaces its labels by pixels: lay out once with the new
    // ranges so that they are measured against this replot's geometry.
    if (m_series2->hasLabels())
        updateLayout();
}

void Chart::saveZoomState() {
    if (m_beforeZoom)
        return;
    std::array<AxisState, 4> state;
    const auto all = axes();
    for (std::size_t i = 0; i < all.size(); ++i)
        state[i] = {all[i]->minimum(), all[i]->maximum(), all[i]->automatic()};
    m_beforeZoom = state;
}

void Chart::zoomToPixels(const QRect& area) {
    saveZoomState();
    std::array<QCPRange, 4> from, to;
    const auto all = axes();
    for (std::size_t i = 0; i < all.size(); ++i) {
        QCPAxis* axis = all[i]->axis();
        const bool horizontal = axis->orientation() == Qt::Horizontal;
        const double a = axis->pixelToCoord(horizontal ? area.left() : area.bottom());
        const double b = axis->pixelToCoord(horizontal ? area.right() : area.top());
        from[i] = QCPRange(all[i]->minimum(), all[i]->maximum());
        to[i] = QCPRange(std::min(a, b), std::max(a, b));
        all[i]->m_automatic = false;
    }
    for (int step = 1; step <= kZoomSteps; ++step) {
        const double f = double(step) / kZoomSteps;
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i]->show(from[i].lower + (to[i].lower - from[i].lower) * f,
                         from[i].upper + (to[i].upper - from[i].upper) * f);
        replot(step < kZoomSteps ? rpImmediateRefresh : rpQueuedReplot);
    }
    emit zoomed();
}

void Chart::undoZoom() {
    if (!m_beforeZoom)
        return;
    const auto all = axes();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const AxisState& s = (*m_beforeZoom)[i];
        all[i]->show(s.minimum, s.maximum);
        all[i]->m_automatic = s.automatic;
    }
    m_beforeZoom.reset();
    replot(rpQueuedReplot);
}

void Chart::panPixels(int dx) {
    if (dx == 0)
        return;
    saveZoomState();
    for (ChartAxis* axis : {&m_bottom, &m_top}) {
        const double shift = axis->axis()->pixelToCoord(0) - axis->axis()->pixelToCoord(dx);
        axis->m_automatic = false;
        axis->show(axis->minimum() + shift, axis->maximum() + shift);
    }
    replot(rpQueuedReplot);
    emit scrolled();
}

void Chart::zoomTimeAround(double pixelX, double factor) {
    saveZoomState();
    for (ChartAxis* axis : {&m_bottom, &m_top}) {
        const double centre = axis->axis()->pixelToCoord(pixelX);
        axis->m_automatic = false;
        axis->show(centre + (axis->minimum() - centre) * factor,
                   centre + (axis->maximum() - centre) * factor);
    }
    replot(rpQueuedReplot);
    emit zoomed();
}

QString Chart::hoverTipAt(QPoint pos) const {
    if (!m_hoverTip || !axisRect()->rect().contains(pos))
        return QString();
    return m_hoverTip(xAxis->pixelToCoord(pos.x()));
}

// Each notch of the wheel zooms the time axes by a fifth around the mouse.
void Chart::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    const QPoint pos = event->position().toPoint();
    if (notches == 0 || !axisRect()->rect().contains(pos))
        return;
    zoomTimeAround(pos.x(), std::pow(0.8, notches));
    event->accept();
}

void Chart::mousePressEvent(QMouseEvent* event) {
    m_dragStart = m_dragLast = event->pos();
    if (event->button() == Qt::LeftButton) {
        m_drag = Drag::Zoom;
        m_rubberBand->setGeometry(QRect(m_dragStart, QSize()));
        m_rubberBand->show();
    } else if (event->button() == Qt::RightButton) {
        m_drag = Drag::Pan;
    }
}

void Chart::mouseMoveEvent(QMouseEvent* event) {
    if (m_drag == Drag::Zoom) {
        m_rubberBand->setGeometry(QRect(m_dragStart, event->pos()).normalized());
    } else if (m_drag == Drag::Pan) {
        panPixels(event->pos().x() - m_dragLast.x());
        m_dragLast = event->pos();
    } else if (const QString tip = hoverTipAt(event->pos()); !tip.isEmpty()) {
        QToolTip::showText(event->globalPosition().toPoint(), tip, this);
    } else {
        QToolTip::hideText();
    }
}

// A drag towards the lower right zooms; a drag towards the upper left undoes
// the zoom. Short drags are clicks and do nothing.
void Chart::mouseReleaseEvent(QMouseEvent* event) {
    if (m_drag == Drag::Zoom) {
        m_rubberBand->hide();
        const QPoint d = event->pos() - m_dragStart;
        if (d.x() >= kMinDragPixels && d.y() >= kMinDragPixels)
            zoomToPixels(QRect(m_dragStart, event->pos()));
        else if ((d.x() < 0 || d.y() < 0) && d.manhattanLength() >= kMinDragPixels)
            undoZoom();
    } else if (m_drag == Drag::Pan) {
        panPixels(event->pos().x() - m_dragLast.x());
    }
    m_drag = Drag::None;
}

void Chart::print(QPrinter& printer) {
    const QPageLayout::Orientation orientation = printer.pageLayout().orientation();
    const bool fullPage = printer.fullPage();
    const auto restore = [&] {
        printer.setPageOrientation(orientation);
        printer.setFullPage(fullPage);
    };
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setFullPage(true);
    QCPPainter painter;
    if (!painter.begin(&printer)) {
        restore();
        throw platform::PlatformError(QStringLiteral("The printer could not be started"));
    }
    const QRectF paper = printer.pageLayout().fullRectPixels(printer.resolution());
    paint(painter, paper.adjusted(paper.width() * 0.05, paper.height() * 0.05,
                                  -paper.width() * 0.05, -paper.height() * 0.05));
    painter.end();
    restore();
}

void Chart::paint(QCPPainter& painter, const QRectF& area) {
    followData();
    // Drawn first at the screen's resolution: a picture replays its text at
    // the size it had there, where a page's own resolution would blow up every
    // font set in points (the axes' labels) against the stretched lines.
    QPicture picture;
    {
        QCPPainter recorder(&picture);
        recorder.setMode(QCPPainter::pmVectorized);
        toPainter(&recorder, width(), height());
    }
    // The picture replays itself scaled from its resolution to the page's.
    const double replayX = double(painter.device()->logicalDpiX()) / picture.logicalDpiX();
    const double replayY = double(painter.device()->logicalDpiY()) / picture.logicalDpiY();
    painter.save();
    painter.translate(area.topLeft());
    painter.scale(area.width() / width() / replayX, area.height() / height() / replayY);
    painter.drawPicture(0, 0, picture);
    painter.restore();
}
