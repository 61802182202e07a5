#include "chart/chart_series.h"
#include <algorithm>
#include <cmath>

namespace {

// Colourless points are stored as 0 (alpha 0), whatever colour they were given.
QRgb pack(const QColor& c) {
    return c.isValid() && c.alpha() != 0 ? c.rgba() : 0;
}

// Maps coordinates of a linear axis to pixels without a call per point.
struct LinearMap {
    double origin, scale;
    explicit LinearMap(const QCPAxis* axis) {
        const QCPRange r = axis->range();
        const double a = axis->coordToPixel(r.lower);
        scale = (axis->coordToPixel(r.upper) - a) / r.size();
        origin = a - r.lower * scale;
    }
    double operator()(double v) const { return origin + v * scale; }
};

// Builds one polyline per colour run, keeping at most four vertices per pixel
// column (entry, lowest, highest, exit) so that millions of points cost only
// the width of the plot.
class RunPainter {
  public:
    RunPainter(QCPPainter* painter, QPen pen) : m_painter(painter), m_pen(std::move(pen)) {}
    ~RunPainter() { flush(); }

    void start(QPointF p, QRgb colour) {
        flush();
        m_colour = colour;
        openColumn(p);
    }
    QRgb colour() const { return m_colour; }
    bool active() const { return m_open; }
    void add(QPointF p) {
        if (std::floor(p.x()) != m_column) {
            closeColumn();
            openColumn(p);
            return;
        }
        m_min = std::min(m_min, p.y());
        m_max = std::max(m_max, p.y());
        m_last = p.y();
        ++m_count;
    }
    void flush() {
        if (!m_open)
            return;
        closeColumn();
        if (m_line.size() >= 2) {
            m_pen.setColor(QColor::fromRgba(m_colour));
            m_painter->setPen(m_pen);
            m_painter->drawPolyline(m_line.constData(), m_line.size());
        }
        m_line.clear();
        m_open = false;
    }

  private:
    void openColumn(QPointF p) {
        m_open = true;
        m_column = std::floor(p.x());
        m_x = p.x();
        m_first = m_min = m_max = m_last = p.y();
        m_count = 1;
    }
    void closeColumn() {
        m_line.append(QPointF(m_x, m_first));
        if (m_count > 1) {
            m_line.append(QPointF(m_x, m_min));
            m_line.append(QPointF(m_x, m_max));
            m_line.append(QPointF(m_x, m_last));
        }
    }

    QCPPainter* m_painter;
    QPen m_pen;
    QPolygonF m_line;
    QRgb m_colour = 0;
    bool m_open = false;
    double m_column = 0, m_x = 0, m_first = 0, m_min = 0, m_max = 0, m_last = 0;
    int m_count = 0;
};

} // namespace

void ChartSeries::Batch::reserve(std::size_t n) {
    x.reserve(n);
    y.reserve(n);
    colour.reserve(n);
}

void ChartSeries::Batch::add(double px, double py, const QString& label, QColor c) {
    if (!label.isEmpty())
        labels.emplace_back(static_cast<int>(x.size()), label);
    x.push_back(px);
    y.push_back(py);
    colour.push_back(pack(c));
}

ChartSeries::ChartSeries(QCPAxis* keyAxis, QCPAxis* valueAxis)
    : QCPAbstractPlottable(keyAxis, valueAxis) {
    setSelectable(QCP::stNone);
}

void ChartSeries::push(double x, double y, QRgb colour) {
    if (m_x.empty()) {
        m_keyMin = m_keyMax = x;
    } else {
        m_ascending = m_ascending && x >= m_x.back();
        m_keyMin = std::min(m_keyMin, x);
        m_keyMax = std::max(m_keyMax, x);
    }
    if (qAlpha(colour) != 0) {
        m_valueMin = m_hasValue ? std::min(m_valueMin, y) : y;
        m_valueMax = m_hasValue ? std::max(m_valueMax, y) : y;
        m_hasValue = true;
    }
    m_x.push_back(x);
    m_y.push_back(y);
    m_colour.push_back(colour);
}

// Like any change of the chart, new data shows at the next turn of the event loop.
void ChartSeries::changed() {
    if (mParentPlot)
        mParentPlot->replot(QCustomPlot::rpQueuedReplot);
}

void ChartSeries::add(double x, double y, const QString& label, QColor colour) {
    if (!label.isEmpty())
        m_labels.emplace_back(count(), label);
    push(x, y, pack(colour));
    changed();
}

void ChartSeries::addX(double x, const QString& label, QColor colour) {
    add(x, count(), label, colour);
}

