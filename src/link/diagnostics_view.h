#pragma once
// Help > Diagnostics Mode: the main window's hidden state controls made
// visible in the chart's place, live. The widgets show the controls
// themselves; ticking a check box here changes the flag and runs its handler.
// The view scrolls when the chart's place is smaller than the controls need.
#include <QScrollArea>

class QGridLayout;
class StateControl;
class TForm1;

class DiagnosticsView : public QScrollArea {
    Q_OBJECT
  public:
    explicit DiagnosticsView(TForm1& form, QWidget* parent);

  private:
    // Puts the widget of one control into the grid; it follows the control's
    // visibility.
    void place(StateControl& control, QWidget* widget, int row, int column, int rowSpan = 1,
               int columnSpan = 1);
    QGridLayout* m_grid;
};
