#pragma once
// Help > Diagnostics Mode: the main window's hidden state controls made
// visible in the chart's place, live. The widgets show the controls
// themselves; ticking a check box here changes the flag and runs its handler.
#include <QWidget>

class StateControl;
class TForm1;

class DiagnosticsView : public QWidget {
    Q_OBJECT
  public:
    explicit DiagnosticsView(TForm1& form, QWidget* parent);

  private:
    // Places the widget of one control; it follows the control's visibility.
    void place(StateControl& control, QWidget* widget, int x, int y, int w, int h);
};
