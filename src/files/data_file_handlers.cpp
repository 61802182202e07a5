// File > Save Chart and File > Load Chart: the main window's side of the data
// files. The layout, the scrambler and the parsing live in the files beside
// this one; these handlers run them and show the outcome.
#include "app/tform1.h"
#include "app/user_dialogs.h"
#include "files/data_file_format.h"
#include "files/data_file_reader.h"
#include "files/duplicate_file.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/formatting.h"
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <QTimeEdit>

namespace {

// Files from this size on show their progress while they load.
constexpr qint64 kProgressFileSize = 1 << 20;

const char kSaveFailed[] = "Cannot save file. Check name or folder rights.";
const char kDuplicateFailedBox[] =
    "Cannot save encrypted file (*.bvx). Check name or folder rights.";
const char kDuplicateFailed[] = "Cannot save encrypted file. Check name or folder rights.";
const char kCorrupt[] = "Error in file. Data is corrupt.";

void reportProblem(TForm1& form, const QString& box, const QString& status) {
    platform::dialogs().messageBox(box, "Problem");
    form.Edit1.setText(status);
}

} // namespace

void TForm1::SavedataClick() {
    if (m_verify)
        m_verify->show();
}

std::optional<QString> TForm1::ExecuteSaveDialog1() {
    std::optional<QString> name = platform::dialogs().saveFileName(
        "Comma Delimited (.csv)|*.csv|Text file (.txt)|*.txt", "csv");
    if (name)
        SaveDialog1CanClose(*name);
    return name;
}

void TForm1::SaveDialog1CanClose(const QString& fileName) {
    Edit2.setText(fileName);
}

FileOutcome TForm1::SaveDataFile() {
    SyncDateFormatMenu();
    const std::optional<QString> name = ExecuteSaveDialog1();
    if (!name)
        return FileOutcome::Cancelled;
    // Both files are written beside their targets and put in their places
    // only when both are complete, so a failed save leaves the earlier pair
    // as it was. Unbuffered, because a short write (a full disk) in a
    // buffer's flush goes unnoticed by the commit.
    QSaveFile file(*name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        reportProblem(*this, kSaveFailed, kSaveFailed);
        return FileOutcome::Failed;
    }
    if (m_verify) {
        store.UserName = m_verify->UserInfo->text();
        store.UserLocation = m_verify->UserLocation->text();
        store.UnitId = m_verify->BVInfo->text();
    }
    UpdateFooter();
    QSaveFile duplicate(files::duplicateName(*name));
    if (!duplicate.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        reportProblem(*this, kDuplicateFailedBox, kDuplicateFailed);
        return FileOutcome::Failed;
    }
    const QByteArray userLines =
        files::userBlock(store.UserName, store.UserLocation, store.UnitId, store.SoftwareVersion);
    const platform::DateTime created = platform::now();
    files::DuplicatingWriter writer(file, duplicate, DATEFORMAT.text(), created, userLines);
    files::writePlainFile(writer, store, DATEFORMAT.text(), RHBV.checked(), created, userLines);
    writer.finish();
    // Only when both are complete are they put in place: each synced, then
    // two renames in one folder, the duplicate last. A crash between the two
    // leaves the new plain file beside the old duplicate, each whole; never
    // a duplicate holding rows its plain file lacks.
    const bool plainFine = writer.plainWritten() && (!writer.duplicateWritten() || file.commit());
    if (!plainFine) {
        reportProblem(*this, kSaveFailed, kSaveFailed);
        return FileOutcome::Failed;
    }
    // The renames reach the disk with the folder.
    if (!writer.duplicateWritten() || !duplicate.commit() ||
        !platform::fileSystem().syncFolder(platform::folderOf(*name))) {
        reportProblem(*this, kDuplicateFailedBox, kDuplicateFailed);
        return FileOutcome::Failed;
    }
    Edit1.setText("File saved.");
    SecureData->show();
    LockImage->show();
    Edit1.setText("Data file and encrypted duplicate (*.bvx) saved.");
    DataDuplicate = files::duplicateName(*name);
    QString caption = store.BaseCaption + " | " + *name;
    if (!store.ChannelLabel.isEmpty())
        caption += " | " + store.ChannelLabel;
    setWindowTitle(caption);
    return FileOutcome::Done;
}

void TForm1::LoaddataClick() {
    const std::optional<QString> name =
        platform::dialogs().openFileName("Encrypted file (.bvx)|*.bvx|All Types (*.*)|*.*", "bxv");
    if (name)
        LoadDataFile(*name);
}

bool TForm1::DetectFileDateFormat(const QString& fileName) {
    QFile file(fileName);
    std::optional<files::DateFormatSearch> search;
    if (file.open(QIODevice::ReadOnly))
        search = files::detectDateFormat(file);
    return UseDetectedFormat(search);
}

bool TForm1::UseDetectedFormat(const std::optional<files::DateFormatSearch>& search) {
    if (!search) {
        Edit1.setText("Cannot open file.");
    } else if (search->format) {
        DATEFORMAT.setText(search->format->pattern);
        FileShortDateFormat = search->format->shortDateFormat;
    } else {
        Edit1.setText(search->lineTooLong ? kCorrupt : "Date format not valid in file.");
    }
    SyncDateFormatMenu();
    return search && search->format;
}

FileOutcome TForm1::LoadDataFile(const QString& fileName) {
    FileEncryptFlag.setChecked(false);
    if (!DetectFileDateFormat(fileName))
        return FileOutcome::Failed;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        Edit1.setText("Date format in file is unrecognized.");
        return FileOutcome::Failed;
    }
    SecureData->hide();
    LockImage->hide();
    ClearBuffer();

    using Result = files::DataFileLoader::Result;
    files::DataFileLoader loader(store, DATEFORMAT.text(), files::dateOrderOf(FileShortDateFormat));
    loader.expectBytes(file.size());
    // A long load shows how far it has read, a step at a time. The bar
    // repaints alone and no event is handled, so nothing reads the store
    // while the loader's threads fill it; the chart's series are empty.
    const bool showsProgress = file.size() >= kProgressFileSize;
    const Result result = loader.loadLines(file, [&](qint64 done) {
        if (showsProgress)
            showProgress(done, file.size(), "%p%");
    });
    hideProgress();
    file.close();

    if (const std::optional<platform::DateTime> first = loader.firstTime()) {
        const QDateTime t = platform::toQDateTime(*first);
        Startdate->setDate(t.date());
        Starttime->setTime(t.time());
    }
    if (result == Result::BadLine)
        Errorindata.setChecked(true);
    if (result != Result::Ok) {
        ClearBuffer();
        SecureData->hide();
        LockImage->hide();
        Edit1.setText(kCorrupt);
        return FileOutcome::Failed;
    }
    if (loader.scrambledSeen()) {
        FileEncryptFlag.setChecked(true);
        SecureData->show();
        LockImage->show();
    }
    if (const std::optional<double> perHour = loader.samplesPerHour())
        SetSamplesPerHour(*perHour);
    if (const std::optional<bool> withRh = loader.withRh())
        RHBV.setChecked(*withRh);
    Edit1.setText("File loaded.");
    const QDateTime last = platform::toQDateTime(store.CurrentTime);
    Enddate->setDate(last.date());
    Endtime->setTime(last.time());
    PlotBuffer();
    store.ChannelLabel.clear();
    setWindowTitle(store.BaseCaption + " | " + fileName);
    FreshData.setChecked(false);
    DataFile = fileName;
    DataDuplicate = loader.scrambledSeen() ? fileName : QString();
    StatisticsDataChanged();
    return FileOutcome::Done;
}
