#pragma once
// The program's windows, created in start-up order: the main window (whose
// start-up runs at once), then the About box, the two user dialogs and the
// port dialog. They live until the program ends.
#include "app/tform1.h"
#include "app/user_dialogs.h"
#include "link/port_dialog.h"

class ApplicationWindows {
  public:
    explicit ApplicationWindows(const QString& startupFile = QString());

    TForm1 form1;

  private:
    bool m_started;

  public:
    TForm3 form3;
    TForm4 form4;
    TForm5 form5;
    TForm6 form6;
};
