#pragma once
// A line series whose points carry x, y, a label and a colour. The points are
// either held in flat vectors (added one by one or in batches, as an upload
// draws them) or read where they lie in the sample store's lists (a redraw
// from the store, which would otherwise copy millions of samples). Either
// way they are drawn by pixel column, so a redraw costs the visible pixels,
// not the visible points: a summary of each block of points lets a wide view
// take a whole block lying within one pixel column at once instead of
// reading its points.
#include "platform/clock.h"
#include <QColor>
#include <QString>
#include <optional>
#include <qcustomplot.h>
#include <utility>
#include <vector>

class ChartSeries : public QCPAbstractPlottable {
    Q_OBJECT
    // Reading 64 points per pixel column edge costs about as much as the
    // blocks of a full view of millions of points.
    static constexpr int kBlockSize = 64;
    // Extremes and colour of kBlockSize consecutive points; block k starts at
    // point k * kBlockSize, the last block may be partly filled.
    struct Block {
        double low, high;
        QRgb colour;     // of its first point
        bool sameColour; // all points have one colour, or all are colourless
        bool ordered;    // no y is NaN, so low and high bound every y
    };
    // The extents and block summaries of the points, taken in order.
    struct Summary {
        std::vector<Block> blocks;
        int count = 0;
        bool ascending = true; // every x at or after the one before
        double keyMin = 0, keyMax = 0, valueMin = 0, valueMax = 0;
        bool hasValue = false; // a coloured point gave valueMin and valueMax
        double lastX = 0;

        // The x of point i, the points taken in order.
        void takeKey(int i, double x);
        // The next n points, all in one block and of one colour, their y
        // from low to high (`ordered`: none is NaN).
        void takeValues(int n, double low, double high, QRgb colour, bool ordered);
    };

  public:
    // Points to append in one go; labels are sparse (offset into this batch, text).
    struct Batch {
        std::vector<double> x, y;
        std::vector<QRgb> colour; // alpha 0: colourless
        std::vector<std::pair<int, QString>> labels;

        void reserve(std::size_t n);
        void add(double px, double py, const QString& label, QColor c);
        // The same in two steps, for bulk fills: a non-empty label for the
        // point added next, and a point with its colour as QRgb (alpha 0:
        // colourless).
        void labelNext(const QString& label);
        void addPacked(double px, double py, QRgb colour);
        std::size_t size() const { return x.size(); }
    };
    // The line from point `from` to point `to` = from + 1, in the colour of `to`.
    struct Segment {
        int from;
        int to;
        QColor colour;
        bool operator==(const Segment&) const = default;
    };

    // The points of a redraw as read from the store: point i is the sample at
    // store index i + shift, x its time and y its value (a temperature in
    // degrees F with `fahrenheit`) or, colourless, i itself. Shift and colour
    // change only at the sparse pieces; the labels are sparse too.
    struct StorePoints {
        // From point `first` on, up to the next piece.
        struct Piece {
            int first;
            int shift;
            QRgb colour; // alpha 0: colourless
        };
        const std::vector<platform::DateTime>* times = nullptr;
        const std::vector<float>* values = nullptr;
        bool fahrenheit = false;
        std::vector<Piece> pieces{};
        std::vector<std::pair<int, QString>> labels{}; // ascending point index
        Summary summary{};
        std::size_t timesNeeded = 0, valuesNeeded = 0; // list lengths read

        int count() const { return summary.count; }
        // The next points: one for each of the store's samples [first, end),
        // all of `colour` (alpha 0: colourless; a coloured point's value is a
        // drawn reading, never NaN), `label` on the first. Their x go into
        // the summary when the series shows them.
        void add(std::size_t first, std::size_t end, QRgb colour, const QString& label);
    };

    ChartSeries(QCPAxis* keyAxis, QCPAxis* valueAxis);

    // An invalid colour or one with alpha 0 makes the point colourless: it is
    // not drawn and no drawn segment reaches it.
    void add(double x, double y, const QString& label, QColor colour);
    // y is the number of points the series holds before this one.
    void addX(double x, const QString& label, QColor colour);
    // A stand-in point (x = the point count, y = 0) that marks an empty series
    // and never moves a time axis: while the series holds nothing else it has
    // no key extent.
    void addPlaceholder(const QString& label, QColor colour);
    bool placeholderOnly() const { return m_placeholderOnly; }
    // Takes the batch's points; the batch is left empty.
    void append(Batch&& batch);
    // Replaces every point with the store's. The series reads the lists
    // until it is cleared or given other points; they may grow meanwhile,
    // but a list that falls short of what it reads shows no points. A point
    // added after these turns them into held ones first.
    void show(StorePoints&& points);
    void clear();

    int count() const;
    double x(int i) const;
    double y(int i) const;
    QString label(int i) const;
    QColor colour(int i) const; // invalid QColor when colourless
    bool hasLabels() const { return !m_labels.empty(); }
    // Labelled points whose x lies in [lower, upper], in point order.
    std::vector<std::pair<double, QString>> labelsIn(double lower, double upper) const;

    // The segments the series draws, as data (independent of the axes).
    std::vector<Segment> drawnSegments() const;

    // One polyline as drawn with the axes' current ranges: pixel positions,
    // and the colour of all its segments.
    struct Stroke {
        QRgb colour;
        QPolygonF points;
    };
    // Where the extremes of a pixel column come from: the block summaries
    // where they can serve, or every point (the same strokes, more slowly).
    enum class Reading { Summary, EveryPoint };
    std::vector<Stroke> strokes(Reading reading = Reading::Summary) const;

    // Extent of all x and of the y of coloured points; nothing when there is
    // none (no x extent while the series holds only a placeholder).
    std::optional<QCPRange> keyExtent() const;
    std::optional<QCPRange> valueExtent() const;

    double selectTest(const QPointF& pos, bool onlySelectable,
                      QVariant* details = nullptr) const override;
    QCPRange getKeyRange(bool& foundRange,
                         QCP::SignDomain inSignDomain = QCP::sdBoth) const override;
    QCPRange getValueRange(bool& foundRange, QCP::SignDomain inSignDomain = QCP::sdBoth,
                           const QCPRange& inKeyRange = QCPRange()) const override;

  protected:
    void draw(QCPPainter* painter) override;
    void drawLegendIcon(QCPPainter* painter, const QRectF& rect) const override;

  private:
    struct LinearMap;
    struct HeldPoints;
    struct StoreReader;
    // Calls read(points) with the reader of the points, held or in the store.
    template <typename Read> decltype(auto) read(Read&& read) const;
    StoreReader storeReader() const;
    void hold();
    void noteAppended(int from);
    void takeStoreKeys();
    void changed();
    template <typename Points> std::pair<int, int> visibleIndexRange(const Points& points) const;
    template <typename Points, typename Paint>
    void trace(const Points& points, Reading reading, Paint&& paint) const;
    template <typename Points>
    int runEnd(const Points& points, int from, int last, QRgb colour, bool useBlocks) const;
    template <typename Points>
    void decimate(const Points& points, int first, int last, const LinearMap& toX,
                  const LinearMap& toY, bool useBlocks, QPolygonF& line) const;

    std::vector<double> m_x, m_y;
    std::vector<QRgb> m_colour;
    std::optional<StorePoints> m_store;            // set while the points are the store's
    std::vector<std::pair<int, QString>> m_labels; // ascending point index
    Summary m_summary;
    bool m_placeholderOnly = false;
};
