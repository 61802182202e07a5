#pragma once
// Printing the chart with the "Printed" line in its footer.
#include <functional>

class Chart;

// Asks for a printer through the print dialog; when one is chosen, adds the
// "Printed" line ("[Secure Data]" first for data from a verified encrypted
// file), prints one landscape page and then rebuilds the footer, which drops
// that line. Returns false when the dialog is cancelled. A printer that cannot
// be started raises platform::PlatformError and the line stays until the next
// rebuild.
bool PrintChart(Chart& chart, bool secureData, const std::function<void()>& rebuildFooter);
