#pragma once
// Printing the chart with the "Printed" line in its footer.
#include <QString>
#include <functional>

class Chart;
class QPrinter;

// Asks for a printer through the print dialog, which opens on `printer` as
// the last print left it; when one is chosen, adds the "Printed" line
// ("[Secure Data]" first for data from a verified encrypted file), prints one
// landscape page and then rebuilds the footer, which drops that line, also
// when the printer fails (platform::PlatformError, raised on). Returns false
// when the dialog is cancelled.
bool PrintChart(Chart& chart, QPrinter& printer, bool secureData,
                const std::function<void()>& rebuildFooter);

// Writes the chart to a file: a PDF (by its suffix) as Print Chart prints it,
// "Printed" line included, or else a PNG of the chart as on screen. False when
// the file could not be written; the footer is rebuilt either way.
bool ExportChart(Chart& chart, const QString& fileName, bool secureData,
                 const std::function<void()>& rebuildFooter);
