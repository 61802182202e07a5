// Setup > Auto Download and the scheduler of the automatic downloads: the
// menu items, the reader's clock callback, the start of an automatic upload,
// the start of its range and the end of each attempt with the channel-2
// follow-up. An attempt ends however its upload ends: saved, nothing new, or
// failed (an error, the watchdog, an abort); each end unchecks InitAutoload,
// so the schedule goes on, and lets channel 2 follow channel 1.
#include "app/radio_group.h"
#include "app/tform1.h"
#include "app/user_dialogs.h"
#include "decode/sample_words.h"
#include "files/monthly_files.h"
#include "link/auto_schedule.h"
#include "link/upload_plan.h"
#include "platform/formatting.h"
#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

// Every end of an upload disables "Abort Upload". The check runs after the
// handler chain that ended it, by which time a save and the channel-2
// follow-up have had their turn.
class UploadEndWatch : public QObject {
  public:
    explicit UploadEndWatch(TForm1& form) : QObject(&form), m_form(form) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange && !static_cast<QWidget*>(watched)->isEnabled())
            QTimer::singleShot(0, &m_form, [form = &m_form] { form->AutomaticDownloadEndCheck(); });
        return false;
    }

  private:
    TForm1& m_form;
};

} // namespace

void TForm1::setUpAutoDownloads() {
    // "Next Auto Download:" and the time follow their controls.
    NextAutoCaption->setVisible(TextForNextAuto.isVisible());
    NextAutoEdit->setVisible(AutoClock.isVisible());
    connect(&TextForNextAuto, &StateControl::visibilityChanged, NextAutoCaption,
            &QWidget::setVisible);
    connect(&AutoClock, &StateControl::visibilityChanged, NextAutoEdit, &QWidget::setVisible);
    connect(&AutoClock, &StateControl::valueChanged, NextAutoEdit,
            [this] { NextAutoEdit->setText(AutoClock.text()); });

    for (QAction* item : {C1, C2})
        connect(item, &QAction::triggered, this, [this] { ChannelItemClick(); });
    connect(AutoOff, &QAction::triggered, this, [this] { AutoOffClick(); });
    for (QAction* item : {Auto1hour, Auto4hours, Auto8hrs, Auto24hrs, Auto7day, Auto30day})
        connect(item, &QAction::triggered, this, [this] { AutoIntervalClick(); });
    AbortUpload->installEventFilter(new UploadEndWatch(*this));
}

void TForm1::AutoIntervalClick() {
    Edit2.clear();
    if (m_verify)
        m_verify->show();
}

void TForm1::AutoOffClick() {
    TextForNextAuto.setVisible(false);
    AutoClock.setVisible(false);
    Edit2.clear();
    InitAutoload.setChecked(false);
    // An upload under way goes on as an ordinary one: nothing is appended.
    AutomaticDownloadRunning = false;
}

void TForm1::ChannelItemClick() {
    const bool any = C1->isChecked() || C2->isChecked();
    for (QAction* item : {Auto1hour, Auto4hours, Auto8hrs, Auto24hrs, Auto7day, Auto30day})
        item->setEnabled(any);
    if (any)
        return;
    AutoOff->setChecked(true);
    AutoOffClick();
}

void TForm1::ScheduleNextAuto() {
    // An upload already under way keeps its channel to the end.
    const bool busy = uploadRunning();
    const std::pair<QAction*, platform::DateTime> intervals[] = {
        {Auto1hour, platform::encodeTime(1, 0, 0)},
        {Auto4hours, platform::encodeTime(4, 0, 0)},
        {Auto8hrs, platform::encodeTime(8, 0, 0)},
        {Auto24hrs, 1.0},
        {Auto7day, 7.0},
        {Auto30day, 30.0},
    };
    for (const auto& [item, step] : intervals)
        if (item && item->isChecked())
            SetAutoClock(platform::now() + step);
    // The channel is chosen before InitAutoload starts the download.
    if (!busy) {
        const bool channel1 = C1 && C1->isChecked();
        RadioButton1->setChecked(channel1);
        RadioButton2->setChecked(!channel1);
    }
    if (!Edit2.text().isEmpty() && Edit2.text() != "0")
        InitAutoload.setChecked(true);
}

