#pragma once
// A line series whose points carry x, y, a label and a colour. Points are kept
// in flat vectors (a logger holds millions of samples) and drawn by pixel
// column, so a redraw costs the visible pixels, not the visible points. A
// summary of each block of points lets a wide view take a whole block lying
// within one pixel column at once instead of reading its points.
#include <QColor>
#include <QString>
#include <optional>
#include <qcustomplot.h>
#include <utility>
#include <vector>

class ChartSeries : public QCPAbstractPlottable {
    Q_OBJECT
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
    void clear();

    int count() const { return static_cast<int>(m_x.size()); }
    double x(int i) const { return m_x[i]; }
    double y(int i) const { return m_y[i]; }
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
    // Extremes and colour of kBlockSize consecutive points; block k starts at
    // point k * kBlockSize, the last block may be partly filled.
    struct Block {
        double low, high;
        bool sameColour; // all points have one colour, or all are colourless
        bool ordered;    // no y is NaN, so low and high bound every y
    };
    // Reading 64 points per pixel column edge costs about as much as the
    // blocks of a full view of millions of points.
    static constexpr int kBlockSize = 64;

    void noteAppended(std::size_t from);
    void summarise(std::size_t from);
    void changed();
    bool coloured(int i) const { return qAlpha(m_colour[i]) != 0; }
    std::pair<int, int> visibleIndexRange() const;
    template <typename Paint> void trace(Reading reading, Paint&& paint) const;
    int runEnd(int from, int last, QRgb colour, bool useBlocks) const;
    void decimate(int first, int last, const LinearMap& toX, const LinearMap& toY, bool useBlocks,
                  QPolygonF& line) const;

    std::vector<double> m_x, m_y;
    std::vector<QRgb> m_colour;
    std::vector<std::pair<int, QString>> m_labels; // ascending point index
    std::vector<Block> m_blocks;
    bool m_ascending = true; // every x at or after the one before
    double m_keyMin = 0, m_keyMax = 0, m_valueMin = 0, m_valueMax = 0;
    bool m_hasValue = false;
    bool m_placeholderOnly = false;
};
