// The automatic save of the built program killed at chosen instants (the
// journal being written, the rows of both months being appended, the syncs
// and the journal's removal): the next automatic download leaves every
// sample once and in order in the plain files and the duplicates.
#include "built_programs.h"
#include "crash_run.h"
#include <QTest>

class TestAutoSaveCrash : public QObject {
    Q_OBJECT

    // Smaller than the sweep's save, still several writes a file and a month end.
    const CrashSave m_save{.samples = 3000, .channels = 1, .first = "2026-11-30T20:00:00"};
    int m_calls = 0;

  private slots:
    void initTestCase() {
        const QString missing = missingPrograms();
        QVERIFY2(missing.isEmpty(), qPrintable(missing + " missing: build the programs first"));
        m_calls = countFileCalls(m_save);
        QVERIFY2(m_calls > 10, qPrintable(QString::number(m_calls)));
    }

    void crashAt_data() {
        QTest::addColumn<int>("k");
        // The calls of a save into a fresh folder: the settings file first
        // (three calls), then the journal, the rows, the syncs and the end.
        QTest::newRow("the settings file being written") << 1;
        QTest::newRow("the journal's write") << 4;
        QTest::newRow("the journal's sync") << 5;
        QTest::newRow("the first write to a monthly file") << 7;
        QTest::newRow("a write half-way") << m_calls / 2;
        QTest::newRow("the duplicate's sync") << m_calls - 3;
        QTest::newRow("the journal's removal") << m_calls - 1;
        QTest::newRow("the folder's last sync") << m_calls;
    }
    void crashAt() {
        QFETCH(int, k);
        const CrashOutcome outcome = crashThenRecover(m_save, k);
        QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
        QVERIFY(outcome.killed);
        QCOMPARE(outcome.rows, m_save.samples);
    }
};

QTEST_MAIN(TestAutoSaveCrash)
#include "test_auto_save_crash.moc"
