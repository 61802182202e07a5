// The save after an automatic download: the upload appended to the monthly
// files of its channel, with a new pair of files at each change of month.
// The rows and files are those of monthly_files.cpp; this handler runs them
// in the order of the download and reports on the status line.
#include "app/tform1.h"
#include "decode/sample_words.h"
#include "files/data_file_format.h"
#include "files/monthly_files.h"
#include "files/save_journal.h"
#include "link/range_pickers.h"
#include "platform/formatting.h"
#include <QRadioButton>

namespace {

const char kSaveFailed[] = "Cannot save file. Check name or folder rights.";

int yearMonth(platform::DateTime t) {
    const platform::DateTimeParts p = platform::decodeDateTime(t);
    return p.year * 100 + p.month;
}

} // namespace

QString TForm1::MonthlyFileName(platform::DateTime t) const {
    return files::monthlyFileName(Edit2.text(), channel1Selected() ? 1 : 2, t);
}

void TForm1::DataLoadedClick() {
    // Only the automatic download's own upload goes into the monthly files.
    if (DataLoaded.checked() && AutomaticDownloadRunning)
        AutoSaveUpload();
    if (!AutomaticDownloadRunning)
        TrayIconSetTip("Brenvale charting application, " + PortName());
}

files::RollBack TForm1::RollBackUnfinishedSave() {
    return files::rollBackJournal(files::journalName(Edit2.text()));
}

void TForm1::AutoSaveUpload() {
    const int channel = channel1Selected() ? 1 : 2;
    InitAutoload.setChecked(false);
    repaintStatus();
    store.ChannelLabel = QString("Channel %1").arg(channel);
    const platform::DateTime start =
        platform::roundToSecond(bvlink::pickerDate(Startdate) + bvlink::pickerTime(Starttime));
    const platform::DateTime interval = decode::SampleIntervalDays(SamplesPerHour);
    const files::MonthlyHeaders headers = files::monthlyHeaders(
        DATEFORMAT.text(), platform::now(),
        files::userBlock(store.UserName, store.UserLocation, store.UnitId, store.SoftwareVersion));
    files::MonthlyAppend out(Edit2.text(), channel, headers, AppendCipherState[channel - 1]);
    auto showFile = [&] {
        setWindowTitle(store.BaseCaption + " | " + out.plainName() + " | " + store.ChannelLabel);
    };

    const size_t rows = std::min(store.TempData.size(), store.SampleTimes.size());
    const platform::DateTime last = start + interval * static_cast<double>(rows > 0 ? rows - 1 : 0);
    bool saved =
        out.begin(start, last) && out.openMonth(start) == files::MonthlyAppend::Opened::Both;
    bool written = true;
    if (saved) {
        files::EventCounter events(store);
        int month = yearMonth(start);
        QByteArray fields;
        for (size_t i = 0; i < rows; ++i) {
            store.CurrentTime = start + interval * static_cast<double>(i);
            if (yearMonth(store.CurrentTime) != month) {
                // The rows before stay when the next month cannot be opened:
                // the next download starts after them.
                written = out.closeMonth();
                if (!written ||
                    out.openMonth(store.CurrentTime) != files::MonthlyAppend::Opened::Both) {
                    saved = false;
                    break;
                }
                month = yearMonth(store.CurrentTime);
                showFile();
                Edit1.setText("File saved. Starting new file...");
            }
            fields.resize(0);
            const float rh = i < store.RHData.size() ? store.RHData[i] : 0.0f;
            files::appendSampleFields(fields, DATEFORMAT.text(), store.CurrentTime,
                                      store.TempData[i], rh, RHBV.checked());
            out.appendRow(fields, events.countsFor(store.SampleTimes[i]), FreshData.checked());
        }
    }
    // A write or sync that failed anywhere takes the whole download back
    // out; "File saved." only once every row is on the disk.
    if (!written || !out.commit()) {
        out.rollBack();
        saved = false;
    }
    if (saved) {
        showFile();
        Edit1.setText("File saved.");
    } else {
        Edit1.setText(kSaveFailed);
    }
    EndAutomaticDownload(saved);
}
