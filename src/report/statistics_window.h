#pragma once
// The modeless "Statistics" window: the table of the statistics, a copy of
// it to the clipboard as text, the user's limits and ΔH for this run, and
// the choice of the whole data set or the chart's visible range. It shows
// what it is given and tells when its choices change; the main window
// computes.
#include "report/statistics.h"
#include <QString>
#include <QWidget>
#include <variant>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace report {

// The window's choices as the statistics take them.
struct StatisticsChoice {
    std::optional<double> low, high;
    double activationEnergy = kDefaultActivationEnergy;
    bool visibleRange = false;
};

// The edits' texts read in the user's number format: an empty limit is none;
// a text that is not a number, a low limit above the high one or a ΔH that
// is not above 0 gives the reason instead.
std::variant<StatisticsChoice, QString> readChoice(const QString& low, const QString& high,
                                                   const QString& energy, bool visibleRange);

} // namespace report

class StatisticsWindow : public QWidget {
    Q_OBJECT
  public:
    explicit StatisticsWindow(QWidget* parent = nullptr);

    std::variant<report::StatisticsChoice, QString> choice() const;
    // The statistics shown, with a note above the table; "Copy" puts them on
    // the clipboard as text (made only then).
    void showStatistics(const report::Statistics& statistics, const QString& note);
    // A note in place of the statistics: the choices do not read.
    void showProblem(const QString& note);

    QRadioButton* WholeData = nullptr;
    QRadioButton* VisibleRange = nullptr;
    QLineEdit* LowLimit = nullptr;
    QLineEdit* HighLimit = nullptr;
    QLineEdit* Energy = nullptr;
    QLabel* Note = nullptr;
    QTableWidget* Table = nullptr;
    QPushButton* Copy = nullptr;

  signals:
    void choiceChanged();

  private:
    void showNote(const QString& note);
    std::optional<report::Statistics> m_shown;
};
