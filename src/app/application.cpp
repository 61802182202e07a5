#include "app/application.h"
#include "platform/guard.h"

StartedMainWindow::StartedMainWindow(const QString& startupFile) {
    platform::runGuarded([&] { form1.FormCreate(startupFile); });
}

ApplicationWindows::ApplicationWindows(const QString& startupFile)
    : StartedMainWindow(startupFile), form3(&form1), form4(form1), form5(form1), form6(form1) {
    form1.setDialogs(&form3, &form4, &form5, &form6);
}