void ChartSeries::append(const Batch& batch) {
    const int base = count();
    const std::size_t total = m_x.size() + batch.size();
    m_x.reserve(total);
    m_y.reserve(total);
    m_colour.reserve(total);
    for (std::size_t i = 0; i < batch.size(); ++i)
        push(batch.x[i], batch.y[i], batch.colour[i]);
    for (const auto& [offset, text] : batch.labels)
        m_labels.emplace_back(base + offset, text);
    changed();
}

void ChartSeries::clear() {
    m_x.clear();
    m_y.clear();
    m_colour.clear();
    m_labels.clear();
    m_ascending = true;
    m_hasValue = false;
    changed();
}

QString ChartSeries::label(int i) const {
    const auto it = std::lower_bound(m_labels.begin(), m_labels.end(), i,
                                     [](const auto& l, int index) { return l.first < index; });
    return it != m_labels.end() && it->first == i ? it->second : QString();
}

QColor ChartSeries::colour(int i) const {
    return coloured(i) ? QColor::fromRgba(m_colour[i]) : QColor();
}

std::vector<std::pair<double, QString>> ChartSeries::labelsIn(double lower, double upper) const {
    auto first = m_labels.begin();
    auto last = m_labels.end();
    if (m_ascending) {
        first = std::lower_bound(first, last, lower,
                                 [this](const auto& l, double v) { return m_x[l.first] < v; });
        last = std::upper_bound(first, last, upper,
                                [this](double v, const auto& l) { return v < m_x[l.first]; });
    }
    std::vector<std::pair<double, QString>> result;
    for (auto it = first; it != last; ++it) {
        const double x = m_x[it->first];
        if (x >= lower && x <= upper)
            result.emplace_back(x, it->second);
    }
    return result;
}

std::vector<ChartSeries::Segment> ChartSeries::drawnSegments() const {
    std::vector<Segment> result;
    for (int i = 1; i < count(); ++i)
        if (coloured(i - 1) && coloured(i))
            result.push_back({i - 1, i, colour(i)});
    return result;
}

std::optional<QCPRange> ChartSeries::keyExtent() const {
    if (m_x.empty())
        return std::nullopt;
    return QCPRange(m_keyMin, m_keyMax);
}

std::optional<QCPRange> ChartSeries::valueExtent() const {
    if (!m_hasValue)
        return std::nullopt;
    return QCPRange(m_valueMin, m_valueMax);
}

double ChartSeries::selectTest(const QPointF&, bool, QVariant*) const {
    return -1;
}

QCPRange ChartSeries::getKeyRange(bool& foundRange, QCP::SignDomain) const {
    const auto extent = keyExtent();
    foundRange = extent.has_value();
    return extent.value_or(QCPRange());
}

QCPRange ChartSeries::getValueRange(bool& foundRange, QCP::SignDomain, const QCPRange&) const {
    const auto extent = valueExtent();
    foundRange = extent.has_value();
    return extent.value_or(QCPRange());
}

// Indices [first, last) worth drawing: the points in the key range plus one
// on each side, so that lines leaving the view are drawn up to its edge.
std::pair<int, int> ChartSeries::visibleIndexRange() const {
    if (!m_ascending)
        return {0, count()};
    const QCPRange r = keyAxis()->range();
    const auto lo = std::lower_bound(m_x.begin(), m_x.end(), r.lower);
    const auto hi = std::upper_bound(lo, m_x.end(), r.upper);
    const int first = std::max(0, static_cast<int>(lo - m_x.begin()) - 1);
    const int last = std::min(count(), static_cast<int>(hi - m_x.begin()) + 1);
    return {first, last};
}

void ChartSeries::draw(QCPPainter* painter) {
    if (m_x.empty() || !keyAxis() || !valueAxis())
        return;
    const LinearMap toX(keyAxis());
    const LinearMap toY(valueAxis());
    const auto [first, last] = visibleIndexRange();
    applyDefaultAntialiasingHint(painter);
    QPen pen = mPen;
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::BevelJoin);
    RunPainter runs(painter, pen);
    for (int i = first + 1; i < last; ++i) {
        if (!coloured(i) || !coloured(i - 1)) {
            runs.flush();
            continue;
        }
        const QPointF p(toX(m_x[i]), toY(m_y[i]));
        if (!runs.active() || runs.colour() != m_colour[i])
            runs.start(QPointF(toX(m_x[i - 1]), toY(m_y[i - 1])), m_colour[i]);
        runs.add(p);
    }
}

void ChartSeries::drawLegendIcon(QCPPainter*, const QRectF&) const {}
