// Times saving, loading and plotting data files of a month at 240 samples per
// hour and of two million rows, and pandas on the same rows as a plain CSV
// (read_csv with and without to_datetime, and to_csv) as the anchors; then
// each goal with its ratio to the figure and whether it is met. Each load
// runs in a fresh child process so that its peak memory can be read. pandas
// is Debian's python3-pandas (tools/bench.sh installs it); without it the
// anchors are left out and the bench says so.
//   bench_files            run everything
//   bench_files --load F   (child) load F into a main window, print figures
//   bench_files --write D  write the month's and the 2,000,000 rows' files
//                          into folder D and keep them, e.g. for perf
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
#include <QThread>
#include <array>
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

bool pandasInstalled() {
    QProcess python;
    python.start("/usr/bin/python3", {"-c", "import pandas"});
    return python.waitForFinished(-1) && python.exitStatus() == QProcess::NormalExit &&
           python.exitCode() == 0;
}

struct PandasSeconds {
    double total = NAN; // read_csv and the work after it
    double work = NAN;  // the work alone
};

// read_csv of `csv`, then `work`, a line of Python on its DataFrame `df`.
PandasSeconds pandasSeconds(const QString& csv, const QString& work) {
    const QString script = QString("import time, pandas\n"
                                   "t = time.perf_counter()\n"
                                   "df = pandas.read_csv(r'%1', skipinitialspace=True)\n"
                                   "u = time.perf_counter()\n"
                                   "%2\n"
                                   "v = time.perf_counter()\n"
                                   "print(v - t, v - u, len(df))\n")
                               .arg(csv, work);
    QProcess python;
    python.start("/usr/bin/python3", {"-c", script});
    python.waitForFinished(-1);
    const QList<QByteArray> out = python.readAllStandardOutput().trimmed().split(' ');
    if (python.exitCode() != 0 || out.size() != 3) {
        std::fprintf(stderr, "pandas: %s\n", python.readAllStandardError().constData());
        return {};
    }
    return {out[0].toDouble(), out[1].toDouble()};
}

const char kToDatetime[] =
    "df['DateTime'] = pandas.to_datetime(df['DateTime'], format='%m/%d/%Y %H:%M:%S')";

struct Goal {
    const char* what;
    double figure;
    double limit;
    const char* unit;
};

void printGoal(const Goal& goal) {
    std::printf("  %-52s %8.3f %-3s goal %8.3f: %5.2f of it, %s\n", goal.what, goal.figure,
                goal.unit, goal.limit, goal.figure / goal.limit,
                goal.figure <= goal.limit ? "met" : "not met");
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() == 3 && args[1] == "--load")
        return loadChild(args[2]);

    const std::array<size_t, 2> sizes = {31 * 24 * 240, 2'000'000};
    if (args.size() == 3 && args[1] == "--write") {
        for (const size_t rows : sizes)
            writeFiles(QDir(args[2]).filePath(QString("rows%1").arg(rows)), rows);
        return 0;
    }
    QTemporaryDir dir;
    const bool pandas = pandasInstalled();
    std::printf("%d cores; pandas %s\n", QThread::idealThreadCount(),
                pandas ? "installed"
                       : "not installed (apt-get install python3-pandas): no anchors");
    std::printf("%-22s %9s %8s %9s %8s %8s %9s %9s %9s %8s %11s\n", "file", "rows", "plain s",
                "pair s", "load s", "plot s", "pandas s", "pd+date s", "to_csv s", "speedup",
                "bytes/row");
    std::vector<Goal> goals;
    for (const size_t rows : sizes) {
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
        const double plot = f[3].toDouble();
        const QString csv = base + ".pandas.csv";
        const double read = pandas ? pandasSeconds(csv, "pass").total : NAN;
        const double readDates = pandas ? pandasSeconds(csv, kToDatetime).total : NAN;
        const double write =
            pandas ? pandasSeconds(csv, QString("df.to_csv(r'%1.out', index=False)").arg(csv)).work
                   : NAN;
        const bool month = rows == 178560;
        std::printf("%-22s %9s %8.3f %9.3f %8.3f %8.3f %8.3f %9.3f %9.3f %7.1fx %11s   (%s)\n",
                    month ? "month @240/h" : "2,000,000 rows", f[1].constData(), save, pair, load,
                    plot, read, readDates, write, readDates / load, f[4].constData(),
                    f[0].constData());
        if (month) {
            goals.push_back({"load of a month's duplicate", load, 0.030, "s"});
        } else {
            goals.push_back(
                {"load of the 2,000,000-row duplicate, then plot", load + plot, 0.40, "s"});
            goals.push_back({"save of 2,000,000 rows, plain file and duplicate", pair, 0.60, "s"});
            goals.push_back(
                {"peak memory per stored sample, 2,000,000 rows loaded", f[4].toDouble(), 60, "B"});
            if (pandas) {
                goals.push_back({"load against pandas read_csv + to_datetime / 13", load + plot,
                                 readDates / 13, "s"});
                goals.push_back({"plain save against pandas to_csv", save, write, "s"});
            }
        }
        QFile::remove(base + ".csv");
        QFile::remove(base + ".bvx");
        QFile::remove(csv);
        QFile::remove(csv + ".out");
    }
    std::printf("goals (figure / goal: 1.00 or less is met)\n");
    for (const Goal& goal : goals)
        printGoal(goal);
    return 0;
}
