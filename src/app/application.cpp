#include "app/application.h"
#include "platform/guard.h"

namespace {

bool startUp(TForm1& form, const QString& startupFile) {
    platform::runGuarded([&] { form.FormCreate(startupFile); });
    return true;
}

} // namespace

ApplicationWindows::ApplicationWindows(const QString& startupFile)
    : m_started(startUp(form1, startupFile)), form3(&form1), form4(form1), form5(form1),
      form6(form1) {
    form1.setDialogs(&form3, &form4, &form5, &form6);
}
