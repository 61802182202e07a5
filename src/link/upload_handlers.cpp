// The upload driver: the handlers that ask the logger for its header and for
// the blocks of samples, on top of the plain functions of upload_plan.cpp.
// Handlers run inside the setters of the controls they react to, so the order
// of the steps below is part of the exchange.
#include "app/radio_group.h"
#include "app/tform1.h"
#include "decode/sample_words.h"
#include "link/link_state.h"
#include "link/range_pickers.h"
#include "link/upload_plan.h"
#include "platform/clock.h"
#include <QDateEdit>
#include <QPushButton>
#include <QTimeEdit>

using namespace bvlink;

namespace {

// Back to 19200 after a fast-rate phase: the logger is told, then the port reopened.
void leaveFastRate(TForm1& form) {
    if (!form.FastBaud.checked())
        return;
    form.SendText("BD00000000");
    form.FastBaud.setChecked(false);
    form.COMPORTChange();
}

} // namespace

void TForm1::UploadDataClick() {
    Watchdog.setValue(platform::now());
    DataLoaded.setChecked(false);
    ClearBuffer();
    setUploadAxesAutomatic();
    setUploadButtonsBusy();
    Startloadingheader.setChecked(true);
    WaitOnFastAck.setChecked(false);
    FastBaud.setChecked(false);
    COMPORTChange();
    Edit1.setText("REQUESTING HEADER INFO...PLEASE WAIT...");
    repaintStatus();
    SendByte('?');
}

void TForm1::StartloadingheaderClick() {
    if (Startloadingheader.checked())
        store.HeaderFormat = -1;
}

void TForm1::StartloadingdataClick() {
    if (store.HeaderFormat != 2)
        return;
    const int ch = channel1Selected() ? 0 : 1;
    RHBV.setChecked(store.ChannelHeader[ch].QuantityCount >= 2);
}

void TForm1::upload_range_groupClick() {
    const int choice = upload_range_group->itemIndex();
    const bool custom = choice == bvlink::Custom;
    for (QWidget* picker : {static_cast<QWidget*>(Startdate), static_cast<QWidget*>(Starttime),
                            static_cast<QWidget*>(Enddate), static_cast<QWidget*>(Endtime)})
        picker->setEnabled(custom);
    if (choice != bvlink::LastMonth && choice != bvlink::LastWeek)
        return;
    const bvlink::PickerRange p = bvlink::pickersForChoice(choice, platform::now(), {});
    setPickers(Enddate, Endtime, p.endDate, p.endTime);
    setPickers(Startdate, Starttime, p.startDate, p.startTime);
}

void TForm1::AbortUploadClick() {
    EndUpload("UPLOAD ABORTED BY USER", false);
}

void TForm1::EndUpload(const QString& status, bool failed) {
    setUploadButtonsIdle();
    for (FlagControl* flag : {&Headerloaded, &Errorindata, &Startloadingdata, &Startloadingheader,
                              &Readyfornextblock, &WaitingForAck, &WaitOnFastAck})
        flag->setChecked(false);
    leaveFastRate(*this);
    if (failed)
        Errorindata.setChecked(true);
    if (!portOpen())
        UploadData->setEnabled(false);
    Edit1.setText(status);
}

bool TForm1::uploadRunning() const {
    return AbortUpload && AbortUpload->isEnabled();
}

