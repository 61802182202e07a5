#include "app/platform/formatting.h"
#include "app/platform/guard.h"
#include "app/tform1.h"
#include "app/user_dialogs.h"
#include "link/port_dialog.h"
#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Brenvale");
    platform::resetFormatSettingsFromSystem();
    const QStringList arguments = QApplication::arguments();

    TForm1 form1;
    platform::runGuarded(
        [&] { form1.FormCreate(arguments.size() > 1 ? arguments[1] : QString()); });
    TForm3 form3(&form1);
    TForm4 form4(form1);
    TForm5 form5(form1);
    TForm6 form6(form1);
    form1.setDialogs(&form3, &form4, &form5, &form6);
    form1.show();
    return QApplication::exec();
}
