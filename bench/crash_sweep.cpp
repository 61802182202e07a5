// The automatic save of 20,000 samples across a month end, killed at every
// one of its calls that change its files (every write, half of it put down,
// every sync, cut and removal), each time followed by the next automatic
// download: afterwards the monthly files must hold every sample once, in
// order, and the duplicates must load back to the same rows.
//   crash_sweep [--samples N] [--from K] [--to K]
// Prints the calls swept, the crashes, the rows checked and the failures.
#include "crash_run.h"
#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("BRENVALE_BINARY_DIR"))
        qputenv("BRENVALE_BINARY_DIR", QCoreApplication::applicationDirPath().toLocal8Bit());
    const QStringList arguments = app.arguments();
    const auto option = [&](const char* name, int otherwise) {
        const qsizetype at = arguments.indexOf(name);
        return at > 0 ? arguments.value(at + 1).toInt() : otherwise;
    };
    const CrashSave save{.samples = option("--samples", 20000)};
    QElapsedTimer wall;
    wall.start();
    const int calls = countFileCalls(save);
    if (calls <= 0) {
        std::fprintf(stderr, "crash_sweep: the uninterrupted save failed\n");
        return 1;
    }
    const int from = std::max(option("--from", 1), 1), to = std::min(option("--to", calls), calls);
    int crashes = 0, failures = 0;
    qsizetype rows = 0;
    for (int k = from; k <= to; ++k) {
        const CrashOutcome outcome = crashThenRecover(save, k);
        crashes += outcome.killed ? 1 : 0;
        rows += outcome.rows;
        if (!outcome.error.isEmpty() || !outcome.killed) {
            ++failures;
            std::fprintf(stderr, "call %d: %s\n", k,
                         outcome.killed ? qPrintable(outcome.error) : "not killed");
        }
    }
    std::printf("samples %d, calls of the save %d, swept %d to %d\n", save.samples, calls, from,
                to);
    std::printf("crashes %d, rows checked %lld, failures %d\n", crashes,
                static_cast<long long>(rows), failures);
    std::printf("wall time %.1f s\n", wall.elapsed() / 1000.0);
    return failures == 0 ? 0 : 1;
}
