// The main window's decoders of an upload: the header (Memo2Change) and the
// data packets (Memo5Change), on top of the plain functions of this folder.
#include "app/radio_group.h"
#include "app/tform1.h"
#include "decode/header_decode.h"
#include "decode/live_plot.h"
#include "decode/packet_decode.h"
#include "decode/sample_words.h"
#include "link/auto_schedule.h"
#include "link/range_pickers.h"
#include "link/upload_plan.h"
#include "platform/errors.h"
#include "platform/formatting.h"
#include <QCheckBox>
#include <cmath>

using namespace bvlink;

namespace {

// The logger's acknowledgement of a block request, as the data memo holds it.
bool isBlockAcknowledgement(int format, const QString& text) {
    const qsizetype L = text.size();
    return (format == 2 && L >= 2 && text[0] == u'2' && text[1] == u'B') ||
           (format == 1 && L >= 4 && text[2] == u'2' && text[3] == u'B');
}

} // namespace

void TForm1::Memo2Change() {
    if (!Headerloaded.checked() || !Startloadingheader.checked() || Errorindata.checked() ||
        Memo2.text().isEmpty())
        return;
    setUploadButtonsBusy();

    const int format = store.HeaderFormat;
    const decode::HeaderOutcome outcome = decode::decodeHeader(Memo2.text(), format, store);
    if (!outcome.notValidText.isEmpty()) {
        Errorindata.setChecked(true);
        Edit1.setText(outcome.notValidText);
        setUploadButtonsIdle();
    }
    const int ch = channel1Selected() ? 0 : 1;
    // The logger's range, read with the header's own date format; a date that
    // does not read is a bad header too.
    bvlink::LoggerRange logger;
    bool failed = outcome.failed;
    if (!failed) {
        try {
            const platform::DateTime first = platform::strToDateTimeFixed(
                store.FirstDateText[ch] + " " + store.FirstTimeText[ch], "mdy");
            const platform::DateTime last = platform::strToDateTimeFixed(
                store.LastDateText[ch] + " " + store.LastTimeText[ch], "mdy");
            logger = {std::floor(first), first - std::floor(first), std::floor(last),
                      last - std::floor(last)};
        } catch (const platform::ConversionError&) {
            failed = true;
        }
    }
    if (failed)
        Errorindata.setChecked(true);
    if (Errorindata.checked()) {
        Edit1.setText("ERROR IN HEADER DATA.  UPLOAD CANCELLED.");
        setUploadButtonsIdle();
        return;
    }

    const decode::ChannelSummary summary = decode::channelSummary(store, format, ch);
    SetSamplesPerHour(summary.samplesPerHour);
    Firstdate.setText(summary.firstDate);
    Firsttime.setText(summary.firstTime);
    Lastdate.setText(summary.lastDate);
    Lasttime.setText(summary.lastTime);
    store.HexDigitsPerValue = summary.hexDigitsPerValue;
    Datastored.setText(summary.dataStored);

    // Range resolution; the first block is requested from inside it.
    const bvlink::PickerRange pickers{pickerDate(Startdate), pickerTime(Starttime),
                                      pickerDate(Enddate), pickerTime(Endtime)};
    // Only the automatic download's own upload takes the automatic range.
    const bool automatic = AutomaticDownloadRunning;
    const AutoStart autoStart = automatic ? AutoStartTime() : AutoStart{};
    if (autoStart.saved)
        UseMonthlyFilesFormat(*autoStart.saved);
    if (automatic &&
        bvlink::nothingNew(autoStart.time, logger.lastDate + logger.lastTime, SamplesPerHour)) {
        // Not an error: the files stay as they are until the logger has more.
        Edit1.setText("NO NEW DATA SINCE THE LAST DOWNLOAD.");
        setUploadButtonsIdle();
        EndAutomaticDownload(true);
        return;
    }
    const bvlink::ResolvedRange range =
        bvlink::resolveRange(upload_range_group->itemIndex(), pickers, logger,
                             decode::SampleIntervalDays(SamplesPerHour), automatic, autoStart.time);
    RangeEndsAtLast = range.endsAtLast;
    if (range.choice != upload_range_group->itemIndex())
        upload_range_group->setItemIndex(range.choice);
    setPickers(Startdate, Starttime, range.pickers.startDate, range.pickers.startTime);
    setPickers(Enddate, Endtime, range.pickers.endDate, range.pickers.endTime);
    if (!range.error.isEmpty()) {
        Edit1.setText(range.error);
        Errorindata.setChecked(true);
        setUploadButtonsIdle();
        return;
    }
    Memo1.clear();
    Memo1.setText("<>");
}

