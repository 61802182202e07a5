#include "chart/print_chart.h"
#include "platform/dialogs.h"
#include "chart/chart.h"
#include "chart/footer.h"
#include <QPrinter>

bool PrintChart(Chart& chart, bool secureData, const std::function<void()>& rebuildFooter) {
    QPrinter printer;
    if (!platform::dialogs().printDialog(printer))
        return false;
    chart.addFooterLine(printedLine(secureData, platform::now()));
    chart.print(printer);
    rebuildFooter();
    return true;
}
