#pragma once
// A chart the size of the main window's, with the default format settings.
#include "chart/chart.h"
#include <QList>
#include <QSizeF>
#include <memory>

std::unique_ptr<Chart> makeTestChart();

// Width and height in points of each page of a PDF written by Qt.
QList<QSizeF> pdfPages(const QString& fileName);
