#include "upload_rig.h"
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>

UploadRig::UploadRig(const bvsim::LoggerConfig& config, const QString& comport, bool pacing)
    : logger(std::make_unique<bvsim::PtyLogger>(config, pacing)) {
    app.writeFile("COMPORT.DAT", comport.toLatin1() + "\r\n");
    logger->start(app.path("COM1"));
    app.start();
    const TextControl* status = &form().Edit1;
    m_statusWatch = QObject::connect(status, &StateControl::valueChanged, status,
                                     [this, status] { statuses << status->text(); });
}

UploadRig::~UploadRig() {
    // The window closes its port first, so its reader never sees the logger go.
    app.form().ClosePort();
    // The window outlives the list of statuses.
    QObject::disconnect(m_statusWatch);
}

void UploadRig::replaceLogger(const bvsim::LoggerConfig& config) {
    logger = std::make_unique<bvsim::PtyLogger>(config);
    logger->start(app.path("COM1"));
}

namespace {

// Runs the event loop until `done` holds or `ms` have passed. The loop sleeps
// until an event comes, so each of the reader's hand-overs is taken at once
// (a loop that sleeps between turns would hold every chunk up).
bool runUntil(const std::function<bool()>& done, int ms) {
    if (done())
        return true;
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    QTimer look;
    look.setInterval(5);
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done() || elapsed.hasExpired(ms))
            loop.quit();
    });
    look.start();
    loop.exec();
    return done();
}

} // namespace

bool UploadRig::ended() const {
    TForm1& f = const_cast<AppFixture&>(app).form();
    return f.DataLoaded.checked() || !f.AbortUpload->isEnabled();
}

bool UploadRig::waitForEnd(int seconds) {
    return runUntil([this] { return ended(); }, seconds * 1000);
}

bool UploadRig::letTimePassUntilEnd() {
    return QTest::qWaitFor(
        [this] {
            app.clock.advanceSeconds(1);
            return ended();
        },
        30000);
}

bool UploadRig::waitForStatus(const QString& text, int seconds) {
    return runUntil([&] { return statuses.contains(text); }, seconds * 1000);
}

bool UploadRig::waitForSent(const QByteArray& bytes, int seconds) {
    return runUntil([&] { return sent() == bytes; }, seconds * 1000);
}

bool UploadRig::upload() {
    statuses.clear();
    form().UploadDataClick();
    return waitForEnd() && form().Edit1.text() == "DATA LOADED";
}

bvsim::LoggerConfig loggerConfig(int format, bool rh, int count, double perHour) {
    bvsim::LoggerConfig config;
    config.format = format;
    config.rhModel = format == 1 && rh;
    for (bvsim::ChannelData& ch : config.channels) {
        ch.rh = format == 2 && rh;
        ch.count = count;
        ch.storedPerHour = perHour;
    }
    return config;
}

qsizetype headerSize(const bvsim::LoggerConfig& config) {
    return bvsim::SimulatedLogger(config).header().size();
}

namespace {

// The store's list for a stored event code, in the order of eventLists().
int eventListIndex(int code) {
    return code == bvsim::kFirstEventCode ? 0 : bvsim::kNoReadingCode - code;
}

} // namespace

QString storeDifference(const SampleStore& store, const bvsim::LoggerConfig& logger, int channel,
                        int first, int count) {
    const bvsim::ChannelData& d = logger.channels[channel];
    const bool older = logger.format == 1;
    const bool rh = older ? logger.rhModel : d.rh;
    // Older loggers store a quarter kelvin and fifteenths of it; newer ones
    // hundredths of a degree.
    const double tolerance = older ? 0.04 : 0.006;
    const double interval = bvsim::SimulatedLogger::intervalSeconds(d.storedPerHour);

    if (store.TempData.size() != std::size_t(count) ||
        store.SampleTimes.size() != store.TempData.size())
        return QString("%1 temperatures and %2 times, expected %3")
            .arg(store.TempData.size())
            .arg(store.SampleTimes.size())
            .arg(count);
    if (store.RHData.size() != (rh ? store.TempData.size() : 0))
        return QString("%1 RH values").arg(store.RHData.size());
    auto timeOf = [&](int position) { return d.first + position * interval * platform::kSecond; };
    for (int k = 0; k < count; ++k) {
        const int i = first + k;
        if (std::abs(store.SampleTimes[k] - timeOf(i)) > 1e-8)
            return QString("sample %1: time %2, expected %3")
                .arg(k)
                .arg(platform::toQDateTime(store.SampleTimes[k]).toString(Qt::ISODateWithMs))
                .arg(platform::toQDateTime(timeOf(i)).toString(Qt::ISODateWithMs));
        const bool missing =
            std::find(d.noReading.begin(), d.noReading.end(), i) != d.noReading.end();
        const double t =
            missing ? kNoReading : bvsim::SimulatedLogger::temperatureAt(i, d.storedPerHour);
        if (std::abs(store.TempData[k] - t) > tolerance)
            return QString("sample %1: %2 degrees, expected %3")
                .arg(k)
                .arg(store.TempData[k])
                .arg(t);
        const double h =
            missing ? kNoReading : bvsim::SimulatedLogger::humidityAt(i, d.storedPerHour);
        if (rh && store.RHData[k] != h)
            return QString("sample %1: %2 %RH, expected %3").arg(k).arg(store.RHData[k]).arg(h);
    }
    std::array<std::vector<platform::DateTime>, 7> events;
    if (!older)
        for (const auto& [position, code] : d.events)
            if (position >= first && position < first + count)
                events[eventListIndex(code)].push_back(timeOf(position));
    for (auto& list : events)
        std::sort(list.begin(), list.end());
    const auto lists = store.eventLists();
    for (int e = 0; e < 7; ++e) {
        const std::vector<platform::DateTime>& got = *lists[e];
        bool same = got.size() == events[e].size();
        for (std::size_t j = 0; same && j < got.size(); ++j)
            same = std::abs(got[j] - events[e][j]) <= 1e-8;
        if (!same)
            return QString("event list %1: %2 times, expected %3")
                .arg(e)
                .arg(got.size())
                .arg(events[e].size());
    }
    return QString();
}
