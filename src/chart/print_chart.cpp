#include "chart/print_chart.h"
#include "chart/chart.h"
#include "chart/footer.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include <QFileInfo>
#include <QPrinter>

namespace {

// The footer is rebuilt, dropping the line, also when the printer fails.
void printWithPrintedLine(Chart& chart, QPrinter& printer, bool secureData,
                          const std::function<void()>& rebuildFooter) {
    chart.addFooterLine(printedLine(secureData, platform::now()));
    try {
        chart.print(printer);
    } catch (...) {
        rebuildFooter();
        throw;
    }
    rebuildFooter();
}

} // namespace

bool PrintChart(Chart& chart, QPrinter& printer, bool secureData,
                const std::function<void()>& rebuildFooter) {
    if (!platform::dialogs().printDialog(printer))
        return false;
    printWithPrintedLine(chart, printer, secureData, rebuildFooter);
    return true;
}

bool ExportChart(Chart& chart, const QString& fileName, bool secureData,
                 const std::function<void()>& rebuildFooter) {
    if (QFileInfo(fileName).suffix().compare("pdf", Qt::CaseInsensitive) != 0) {
        chart.replot();
        return chart.grab().save(fileName, "PNG");
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(fileName);
    try {
        printWithPrintedLine(chart, printer, secureData, rebuildFooter);
    } catch (const platform::PlatformError&) {
        return false;
    }
    return QFileInfo(fileName).size() > 0;
}
