// Soak of the automatic downloads: a logger that goes on recording, channel 1
// and channel 2 downloaded every 24 hours of the manual clock for many
// cycles, across month ends, with the program restarted half-way. Afterwards
// the monthly plain files must hold every sample the logger recorded once
// and in order, and every duplicate must load back to the same rows.
// With --crash-share, that share of the cycles (the last one excepted) dies
// at a random call that changes a file, as a killed process would, and the
// program is started again before the next cycle.
//   soak_auto [--cycles N] [--crash-share S] [--seed N]   (default 120, 0, 1)
// Prints the cycles run, the crashes, the samples checked and the wall time.
#include "auto_rig.h"
#include "crash_door.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <cstdio>
#include <optional>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const qsizetype at = arguments.indexOf("--cycles");
    const int cycles = at > 0 ? arguments.value(at + 1).toInt() : 120;
    const qsizetype shareAt = arguments.indexOf("--crash-share");
    const double crashShare = shareAt > 0 ? arguments.value(shareAt + 1).toDouble() : 0.0;
    const qsizetype seedAt = arguments.indexOf("--seed");
    QRandomGenerator random(seedAt > 0 ? arguments.value(seedAt + 1).toUInt() : 1u);
    if (cycles < 2) {
        std::fprintf(stderr, "soak_auto: --cycles takes a number of at least 2\n");
        return 2;
    }

    // Two samples an hour from 28 November: 48 a channel each day, and a
    // month's end every few weeks of the clock (the short run crosses 30
    // November on its third cycle, the first after the restart).
    const platform::DateTime first = platform::encodeDateTime(2026, 11, 28, 0, 0, 0);
    const bvsim::LoggerConfig logger = recordingLogger(first, 2);
    QElapsedTimer wall;
    wall.start();
    AutoRig t(logger);
    t.rig.app.clock.set(first + 1.0);
    const QString base = t.path("plant.csv");
    int failures = 0, restarts = 0, crashes = 0;
    bool crashed = false;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        if (cycle > 0)
            t.rig.app.clock.advanceSeconds(86400);
        if (cycle == 0 || cycle == cycles / 2 || crashed) {
            // Half-way the program is started again, a day after its last download.
            if (cycle > 0) {
                t.restart();
                ++restarts;
            }
            if (!t.setUp(&TForm1::Auto24hrs, base)) {
                std::fprintf(stderr, "soak_auto: the base name was not taken\n");
                return 1;
            }
        }
        // A download of both channels makes about two dozen calls.
        std::optional<CrashDoor> door;
        if (cycle + 1 < cycles && random.generateDouble() < crashShare)
            door.emplace(1 + random.bounded(24));
        const std::vector<AutoRig::Ended> run = t.waitForRun();
        crashed = door && door->died();
        door.reset();
        if (crashed) {
            ++crashes;
            continue;
        }
        const bool ok = run.size() == 2 && run[0].channel == 1 && run[1].channel == 2 &&
                        run[0].succeeded && run[1].succeeded;
        if (!ok) {
            ++failures;
            std::fprintf(stderr, "cycle %d:", cycle);
            for (const AutoRig::Ended& e : run)
                std::fprintf(stderr, " channel %d %s", e.channel, qPrintable(e.status));
            std::fprintf(stderr, "%s\n", run.empty() ? " no download ended" : "");
            std::fprintf(stderr, "%s\n", qPrintable(t.statuses.join(" / ")));
        }
    }

    // Every row is checked against the logger's sample of its place, so a
    // repeat or a loss shows as a count that differs or as an error above.
    qsizetype samples = 0, losses = 0, repeats = 0;
    int months = 0, duplicates = 0;
    const int recorded = bvsim::SimulatedLogger(logger).storedCount(logger.channels[0]);
    for (int channel : {1, 2}) {
        const MonthlyCheck check = checkMonthlyFiles(t.form(), base, channel, logger);
        if (!check.error.isEmpty()) {
            std::fprintf(stderr, "channel %d: %s\n", channel, qPrintable(check.error));
            ++failures;
        }
        // The manual clock stands still while a download runs: every sample
        // recorded by the last one, its last sample included, is in the files.
        losses += std::max<qsizetype>(0, recorded - check.rows);
        repeats += std::max<qsizetype>(0, check.rows - recorded);
        if (check.rows != recorded) {
            std::fprintf(stderr, "channel %d: %lld rows of %d samples recorded\n", channel,
                         static_cast<long long>(check.rows), recorded);
            ++failures;
        }
        samples += check.rows;
        months = check.months;
        duplicates += check.duplicates;
    }
    std::printf("cycles %d (channel 1 and channel 2 each), restarts %d, month ends %d\n", cycles,
                restarts, months - 1);
    std::printf("crashes %d, losses %lld, repeats %lld\n", crashes, static_cast<long long>(losses),
                static_cast<long long>(repeats));
    std::printf("samples checked %lld, duplicates loaded %d\n", static_cast<long long>(samples),
                duplicates);
    std::printf("wall time %.1f s, failures %d\n", wall.elapsed() / 1000.0, failures);
    return failures == 0 ? 0 : 1;
}
