// bvsim: a simulated Brenvale logger on a pseudo-terminal.
//   bvsim --link ~/brenvale/COM7 --format 2 --rh 1 --count 4000 --pace
// prints the terminal's device path and serves until interrupted. With
// --record the logger goes on recording from its last sample on, its clock
// running --speed times as fast as real time.
#include "link/sim/pty_logger.h"
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) {
    g_stop = 1;
}

// "12,40" -> {12, 40}
std::vector<int> positions(const QString& text) {
    std::vector<int> out;
    for (const QString& p : text.split(',', Qt::SkipEmptyParts))
        out.push_back(p.toInt());
    return out;
}

// "10:fffe,20:fff8" -> {(10, 0xfffe), (20, 0xfff8)}
std::vector<std::pair<int, int>> events(const QString& text) {
    std::vector<std::pair<int, int>> out;
    for (const QString& e : text.split(',', Qt::SkipEmptyParts)) {
        const QStringList parts = e.split(':');
        const int code = parts.value(1).toInt(nullptr, 16);
        if (parts.size() == 2 && code >= bvsim::kFirstEventCode && code < bvsim::kNoReadingCode)
            out.emplace_back(parts[0].toInt(), code);
    }
    return out;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Simulated Brenvale logger on a pseudo-terminal.");
    parser.addHelpOption();
    const QList<QCommandLineOption> options = {
        {"link", "Path of the link to create (e.g. <settings folder>/COM7).", "path"},
        {"format", "Header format: 1 (older) or 2 (newer).", "n", "2"},
        {"rh-model", "Older format: the 38-line RH model."},
        {"first", "First sample, yyyy-MM-ddTHH:mm:ss.", "time", "2026-12-01T00:00:00"},
        {"per-hour", "Samples stored per hour.", "n", "240"},
        {"count", "Samples stored per channel.", "n", "100"},
        {"rh", "Newer format: channels with RH, e.g. 1,2.", "list"},
        {"no-data", "Newer format: channels without data, e.g. 2.", "list"},
        {"no-reading", "Sample positions without a reading, e.g. 5,9.", "list"},
        {"events", "Events before sample positions, e.g. 10:fffe,20:fff8.", "list"},
        {"pace", "Send at the line speed (ten bits a byte)."},
        {"bad-checksum", "Wrong checksum on the k-th block request.", "k"},
        {"bad-checksum-always", "... and on every block request after it."},
        {"silence-after", "Send nothing after this many bytes.", "n"},
        {"corrupt-byte", "Flip a bit of the sent byte at this offset.", "n"},
        {"wrong-fast-reply", "Answer the fast-rate command with \"c\"."},
        {"endless-header", "Leave out the header's last line."},
        {"log", "Append every received byte to this file.", "file"},
        {"record", "Keep recording: a new sample every storage interval of the logger's clock, "
                   "which starts at the last sample."},
        {"speed", "With --record: the logger's clock runs this many times as fast as real time.",
         "factor", "1"},
    };
    parser.addOptions(options);
    parser.process(app);

    bvsim::LoggerConfig config;
    config.format = parser.value("format") == "1" ? 1 : 2;
    config.rhModel = parser.isSet("rh-model");
    const QDateTime first = QDateTime::fromString(parser.value("first"), Qt::ISODate);
    if (!first.isValid()) {
        std::fprintf(stderr, "bvsim: --first is not a date-time: %s\n",
                     qPrintable(parser.value("first")));
        return 2;
    }
    for (int ch = 0; ch < 2; ++ch) {
        bvsim::ChannelData& d = config.channels[ch];
        d.first = platform::fromQDateTime(first);
        d.storedPerHour = parser.value("per-hour").toDouble();
        if (!(d.storedPerHour > 0)) {
            std::fprintf(stderr, "bvsim: --per-hour is not a positive number: %s\n",
                         qPrintable(parser.value("per-hour")));
            return 2;
        }
        d.count = std::max(parser.value("count").toInt(), 0);
        d.rh = parser.value("rh").split(',').contains(QString::number(ch + 1));
        d.present = !parser.value("no-data").split(',').contains(QString::number(ch + 1));
        d.noReading = positions(parser.value("no-reading"));
        d.events = events(parser.value("events"));
    }
    bvsim::Faults& f = config.faults;
    f.badChecksumBlock = parser.value("bad-checksum").toInt();
    f.badChecksumAlways = parser.isSet("bad-checksum-always");
    f.silenceAfter =
        parser.isSet("silence-after") ? parser.value("silence-after").toLongLong() : -1;
    f.corruptByte = parser.isSet("corrupt-byte") ? parser.value("corrupt-byte").toLongLong() : -1;
    f.wrongFastReply = parser.isSet("wrong-fast-reply");
    f.headerNeverCompletes = parser.isSet("endless-header");

    if (parser.isSet("record")) {
        bool ok = false;
        const double speed = parser.value("speed").toDouble(&ok);
        if (!ok || speed <= 0) {
            std::fprintf(stderr, "bvsim: --speed takes a positive number\n");
            return 2;
        }
        const bvsim::ChannelData& d = config.channels[0];
        const platform::DateTime last =
            d.first + std::max(d.count - 1, 0) *
                          bvsim::SimulatedLogger::intervalSeconds(d.storedPerHour) *
                          platform::kSecond;
        const QDateTime started = QDateTime::currentDateTime();
        config.recordingClock = [last, speed, started] {
            const double elapsed = started.msecsTo(QDateTime::currentDateTime()) / 1000.0;
            return last + elapsed * speed * platform::kSecond;
        };
    }
    // Every ordinary ending goes through the logger's destructor, which
    // removes the link. The signals wait until the loop below can take them.
    sigset_t endings, others;
    sigemptyset(&endings);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        std::signal(signal, onSignal);
        sigaddset(&endings, signal);
    }
    sigprocmask(SIG_BLOCK, &endings, &others);
    bvsim::PtyLogger logger(config, parser.isSet("pace"), parser.value("log"));
    if (!logger.start(parser.value("link"))) {
        std::fprintf(stderr, "bvsim: cannot create the pseudo-terminal or the link %s\n",
                     qPrintable(parser.value("link")));
        return 1;
    }
    std::printf("%s\n", qPrintable(logger.devicePath()));
    std::fflush(stdout);
    while (!g_stop)
        sigsuspend(&others);
    return 0;
}
