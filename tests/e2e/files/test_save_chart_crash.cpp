// File > Save Chart of the built program, over an earlier pair, killed at
// its first call and at each of its last ones (the files written beside
// their targets, the syncs, the two renames, the folder's sync): each file is
// the earlier one or the new one whole, the duplicate loads and is never
// newer than its plain file.
#include "built_programs.h"
#include "crash_run.h"
#include <QDir>
#include <QFile>
#include <QTest>

namespace {

QByteArray readAll(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A data file without its creation time, which every save renews.
QByteArray timeless(const QByteArray& bytes) {
    const qsizetype from = bytes.indexOf("~File Created On: ");
    return from < 0 ? bytes : bytes.left(from) + bytes.mid(bytes.indexOf('\n', from) + 1);
}

} // namespace

class TestSaveChartCrash : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        const QString missing = missingPrograms();
        QVERIFY2(missing.isEmpty(), qPrintable(missing + " missing: build the programs first"));
    }

    void crashAtTheEnd() {
        ProgramFolder folder;
        const QString source =
            qEnvironmentVariable("BRENVALE_SOURCE_DIR") + "/tests/data/files/dup_mdy_rh.bvx";
        const QString plain = folder.path("pair.csv"), dup = folder.path("pair.bvx");
        const QStringList save{"--headless", "--load", source, "--save", plain};
        const auto run = [&](const QProcessEnvironment& crash) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(crash);
            return runProgram(builtProgram("brenvale"), save, folder.dir.path(), environment);
        };
        QVERIFY(folder.run(save).exitCode == 0);
        const QString counted = QDir::temp().filePath(QDir(folder.dir.path()).dirName() + ".n");
        QCOMPARE(run(crashLibrary(folder.dir.path(), "BRENVALE_CRASH_COUNT", counted)).exitCode, 0);
        const int calls = readAll(counted).trimmed().toInt();
        QFile::remove(counted);
        QVERIFY(calls > 9);
        // The duplicate scrambles the creation time with the rest: its size
        // and its loading tell that it is whole.
        const QByteArray newPlain = timeless(readAll(plain));
        const qsizetype newDupSize = readAll(dup).size();
        for (int k = 1; k <= calls; k = k == 1 ? calls - 8 : k + 1) {
            // The files carry the time they were made: the earlier pair of this round.
            QVERIFY(folder.run(save).exitCode == 0);
            const QByteArray oldPlain = readAll(plain), oldDup = readAll(dup);
            QTest::qWait(1000); // a creation time of its own for the new pair
            const ProgramRun crashed =
                run(crashLibrary(folder.dir.path(), "BRENVALE_CRASH_AT", QString::number(k)));
            QCOMPARE(crashed.exitCode, -1);
            const QByteArray p = readAll(plain), d = readAll(dup);
            const QByteArray at = QByteArray::number(k);
            QVERIFY2(p == oldPlain || timeless(p) == newPlain, at);
            QVERIFY2(d == oldDup || d.size() == newDupSize, at);
            QVERIFY2(p != oldPlain || d == oldDup, at); // never a duplicate ahead of its plain file
            QVERIFY2(folder.run({"--headless", "--load", dup}).exitCode == 0, at);
        }
    }
};

QTEST_MAIN(TestSaveChartCrash)
#include "test_save_chart_crash.moc"