void TForm1::Memo5Change() {
    // Each step reads the memo as it stood on entry: the steps before it may
    // change it.
    const int format = store.HeaderFormat;
    const QString text = Memo5.text();
    if (FastRateAnswer(format, text))
        return;
    BlockAcknowledgement(format, text);
    DataPacket(format, text);
}

// The logger's answer to the baud-switch command.
bool TForm1::FastRateAnswer(int format, const QString& text) {
    if (format != 2 || !WaitOnFastAck.checked())
        return false;
    if (text.size() < 2)
        return true;
    WaitOnFastAck.setChecked(false);
    // "b" accepted: both sides go on at the fast rate. Any other answer
    // means the logger stays at 19200, so the request goes out at 19200
    // rather than leaving the upload waiting for nothing.
    const bool accepted = text[0] == u'6' && text[1] == u'2';
    if (accepted) {
        FastBaud.setChecked(true);
        COMPORTChange();
    }
    platform::pause(100);
    Memo5.clear();
    AwaitBlockAcknowledgement();
    platform::pause(100);
    SendText(store.RequestText);
    return true;
}

// The acknowledgement of a block request.
void TForm1::BlockAcknowledgement(int format, const QString& text) {
    if (!Startloadingdata.checked() || !WaitingForAck.checked() ||
        !isBlockAcknowledgement(format, text))
        return;
    setUploadButtonsBusy();
    WaitingForAck.setChecked(false);
    // Older loggers take the rest of the request after the acknowledgement.
    if (format == 1) {
        for (qsizetype i = 1; i < store.RequestText.size() && i < 19; ++i) {
            platform::pause(10);
            SendByte(store.RequestText[i].toLatin1());
        }
    }
}

// A block's packet, once it looks complete.
void TForm1::DataPacket(int format, const QString& text) {
    if (!Startloadingdata.checked() || text.isEmpty() || WaitingForAck.checked())
        return;
    const int ch = channel1Selected() ? 0 : 1;
    auto params = [&] {
        decode::PacketParams p;
        p.format = format;
        p.hexDigits = store.HexDigitsPerValue;
        p.rhDigits = store.RHDigitsPerValue;
        p.withRH = RHBV.checked();
        p.blockSampleCount = store.BlockSampleCount;
        return p;
    };
    if (!decode::packetLooksComplete(text, params()))
        return;
    Startloadingdata.setChecked(false);

    decode::PacketParams p = params();
    p.conversion = decode::conversionFor(store, format, ch);
    p.rangeStart = pickerDateTime(Startdate, Starttime);
    p.samplesPerHour = SamplesPerHour;
    p.storedSamples = static_cast<qint64>(store.TempData.size());
    decode::PacketWalk walk = decode::walkPacket(text, p);
    if (walk.status == decode::PacketWalk::Short) {
        // Event records made the packet longer than the tests assume: keep
        // receiving, so that the rest of it, the watchdog or a retry follows.
        Startloadingdata.setChecked(true);
        return;
    }
    if (walk.walkedAny) {
        Memo1.clear();
        store.CurrentTime = walk.lastStamp;
    }
    store.FieldText = walk.received;

    switch (walk.status) {
    case decode::PacketWalk::BadChecksum:
        Edit1.setText(decode::badChecksumText(walk));
        Startloadingdata.setChecked(true);
        Errorindata.setChecked(true);
        platform::pause(100);
        if (BlockRetries >= 1)
            return; // repeated already: the reader's retries take over
        Readyfornextblock.setChecked(true);
        break;
    case decode::PacketWalk::BadCalibration:
        // The header's calibration cannot convert these samples: a corrupt
        // packet, left to the reader's retries and cancellation.
        Startloadingdata.setChecked(true);
        Errorindata.setChecked(true);
        return;
    default:
        CommitPacket(walk.lists);
        Edit1.setText("Checksum verified.");
        break;
    }
    Memo1.setText("<>");
}

void TForm1::CommitPacket(const decode::PacketLists& packet) {
    const decode::LiveDrawing drawing = decode::commitPacket(
        store, packet, TempInF->isChecked(), seriesPointCount(1), seriesPointCount(2));
    drawLive(drawing);
    StatisticsDataChanged();
}
