// Whole uploads through the main window and its reader thread, with the real
// clock, against the simulated logger on a pseudo-terminal sending at the
// line rate. Per case: the wall time from the first block request (or the
// fast-rate command before it) to "DATA LOADED", the line time of the bytes
// exchanged in that time, their ratio, and where the rest went: the pauses
// the protocol names, the reader's one-second read time-outs, and the rest
// (host work and hand-overs). The digests of the bytes each way let two runs
// show that the exchange itself did not change.
//   bench_upload_rates [--format 1|2] [--rate 115200] [--samples 4500] [--rh 0|1]
#include "app/tform1.h"
#include "bvsim/pty_logger.h"
#include "link/link_state.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include <QApplication>
#include <QCommandLineParser>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <map>
#include <mutex>

namespace {

// The real clock, with the pauses taken while `counting` summed by length.
class PauseCountingClock : public platform::Clock {
  public:
    explicit PauseCountingClock(platform::Clock& real) : m_real(real) {}
    platform::DateTime now() override { return m_real.now(); }
    void pause(int milliseconds) override {
        if (counting) {
            std::lock_guard lock(m_lock);
            ++pauses[milliseconds];
        }
        m_real.pause(milliseconds);
    }
    std::map<int, int> taken() {
        std::lock_guard lock(m_lock);
        return pauses;
    }

    std::atomic<bool> counting{false};

  private:
    platform::Clock& m_real;
    std::mutex m_lock;
    std::map<int, int> pauses; // length in ms -> count
};

struct Case {
    int format;
    int rate;
    int samples;
    bool rh;
};

struct Result {
    bool loaded = false;
    std::size_t stored = 0;
    double wall = 0, line = 0;
    std::map<int, int> pauses;
    int timeouts = 0;
    QByteArray hostDigest, loggerDigest;
};

QByteArray digest(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(12);
}

Result run(const Case& c) {
    Result r;
    QTemporaryDir dir;
    const QString previousDir = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QFile comport(dir.filePath("COMPORT.DAT"));
    if (comport.open(QIODevice::WriteOnly))
        comport.write(QString("COM1:%1\r\n").arg(c.rate).toLatin1());
    comport.close();

    bvsim::LoggerConfig config;
    config.format = c.format;
    config.rhModel = c.format == 1 && c.rh;
    for (bvsim::ChannelData& ch : config.channels) {
        ch.count = c.samples;
        ch.rh = c.format == 2 && c.rh;
    }
    bvsim::PtyLogger logger(config, true);
    if (!logger.start(dir.filePath("COM1"))) {
        std::printf("no pseudo-terminal\n");
        return r;
    }
    platform::ScriptedDialogs dialogs;
    platform::setDialogs(&dialogs);
    PauseCountingClock clock(platform::clock());
    platform::setClock(&clock);
    {
        TForm1 form;
        form.FormCreate(QString());

        QElapsedTimer timer;
        double lineAtStart = 0;
        int timeoutsAtStart = 0;
        QEventLoop loop;
        QObject::connect(&form.Edit1, &StateControl::valueChanged, &loop, [&] {
            const QString text = form.Edit1.text();
            const bool requesting =
                text.startsWith("Attempting ") || text.startsWith("RECEIVING DATA");
            if (requesting && !timer.isValid()) {
                timer.start();
                lineAtStart = logger.lineSeconds();
                timeoutsAtStart = form.link->port(form).shared().DataReadTimeouts;
                clock.counting = true;
            }
            if (text == "DATA LOADED" && timer.isValid()) {
                clock.counting = false;
                r.wall = timer.nsecsElapsed() / 1e9;
                r.line = logger.lineSeconds() - lineAtStart;
                r.timeouts = form.link->port(form).shared().DataReadTimeouts - timeoutsAtStart;
                r.loaded = true;
                r.stored = form.store.TempData.size();
            }
        });
        // Every end of an upload (loaded or failed) gives the button back.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (form.UploadData->isEnabled() && !form.AbortUpload->isEnabled())
                loop.quit();
        });
        QTimer::singleShot(600'000, &loop, &QEventLoop::quit);
        form.UploadDataClick();
        poll.start(20);
        loop.exec();
        r.pauses = clock.taken();
        form.ClosePort();
    }
    platform::setClock(nullptr);
    platform::setDialogs(nullptr);
    r.hostDigest = digest(logger.received());
    r.loggerDigest = digest(logger.sent());
    logger.stop();
    QDir::setCurrent(previousDir);
    return r;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions(
        {{"format", "Header format: 2 (newer, the default) or 1 (older, 19200 only).", "n", "2"},
         {"rate", "Only this line rate.", "baud"},
         {"samples", "Only this many samples.", "n"},
         {"rh", "Only with (1) or without (0) RH.", "0|1"}});
    parser.process(app);

    const int format = parser.value("format") == "1" ? 1 : 2;
    std::printf("format %d logger, channel 1, 240 samples an hour, the simulator sending at the "
                "line rate (10 bits a byte)\n",
                format);
    std::printf("wall: first block request to \"DATA LOADED\"; line: the bytes of both ways in "
                "that time; pauses: the protocol's own (10 and 100 ms around requests, 250 ms "
                "twice per reopen, 2 s before a retry); timeouts: data-phase reads that waited "
                "out their second; rest: wall - line - pauses (time-outs, host work, hand-overs; "
                "the host's request bytes count as line time but take none on a pseudo-terminal, "
                "so it can dip just below 0)\n");
    std::printf("%7s %6s %3s %8s %8s %6s %8s %9s %8s  %s\n", "rate", "samples", "RH", "wall s",
                "line s", "ratio", "pauses s", "timeouts", "rest s", "pauses (ms x count)");
    bool allLoaded = true;
    for (const int rate : {19200, 57600, 115200}) {
        for (const int samples : {4500, 15000}) {
            for (const bool rh : {false, true}) {
                if ((format == 1 && rate != 19200) ||
                    (parser.isSet("rate") && parser.value("rate").toInt() != rate) ||
                    (parser.isSet("samples") && parser.value("samples").toInt() != samples) ||
                    (parser.isSet("rh") && (parser.value("rh") == "1") != rh))
                    continue;
                const Result r = run({format, rate, samples, rh});
                allLoaded = allLoaded && r.loaded;
                double paused = 0;
                QString kinds;
                for (const auto& [ms, count] : r.pauses) {
                    paused += ms * count / 1000.0;
                    kinds += QString("%1x%2 ").arg(ms).arg(count);
                }
                // The goal: the line time a third over, plus the named pauses.
                const double rest = r.wall - r.line - paused;
                std::printf("%7d %6d %3s %8.2f %8.2f %6.2f %8.2f %9d %8.2f  %s\n", rate, samples,
                            rh ? "yes" : "no", r.wall, r.line, r.line > 0 ? r.wall / r.line : 0,
                            paused, r.timeouts, rest, qPrintable(kinds));
                std::printf("%26s goal %.2f s (1.3 x line + pauses): %s; %s; bytes host %s, "
                            "logger %s\n",
                            "", 1.3 * r.line + paused,
                            r.wall <= 1.3 * r.line + paused ? "met" : "missed",
                            r.loaded ? qPrintable(QString("%1 samples loaded").arg(r.stored))
                                     : "NOT LOADED",
                            r.hostDigest.constData(), r.loggerDigest.constData());
                std::fflush(stdout);
            }
        }
    }
    return allLoaded ? 0 : 1;
}
