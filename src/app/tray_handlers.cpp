// Hiding into the desktop's notification area and coming back.
#include "app/tform1.h"
#include "platform/notification_area.h"
#include <QMenu>

void TForm1::TrayIconAdd(const QString& tip) {
    platform::NotificationArea& area = platform::notificationArea();
    area.onClick([this](platform::NotificationArea::Click) {
        if (isVisible()) {
            raise();
            activateWindow();
        } else {
            // The icon stays; only "Open" brings everything back.
            show();
        }
    });
    area.setMenu(PopupMenu1);
    area.add(tip.left(platform::kMaxTipLength));
}

void TForm1::TrayIconSetTip(const QString& tip) {
    if (trayIconShown())
        platform::notificationArea().setTip(tip.left(platform::kMaxTipLength));
}

void TForm1::TrayIconDelete() {
    platform::notificationArea().remove();
}

void TForm1::BUTTON_ADDTRAYICONClick() {
    TrayIconAdd("Brenvale charting application, " + COMPORT.text());
    BUTTON_ADDTRAYICON.setEnabled(false);
    BUTTON_DELETETRAYICON.setEnabled(true);
}

void TForm1::BUTTON_HIDEClick() {
    // Without a notification area a hidden window could not be reached again.
    if (!platform::notificationArea().available()) {
        showMinimized();
        return;
    }
    BUTTON_ADDTRAYICONClick();
    hide(); // a hidden main window has no task-bar button
}

void TForm1::SHORTCUT_OPENClick() {
    showNormal();
    raise();
    activateWindow();
    if (trayIconShown()) {
        TrayIconDelete();
        BUTTON_ADDTRAYICON.setEnabled(true);
        BUTTON_DELETETRAYICON.setEnabled(false);
    }
}

void TForm1::SHORTCUT_QUITClick() {
    Exit1Click();
}
