#pragma once
// The footer lines under the chart and the "Printed" line of a printout.
#include "platform/clock.h"
#include <QString>
#include <QStringList>

class Chart;

// What the footer shows, read from the main window and the sample store.
struct FooterInputs {
    bool TempInF = true;
    bool RHBV = false;
    double SamplesPerHour = 240; // the storage rate in force
    QString Datastored;          // the logger's recording mode
    int HeaderFormat = -1;
    float RHFilterPercent = 0; // RH filter weighting of the selected channel
    QString UserName, UserLocation, UnitId;
};

QStringList footerLines(const FooterInputs& inputs);
// Replaces the chart's footer.
void UpdateFooter(Chart& chart, const FooterInputs& inputs);
// The line added to the footer while printing.
QString printedLine(bool secureData, platform::DateTime now);
