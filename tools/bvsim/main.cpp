// bvsim: a simulated Brenvale logger on a pseudo-terminal.
//   bvsim --link ~/brenvale/COM7 --format 2 --rh 1 --count 4000 --pace
// prints the terminal's device path and serves until interrupted. With
// --record the logger goes on recording from its last sample on, its clock
// running --speed times as fast as real time.
#include "bvsim/pty_logger.h"
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

QList<QCommandLineOption> options() {
    return {
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
}

// The stored samples of both channels; an error text when an option does
// not convert.
QString readChannels(const QCommandLineParser& parser, bvsim::LoggerConfig& config) {
    const QDateTime first = QDateTime::fromString(parser.value("first"), Qt::ISODate);
    if (!first.isValid())
        return "--first is not a date-time: " + parser.value("first");
    for (int ch = 0; ch < 2; ++ch) {
        bvsim::ChannelData& d = config.channels[ch];
        d.first = platform::fromQDateTime(first);
        d.storedPerHour = parser.value("per-hour").toDouble();
        if (!(d.storedPerHour > 0))
            return "--per-hour is not a positive number: " + parser.value("per-hour");
        d.count = std::max(parser.value("count").toInt(), 0);
        d.rh = parser.value("rh").split(',').contains(QString::number(ch + 1));
        d.present = !parser.value("no-data").split(',').contains(QString::number(ch + 1));
        d.noReading = positions(parser.value("no-reading"));
        d.events = events(parser.value("events"));
    }
    return {};
}

bvsim::Faults readFaults(const QCommandLineParser& parser) {
    auto count = [&parser](const char* name) {
        return parser.isSet(name) ? parser.value(name).toLongLong() : -1;
    };
    return {.badChecksumBlock = parser.value("bad-checksum").toInt(),
            .badChecksumAlways = parser.isSet("bad-checksum-always"),
            .silenceAfter = count("silence-after"),
            .corruptByte = count("corrupt-byte"),
            .wrongFastReply = parser.isSet("wrong-fast-reply"),
            .headerNeverCompletes = parser.isSet("endless-header")};
}

// With --record, the logger's clock: it starts at the last stored sample and
// runs --speed times as fast as real time. An error text when --speed does
// not convert.
QString startRecording(const QCommandLineParser& parser, bvsim::LoggerConfig& config) {
    if (!parser.isSet("record"))
        return {};
    bool ok = false;
    const double speed = parser.value("speed").toDouble(&ok);
    if (!ok || speed <= 0)
        return "--speed takes a positive number";
    const bvsim::ChannelData& d = config.channels[0];
    const platform::DateTime last =
        d.first + std::max(d.count - 1, 0) *
                      bvsim::SimulatedLogger::intervalSeconds(d.storedPerHour) * platform::kSecond;
    const QDateTime started = QDateTime::currentDateTime();
    config.recordingClock = [last, speed, started] {
        const double elapsed = started.msecsTo(QDateTime::currentDateTime()) / 1000.0;
        return last + elapsed * speed * platform::kSecond;
    };
    return {};
}

// The logger the options describe; an error text when an option does not
// convert.
QString readConfig(const QCommandLineParser& parser, bvsim::LoggerConfig& config) {
    config.format = parser.value("format") == "1" ? 1 : 2;
    config.rhModel = parser.isSet("rh-model");
    config.faults = readFaults(parser);
    if (QString error = readChannels(parser, config); !error.isEmpty())
        return error;
    return startRecording(parser, config);
}

// Serves the logger on its link until a signal ends the run. Every ordinary
// ending goes through the logger's destructor, which removes the link. The
// signals wait until the loop below can take them.
int serve(const bvsim::LoggerConfig& config, const QCommandLineParser& parser) {
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

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Simulated Brenvale logger on a pseudo-terminal.");
    parser.addHelpOption();
    parser.addOptions(options());
    parser.process(app);

    bvsim::LoggerConfig config;
    if (const QString error = readConfig(parser, config); !error.isEmpty()) {
        std::fprintf(stderr, "bvsim: %s\n", qPrintable(error));
        return 2;
    }
    return serve(config, parser);
}
