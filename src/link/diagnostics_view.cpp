#include "link/diagnostics_view.h"
#include "app/tform1.h"
#include "chart/chart.h"
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

} // namespace

DiagnosticsView::DiagnosticsView(TForm1& form, QWidget* parent) : QScrollArea(parent) {
    auto* content = new QWidget;
    m_grid = new QGridLayout(content);
    setWidget(content);
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);

    // Memos: refreshed only while shown, so an upload does not pay for them. A
    // chunk appended to a memo is appended to its view, which then shows the
    // newest line.
    auto memo = [this](TextControl& control, int row, int column, int rowSpan, int columnSpan) {
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
        place(control, edit, row, column, rowSpan, columnSpan);
    };
    constexpr int kColumns = 5;
    memo(form.Memo2, 1, 0, 2, 2);
    memo(form.Memo5, 1, 2, 1, 3);
    memo(form.Memo3, 2, 2, 1, 2);
    memo(form.Memo1, 2, 4, 1, 1);
    m_grid->setRowStretch(1, 2);
    m_grid->setRowStretch(2, 1);

    auto flag = [this](FlagControl& control, int row, int column) {
        auto* box = new QCheckBox(control.name());
        box->setChecked(control.checked());
        connect(&control, &StateControl::valueChanged, box,
                [box, &control] { box->setChecked(control.checked()); });
        connect(box, &QCheckBox::clicked, box, [&control](bool checked) {
            platform::runGuarded([&] { control.setChecked(checked); });
        });
        place(control, box, row, column);
    };
    const std::array<FlagControl*, 11> flags = {
        &form.Startloadingdata, &form.Errorindata,       &form.Startloadingheader,
        &form.Headerloaded,     &form.Readyfornextblock, &form.WaitingForAck,
        &form.InitAutoload,     &form.DataLoaded,        &form.RHBV,
        &form.WaitOnFastAck,    &form.FastBaud};
    for (int i = 0; i < static_cast<int>(flags.size()); ++i)
        flag(*flags[i], 3 + i / 4, i % 4);

    // Labelled fields, five to a row; Edit2 has no caption.
    auto text = [this](StateControl& control, const std::function<QString()>& value, int row,
                       int column) {
        auto* edit = new QLineEdit;
        edit->setReadOnly(true);
        edit->setText(value());
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance("00/00/0000 00:00:00") + 12);
        connect(&control, &StateControl::valueChanged, edit,
                [edit, value] { edit->setText(value()); });
        place(control, edit, row, column);
    };
    const std::array<StateControl*, 9> fields = {
        &form.Firstdate,  &form.Firsttime, &form.Lastdate, &form.Lasttime, &form.Samplesperhour,
        &form.Datastored, &form.COMPORT,   &form.Watchdog, &form.Edit2};
    for (int i = 0; i < static_cast<int>(fields.size()); ++i) {
        const int row = 7 + (i / kColumns) * 2, column = i % kColumns;
        if (i < 8)
            place(*form.StaticText[i + 2], new QLabel(kCaptions[i + 2]), row, column);
        std::function<QString()> value;
        if (fields[i] == &form.Watchdog)
            value = [&form] { return platform::dateTimeToStr(form.Watchdog.value()); };
        else
            value = [control = static_cast<TextControl*>(fields[i])] { return control->text(); };
        text(*fields[i], value, row + 1, column);
    }
    place(*form.StaticText[0], new QLabel(kCaptions[0]), 0, 0, 1, 2);
    place(*form.StaticText[1], new QLabel(kCaptions[1]), 0, 2, 1, 3);
}

void DiagnosticsView::place(StateControl& control, QWidget* widget, int row, int column,
                            int rowSpan, int columnSpan) {
    m_grid->addWidget(widget, row, column, rowSpan, columnSpan);
    widget->setVisible(control.isVisible());
    connect(&control, &StateControl::visibilityChanged, widget, &QWidget::setVisible);
}

void TForm1::DiagnosticsMode1Click() {
    // The menu has already moved the check mark: it now says which mode to show.
    const bool on = DiagnosticsMode1->isChecked();
    Chart1->setVisible(!on);
    m_diagnostics->setVisible(on);
    if (!on)
        Memo1.setVisible(false);
    std::vector<StateControl*> controls{&Memo2,        &Memo3,
                                        &Memo5,        &Startloadingdata,
                                        &Errorindata,  &Startloadingheader,
                                        &Headerloaded, &Readyfornextblock,
                                        &WaitingForAck};
    for (const auto& label : StaticText)
        controls.push_back(label.get());
    const std::vector<StateControl*> rest{&Firstdate,      &Firsttime,    &Lastdate,   &Lasttime,
                                          &Samplesperhour, &Datastored,   &COMPORT,    &Watchdog,
                                          &Edit2,          &InitAutoload, &DataLoaded, &RHBV,
                                          &WaitOnFastAck,  &FastBaud};
    controls.insert(controls.end(), rest.begin(), rest.end());
    for (StateControl* control : controls)
        control->setVisible(on);
}
