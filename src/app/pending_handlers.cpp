// Handlers whose subsystems have not landed yet.
#include "app/tform1.h"

void TForm1::InitAutoloadClick() {}
void TForm1::PlotBuffer() {}
void TForm1::UpdateFooter() {}
void TForm1::TempInFClick() {}
void TForm1::AutoScaleClick() {}
void TForm1::MaxTempExit() {}
void TForm1::MinTempExit() {}
void TForm1::Chart1Zoom() {}
void TForm1::Chart1Scroll() {}
void TForm1::Button1Click() {}
void TForm1::DataLoadedClick() {}
void TForm1::RHBVClick() {}
void TForm1::clearSeries(int) {}
void TForm1::addNoDataPlaceholder(int) {}
void TForm1::setLeftAxisLimits(double, double) {}
void TForm1::setBottomAxisFormat(const QString&) {}
platform::DateTime TForm1::AutoStartTime(QString*) {
    return 0;
}
int TForm1::seriesPointCount(int) const {
    return 0;
}
void TForm1::drawLive(const decode::LiveDrawing&) {}
void TForm1::setUploadAxesAutomatic() {}