void TForm1::InitAutoloadClick() {
    if (!InitAutoload.checked())
        return;
    // An upload under way is left alone; InitAutoload stays checked until it
    // has ended, which holds the clock test meanwhile.
    if (uploadRunning())
        return;
    // A file that cannot be cut back must not be appended to: its rows
    // would follow the half of an earlier download.
    if (RollBackUnfinishedSave() == files::RollBack::Failed) {
        AutomaticDownloadRunning = true;
        Edit1.setText("Cannot save file. Check name or folder rights.");
        EndAutomaticDownload(false);
        return;
    }
    DataLoaded.setChecked(false);
    ClearBuffer();
    upload_range_group->setItemIndex(bvlink::AllData);
    setUploadButtonsBusy();
    Startloadingheader.setChecked(true);
    AutomaticDownloadRunning = true;
    Edit1.setText("AUTOLOAD INITIATED... LOADING HEADER DATA...");
    repaintStatus();
    TrayIconSetTip(Edit1.text());
    SendByte('?');
    // An upload that could not start has ended already, with its reason shown.
    if (!uploadRunning())
        return;
    Edit1.setText("AUTOLOAD IN PROGRESS...");
    TrayIconSetTip(Edit1.text());
}

TForm1::AutoStart TForm1::AutoStartTime() const {
    // The header's first sample, in the logger's own date format.
    const platform::DateTime first =
        platform::strToDateTimeFixed(Firstdate.text() + " " + Firsttime.text(), "mdy");
    if (Edit2.text().isEmpty() || Edit2.text() == "0")
        return {.time = first, .saved = std::nullopt};
    const files::SavedMonths saved =
        files::savedMonths(Edit2.text(), channel1Selected() ? 1 : 2, first,
                           {.pattern = DATEFORMAT.text(), .shortDateFormat = FileShortDateFormat});
    // Nothing saved yet: the range starts at the first sample itself.
    const platform::DateTime start =
        saved.newest ? bvlink::nextSampleAfter(first, *saved.newest,
                                               decode::SampleIntervalDays(SamplesPerHour))
                     : first;
    return {.time = start, .saved = saved};
}

void TForm1::UseMonthlyFilesFormat(const files::SavedMonths& saved) {
    // No file yet for the month is the normal start of a month, not a file
    // that failed to open: the rows keep the chosen format.
    if (saved.firstMissing)
        SyncDateFormatMenu();
    else
        UseDetectedFormat(saved.format);
}

void TForm1::AutomaticDownloadEndCheck() {
    if (uploadRunning())
        return;
    if (AutomaticDownloadRunning) {
        EndAutomaticDownload(false);
        return;
    }
    // A download that fell due during a manual upload is not made up for:
    // the schedule goes on at the time already set.
    InitAutoload.setChecked(false);
}

void TForm1::EndAutomaticDownload(bool succeeded) {
    AutomaticDownloadRunning = false;
    InitAutoload.setChecked(false);
    const bool channel1 = channel1Selected();
    TrayIconSetTip("Brenvale charting application, " + PortName());
    emit automaticDownloadEnded(channel1 ? 1 : 2, succeeded);
    if (!channel1 || !C2->isChecked() || AutoOff->isChecked())
        return;
    // Channel 2 follows channel 1, whatever became of channel 1. A logger
    // left at a fast rate is given time to fall back, and the port reopened
    // at 19200.
    if (store.HeaderFormat == 2 && FastBaudRate() != "19200") {
        Memo5.clear();
        platform::pause(6000);
        WaitOnFastAck.setChecked(true);
        COMPORTChange();
        platform::pause(100);
        WaitOnFastAck.setChecked(false);
    }
    RadioButton2->setChecked(true);
    InitAutoload.setChecked(true);
}
