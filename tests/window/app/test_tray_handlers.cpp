// Hiding into the notification area, the icon's tip, menu and clicks, coming
// back, and how the run ends.
#include "app/tform1.h"
#include "app_fixture.h"
#include "platform/notification_area.h"
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

class RecordingArea : public platform::NotificationArea {
  public:
    bool available() const override { return present; }
    void add(const QString& tip) override { calls << "add " + tip; }
    void setTip(const QString& tip) override { calls << "tip " + tip; }
    void remove() override { calls << "remove"; }
    void onClick(std::function<void(Click)> handler) override { click = std::move(handler); }
    void setMenu(QMenu* m) override { menu = m; }
    bool present = true;
    QStringList calls;
    std::function<void(Click)> click;
    QMenu* menu = nullptr;
};

// Runs the application's event loop with `step` as its first event; returns
// the loop's exit code, or -1 when the loop had to be stopped from outside.
int runLoop(const std::function<void()>& step, int stopAfterMs) {
    QTimer::singleShot(0, step);
    QTimer::singleShot(stopAfterMs, [] { QApplication::exit(-1); });
    return QApplication::exec();
}

} // namespace

Q_DECLARE_METATYPE(platform::NotificationArea::Click)

class TestTray : public QObject {
    Q_OBJECT
    RecordingArea m_area;

  private slots:
    void init() {
        m_area = RecordingArea();
        platform::setNotificationArea(&m_area);
    }
    void cleanup() { platform::setNotificationArea(nullptr); }

    void hideAndOpen_data() {
        QTest::addColumn<platform::NotificationArea::Click>("click");
        QTest::newRow("single click") << platform::NotificationArea::Click::Single;
        QTest::newRow("double-click") << platform::NotificationArea::Click::Double;
    }
    void hideAndOpen() {
        QFETCH(platform::NotificationArea::Click, click);
        AppFixture app;
        TForm1& form = app.start();
        form.show();
        form.TrayIconSetTip("ignored while no icon is shown");
        QVERIFY(m_area.calls.isEmpty());

        form.BUTTON_HIDE->click();
        QVERIFY(!form.isVisible());
        QVERIFY(form.trayIconShown());
        QCOMPARE(m_area.calls, QStringList{"add Brenvale charting application, COM1"});
        // The desktop opens the pop-up menu as the icon's own context menu.
        QCOMPARE(m_area.menu, form.PopupMenu1);

        form.TrayIconSetTip(QString(200, 'x'));
        QCOMPARE(m_area.calls.last(), "tip " + QString(127, 'x'));

        // A click shows the window; the icon stays until "Open".
        m_area.click(click);
        QVERIFY(form.isVisible());
        QVERIFY(form.trayIconShown());

        form.SHORTCUT_OPEN->trigger();
        QVERIFY(form.isVisible());
        QVERIFY(!form.trayIconShown());
        QCOMPARE(m_area.calls.last(), QString("remove"));
    }

    void withoutANotificationAreaHideMinimises() {
        m_area.present = false;
        AppFixture app;
        TForm1& form = app.start();
        form.show();
        form.BUTTON_HIDE->click();
        QVERIFY(m_area.calls.isEmpty());
        QVERIFY(!form.trayIconShown());
        QVERIFY(form.isVisible());
        QVERIFY(form.isMinimized());
    }

    void programIconOnWindowAndTray() {
        AppFixture app;
        TForm1& form = app.start();
        const QIcon icon = platform::programIcon();
        QCOMPARE(icon.availableSizes(),
                 (QList<QSize>{QSize(32, 32), QSize(64, 64), QSize(256, 256)}));
        QVERIFY(!icon.pixmap(32).isNull());
        QCOMPARE(form.windowIcon().availableSizes(), icon.availableSizes());
    }

    void destructionRemovesAShownIcon() {
        {
            AppFixture app;
            TForm1& form = app.start();
            form.BUTTON_HIDEClick();
        }
        QCOMPARE(m_area.calls.last(), QString("remove"));
    }

    // A message box shown while the window sits in the notification area is
    // the only visible window; closing it must not end the run.
    void closingAMessageBoxWhileHiddenKeepsRunning() {
        AppFixture app;
        TForm1& form = app.start();
        form.show();
        platform::setDialogs(nullptr); // the real message box
        const int code = runLoop(
            [&] {
                form.BUTTON_HIDE->click();
                QTimer::singleShot(50, [] {
                    if (QWidget* box = QApplication::activeModalWidget())
                        box->close();
                });
                platform::dialogs().messageBox("Something to read", "Problem");
                QTimer::singleShot(300, [] { QApplication::exit(42); });
            },
            5000);
        platform::setDialogs(&app.dialogs);
        QCOMPARE(code, 42);
        QVERIFY(form.trayIconShown());
    }

    // Exit and Quit end the run without passing through the hide path; the
    // close box hides and then ends it.
    void endingTheRun_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("hides");
        QTest::newRow("File > Exit") << "exit" << false;
        QTest::newRow("tray Quit") << "quit" << false;
        QTest::newRow("close box") << "close" << true;
    }
    void endingTheRun() {
        QFETCH(QString, how);
        QFETCH(bool, hides);
        AppFixture app;
        TForm1& form = app.start();
        form.show();
        const int code = runLoop(
            [&] {
                if (how == "exit")
                    form.Exit1->trigger();
                else if (how == "quit")
                    form.SHORTCUT_QUIT->trigger();
                else
                    form.close();
            },
            5000);
        QCOMPARE(code, 0);
        QCOMPARE(m_area.calls.filter("add ").size(), hides ? 1 : 0);
    }
};

QTEST_MAIN(TestTray)
#include "test_tray_handlers.moc"
