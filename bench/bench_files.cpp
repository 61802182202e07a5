// Times saving, loading and plotting data files of a month at 240 samples per
// hour and of two million rows, and pandas.read_csv on the same rows as a
// plain CSV. Each load runs in a fresh child process so that its peak memory
// can be read.
//   bench_files            run everything
//   bench_files --load F   (child) load F into a main window, print figures
#include "app/tform1.h"
#include "files/data_file_format.h"
#include "files/data_file_reader.h"
#include "files/duplicate_file.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>

namespace {

// Kilobytes of a field of /proc/self/status: VmRSS now, VmHWM the peak.
// (getrusage's peak survives the exec from the parent, which held the store.)
long statusKb(const char* field) {
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLong();
    return 0;
}

void fillStore(SampleStore& store, size_t rows) {
    const platform::DateTime start = platform::encodeDateTime(2026, 1, 1, 0, 0, 0);
    const platform::DateTime step = 15 * platform::kSecond; // 240 samples per hour
    store.SampleTimes.reserve(rows);
    store.TempData.reserve(rows);
    store.RHData.reserve(rows);
    for (size_t i = 0; i < rows; ++i) {
        const platform::DateTime t = start + double(i) * step;
        store.SampleTimes.push_back(t);
        store.TempData.push_back(i % 5000 == 17 ? kNoReading : 20.0f + 5.0f * std::sin(i * 0.001f));
        store.RHData.push_back(50.0f + 10.0f * std::cos(i * 0.0007f));
        if (i % 1000 == 500)
            store.AlarmStarts[0].push_back(t);
        if (i % 1000 == 900)
            store.AlarmEnds[0].push_back(t);
    }
}

// Writes name.csv alone, then again with its duplicate name.bvx, and
// name.pandas.csv (the rows with a plain header line), returning the seconds
// of the plain file and of the pair.
std::pair<double, double> writeFiles(const QString& base, size_t rows) {
    SampleStore store;
    fillStore(store, rows);
    const QString pattern = "mm/dd/yyyy hh:mm:ss";
    const QByteArray user =
        files::userBlock("Bench", "Lab", "BV-1", "Brenvale(tm) - Version 5.2.1");
    QElapsedTimer timer;
    timer.start();
    {
        QFile plain(base + ".csv");
        plain.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        files::writePlainFile(plain, store, pattern, true, platform::now(), user);
    }
    const double save = timer.nsecsElapsed() / 1e9;
    timer.restart();
    {
        // What Save Chart does: the plain file and its duplicate in one pass.
        QFile plain(base + ".csv");
        plain.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        QFile duplicate(base + ".bvx");
        duplicate.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        files::DuplicatingWriter writer(plain, duplicate, pattern, platform::now(), user);
        files::writePlainFile(writer, store, pattern, true, platform::now(), user);
        writer.finish();
    }
    const double duplicate = timer.nsecsElapsed() / 1e9;
    // The same rows for pandas: the column header without its '~', then the rows.
    QFile plain(base + ".csv");
    plain.open(QIODevice::ReadOnly);
    QFile csv(base + ".pandas.csv");
    csv.open(QIODevice::WriteOnly);
    files::LineReader reader(plain);
    QByteArrayView line;
    while (reader.next(line)) {
        if (line.startsWith("~DateTime"))
            csv.write(line.sliced(1).toByteArray() + "\n");
        else if (!line.startsWith('~'))
            csv.write(line.toByteArray() + "\n");
    }
    return {save, duplicate};
}

int loadChild(const QString& fileName) {
    platform::ManualClock clock(platform::encodeDateTime(2026, 12, 9, 10, 0, 0));
    platform::setClock(&clock); // ClearBuffer's pauses are not the reader's cost
    platform::ScriptedDialogs dialogs;
    platform::setDialogs(&dialogs);
    TForm1 form;
    form.FormCreate();
    const long before = statusKb("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    form.LoadDataFile(fileName);
    const double load = timer.nsecsElapsed() / 1e9;
    timer.restart();
    form.PlotBuffer(); // a second, separate plot for its own figure
    const double plot = timer.nsecsElapsed() / 1e9;
    const long peak = statusKb("VmHWM:");
    const size_t rows = form.store.TempData.size();
    std::printf("%s|%zu|%.3f|%.3f|%.1f\n", qPrintable(form.Edit1.text()), rows, load, plot,
                rows ? (peak - before) * 1024.0 / rows : 0.0);
    platform::setDialogs(nullptr);
    platform::setClock(nullptr);
    return 0;
}

double pandasSeconds(const QString& csv, bool parseDates) {
    const QString script =
        QString("import time, pandas\n"
                "t = time.perf_counter()\n"
                "df = pandas.read_csv(r'%1', skipinitialspace=True)\n"
                "%2"
                "print(time.perf_counter() - t, len(df))\n")
            .arg(csv, parseDates ? "df['DateTime'] = pandas.to_datetime(df['DateTime'], "
                                   "format='%m/%d/%Y %H:%M:%S')\n"
                                 : "");
    QProcess python;
    python.start("/usr/bin/python3", {"-c", script});
    python.waitForFinished(-1);
    const QList<QByteArray> out = python.readAllStandardOutput().trimmed().split(' ');
    if (python.exitCode() != 0 || out.size() != 2) {
        std::fprintf(stderr, "pandas: %s\n", python.readAllStandardError().constData());
        return NAN;
    }
    return out[0].toDouble();
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() == 3 && args[1] == "--load")
        return loadChild(args[2]);

    QTemporaryDir dir;
    std::printf("%-22s %9s %8s %9s %8s %8s %9s %9s %8s %11s\n", "file", "rows", "plain s", "pair s",
                "load s", "plot s", "pandas s", "pd+date s", "speedup", "bytes/row");
    for (const size_t rows : {size_t(31 * 24 * 240), size_t(2'000'000)}) {
        const QString base = dir.filePath(QString("rows%1").arg(rows));
        const auto [save, pair] = writeFiles(base, rows);
        QProcess child;
        child.start(QApplication::applicationFilePath(), {"--load", base + ".bvx"});
        child.waitForFinished(-1);
        const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split('|');
        if (f.size() != 5) {
            std::fprintf(stderr, "load failed: %s\n", child.readAllStandardError().constData());
            return 1;
        }
        const double load = f[2].toDouble();
        const double pandas = pandasSeconds(base + ".pandas.csv", false);
        const double pandasDates = pandasSeconds(base + ".pandas.csv", true);
        std::printf("%-22s %9s %8.3f %9.3f %8.3f %8.3f %8.3f %9.3f %7.1fx %11s   (%s)\n",
                    rows == 178560 ? "month @240/h" : "2,000,000 rows", f[1].constData(), save,
                    pair, load, f[3].toDouble(), pandas, pandasDates, pandas / load,
                    f[4].constData(), f[0].constData());
        QFile::remove(base + ".csv");
        QFile::remove(base + ".bvx");
        QFile::remove(base + ".pandas.csv");
    }
    return 0;
}
