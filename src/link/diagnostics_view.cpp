#include "link/diagnostics_view.h"
#include "app/tform1.h"
#include "platform/formatting.h"
#include "platform/guard.h"
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>
#include <memory>

namespace {

const char* const kCaptions[10] = {"Header Data",    "Incoming Data (Hex format)",
                                   "First Date",     "First Time",
                                   "Last Date",      "Last Time",
                                   "Samples Per Hr", "Data Stored",
                                   "Serial Port",    "Watchdog"};

// A field's text: a text control shows its text, the watchdog its time.
struct Field {
    StateControl& control;
    std::function<QString()> value;
};

Field textField(TextControl& control) {
    return {.control = control, .value = [&control] { return control.text(); }};
}

} // namespace

DiagnosticsView::DiagnosticsView(TForm1& form, QWidget* parent) : QScrollArea(parent) {
    auto* content = new QWidget;
    m_grid = new QGridLayout(content);
    setWidget(content);
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    addMemos(form);
    addFlags(form);
    addFields(form);
}

void DiagnosticsView::addMemos(TForm1& form) {
    addMemo(form.Memo2, {.row = 1, .column = 0, .rowSpan = 2, .columnSpan = 2});
    addMemo(form.Memo5, {.row = 1, .column = 2, .rowSpan = 1, .columnSpan = 3});
    addMemo(form.Memo3, {.row = 2, .column = 2, .rowSpan = 1, .columnSpan = 2});
    addMemo(form.Memo1, {.row = 2, .column = 4});
    m_grid->setRowStretch(1, 2);
    m_grid->setRowStretch(2, 1);
}

void DiagnosticsView::addFlags(TForm1& form) {
    const std::array<FlagControl*, 11> flags = {
        &form.Startloadingdata, &form.Errorindata,       &form.Startloadingheader,
        &form.Headerloaded,     &form.Readyfornextblock, &form.WaitingForAck,
        &form.InitAutoload,     &form.DataLoaded,        &form.RHBV,
        &form.WaitOnFastAck,    &form.FastBaud};
    for (int i = 0; i < static_cast<int>(flags.size()); ++i)
        addFlag(*flags[i], {.row = 3 + i / 4, .column = i % 4});
}

// Labelled fields, five to a row, each caption above its field; Edit2 has no
// caption. The memos' captions head the grid.
void DiagnosticsView::addFields(TForm1& form) {
    constexpr int kColumns = 5;
    const std::array<Field, 9> fields = {
        textField(form.Firstdate),
        textField(form.Firsttime),
        textField(form.Lastdate),
        textField(form.Lasttime),
        textField(form.Samplesperhour),
        textField(form.Datastored),
        textField(form.COMPORT),
        Field{.control = form.Watchdog,
              .value = [&form] { return platform::dateTimeToStr(form.Watchdog.value()); }},
        textField(form.Edit2)};
    for (int i = 0; i < static_cast<int>(fields.size()); ++i) {
        const int row = 7 + (i / kColumns) * 2, column = i % kColumns;
        if (i < 8)
            place(*form.StaticText[i + 2], new QLabel(kCaptions[i + 2]),
                  {.row = row, .column = column});
        addField(fields[i].control, fields[i].value, {.row = row + 1, .column = column});
    }
    place(*form.StaticText[0], new QLabel(kCaptions[0]), {.row = 0, .column = 0, .columnSpan = 2});
    place(*form.StaticText[1], new QLabel(kCaptions[1]), {.row = 0, .column = 2, .columnSpan = 3});
}

// Memos are refreshed only while shown, so an upload does not pay for them. A
// chunk appended to a memo is appended to its view, which then shows the
// newest line.
void DiagnosticsView::addMemo(TextControl& control, Cell cell) {
    auto* edit = new QPlainTextEdit;
    edit->setObjectName(control.name());
    edit->setReadOnly(true);
    edit->setMinimumHeight(edit->fontMetrics().lineSpacing() * 2);
    auto shown = std::make_shared<qsizetype>(0);
    auto refresh = [edit, &control, shown] {
        const QString& text = control.text();
        if (control.appendedFrom() >= 0 && control.appendedFrom() == *shown) {
            QTextCursor end(edit->document());
            end.movePosition(QTextCursor::End);
            end.insertText(text.mid(*shown).remove('\r'));
        } else {
            edit->setPlainText(text);
        }
        *shown = text.size();
        edit->moveCursor(QTextCursor::End);
        edit->ensureCursorVisible();
    };
    connect(&control, &StateControl::valueChanged, edit, [edit, refresh] {
        if (edit->isVisible())
            refresh();
    });
    connect(&control, &StateControl::visibilityChanged, edit, [edit, shown, refresh](bool on) {
        if (on) {
            *shown = -1; // whatever the last change was, show the whole text
            refresh();
            // Once laid out at its new size, the view shows the newest line.
            QTimer::singleShot(0, edit, [edit] {
                edit->verticalScrollBar()->setValue(edit->verticalScrollBar()->maximum());
            });
        }
    });
    place(control, edit, cell);
}

void DiagnosticsView::addFlag(FlagControl& control, Cell cell) {
    auto* box = new QCheckBox(control.name());
    box->setChecked(control.checked());
    connect(&control, &StateControl::valueChanged, box,
            [box, &control] { box->setChecked(control.checked()); });
    connect(box, &QCheckBox::clicked, box, [&control](bool checked) {
        platform::runGuarded([&] { control.setChecked(checked); });
    });
    place(control, box, cell);
}

void DiagnosticsView::addField(StateControl& control, const std::function<QString()>& value,
                               Cell cell) {
    auto* edit = new QLineEdit;
    edit->setReadOnly(true);
    edit->setText(value());
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance("00/00/0000 00:00:00") + 12);
    connect(&control, &StateControl::valueChanged, edit, [edit, value] { edit->setText(value()); });
    place(control, edit, cell);
}

void DiagnosticsView::place(StateControl& control, QWidget* widget, Cell cell) {
    m_grid->addWidget(widget, cell.row, cell.column, cell.rowSpan, cell.columnSpan);
    widget->setVisible(control.isVisible());
    connect(&control, &StateControl::visibilityChanged, widget, &QWidget::setVisible);
}
