#include "chart/chart_series.h"
#include "decode/point_builder.h"
#include <algorithm>
#include <cmath>

namespace {

// Colourless points are stored as 0 (alpha 0), whatever colour they were given.
QRgb pack(const QColor& c) {
    return c.isValid() && c.alpha() != 0 ? c.rgba() : 0;
}

// The first index in [first, last) at which `before` turns false, `before`
// holding for a leading run of indices. Not std::ranges::partition_point over
// std::views::iota: clang 14, the sanitizer builds' compiler, does not accept
// libstdc++ 12's iota_view.
template <typename Before> int partitionPoint(int first, int last, Before before) {
    while (first < last) {
        const int middle = first + (last - first) / 2;
        if (before(middle))
            first = middle + 1;
        else
            last = middle;
    }
    return first;
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

// The held points.
struct ChartSeries::HeldPoints {
    const double* xs;
    const double* ys;
    const QRgb* colours;
    int n;

    int count() const { return n; }
    double x(int i) const { return xs[i]; }
    double y(int i) const { return ys[i]; }
    QRgb rgb(int i) const { return colours[i]; }
};

// The points in the store's lists. Reading mostly walks forwards, so the
// piece of the last point read is kept for the next one.
struct ChartSeries::StoreReader {
    using Piece = StorePoints::Piece;
    const platform::DateTime* times;
    const float* values;
    bool fahrenheit;
    const std::vector<Piece>* pieces;
    int n;
    mutable int from = 0, to = 0, shift = 0;
    mutable QRgb colour = 0;

    int count() const { return n; }
    double x(int i) const { return times[sample(i)]; }
    // A colourless point carries a label at the number of points before it.
    double y(int i) const {
        const int s = sample(i);
        return qAlpha(colour) != 0 ? decode::plottedTemperature(values[s], fahrenheit) : i;
    }
    QRgb rgb(int i) const {
        locate(i);
        return colour;
    }
    int sample(int i) const {
        locate(i);
        return i + shift;
    }
    void locate(int i) const {
        if (i >= from && i < to)
            return;
        const auto next =
            std::upper_bound(pieces->begin(), pieces->end(), i,
                             [](int point, const Piece& p) { return point < p.first; });
        const Piece& piece = next[-1];
        from = piece.first;
        to = next == pieces->end() ? n : next->first;
        shift = piece.shift;
        colour = piece.colour;
    }
};

void ChartSeries::Summary::takeKey(int i, double x) {
    if (i == 0) {
        keyMin = keyMax = x;
    } else {
        ascending = ascending && x >= lastX;
        keyMin = std::min(keyMin, x);
        keyMax = std::max(keyMax, x);
    }
    lastX = x;
}

void ChartSeries::Summary::takeValues(int n, double low, double high, QRgb colour, bool ordered) {
    if (count % kBlockSize == 0) {
        blocks.push_back({low, high, colour, true, ordered});
    } else {
        Block& block = blocks.back();
        block.low = std::min(block.low, low);
        block.high = std::max(block.high, high);
        block.sameColour = block.sameColour && colour == block.colour;
        block.ordered = block.ordered && ordered;
    }
    count += n;
    if (qAlpha(colour) == 0)
        return;
    valueMin = hasValue ? std::min(valueMin, low) : low;
    valueMax = hasValue ? std::max(valueMax, high) : high;
    hasValue = true;
}

void ChartSeries::StorePoints::add(std::size_t first, std::size_t end, QRgb colour,
                                   const QString& label) {
    colour = qAlpha(colour) != 0 ? colour : 0;
    const int shift = static_cast<int>(first) - count();
    if (pieces.empty() || pieces.back().shift != shift || pieces.back().colour != colour)
        pieces.push_back({count(), shift, colour});
    if (!label.isEmpty())
        labels.emplace_back(count(), label);
    timesNeeded = end;
    if (colour != 0)
        valuesNeeded = end;
    // Block by block. Degrees F rise with degrees C, so the extremes of a
    // block's part are those of its stored values; colourless points stand
    // at their index.
    for (std::size_t from = first; from < end;) {
        const int i = count();
        const std::size_t to = std::min(end, from + (kBlockSize - i % kBlockSize));
        const int n = static_cast<int>(to - from);
        if (colour == 0) {
            summary.takeValues(n, i, i + n - 1, colour, true);
        } else {
            const float* v = values->data();
            float low = v[from], high = v[from];
            for (std::size_t k = from + 1; k < to; ++k) {
                low = std::min(low, v[k]);
                high = std::max(high, v[k]);
            }
            summary.takeValues(n, decode::plottedTemperature(low, fahrenheit),
                               decode::plottedTemperature(high, fahrenheit), colour, true);
        }
        from = to;
    }
}

ChartSeries::ChartSeries(QCPAxis* keyAxis, QCPAxis* valueAxis)
    : QCPAbstractPlottable(keyAxis, valueAxis) {
    setSelectable(QCP::stNone);
    // Smoothing wide lines costs more than the whole data pass at full view.
    setAntialiased(false);
}

ChartSeries::StoreReader ChartSeries::storeReader() const {
    const StorePoints& s = *m_store;
    // Lists cut back under the series (cleared for new data) are not read.
    const bool whole = s.times->size() >= s.timesNeeded && s.values->size() >= s.valuesNeeded;
    return StoreReader{.times = s.times->data(),
                       .values = s.values->data(),
                       .fahrenheit = s.fahrenheit,
                       .pieces = &s.pieces,
                       .n = whole ? s.count() : 0};
}

template <typename Read> decltype(auto) ChartSeries::read(Read&& read) const {
    if (!m_store)
        return read(HeldPoints{m_x.data(), m_y.data(), m_colour.data(), count()});
    return read(storeReader());
}

// Takes the held points from `from` on into the summary.
void ChartSeries::noteAppended(int from) {
    for (int i = from; i < count(); ++i) {
        m_summary.takeKey(i, m_x[i]);
        m_summary.takeValues(1, m_y[i], m_y[i], m_colour[i], !std::isnan(m_y[i]));
    }
}

// The x side of the summary of store points. Where the store's times are in
// order (nearly always) the first and last point give it; else every point.
void ChartSeries::takeStoreKeys() {
    const StoreReader points = storeReader();
    const int n = points.count();
    if (n == 0)
        return;
    const auto& times = *m_store->times;
    const auto first = times.begin() + points.sample(0);
    const auto last = times.begin() + points.sample(n - 1) + 1;
    if (std::adjacent_find(first, last, [](double a, double b) { return !(b >= a); }) == last) {
        m_summary.keyMin = points.x(0);
        m_summary.keyMax = m_summary.lastX = points.x(n - 1);
        return;
    }
    for (int i = 0; i < n; ++i)
        m_summary.takeKey(i, points.x(i));
}

// Like any change of the chart, new data shows at the next turn of the event loop.
void ChartSeries::changed() {
    if (mParentPlot)
        mParentPlot->replot(QCustomPlot::rpQueuedReplot);
}

// Store points become held ones, for points to be added after them.
void ChartSeries::hold() {
    if (!m_store)
        return;
    std::vector<double> x, y;
    std::vector<QRgb> colour;
    read([&](const auto& points) {
        const int n = points.count();
        x.resize(n);
        y.resize(n);
        colour.resize(n);
        for (int i = 0; i < n; ++i) {
            x[i] = points.x(i);
            y[i] = points.y(i);
            colour[i] = points.rgb(i);
        }
    });
    if (x.empty()) {
        clear();
        return;
    }
    m_store.reset();
    m_x.swap(x);
    m_y.swap(y);
    m_colour.swap(colour);
}

void ChartSeries::add(double x, double y, const QString& label, QColor colour) {
    hold();
    m_placeholderOnly = false;
    if (!label.isEmpty())
        m_labels.emplace_back(count(), label);
    m_x.push_back(x);
    m_y.push_back(y);
    m_colour.push_back(pack(colour));
    noteAppended(count() - 1);
    changed();
}

void ChartSeries::addX(double x, const QString& label, QColor colour) {
    add(x, count(), label, colour);
}

void ChartSeries::addPlaceholder(const QString& label, QColor colour) {
    const bool empty = count() == 0;
    add(count(), 0, label, colour);
    m_placeholderOnly = empty;
}

void ChartSeries::append(Batch&& batch) {
    hold();
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
    noteAppended(static_cast<int>(base));
    changed();
}

void ChartSeries::show(StorePoints&& points) {
    clear();
    m_labels = std::move(points.labels);
    m_summary = std::move(points.summary);
    m_store = std::move(points);
    takeStoreKeys();
}

void ChartSeries::clear() {
    // The memory goes too: an upload's millions of held points are of no use
    // once a redraw reads the store. (Assigning {} would keep the capacity.)
    std::vector<double>().swap(m_x);
    std::vector<double>().swap(m_y);
    std::vector<QRgb>().swap(m_colour);
    m_store.reset();
    m_labels.clear();
    m_summary = Summary();
    m_placeholderOnly = false;
    changed();
}

int ChartSeries::count() const {
    if (m_store)
        return read([](const auto& points) { return points.count(); });
    return static_cast<int>(m_x.size());
}

double ChartSeries::x(int i) const {
    return read([i](const auto& points) { return points.x(i); });
}

double ChartSeries::y(int i) const {
    return read([i](const auto& points) { return points.y(i); });
}

QString ChartSeries::label(int i) const {
    const auto it = std::lower_bound(m_labels.begin(), m_labels.end(), i,
                                     [](const auto& l, int index) { return l.first < index; });
    return it != m_labels.end() && it->first == i ? it->second : QString();
}

QColor ChartSeries::colour(int i) const {
    const QRgb c = read([i](const auto& points) { return points.rgb(i); });
    return qAlpha(c) != 0 ? QColor::fromRgba(c) : QColor();
}

std::vector<std::pair<double, QString>> ChartSeries::labelsIn(double lower, double upper) const {
    return read([&](const auto& points) {
        std::vector<std::pair<double, QString>> result;
        if (points.count() == 0)
            return result;
        auto first = m_labels.begin();
        auto last = m_labels.end();
        const auto xOf = [&](const auto& l) { return points.x(l.first); };
        if (m_summary.ascending) {
            first = std::lower_bound(first, last, lower,
                                     [&](const auto& l, double v) { return xOf(l) < v; });
            last = std::upper_bound(first, last, upper,
                                    [&](double v, const auto& l) { return v < xOf(l); });
        }
        for (auto it = first; it != last; ++it) {
            const double x = xOf(*it);
            if (x >= lower && x <= upper)
                result.emplace_back(x, it->second);
        }
        return result;
    });
}

std::vector<ChartSeries::Segment> ChartSeries::drawnSegments() const {
    return read([](const auto& points) {
        std::vector<Segment> result;
        for (int i = 1; i < points.count(); ++i) {
            const QRgb colour = points.rgb(i);
            if (qAlpha(points.rgb(i - 1)) != 0 && qAlpha(colour) != 0)
                result.push_back({i - 1, i, QColor::fromRgba(colour)});
        }
        return result;
    });
}

std::optional<QCPRange> ChartSeries::keyExtent() const {
    if (count() == 0 || m_placeholderOnly)
        return std::nullopt;
    return QCPRange(m_summary.keyMin, m_summary.keyMax);
}

std::optional<QCPRange> ChartSeries::valueExtent() const {
    if (!m_summary.hasValue)
        return std::nullopt;
    return QCPRange(m_summary.valueMin, m_summary.valueMax);
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
template <typename Points>
std::pair<int, int> ChartSeries::visibleIndexRange(const Points& points) const {
    const int n = points.count();
    if (!m_summary.ascending)
        return {0, n};
    const QCPRange r = keyAxis()->range();
    const int lo = partitionPoint(0, n, [&](int i) { return points.x(i) < r.lower; });
    const int hi = partitionPoint(lo, n, [&](int i) { return !(r.upper < points.x(i)); });
    return {std::max(0, lo - 1), std::min(n, hi + 1)};
}

// The first index from `from` on, before `last`, whose point is not of `colour`.
template <typename Points>
int ChartSeries::runEnd(const Points& points, int from, int last, QRgb colour,
                        bool useBlocks) const {
    int i = from;
    while (i < last && points.rgb(i) == colour) {
        const int blockEnd = i + kBlockSize;
        if (useBlocks && i % kBlockSize == 0 && blockEnd <= last) {
            // The loop condition has found the block's first point of `colour`.
            if (m_summary.blocks[i / kBlockSize].sameColour) {
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
template <typename Points>
void ChartSeries::decimate(const Points& points, int first, int last, const LinearMap& toX,
                           const LinearMap& toY, bool useBlocks, QPolygonF& line) const {
    // Far-off points are clamped so that their column stays a valid integer.
    const auto pixelX = [&](int i) { return std::clamp(toX(points.x(i)), -1e9, 1e9); };
    double px = pixelX(first);
    double entry = toY(points.y(first));
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
        const double py = toY(points.y(i));
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
            const Block& block = m_summary.blocks[i / kBlockSize];
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
template <typename Points, typename Paint>
void ChartSeries::trace(const Points& points, Reading reading, Paint&& paint) const {
    if (points.count() == 0 || !keyAxis() || !valueAxis())
        return;
    const LinearMap toX(keyAxis());
    const LinearMap toY(valueAxis());
    const auto [first, last] = visibleIndexRange(points);
    const auto coloured = [&](int i) { return qAlpha(points.rgb(i)) != 0; };
    // Out of order, the first and last point of a block do not bound its columns.
    const bool useBlocks = reading == Reading::Summary && m_summary.ascending;
    QPolygonF line;
    int i = first + 1;
    while (i < last) {
        if (!coloured(i)) {
            // The next coloured point follows a colourless one: no line reaches it.
            i = runEnd(points, i, last, 0, useBlocks) + 1;
            continue;
        }
        if (!coloured(i - 1)) {
            ++i;
            continue;
        }
        const QRgb colour = points.rgb(i);
        const int end = runEnd(points, i + 1, last, colour, useBlocks);
        line.clear();
        decimate(points, i - 1, end, toX, toY, useBlocks, line);
        paint(colour, line);
        i = end;
    }
}

std::vector<ChartSeries::Stroke> ChartSeries::strokes(Reading reading) const {
    std::vector<Stroke> result;
    read([&](const auto& points) {
        trace(points, reading, [&](QRgb colour, const QPolygonF& line) {
            result.push_back({colour, line});
        });
    });
    return result;
}

void ChartSeries::draw(QCPPainter* painter) {
    applyDefaultAntialiasingHint(painter);
    QPen pen = mPen;
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::BevelJoin);
    read([&](const auto& points) {
        trace(points, Reading::Summary, [&](QRgb colour, const QPolygonF& line) {
            pen.setColor(QColor::fromRgba(colour));
            painter->setPen(pen);
            painter->drawPolyline(line.constData(), line.size());
        });
    });
}

void ChartSeries::drawLegendIcon(QCPPainter*, const QRectF&) const {}
