#pragma once
// The printable report: its text laid out by Qt's rich-text engine on
// portrait pages of the locale's paper, then the chart on a landscape page
// as Print Chart prints it, all in vectors in one PDF.
#include "report/statistics.h"
#include <QPageSize>
#include <QString>
#include <functional>

class QCPPainter;
class QRectF;

namespace report {

// What the report says, already in words and numbers for the reader.
struct ReportContent {
    QString program;  // name and version
    QString source;   // the loaded file, or the upload's channel and logger
    QString coverage; // the part of the data the statistics are of
    QString userName; // empty ones are left out
    QString userLocation;
    QString unitId;
    QList<StatisticsRow> statistics; // range, counts, values, limits
    QList<StatisticsRow> episodes;   // every alarm episode; the first ones are listed
    QString made;                    // when the report was made
    QString duplicate;               // the duplicate of the data, if any, and its SHA-256
    QString duplicateSha256;
};

// Episodes beyond this many are counted, not listed.
constexpr int kListedEpisodes = 30;

// The report's text as a rich-text document (HTML that QTextDocument reads).
QString reportHtml(const ReportContent& content);

// The chart drawn over an area of the page.
using DrawChart = std::function<void(QCPPainter&, const QRectF&)>;

// Writes the report to a PDF file; false when the file cannot be written.
bool writeReport(const QString& fileName, const ReportContent& content, QPageSize::PageSizeId paper,
                 const DrawChart& drawChart);

// The SHA-256 of a file in lower-case hexadecimal; empty when it cannot be read.
QString fileSha256(const QString& fileName);

} // namespace report
