#include "report/report_document.h"
#include "platform/formatting.h"
#include "report/statistics.h"
#include <QCryptographicHash>
#include <cmath>
#include <QFile>
#include <QFileInfo>
#include <QPdfWriter>
#include <QTextDocument>
#include <qcustomplot.h>

namespace report {
namespace {

QString escaped(const QString& text) {
    return text.toHtmlEscaped();
}

QString cells(const QStringList& values, const char* tag) {
    QString html = "<tr>";
    for (const QString& value : values)
        html += QStringLiteral("<%1>%2</%1>").arg(tag, escaped(value));
    return html + "</tr>";
}

// The table's rows, the first `limit` of them (all when negative).
QString tableHtml(const Table& table, int limit = -1) {
    QString html = "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">";
    if (!table.header.isEmpty())
        html += cells(table.header, "th");
    int listed = 0;
    for (const QStringList& row : table.rows) {
        if (limit >= 0 && listed++ >= limit)
            break;
        html += cells(row, "td");
    }
    return html + "</table>";
}

QString section(const QString& title) {
    return "<h3>" + escaped(title) + "</h3>";
}

QString line(const QString& label, const QString& value) {
    return "<p>" + escaped(label) + ": " + escaped(value) + "</p>";
}

} // namespace

Table statisticsTable(const Statistics& statistics) {
    Table table;
    for (const StatisticsRow& row : statisticsRows(statistics))
        table.rows.push_back({row.label, row.value});
    return table;
}

Table episodeTable(const Statistics& statistics) {
    Table table;
    table.header = {"Alarm", "Start", "End", "Duration", "Min", "Max", "Note"};
    const auto value = [](const std::optional<double>& v) {
        return v ? platform::floatToStr(std::round(*v * 100) / 100) : QStringLiteral("\u2014");
    };
    const auto add = [&](const QString& quantity, const AlarmStatistics& alarms) {
        for (const Episode& e : alarms.episodes) {
            const QString note = e.openAtStart ? "open at the start"
                                 : e.openAtEnd ? "open at the end"
                                               : QString();
            table.rows.push_back({quantity, platform::dateTimeToStr(e.start),
                                  platform::dateTimeToStr(e.end), durationText(e.durationSeconds),
                                  value(e.min), value(e.max), note});
        }
    };
    add(statistics.fahrenheit ? "Temperature (F)" : "Temperature (C)", statistics.temperatureAlarms);
    add("RH (%)", statistics.rhAlarms);
    return table;
}

QString durationText(long long seconds) {
    const long long days = seconds / 86400;
    const long long rest = seconds % 86400;
    const QString time = QStringLiteral("%1:%2:%3")
                             .arg(rest / 3600, 2, 10, QChar('0'))
                             .arg(rest / 60 % 60, 2, 10, QChar('0'))
                             .arg(rest % 60, 2, 10, QChar('0'));
    return days > 0 ? QStringLiteral("%1 d %2").arg(days).arg(time) : time;
}

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

    html += section("Statistics") + tableHtml(content.statistics);

    html += section("Alarm episodes");
    const int episodes = static_cast<int>(content.episodes.rows.size());
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
        html += line("SHA-256", content.duplicateSha256);
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
