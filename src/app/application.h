#pragma once
// The program's windows. They live until the program ends.
#include "app/tform1.h"
#include "app/user_dialogs.h"
#include "link/port_dialog.h"

// The main window, started up (settings read, port opened, a named file
// loaded) as soon as it is made.
class StartedMainWindow {
  public:
    explicit StartedMainWindow(const QString& startupFile);

    TForm1 form1;
};

// Made in start-up order: the main window first, as a base, so that its
// start-up has run before the About box, the two user dialogs and the port
// dialog are made.
class ApplicationWindows : public StartedMainWindow {
  public:
    explicit ApplicationWindows(const QString& startupFile = QString());

    TForm3 form3;
    TForm4 form4;
    TForm5 form5;
    TForm6 form6;
};
