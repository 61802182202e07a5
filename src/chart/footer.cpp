#include "chart/footer.h"
#include "chart/chart.h"
#include "platform/formatting.h"
#include <cmath>

namespace {

QString rhMode(const FooterInputs& in) {
    if (in.HeaderFormat != 2)
        return QStringLiteral("average");
    const double percent = std::floor(double(in.RHFilterPercent) * 100 + 0.5) * 0.01;
    return platform::floatToStr(percent) + QStringLiteral("% last output");
}

QString userLine(const FooterInputs& in) {
    QString line;
    if (!in.UserName.isEmpty())
        line = QStringLiteral("User=") + in.UserName;
    if (!in.UserLocation.isEmpty())
        line += QStringLiteral("  Location=") + in.UserLocation;
    if (!in.UnitId.isEmpty())
        line += QStringLiteral("  BV ID=") + in.UnitId;
    return line;
}

} // namespace

QStringList footerLines(const FooterInputs& in) {
    // The storage interval is worked out in single precision, as the logger's
    // rate is; no samples per hour means no interval.
    const float perHour = float(in.SamplesPerHour);
    const float interval = perHour == 0 ? 0.0f : 3600.0f / perHour;
    QString first = QStringLiteral("Units=") + (in.TempInF ? "F" : "C") +
                    QStringLiteral("  Storage Rate=") + platform::floatToStr(interval) +
                    QStringLiteral("sec");
    // Before the first header there is no recording mode to name.
    if (!in.Datastored.isEmpty())
        first += QStringLiteral("   Recorded Temp=") + in.Datastored;
    if (in.RHBV)
        first += QStringLiteral("  Recorded RH=") + rhMode(in);
    QStringList lines{first};
    const QString user = userLine(in);
    if (!user.isEmpty())
        lines.append(user);
    lines.append(QString());
    return lines;
}

void UpdateFooter(Chart& chart, const FooterInputs& inputs) {
    const QStringList lines = footerLines(inputs);
    chart.clearFooter();
    for (const QString& line : lines)
        chart.addFooterLine(line);
}

QString printedLine(bool secureData, platform::DateTime now) {
    // Both prefixes are 95 characters wide, so the date stands at the same place.
    const QString prefix =
        secureData ? QStringLiteral("[Secure Data]") + QString(74, ' ') : QString(87, ' ');
    return prefix + QStringLiteral("Printed ") + platform::dateTimeToStr(now);
}
