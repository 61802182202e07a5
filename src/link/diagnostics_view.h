#pragma once
// Help > Diagnostics Mode: the main window's hidden state controls made
// visible in the chart's place, live. The widgets show the controls
// themselves; ticking a check box here changes the flag and runs its handler.
// The view scrolls when the chart's place is smaller than the controls need.
#include <QScrollArea>
#include <functional>

class FlagControl;
class QGridLayout;
class StateControl;
class TextControl;
class TForm1;

class DiagnosticsView : public QScrollArea {
    Q_OBJECT
  public:
    explicit DiagnosticsView(TForm1& form, QWidget* parent);

  private:
    struct Cell {
        int row, column, rowSpan = 1, columnSpan = 1;
    };
    void addMemos(TForm1& form);
    void addFlags(TForm1& form);
    void addFields(TForm1& form);
    void addMemo(TextControl& control, Cell cell);
    void addFlag(FlagControl& control, Cell cell);
    void addField(StateControl& control, const std::function<QString()>& value, Cell cell);
    // Puts the widget of one control into the grid; it follows the control's
    // visibility.
    void place(StateControl& control, QWidget* widget, Cell cell);
    QGridLayout* m_grid;
};
