#pragma once
// The About box and the two user-information dialogs. All three are shown
// modelessly and live for the whole run.
#include <QDialog>

class QLineEdit;
class QPushButton;
class TForm1;
enum class FileOutcome;

// "About Brenvale(tm)", centred on the screen each time the program shows it.
class TForm3 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm3(QWidget* parent = nullptr);
    QPushButton* Button1 = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;
};

// The top left corner that centres a window of `frame` size in `area`.
QPoint centredIn(const QRect& area, const QSize& frame);

// The three user edits shared by "User Information" and "Please Verify Information ".
class UserInfoDialog : public QDialog {
    Q_OBJECT
  public:
    QLineEdit* UserInfo = nullptr;
    QLineEdit* UserLocation = nullptr;
    QLineEdit* BVInfo = nullptr;
    QPushButton* Button1 = nullptr; // "OK" or "Continue"
    QPushButton* Button2 = nullptr; // "Cancel"

    // Fills the edits from the main window's copy of USERINFO.DAT.
    void FormShow();

  protected:
    UserInfoDialog(TForm1& main, const QString& caption, const QString& confirmText,
                   QSize clientSize);
    void showEvent(QShowEvent* event) override;
    // Strips "~" from the edits and writes USERINFO.DAT.
    void storeValues();
    TForm1& m_main;
};

// "User Information": OK stores the values.
class TForm4 : public UserInfoDialog {
    Q_OBJECT
  public:
    explicit TForm4(TForm1& main);
    void Button1Click();
};

// "Please Verify Information ": Continue stores the values, then saves or
// asks for the file of the automatic downloads.
class TForm5 : public UserInfoDialog {
    Q_OBJECT
  public:
    explicit TForm5(TForm1& main);
    // The save's outcome, or for the automatic downloads whether their file
    // was named (Done) or not (Cancelled).
    FileOutcome Button1Click();

  private:
    FileOutcome nameAutoFile();
};
