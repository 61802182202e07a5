#include "auto_rig.h"
#include "files/data_file_reader.h"
#include "files/duplicate_file.h"
#include "files/monthly_files.h"
#include <QAction>
#include <QFile>
#include <QTest>
#include <cmath>

AutoRig::AutoRig(const bvsim::LoggerConfig& logger, const QString& comport, bool pacing)
    : rig(logger, comport, pacing) {
    attach();
}

AutoRig::~AutoRig() {
    verify.reset();
}

void AutoRig::attach() {
    verify = std::make_unique<TForm5>(form());
    form().setDialogs(nullptr, nullptr, verify.get(), nullptr);
    statuses.clear();
    QObject::connect(&form().Edit1, &StateControl::valueChanged, &m_watch,
                     [this] { statuses << form().Edit1.text(); });
    QObject::connect(&form(), &TForm1::automaticDownloadEnded, &m_watch,
                     [this](int channel, bool succeeded) {
                         m_ended.push_back({channel, succeeded, form().Edit1.text()});
                     });
}

void AutoRig::restart() {
    verify.reset();
    form().ClosePort();
    // The closing window's own last statuses are not the new run's.
    QObject::disconnect(&form().Edit1, nullptr, &m_watch, nullptr);
    QObject::disconnect(&form(), nullptr, &m_watch, nullptr);
    rig.app.start();
    attach();
}

bool AutoRig::setUp(QAction* TForm1::*interval, const QString& base, bool channel1, bool channel2) {
    if (!channel1)
        form().C1->trigger();
    if (!channel2)
        form().C2->trigger();
    (form().*interval)->trigger();
    rig.app.dialogs.saveAnswers.push_back(base);
    verify->Button1Click();
    // The reader's next turn comes a moment later, as on a real clock.
    rig.app.clock.advanceSeconds(1);
    return form().Edit2.text() == base;
}

std::vector<AutoRig::Ended> AutoRig::waitForRun(int seconds, bool letTimePass) {
    m_ended.clear();
    (void)runUntil(
        [&] {
            if (letTimePass)
                rig.app.clock.advanceSeconds(1);
            return !m_ended.empty() && !form().AutomaticDownloadRunning;
        },
        seconds * 1000);
    return form().AutomaticDownloadRunning ? std::vector<Ended>() : m_ended;
}

bvsim::LoggerConfig recordingLogger(platform::DateTime first, int perHour, bool rh) {
    bvsim::LoggerConfig config = loggerConfig(2, rh, 0, perHour);
    for (bvsim::ChannelData& ch : config.channels)
        ch.first = first;
    config.recordingClock = [] { return platform::now(); };
    return config;
}

namespace {

struct Row {
    platform::DateTime time;
    float celsius;
    float rh;
    bool operator==(const Row&) const = default;
};

// The rows of a plain monthly file; nothing when a row does not read.
std::optional<std::vector<Row>> plainRows(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QString pattern;
    std::vector<Row> rows;
    files::LineReader reader(file);
    QByteArrayView line;
    while (reader.next(line)) {
        if (const auto format = files::formatFromHeaderLine(line))
            pattern = format->pattern;
        if (line.startsWith('~'))
            continue;
        const qsizetype prefix = files::datePrefixLength(pattern);
        const auto time =
            files::rowDateTime(line, prefix, files::dateOrderOf(pattern.section(' ', 0, 0)));
        const QList<QByteArray> fields = line.sliced(prefix - 1).toByteArray().split(',');
        if (!time || fields.size() != 11)
            return std::nullopt;
        rows.push_back({*time, fields[0].trimmed().toFloat(), fields[3].trimmed().toFloat()});
    }
    return rows;
}

} // namespace

MonthlyCheck checkMonthlyFiles(TForm1& loader, const QString& base, int channel,
                               const bvsim::LoggerConfig& logger) {
    MonthlyCheck check;
    const bvsim::ChannelData& d = logger.channels[channel - 1];
    const double interval = bvsim::SimulatedLogger::intervalSeconds(d.storedPerHour);
    for (QDate month = platform::toQDateTime(d.first).date();; month = month.addMonths(1)) {
        const QString plain = files::monthlyFileName(
            base, channel, platform::encodeDate(month.year(), month.month(), 1));
        const std::optional<std::vector<Row>> rows = plainRows(plain);
        if (!rows) {
            if (QFile::exists(plain))
                check.error = plain + ": a row does not read";
            return check;
        }
        ++check.months;
        for (const Row& row : *rows) {
            const qsizetype k = check.rows++;
            const platform::DateTime t = d.first + k * interval * platform::kSecond;
            const float celsius =
                QString::number(bvsim::SimulatedLogger::temperatureAt(int(k), d.storedPerHour), 'f',
                                2)
                    .toFloat();
            const Row expected{
                t, celsius,
                d.rh ? float(bvsim::SimulatedLogger::humidityAt(int(k), d.storedPerHour)) : 0.0f};
            if (std::abs(row.time - t) > 1e-8 || row.celsius != expected.celsius ||
                row.rh != expected.rh) {
                check.error = QString("%1: row %2 is %3, expected sample %2 at %4")
                                  .arg(plain)
                                  .arg(k)
                                  .arg(platform::toQDateTime(row.time).toString(Qt::ISODate))
                                  .arg(platform::toQDateTime(t).toString(Qt::ISODate));
                return check;
            }
        }
        // The duplicates in the order they were begun give the same rows.
        std::vector<Row> loaded;
        QStringList duplicates{files::duplicateName(plain)};
        const QString stem = duplicates[0].chopped(4) + "_";
        for (int n = 0; QFile::exists(stem + QString::number(n) + ".bxv"); ++n)
            duplicates << stem + QString::number(n) + ".bxv";
        for (const QString& dup : duplicates) {
            if (!QFile::exists(dup))
                continue;
            ++check.duplicates;
            loader.LoadDataFile(dup);
            if (loader.Edit1.text() != "File loaded.") {
                check.error = dup + ": " + loader.Edit1.text();
                return check;
            }
            const SampleStore& s = loader.store;
            for (size_t i = 0; i < s.TempData.size(); ++i)
                loaded.push_back({s.SampleTimes[i], s.TempData[i], s.RHData[i]});
        }
        bool same = loaded.size() == rows->size();
        for (size_t i = 0; same && i < loaded.size(); ++i)
            same = std::abs(loaded[i].time - (*rows)[i].time) < 1e-8 &&
                   loaded[i].celsius == (*rows)[i].celsius && loaded[i].rh == (*rows)[i].rh;
        if (!same) {
            check.error = QString("%1: the duplicates load %2 rows, the plain file holds %3")
                              .arg(plain)
                              .arg(loaded.size())
                              .arg(rows->size());
            return check;
        }
    }
}
