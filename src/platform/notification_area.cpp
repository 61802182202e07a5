#include "platform/notification_area.h"
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>

namespace platform {
namespace {

class DesktopTray : public NotificationArea {
  public:
    bool available() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }
    void add(const QString& tip) override {
        icon().setToolTip(tip);
        icon().show();
    }
    void setTip(const QString& tip) override { icon().setToolTip(tip); }
    void remove() override {
        if (m_icon)
            m_icon->hide();
    }
    void onClick(std::function<void(Click)> handler) override { m_handler = std::move(handler); }
    void setMenu(QMenu* menu) override { icon().setContextMenu(menu); }

  private:
    // Created on first use: the application object must exist by then.
    QSystemTrayIcon& icon() {
        if (!m_icon) {
            // Owned by the application, so it goes before the application does.
            m_icon = new QSystemTrayIcon(programIcon(), qApp);
            QObject::connect(m_icon, &QSystemTrayIcon::activated,
                             [this](QSystemTrayIcon::ActivationReason reason) {
                                 if (!m_handler)
                                     return;
                                 if (reason == QSystemTrayIcon::Trigger)
                                     m_handler(Click::Single);
                                 else if (reason == QSystemTrayIcon::DoubleClick)
                                     m_handler(Click::Double);
                             });
        }
        return *m_icon;
    }
    QPointer<QSystemTrayIcon> m_icon;
    std::function<void(Click)> m_handler;
};

DesktopTray g_desktop;
NotificationArea* g_area = &g_desktop;

} // namespace

NotificationArea& notificationArea() {
    return *g_area;
}

void setNotificationArea(NotificationArea* area) {
    g_area = area ? area : &g_desktop;
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {32, 64, 256})
        icon.addFile(QString(":/icons/brenvale-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace platform
