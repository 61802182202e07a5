#include "chart/chart_series.h"
#include <algorithm>
#include <cmath>

namespace {

// Colourless points are stored as 0 (alpha 0), whatever colour they were given.
QRgb pack(const QColor& c) {
    return c.isValid() && c.alpha() != 0 ? c.rgba() : 0;
}

} // namespace

// Maps coordinates of a linear axis to pixels without a call per point.
struct ChartSeries::LinearMap {
    double origin, scale;
    explicit LinearMap(const QCPAxis* axis) {
        const QCPRange r = axis->range();
        const double a = axis->coordToPixel(r.lower);
        scale = (axis->coordToPixel(r.upper) - a) / r.size();
        origin = a - r.lower * scale;
    }
    double operator()(double v) const { return origin + v * scale; }
};

void ChartSeries::Batch::reserve(std::size_t n) {
    x.reserve(n);
    y.reserve(n);
    colour.reserve(n);
}

void ChartSeries::Batch::add(double px, double py, const QString& label, QColor c) {
    labelNext(label);
    addPacked(px, py, pack(c));
}

void ChartSeries::Batch::labelNext(const QString& label) {
    if (!label.isEmpty())
        labels.emplace_back(static_cast<int>(x.size()), label);
}

void ChartSeries::Batch::addPacked(double px, double py, QRgb c) {
    x.push_back(px);
    y.push_back(py);
    colour.push_back(qAlpha(c) != 0 ? c : 0);
}

ChartSeries::ChartSeries(QCPAxis* keyAxis, QCPAxis* valueAxis)
    : QCPAbstractPlottable(keyAxis, valueAxis) {
    setSelectable(QCP::stNone);
    // Smoothing wide lines costs more than the whole data pass at full view.
    setAntialiased(false);
}

// Takes the points from `from` on into the extents and the block summaries.
void ChartSeries::noteAppended(std::size_t from) {
    summarise(from);
    for (std::size_t i = from; i < m_x.size(); ++i) {
        const double x = m_x[i];
        if (i == 0) {
            m_keyMin = m_keyMax = x;
        } else {
            m_ascending = m_ascending && x >= m_x[i - 1];
            m_keyMin = std::min(m_keyMin, x);
            m_keyMax = std::max(m_keyMax, x);
        }
        if (qAlpha(m_colour[i]) == 0)
            continue;
        const double y = m_y[i];
        m_valueMin = m_hasValue ? std::min(m_valueMin, y) : y;
        m_valueMax = m_hasValue ? std::max(m_valueMax, y) : y;
        m_hasValue = true;
    }
}

// Recomputes the summaries of the blocks that hold points from `from` on.
void ChartSeries::summarise(std::size_t from) {
    const std::size_t n = m_y.size();
    m_blocks.resize(from / kBlockSize);
    for (std::size_t first = m_blocks.size() * kBlockSize; first < n; first += kBlockSize) {
        const std::size_t last = std::min(n, first + kBlockSize);
        Block block{m_y[first], m_y[first], true, true};
        for (std::size_t i = first; i < last; ++i) {
            block.low = std::min(block.low, m_y[i]);
            block.high = std::max(block.high, m_y[i]);
            block.sameColour = block.sameColour && m_colour[i] == m_colour[first];
            block.ordered = block.ordered && !std::isnan(m_y[i]);
        }
        m_blocks.push_back(block);
    }
}

// Like any change of the chart, new data shows at the next turn of the event loop.
void ChartSeries::changed() {
    if (mParentPlot)
        mParentPlot->replot(QCustomPlot::rpQueuedReplot);
}

void ChartSeries::add(double x, double y, const QString& label, QColor colour) {
    m_placeholderOnly = false;
    if (!label.isEmpty())
        m_labels.emplace_back(count(), label);
    m_x.push_back(x);
    m_y.push_back(y);
    m_colour.push_back(pack(colour));
    noteAppended(m_x.size() - 1);
    changed();
}

void ChartSeries::addX(double x, const QString& label, QColor colour) {
    add(x, count(), label, colour);
}

void ChartSeries::addPlaceholder(const QString& label, QColor colour) {
    const bool empty = m_x.empty();
    add(count(), 0, label, colour);
    m_placeholderOnly = empty;
}

void ChartSeries::append(Batch&& batch) {
    const std::size_t base = m_x.size();
    if (batch.size() > 0)
        m_placeholderOnly = false;
    if (base == 0) {
        m_x.swap(batch.x);
        m_y.swap(batch.y);
        m_colour.swap(batch.colour);
    } else {
        m_x.insert(m_x.end(), batch.x.begin(), batch.x.end());
        m_y.insert(m_y.end(), batch.y.begin(), batch.y.end());
        m_colour.insert(m_colour.end(), batch.colour.begin(), batch.colour.end());
    }
    for (auto& [offset, text] : batch.labels)
        m_labels.emplace_back(static_cast<int>(base) + offset, std::move(text));
    batch = Batch();
    noteAppended(base);
    changed();
}

