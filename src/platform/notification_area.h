#pragma once
// The door to the desktop's notification area: one icon with a tip and a
// pop-up menu. The program uses the desktop's tray; tests install a
// recording replacement. The shell's answers are not checked.
#include <QString>
#include <functional>

class QIcon;
class QMenu;

namespace platform {

class NotificationArea {
  public:
    // A single click (the "Trigger" that StatusNotifierItem hosts send) and a
    // double-click both ask for the window.
    enum class Click { Single, Double };
    virtual ~NotificationArea() = default;
    // False on a desktop without a notification area.
    virtual bool available() const = 0;
    virtual void add(const QString& tip) = 0;
    virtual void setTip(const QString& tip) = 0;
    virtual void remove() = 0;
    // Clicks on the icon go to this handler.
    virtual void onClick(std::function<void(Click)> handler) = 0;
    // The icon's own context menu, opened by the desktop.
    virtual void setMenu(QMenu* menu) = 0;
};

NotificationArea& notificationArea();
void setNotificationArea(NotificationArea* area); // nullptr restores the desktop's

// The longest tip the shell shows; the program cuts longer tips.
constexpr int kMaxTipLength = 127;

// The program's icon (a thermometer over a chart), for windows and the tray.
QIcon programIcon();

} // namespace platform
