// Hiding into the notification area, the icon's tip, and coming back.
#include "app/tform1.h"
#include "app_fixture.h"
#include "platform/notification_area.h"
#include <QAction>
#include <QPushButton>
#include <QTest>

namespace {

class RecordingArea : public platform::NotificationArea {
  public:
    void add(const QString& tip) override { calls << "add " + tip; }
    void setTip(const QString& tip) override { calls << "tip " + tip; }
    void remove() override { calls << "remove"; }
    void onClick(std::function<void(Click)> handler) override { click = std::move(handler); }
    QStringList calls;
    std::function<void(Click)> click;
};

} // namespace

class TestTray : public QObject {
    Q_OBJECT
    RecordingArea m_area;

  private slots:
    void init() {
        m_area = RecordingArea();
        platform::setNotificationArea(&m_area);
    }
    void cleanup() { platform::setNotificationArea(nullptr); }

    void hideAndOpen() {
        AppFixture app;
        TForm1& form = app.start();
        form.show();
        form.TrayIconSetTip("ignored while no icon is shown");
        QVERIFY(m_area.calls.isEmpty());

        form.BUTTON_HIDE->click();
        QVERIFY(!form.isVisible());
        QVERIFY(form.trayIconShown());
        QCOMPARE(m_area.calls, QStringList{"add Brenvale charting application, COM1"});

        form.TrayIconSetTip(QString(200, 'x'));
        QCOMPARE(m_area.calls.last(), "tip " + QString(127, 'x'));

        // A double-click shows the window; the icon stays until "Open".
        m_area.click(platform::NotificationArea::Click::DoubleLeft);
        QVERIFY(form.isVisible());
        QVERIFY(form.trayIconShown());

        form.SHORTCUT_OPEN->trigger();
        QVERIFY(form.isVisible());
        QVERIFY(!form.trayIconShown());
        QCOMPARE(m_area.calls.last(), QString("remove"));
    }

    void destructionRemovesAShownIcon() {
        {
            AppFixture app;
            TForm1& form = app.start();
            form.BUTTON_HIDEClick();
        }
        QCOMPARE(m_area.calls.last(), QString("remove"));
    }
};

QTEST_MAIN(TestTray)
#include "test_tray.moc"
