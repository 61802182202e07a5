#include "link/diagnostics_view.h"
#include "app/tform1.h"
#include "chart/chart.h"
#include "platform/formatting.h"
#include "platform/guard.h"
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

const char* const kCaptions[10] = {"Header Data",    "Incoming Data (Hex format)",
                                   "First Date",     "First Time",
                                   "Last Date",      "Last Time",
                                   "Samples Per Hr", "Data Stored",
                                   "Serial Port",    "Watchdog"};

} // namespace

DiagnosticsView::DiagnosticsView(TForm1& form, QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);

    // Memos: refreshed only while shown, so an upload does not pay for them.
    auto memo = [this](TextControl& control, int x, int y, int w, int h) {
        auto* edit = new QPlainTextEdit(this);
        edit->setReadOnly(true);
        connect(&control, &StateControl::valueChanged, edit, [edit, &control] {
            if (edit->isVisible())
                edit->setPlainText(control.text());
        });
        connect(&control, &StateControl::visibilityChanged, edit, [edit, &control](bool shown) {
            if (shown)
                edit->setPlainText(control.text());
        });
        place(control, edit, x, y, w, h);
    };
    memo(form.Memo2, 8, 20, 250, 200);
    memo(form.Memo5, 266, 20, 520, 120);
    memo(form.Memo3, 266, 160, 260, 60);
    memo(form.Memo1, 534, 160, 120, 24);

    auto flag = [this](FlagControl& control, int x, int y) {
        auto* box = new QCheckBox(control.name(), this);
        box->setChecked(control.checked());
        connect(&control, &StateControl::valueChanged, box,
                [box, &control] { box->setChecked(control.checked()); });
        connect(box, &QCheckBox::clicked, box, [&control](bool checked) {
            platform::runGuarded([&] { control.setChecked(checked); });
        });
        place(control, box, x, y, 150, 20);
    };
    const std::array<FlagControl*, 11> flags = {
        &form.Startloadingdata, &form.Errorindata,       &form.Startloadingheader,
        &form.Headerloaded,     &form.Readyfornextblock, &form.WaitingForAck,
        &form.InitAutoload,     &form.DataLoaded,        &form.RHBV,
        &form.WaitOnFastAck,    &form.FastBaud};
    for (std::size_t i = 0; i < flags.size(); ++i)
        flag(*flags[i], 8 + static_cast<int>(i % 4) * 160, 230 + static_cast<int>(i / 4) * 22);

    auto text = [this](StateControl& control, const std::function<QString()>& value, int x, int y) {
        auto* edit = new QLineEdit(this);
        edit->setReadOnly(true);
        edit->setText(value());
        connect(&control, &StateControl::valueChanged, edit,
                [edit, value] { edit->setText(value()); });
        place(control, edit, x, y, 120, 22);
    };
    const std::array<TextControl*, 7> edits = {
        &form.Firstdate,      &form.Firsttime,  &form.Lastdate, &form.Lasttime,
        &form.Samplesperhour, &form.Datastored, &form.COMPORT};
    for (std::size_t i = 0; i < edits.size(); ++i)
        text(
            *edits[i], [control = edits[i]] { return control->text(); },
            8 + static_cast<int>(i % 5) * 130, 320 + static_cast<int>(i / 5) * 46);
    text(
        form.Watchdog, [&form] { return platform::dateTimeToStr(form.Watchdog.value()); }, 268,
        366);
    text(
        form.Edit2, [&form] { return form.Edit2.text(); }, 398, 366);

    const int labelPos[10][2] = {{8, 2},     {266, 2},   {8, 302}, {138, 302}, {268, 302},
                                 {398, 302}, {528, 302}, {8, 348}, {138, 348}, {268, 348}};
    for (int i = 0; i < 10; ++i) {
        auto* label = new QLabel(kCaptions[i], this);
        place(*form.StaticText[i], label, labelPos[i][0], labelPos[i][1], 200, 18);
    }
}

void DiagnosticsView::place(StateControl& control, QWidget* widget, int x, int y, int w, int h) {
    widget->setGeometry(x, y, w, h);
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
