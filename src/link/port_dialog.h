#pragma once
// "Select Port": the fixed list COM1..COM255, the current port, Apply and
// Cancel. Modeless, one instance for the run; closing only hides it.
#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;
class TForm1;

class TForm6 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm6(TForm1& main);

    void FormCreate();
    void ApplyClick();
    void CancelClick();

    QListWidget* PortListBox = nullptr;
    QPushButton* Apply = nullptr;
    QPushButton* Cancel = nullptr;
    QLabel* Label1 = nullptr; // the current port
    QLabel* Label2 = nullptr;

  private:
    TForm1& m_main;
};
