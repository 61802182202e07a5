#include "chart_fixture.h"
#include "platform/formatting.h"
#include <QFile>
#include <QRegularExpression>

std::unique_ptr<Chart> makeTestChart() {
    platform::formatSettings() = platform::FormatSettings{};
    auto chart = std::make_unique<Chart>();
    chart->resize(800, 420);
    return chart;
}

QList<QSizeF> pdfPages(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromLatin1(file.readAll());
    QList<QSizeF> pages;
    static const QRegularExpression mediaBox(
        R"(/Type\s*/Page\b[^s].*?/MediaBox\s*\[\s*0\s+0\s+([\d.]+)\s+([\d.]+)\s*\])",
        QRegularExpression::DotMatchesEverythingOption);
    for (auto it = mediaBox.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        pages.append(QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()));
    }
    return pages;
}
