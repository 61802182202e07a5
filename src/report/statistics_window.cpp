#include "report/statistics_window.h"
#include "platform/errors.h"
#include "platform/formatting.h"
#include <QApplication>
#include <QClipboard>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace report {
namespace {

// A number typed in the user's format; nothing for an empty text.
std::variant<std::optional<double>, QString> typedNumber(const QString& text, const QString& name) {
    if (text.trimmed().isEmpty())
        return std::optional<double>();
    try {
        return std::optional<double>(platform::strToFloat(text));
    } catch (const platform::ConversionError&) {
        return name + " is not a number.";
    }
}

} // namespace

std::variant<StatisticsChoice, QString> readChoice(const QString& low, const QString& high,
                                                   const QString& energy, bool visibleRange) {
    StatisticsChoice choice;
    choice.visibleRange = visibleRange;
    const auto lowValue = typedNumber(low, "The low limit");
    if (const QString* reason = std::get_if<QString>(&lowValue))
        return *reason;
    const auto highValue = typedNumber(high, "The high limit");
    if (const QString* reason = std::get_if<QString>(&highValue))
        return *reason;
    const auto energyValue = typedNumber(energy, "ΔH");
    if (const QString* reason = std::get_if<QString>(&energyValue))
        return *reason;
    choice.low = std::get<std::optional<double>>(lowValue);
    choice.high = std::get<std::optional<double>>(highValue);
    if (choice.low && choice.high && *choice.low > *choice.high)
        return "The low limit is above the high limit.";
    const std::optional<double> kJ = std::get<std::optional<double>>(energyValue);
    if (kJ && !(*kJ > 0))
        return "ΔH must be above 0 kJ/mol.";
    choice.activationEnergy = kJ.value_or(kDefaultActivationEnergy);
    return choice;
}

} // namespace report

StatisticsWindow::StatisticsWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle("Statistics");
    WholeData = new QRadioButton("Whole data set");
    VisibleRange = new QRadioButton("Visible range");
    WholeData->setChecked(true);
    LowLimit = new QLineEdit;
    HighLimit = new QLineEdit;
    Energy = new QLineEdit(platform::floatToStr(report::kDefaultActivationEnergy));
    Note = new QLabel;
    Note->setWordWrap(true);
    Note->hide();
    Table = new QTableWidget(0, 2);
    Table->setHorizontalHeaderLabels({"Statistic", "Value"});
    Table->verticalHeader()->hide();
    Table->horizontalHeader()->setStretchLastSection(true);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionMode(QAbstractItemView::NoSelection);
    Copy = new QPushButton("Copy");

    auto* range = new QHBoxLayout;
    range->addWidget(WholeData);
    range->addWidget(VisibleRange);
    range->addStretch();
    auto* edits = new QFormLayout;
    edits->addRow("Low limit:", LowLimit);
    edits->addRow("High limit:", HighLimit);
    edits->addRow("ΔH (kJ/mol):", Energy);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Copy);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(range);
    layout->addLayout(edits);
    layout->addWidget(Note);
    layout->addWidget(Table, 1);
    layout->addLayout(buttons);
    resize(420, 560);

    connect(VisibleRange, &QRadioButton::toggled, this, &StatisticsWindow::choiceChanged);
    for (QLineEdit* edit : {LowLimit, HighLimit, Energy})
        connect(edit, &QLineEdit::textChanged, this, &StatisticsWindow::choiceChanged);
    connect(Copy, &QPushButton::clicked, this, [this] {
        if (m_shown)
            QApplication::clipboard()->setText(report::statisticsText(*m_shown));
    });
}

std::variant<report::StatisticsChoice, QString> StatisticsWindow::choice() const {
    return report::readChoice(LowLimit->text(), HighLimit->text(), Energy->text(),
                              VisibleRange->isChecked());
}

void StatisticsWindow::showNote(const QString& note) {
    Note->setText(note);
    Note->setVisible(!note.isEmpty());
}

void StatisticsWindow::showProblem(const QString& note) {
    m_shown.reset();
    showNote(note);
    Copy->setEnabled(false);
    Table->setRowCount(0);
}

void StatisticsWindow::showStatistics(const report::Statistics& statistics, const QString& note) {
    m_shown = statistics;
    showNote(note);
    Copy->setEnabled(true);
    const QList<report::StatisticsRow> rows =
        report::statisticsRows(statistics) + report::episodeRows(statistics);
    // A pan updates the table many times a second: its items take the new
    // texts in place, and the labels' column is measured again only when the
    // rows are others.
    const int before = Table->rowCount();
    Table->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        for (int column : {0, 1}) {
            const QString& text = column == 0 ? rows[i].label : rows[i].value;
            if (QTableWidgetItem* item = Table->item(i, column))
                item->setText(text);
            else
                Table->setItem(i, column, new QTableWidgetItem(text));
        }
    }
    if (Table->rowCount() != before)
        Table->resizeColumnToContents(0);
}