void TForm1::Memo1Change() {
    if (Memo1.text() != "<>")
        return;
    const platform::DateTime start = pickerDateTime(Startdate, Starttime);
    const platform::DateTime end = pickerDateTime(Enddate, Endtime);
    store.RangeSampleCount = bvlink::rangeSampleCount(start, end, SamplesPerHour, RangeEndsAtLast);
    const qint64 stored = static_cast<qint64>(store.TempData.size());

    if (store.RangeSampleCount > 0 && stored < store.RangeSampleCount) {
        showProgress(stored, store.RangeSampleCount,
                     QString::number(stored) + " of " + QString::number(store.RangeSampleCount));
        Edit1.setText("Reading " + QString::number(stored) + " of " +
                      QString::number(store.RangeSampleCount));
        PrepareNextBlock();
        return;
    }
    if (store.RangeSampleCount > 0) {
        // The finished upload shows what a redraw of the store shows: its
        // axes, event labels and footer, whatever the live drawing left out.
        PlotBuffer();
        for (int which : {1, 2})
            if (seriesPointCount(which) == 0)
                addNoDataPlaceholder(which);
        Edit1.setText("DATA LOADED");
        setUploadButtonsIdle();
        DataLoaded.setChecked(true);
    } else {
        Errorindata.setChecked(true);
        Edit1.setText("UPLOAD CANCELLED. Invalid date/time range specified.");
        setUploadButtonsIdle();
    }
    leaveFastRate(*this);
}

void TForm1::PrepareNextBlock() {
    const bvlink::BlockState previous{store.CurrentTime, store.BlockEnd, store.BlockStartSaved,
                                      BlockRetries};
    const bool continuing = Readyfornextblock.checked();
    const platform::DateTime rangeStart = continuing ? 0 : pickerDateTime(Startdate, Starttime);
    const bvlink::BlockState next = bvlink::nextBlock(
        previous, continuing, Errorindata.checked(), rangeStart, store.RangeSampleCount,
        static_cast<qint64>(store.TempData.size()), SamplesPerHour);
    store.CurrentTime = next.current;
    store.BlockStartSaved = next.startSaved;
    BlockRetries = next.retries;
    Readyfornextblock.setChecked(next.moreAfter);
    store.BlockEnd = next.blockEnd;
    store.BlockSampleCount = next.count;
    SendBlockRequest();
}

void TForm1::SendBlockRequest() {
    const int channel = channel1Selected() ? 1 : 2;
    store.ChannelLabel = QString("Channel %1").arg(channel);
    setWindowTitle(store.BaseCaption + " | " + store.ChannelLabel);

    // The block as planned (a retry asks for the same one again).
    store.RequestText = bvlink::requestText(store.HeaderFormat, channel, store.BlockStartSaved,
                                            store.BlockSampleCount);

    Startloadingheader.setChecked(false);
    Headerloaded.setChecked(true);
    Memo5.clear();

    // The faster rate is tried once, before the first try of the first block,
    // and never again while the link already runs at it. A rate that the
    // command cannot carry or the port cannot run at is not asked for: the
    // upload goes on at 19200.
    const QString fastRate = FastBaudRate();
    if (store.HeaderFormat == 2 && BlockRetries == 0 && !FastBaud.checked() &&
        store.CurrentTime == pickerDateTime(Startdate, Starttime) && fastRate != "19200") {
        Errorindata.setChecked(false);
        const int rate = bvlink::fastRateOf(fastRate);
        if (rate > 0 && link->port(*this).supportsRate(rate)) {
            store.FastBaudCommand = bvlink::fastBaudCommand(rate);
            WaitOnFastAck.setChecked(true);
            Edit1.setText("Attempting " + QString::number(rate) + " baud rate...");
            Watchdog.setValue(platform::now());
            SendText(store.FastBaudCommand);
            return;
        }
        Edit1.setText("Cannot use " + (rate > 0 ? QString::number(rate) : fastRate) +
                      " baud rate; continuing at 19200...");
    }
    AwaitBlockAcknowledgement();
    platform::pause(10);
    if (store.HeaderFormat == 1) {
        SendByte(store.RequestText[0].toLatin1());
    } else {
        SendText(store.RequestText);
    }
}

void TForm1::SendText(const QString& text) {
    for (QChar c : text)
        SendByte(c.toLatin1());
}

void TForm1::AwaitBlockAcknowledgement() {
    Errorindata.setChecked(false);
    Startloadingdata.setChecked(true);
    Watchdog.setValue(platform::now());
    Edit1.setText("RECEIVING DATA...PLEASE WAIT...(packet>" + store.RequestText + ")");
    WaitingForAck.setChecked(true);
}
