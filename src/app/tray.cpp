// Hiding into the desktop's notification area and coming back.
#include "platform/notification_area.h"
#include "app/tform1.h"
#include <QApplication>
#include <QCursor>
#include <QMenu>

void TForm1::TrayIconAdd(const QString& tip) {
    platform::NotificationArea& area = platform::notificationArea();
    area.onClick([this](platform::NotificationArea::Click click) {
        if (click == platform::NotificationArea::Click::Right) {
            PopupMenu1->popup(QCursor::pos());
        } else if (isVisible()) {
            raise();
            activateWindow();
        } else {
            // The icon stays; only "Open" brings everything back.
            show();
        }
    });
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
    BUTTON_ADDTRAYICONClick();
    hide(); // a hidden main window has no task-bar button
}

void TForm1::SHORTCUT_OPENClick() {
    show();
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
