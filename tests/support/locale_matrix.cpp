#include "locale_matrix.h"
#include "platform/formatting.h"
#include <QLocale>

const QStringList kMatrixLocales = {"C", "en_US", "de_DE", "fr_FR", "ko_KR", "hu_HU", "ja_JP"};
const QString kMatrixPort = "COM1:19200";

void useLocale(const QString& name) {
    QLocale::setDefault(QLocale(name));
    platform::formatSettings() = platform::formatSettingsOf(QLocale(name));
}

bvsim::LoggerConfig matrixLogger(int format, double perHour, int count) {
    return loggerConfig(format, true, count, perHour);
}

namespace {

struct Saved {
    QByteArray plain, duplicate;
    bool operator==(const Saved&) const = default;
};

Saved save(UploadRig& rig) {
    rig.app.dialogs.saveAnswers.push_back(rig.app.path("matrix.csv"));
    rig.form().SaveDataFile();
    return {rig.app.readFile("matrix.csv"), rig.app.readFile("matrix.bvx")};
}

// The duplicate loaded back against the logger's samples. A data file marks
// its first row as a new sensor, an event that older loggers do not store.
QString loadBackDifference(UploadRig& rig, bvsim::LoggerConfig config, int count) {
    TForm1& form = rig.form();
    form.LoadDataFile(rig.app.path("matrix.bvx"));
    if (form.Edit1.text() != "File loaded.")
        return "load: " + form.Edit1.text();
    if (config.format == 1) {
        if (form.store.NewSensorEvents != std::vector{form.store.SampleTimes.front()})
            return "no new sensor on the first row";
        form.store.NewSensorEvents.clear();
    } else {
        auto& events = config.channels[0].events;
        events.insert(events.begin(), {0, 0xfff8});
    }
    return storeDifference(form.store, config, 0, 0, count);
}

QString underLocale(const QString& locale, const bvsim::LoggerConfig& config, int count,
                    std::optional<Saved>& first) {
    UploadRig rig(config, kMatrixPort);
    useLocale(locale); // after start-up, which takes the system's
    if (!rig.upload())
        return "upload: " + rig.statuses.join(" | ");
    if (!rig.statuses.contains(QString("Reading 1500 of %1").arg(count)))
        return "one block: " + rig.statuses.join(" | ");
    const QString uploaded = storeDifference(rig.form().store, config, 0, 0, count);
    if (!uploaded.isEmpty())
        return "upload: " + uploaded;
    const Saved saved = save(rig);
    if (saved.plain.isEmpty() || saved.duplicate.isEmpty())
        return "save: " + rig.form().Edit1.text();
    if (!first)
        first = saved;
    if (saved.plain != first->plain)
        return "the plain file differs";
    if (saved.duplicate != first->duplicate)
        return "the duplicate differs";
    return loadBackDifference(rig, config, count);
}

} // namespace

QString uploadSaveLoadUnderEveryLocale(int format, double perHour) {
    const int count = 1501;
    const bvsim::LoggerConfig config = matrixLogger(format, perHour, count);
    std::optional<Saved> first;
    QString difference;
    for (const QString& locale : kMatrixLocales) {
        difference = underLocale(locale, config, count, first);
        if (!difference.isEmpty()) {
            difference = locale + ": " + difference;
            break;
        }
    }
    useLocale("C");
    return difference;
}
