// Handlers whose subsystems have not landed yet.
#include "app/tform1.h"

void TForm1::InitAutoloadClick() {}
void TForm1::DataLoadedClick() {}
platform::DateTime TForm1::AutoStartTime(QString*) {
    return 0;
}