void ChartSeries::clear() {
    // The memory goes too: a redraw builds its points before it hands them
    // over, and millions of old ones kept meanwhile would double the peak.
    // (Assigning {} would keep the capacity.)
    std::vector<double>().swap(m_x);
    std::vector<double>().swap(m_y);
    std::vector<QRgb>().swap(m_colour);
    m_labels.clear();
    m_blocks.clear();
    m_ascending = true;
    m_hasValue = false;
    m_placeholderOnly = false;
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
    if (m_x.empty() || m_placeholderOnly)
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

// The first index from `from` on, before `last`, whose point is not of `colour`.
int ChartSeries::runEnd(int from, int last, QRgb colour, bool useBlocks) const {
    int i = from;
    while (i < last && m_colour[i] == colour) {
        const int blockEnd = i + kBlockSize;
        if (useBlocks && i % kBlockSize == 0 && blockEnd <= last) {
            // The loop condition has found the block's first point of `colour`.
            if (m_blocks[i / kBlockSize].sameColour) {
                i = blockEnd;
                continue;
            }
        }
        ++i;
    }
    return i;
}

// Appends the polyline of points [first, last) to `line`. Where several
// points fall into one pixel column only their lowest and highest are kept,
// lower-first when the column is entered from below, so that millions of
// points cost only the width of the plot. With `useBlocks` (ascending x) a
// whole block within the column of its first point gives its extremes at
// once: the maps are monotonic, so its lowest and highest y map to the
// extremes of its pixels.
void ChartSeries::decimate(int first, int last, const LinearMap& toX, const LinearMap& toY,
                           bool useBlocks, QPolygonF& line) const {
    // Far-off points are clamped so that their column stays a valid integer.
    const auto pixelX = [&](int i) { return std::clamp(toX(m_x[i]), -1e9, 1e9); };
    double px = pixelX(first);
    double entry = toY(m_y[first]);
    double low = entry, high = entry;
    long column = static_cast<long>(px);
    double columnX = px;
    const auto closeColumn = [&] {
        if (low == high) {
            line.append(QPointF(columnX, low));
            return;
        }
        const bool fromBelow = entry - low < high - entry;
        line.append(QPointF(columnX, fromBelow ? low : high));
        line.append(QPointF(columnX, fromBelow ? high : low));
    };
    int i = first + 1;
    while (i < last) {
        px = pixelX(i);
        const double py = toY(m_y[i]);
        if (static_cast<long>(px) == column) {
            low = std::min(low, py);
            high = std::max(high, py);
        } else {
            closeColumn();
            column = static_cast<long>(px);
            columnX = px;
            entry = low = high = py;
        }
        const int blockEnd = i + kBlockSize;
        if (useBlocks && i % kBlockSize == 0 && blockEnd <= last) {
            const Block& block = m_blocks[i / kBlockSize];
            if (block.ordered && static_cast<long>(pixelX(blockEnd - 1)) == column) {
                const double a = toY(block.low), b = toY(block.high);
                low = std::min({low, a, b});
                high = std::max({high, a, b});
                i = blockEnd;
                continue;
            }
        }
        ++i;
    }
    closeColumn();
}

// Each run of points sharing one colour is one polyline, starting at the
// point before the run, which the run's first segment leaves from; `paint`
// takes each polyline's colour and points.
template <typename Paint> void ChartSeries::trace(Reading reading, Paint&& paint) const {
    if (m_x.empty() || !keyAxis() || !valueAxis())
        return;
    const LinearMap toX(keyAxis());
    const LinearMap toY(valueAxis());
    const auto [first, last] = visibleIndexRange();
    // Out of order, the first and last point of a block do not bound its columns.
    const bool useBlocks = reading == Reading::Summary && m_ascending;
    QPolygonF line;
    int i = first + 1;
    while (i < last) {
        if (!coloured(i)) {
            // The next coloured point follows a colourless one: no line reaches it.
            i = runEnd(i, last, 0, useBlocks) + 1;
            continue;
        }
        if (!coloured(i - 1)) {
            ++i;
            continue;
        }
        const QRgb colour = m_colour[i];
        const int end = runEnd(i + 1, last, colour, useBlocks);
        line.clear();
        decimate(i - 1, end, toX, toY, useBlocks, line);
        paint(colour, line);
        i = end;
    }
}

std::vector<ChartSeries::Stroke> ChartSeries::strokes(Reading reading) const {
    std::vector<Stroke> result;
    trace(reading, [&](QRgb colour, const QPolygonF& line) { result.push_back({colour, line}); });
    return result;
}

void ChartSeries::draw(QCPPainter* painter) {
    applyDefaultAntialiasingHint(painter);
    QPen pen = mPen;
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::BevelJoin);
    trace(Reading::Summary, [&](QRgb colour, const QPolygonF& line) {
        pen.setColor(QColor::fromRgba(colour));
        painter->setPen(pen);
        painter->drawPolyline(line.constData(), line.size());
    });
}

void ChartSeries::drawLegendIcon(QCPPainter*, const QRectF&) const {}
