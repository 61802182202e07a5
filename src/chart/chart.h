#pragma once
// The recorder chart: a title, footer lines, temperature (`Series1`, bottom and
// left axes) and relative humidity (`Series2`, top and right axes) with
// per-point colours and labels, mouse zoom and pan, and printing.
#include "chart/chart_series.h"
#include <QStringList>
#include <functional>
#include <optional>
#include <qcustomplot.h>

class QFontMetrics;
class QPrinter;
class QRubberBand;

// Lines as they fit in `width` pixels: a line wider than that breaks at its
// spaces (a single word wider than the width stays whole). Leading blanks
// stay with the first word; blanks at a break are dropped.
QStringList wrapToWidth(const QStringList& lines, const QFontMetrics& metrics, int width);

// One axis of the chart. Limits hold while the axis is manual; an automatic
// axis follows the data of its series at every replot.
class ChartAxis {
  public:
    explicit ChartAxis(QCPAxis* axis) : m_axis(axis) {}

    double minimum() const { return m_min; }
    double maximum() const { return m_max; }
    // Both raise platform::ChartAxisError, keeping the old value, when the new
    // limit would pass the other one.
    void setMinimum(double value);
    void setMaximum(double value);
    void setMinMax(double minimum, double maximum);
    bool automatic() const { return m_automatic; }
    void setAutomatic(bool automatic);
    bool visible() const { return m_axis->visible(); }
    void setVisible(bool visible);
    QString title() const { return m_axis->label(); }
    void setTitle(const QString& title) { m_axis->setLabel(title); }
    QCPAxis* axis() const { return m_axis; }

  private:
    friend class Chart;
    // Unchecked and without a replot request: for the chart's own range changes.
    void show(double minimum, double maximum);
    void changed();

    QCPAxis* m_axis;
    double m_min = 0, m_max = 1;
    bool m_automatic = false;
};

class Chart : public QCustomPlot {
    Q_OBJECT
  public:
    static constexpr int kZoomSteps = 6;

    explicit Chart(QWidget* parent = nullptr);
    ~Chart() override;

    ChartSeries& Series1() { return *m_series1; }
    ChartSeries& Series2() { return *m_series2; }
    ChartAxis& BottomAxis() { return m_bottom; }
    ChartAxis& LeftAxis() { return m_left; }
    ChartAxis& TopAxis() { return m_top; }
    ChartAxis& RightAxis() { return m_right; }

    QString title() const;
    void clearFooter();
    void addFooterLine(const QString& line);
    QStringList footerLines() const { return m_footer; }

    // Date-time label format of the bottom axis (and of the top axis while no
    // point of `Series2` carries a label), in the app's date pattern language.
    void setDateTimeFormat(const QString& pattern);
    QString dateTimeFormat() const;

    // Zooms every axis to a rectangle of widget pixels, or back to the state
    // before the first zoom or pan.
    void zoomToPixels(const QRect& area);
    void undoZoom();
    // Moves the time axes by a horizontal distance in pixels.
    void panPixels(int dx);
    // Zooms the time axes by a factor (below 1 zooms in) around the time at a
    // horizontal pixel position, which stays where it is; as any zoom, it
    // ends with zoomed().
    void zoomTimeAround(double pixelX, double factor);

    // Tells the time under the mouse (days) and returns the tip shown there;
    // an empty tip shows none.
    void setHoverTip(std::function<QString(double)> tip) { m_hoverTip = std::move(tip); }
    // The tip for a widget position inside the plot; empty elsewhere.
    QString hoverTipAt(QPoint pos) const;

    // One landscape page with 5 % margins, stretched to fill them. The
    // printer's orientation is restored. Raises platform::PlatformError when
    // the printer cannot be started.
    void print(QPrinter& printer);
    // The chart as it prints, in vectors, stretched over `area` of a page.
    void paint(QCPPainter& painter, const QRectF& area);

  signals:
    void zoomed();
    void scrolled();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    struct AxisState {
        double minimum, maximum;
        bool automatic;
    };
    enum class Drag { None, Zoom, Pan };

    std::array<ChartAxis*, 4> axes() { return {&m_bottom, &m_left, &m_top, &m_right}; }
    void followData();
    void saveZoomState();
    void showFooter();

    ChartSeries* m_series1;
    ChartSeries* m_series2;
    ChartAxis m_bottom, m_left, m_top, m_right;
    QCPTextElement* m_title;
    QCPTextElement* m_footerElement;
    QStringList m_footer;
    QString m_dateTimeFormat;
    class TimeTicker;

    QRubberBand* m_rubberBand;
    Drag m_drag = Drag::None;
    QPoint m_dragStart, m_dragLast;
    std::optional<std::array<AxisState, 4>> m_beforeZoom;
    std::function<QString(double)> m_hoverTip;
};
