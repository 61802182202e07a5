// Where the About box opens, and the outcomes that load, save, "Continue" and
// the port's opening hand back to their callers (the command line among
// them), whatever the status line says.
#include "app/user_dialogs.h"
#include "app_fixture.h"
#include "bvsim/pty_logger.h"
#include <QAction>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTest>

Q_DECLARE_METATYPE(FileOutcome)

namespace {

const char kGoodDuplicate[] = "dup_mdy_rh.bvx";

QByteArray fixture(const QString& name) {
    QFile file(qEnvironmentVariable("BRENVALE_SOURCE_DIR") + "/tests/data/files/" + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestUserDialogs : public QObject {
    Q_OBJECT
  private slots:
    void centredIn_data() {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<QPoint>("topLeft");
        QTest::newRow("whole screen")
            << QRect(0, 0, 800, 600) << QSize(221, 187) << QPoint(290, 207);
        QTest::newRow("area below a panel")
            << QRect(0, 40, 800, 560) << QSize(200, 100) << QPoint(300, 270);
        QTest::newRow("second screen")
            << QRect(1920, 0, 1280, 1024) << QSize(280, 224) << QPoint(2420, 400);
    }
    void centredIn() {
        QFETCH(QRect, area);
        QFETCH(QSize, frame);
        QFETCH(QPoint, topLeft);
        QCOMPARE(::centredIn(area, frame), topLeft);
    }

    // Off the middle of the screen, the main window would draw a box that
    // opens over it away from the centre; each show centres it again.
    void aboutBoxOpensInTheMiddleOfTheScreen() {
        AppFixture app;
        TForm1& form = app.start();
        const QRect area = form.screen()->availableGeometry();
        form.resize(area.width() / 2, area.height() / 2);
        form.move(area.topLeft());
        TForm3 about(&form);
        form.setDialogs(&about, nullptr, nullptr, nullptr);
        for (int show = 0; show < 2; ++show) {
            form.AboutClick();
            QVERIFY(QTest::qWaitForWindowExposed(&about));
            const QPoint offset = about.frameGeometry().center() - area.center();
            QVERIFY2(offset.manhattanLength() <= 2,
                     qPrintable(QString("%1,%2 off the centre").arg(offset.x()).arg(offset.y())));
            about.close();
            about.move(area.topLeft());
        }
    }

    // "Continue" saves, or names the file of the automatic downloads.
    void continueHandsBackItsOutcome_data() {
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<QString>("answer"); // empty: the save dialog is cancelled
        QTest::addColumn<FileOutcome>("outcome");
        QTest::newRow("saved") << false << "out.csv" << FileOutcome::Done;
        QTest::newRow("save dialog cancelled") << false << "" << FileOutcome::Cancelled;
        QTest::newRow("folder that does not exist")
            << false << "no-such-folder/out.csv" << FileOutcome::Failed;
        QTest::newRow("automatic file named") << true << "plant.csv" << FileOutcome::Done;
        QTest::newRow("automatic file dialog cancelled") << true << "" << FileOutcome::Cancelled;
    }
    void continueHandsBackItsOutcome() {
        QFETCH(bool, automatic);
        QFETCH(QString, answer);
        QFETCH(FileOutcome, outcome);
        AppFixture app;
        TForm1& form = app.start();
        TForm5 verify(form);
        form.setDialogs(nullptr, nullptr, &verify, nullptr);
        if (automatic)
            form.Auto4hours->setChecked(true);
        if (!answer.isEmpty())
            app.dialogs.saveAnswers.push_back(app.path(answer));
        form.SavedataClick();
        QCOMPARE(verify.Button1Click(), outcome);
        // A save that reports Done has written its file, and only then.
        if (!automatic && !answer.isEmpty())
            QCOMPARE(QFile::exists(app.path(answer)), outcome == FileOutcome::Done);
    }

    void loadHandsBackItsOutcome_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes"); // written to `file` first unless empty
        QTest::addColumn<FileOutcome>("outcome");
        QTest::newRow("duplicate") << "in.bvx" << fixture(kGoodDuplicate) << FileOutcome::Done;
        QTest::newRow("missing file") << "none.bvx" << QByteArray() << FileOutcome::Failed;
        QTest::newRow("no date format")
            << "odd.bvx" << QByteArray("just text\r\n") << FileOutcome::Failed;
        QTest::newRow("cut in a row")
            << "cut.bvx" << fixture(kGoodDuplicate).left(fixture(kGoodDuplicate).size() - 7)
            << FileOutcome::Failed;
    }
    void loadHandsBackItsOutcome() {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(FileOutcome, outcome);
        QVERIFY(!fixture(kGoodDuplicate).isEmpty());
        AppFixture app;
        TForm1& form = app.start();
        if (!bytes.isEmpty())
            app.writeFile(file, bytes);
        QCOMPARE(form.LoadDataFile(app.path(file)), outcome);
    }

    // The message shown for a port that cannot be opened is the one handed back.
    void portOpeningHandsBackItsOutcome() {
        AppFixture app;
        bvsim::PtyLogger logger({});
        QVERIFY(logger.start(app.path("COM4")));
        app.linkPort(3, "/dev/null");
        TForm1& form = app.start();

        form.COMPORT.setText("COM3");
        QVERIFY(!form.LastPortOpening.opened);
        QCOMPARE(app.dialogs.messages(), QStringList{form.LastPortOpening.failure});

        form.COMPORT.setText("COM4");
        QVERIFY(form.LastPortOpening.opened);
        QVERIFY(form.LastPortOpening.failure.isEmpty());
        const PortOpening reopened = form.COMPORTChange();
        QVERIFY(reopened.opened && reopened.failure.isEmpty());

        form.COMPORT.setText("NA");
        QVERIFY(!form.LastPortOpening.opened);
        QVERIFY(form.LastPortOpening.failure.isEmpty());
        QCOMPARE(app.dialogs.messages().size(), 1);
    }
};

QTEST_MAIN(TestUserDialogs)
#include "test_user_dialogs.moc"
