#include "report/report_document.h"
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QPdfWriter>
#include <QTextDocument>
#include <algorithm>
#include <qcustomplot.h>

namespace report {
namespace {

QString escaped(const QString& text) {
    return text.toHtmlEscaped();
}

// The first `count` rows as a table of label and value.
QString tableHtml(const QList<StatisticsRow>& rows, qsizetype count) {
    QString html = "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">";
    for (const StatisticsRow& row : rows.first(std::min(count, rows.size())))
        html += "<tr><td>" + escaped(row.label) + "</td><td>" + escaped(row.value) + "</td></tr>";
    return html + "</table>";
}

QString section(const QString& title) {
    return "<h3>" + escaped(title) + "</h3>";
}

QString line(const QString& label, const QString& value) {
    return "<p>" + escaped(label) + ": " + escaped(value) + "</p>";
}

} // namespace

QString reportHtml(const ReportContent& content) {
    QString html = "<html><body>";
    html += "<h2>" + escaped(content.program) + "</h2>";
    html += line("Source", content.source);
    if (!content.userName.isEmpty())
        html += line("User", content.userName);
    if (!content.userLocation.isEmpty())
        html += line("Location", content.userLocation);
    if (!content.unitId.isEmpty())
        html += line("BV ID", content.unitId);

    html += section("Statistics of " + content.coverage) +
            tableHtml(content.statistics, content.statistics.size());

    html += section("Alarm episodes");
    const qsizetype episodes = content.episodes.size();
    if (episodes == 0) {
        html += "<p>None</p>";
    } else {
        html += tableHtml(content.episodes, kListedEpisodes);
        if (episodes > kListedEpisodes)
            html += QStringLiteral("<p>and %1 more</p>").arg(episodes - kListedEpisodes);
    }

    html += section("Report");
    html += line("Made", content.made);
    if (!content.duplicate.isEmpty()) {
        html += line("Duplicate", QFileInfo(content.duplicate).fileName());
        // A monospaced face sets the digits without ligatures ("ff" stays two
        // letters), so that the hash copied from the PDF compares.
        html += "<p>SHA-256: <span style=\"font-family: 'DejaVu Sans Mono', monospace\">" +
                escaped(content.duplicateSha256) + "</span></p>";
    }
    return html + "</body></html>";
}

bool writeReport(const QString& fileName, const ReportContent& content, QPageSize::PageSizeId paper,
                 const DrawChart& drawChart) {
    QPdfWriter writer(fileName);
    writer.setResolution(300);
    writer.setTitle(content.program);
    writer.setCreator(content.program);
    writer.setPageLayout(QPageLayout(QPageSize(paper), QPageLayout::Portrait,
                                     QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    QCPPainter painter;
    if (!painter.begin(&writer))
        return false;

    QTextDocument document;
    document.documentLayout()->setPaintDevice(&writer);
    document.setDefaultFont(QFont("DejaVu Sans", 9));
    document.setHtml(reportHtml(content));
    const QRectF text = writer.pageLayout().paintRectPixels(writer.resolution());
    document.setPageSize(text.size());
    for (int page = 0; page < document.pageCount(); ++page) {
        if (page > 0)
            writer.newPage();
        const QRectF shown(0, page * text.height(), text.width(), text.height());
        painter.save();
        painter.translate(0, -shown.top());
        document.drawContents(&painter, shown);
        painter.restore();
    }

    // The chart's page as Print Chart lays it out: landscape, 5 % margins.
    writer.setPageLayout(QPageLayout(QPageSize(paper), QPageLayout::Landscape, QMarginsF()));
    writer.newPage();
    const QRectF sheet = writer.pageLayout().fullRectPixels(writer.resolution());
    drawChart(painter, sheet.adjusted(sheet.width() * 0.05, sheet.height() * 0.05,
                                      -sheet.width() * 0.05, -sheet.height() * 0.05));
    return painter.end() && QFileInfo(fileName).size() > 0;
}

QString fileSha256(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return QString();
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace report
