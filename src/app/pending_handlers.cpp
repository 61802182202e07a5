// Handlers whose subsystems have not landed yet.
#include "app/tform1.h"

void TForm1::InitAutoloadClick() {}
void TForm1::SavedataClick() {}
void TForm1::SaveDataFile() {}
void TForm1::LoaddataClick() {}
void TForm1::LoadDataFile(const QString&) {}
bool TForm1::DetectFileDateFormat(const QString&) {
    return false;
}
void TForm1::DataLoadedClick() {}
platform::DateTime TForm1::AutoStartTime(QString*) {
    return 0;
}
