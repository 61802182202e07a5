#pragma once
// Printing the chart with the "Printed" line in its footer.
#include <QString>
#include <functional>

class Chart;

// Asks for a printer through the print dialog; when one is chosen, adds the
// "Printed" line ("[Secure Data]" first for data from a verified encrypted
// file), prints one landscape page and then rebuilds the footer, which drops
// that line. Returns false when the dialog is cancelled. A printer that cannot
// be started raises platform::PlatformError and the line stays until the next
// rebuild.
bool PrintChart(Chart& chart, bool secureData, const std::function<void()>& rebuildFooter);

// Writes the chart to a file: a PDF (by its suffix) as Print Chart prints it,
// "Printed" line included, or else a PNG of the chart as on screen. False when
// the file could not be written.
bool ExportChart(Chart& chart, const QString& fileName, bool secureData,
                 const std::function<void()>& rebuildFooter);
