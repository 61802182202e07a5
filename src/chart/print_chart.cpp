#include "chart/print_chart.h"
#include "chart/chart.h"
#include "chart/footer.h"
#include "platform/dialogs.h"
#include <QPrinter>

bool PrintChart(Chart& chart, QPrinter& printer, bool secureData,
                const std::function<void()>& rebuildFooter) {
    if (!platform::dialogs().printDialog(printer))
        return false;
    chart.addFooterLine(printedLine(secureData, platform::now()));
    try {
        chart.print(printer);
    } catch (...) {
        rebuildFooter();
        throw;
    }
    rebuildFooter();
    return true;
}
