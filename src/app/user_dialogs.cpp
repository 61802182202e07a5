#include "app/user_dialogs.h"
#include "app/settings_files.h"
#include "app/tform1.h"
#include "app/version.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/formatting.h"
#include "platform/guard.h"
#include <QAction>
#include <QFont>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About Brenvale(tm)");
    auto* layout = new QVBoxLayout(this);
    for (const QString& line :
         {QString("Brenvale(tm) charting application"), "Version " + app::versionNumber(),
          QString("Temperature and RH data loggers")}) {
        auto* label = new QLabel(line, this);
        label->setAlignment(Qt::AlignCenter);
        layout->addWidget(label);
    }
    Button1 = new QPushButton("OK", this);
    layout->addWidget(Button1, 0, Qt::AlignCenter);
    connect(Button1, &QPushButton::clicked, this, &QDialog::close);
    // The box's own size, grown when the font needs more.
    resize(QSize(221, 187).expandedTo(sizeHint()));
}

QPoint centredIn(const QRect& area, const QSize& frame) {
    return QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, frame, area).topLeft();
}

void TForm3::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A dialog with a parent opens over it; this one belongs in the middle
    // of the screen the main window is on. The window system's own shows
    // (a restore) leave it where it is.
    if (!event->spontaneous())
        move(centredIn(screen()->availableGeometry(), frameGeometry().size()));
}

UserInfoDialog::UserInfoDialog(TForm1& main, const QString& caption, const QString& confirmText,
                               QSize clientSize)
    : QDialog(&main), m_main(main) {
    setWindowTitle(caption);
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    UserInfo = new QLineEdit(this);
    UserLocation = new QLineEdit(this);
    BVInfo = new QLineEdit(this);
    for (QLineEdit* edit : {UserInfo, UserLocation, BVInfo})
        edit->setFixedWidth(225);
    form->addRow("User Name:", UserInfo);
    form->addRow("User Location:", UserLocation);
    form->addRow("Brenvale ID:", BVInfo);
    layout->addLayout(form);
    auto* buttons = new QHBoxLayout;
    Button1 = new QPushButton(confirmText, this);
    Button2 = new QPushButton("Cancel", this);
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    layout->addLayout(buttons);
    connect(Button2, &QPushButton::clicked, this, &QDialog::close);
    resize(clientSize.expandedTo(sizeHint()));
}

void UserInfoDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Only the program's own show refills the edits; the window system's
    // (a workspace switch, a restore) keeps what the user has typed.
    if (!event->spontaneous())
        FormShow();
}

void UserInfoDialog::FormShow() {
    const QString& text = m_main.UserInformationBox.text();
    if (text.isEmpty())
        return;
    const auto values = app::parseUserInfo(text);
    UserInfo->setText(values[0]);
    UserLocation->setText(values[1]);
    BVInfo->setText(values[2]);
}

void UserInfoDialog::storeValues() {
    const QString version = app::versionFromCaption(m_main.windowTitle());
    for (QLineEdit* edit : {UserInfo, UserLocation, BVInfo})
        edit->setText(edit->text().remove('~'));
    m_main.UserInformationBox.setText(
        app::buildUserInfo(UserInfo->text(), UserLocation->text(), BVInfo->text(), version));
    app::writeText(m_main.settingsPath("USERINFO.DAT"), m_main.UserInformationBox.text());
}

TForm4::TForm4(TForm1& main) : UserInfoDialog(main, "User Information", "OK", QSize(357, 192)) {
    connect(Button1, &QPushButton::clicked, this,
            [this] { platform::runGuarded([this] { Button1Click(); }); });
}

void TForm4::Button1Click() {
    storeValues();
    close();
}

TForm5::TForm5(TForm1& main)
    : UserInfoDialog(main, "Please Verify Information ", "Continue", QSize(376, 187)) {
    QFont bold = Button1->font();
    bold.setBold(true);
    Button1->setFont(bold);
    connect(Button1, &QPushButton::clicked, this,
            [this] { platform::runGuarded([this] { Button1Click(); }); });
}

FileOutcome TForm5::Button1Click() {
    storeValues();
    const FileOutcome outcome =
        m_main.AutoOff->isChecked() ? m_main.SaveDataFile() : nameAutoFile();
    close();
    return outcome;
}

// An interval was just chosen: name the file the automatic downloads write.
FileOutcome TForm5::nameAutoFile() {
    if (m_main.ExecuteSaveDialog1()) {
        m_main.SetAutoClock(platform::now());
        m_main.TextForNextAuto.setVisible(true);
        m_main.AutoClock.setVisible(true);
        return FileOutcome::Done;
    }
    m_main.TextForNextAuto.setVisible(false);
    m_main.AutoClock.setVisible(false);
    m_main.AutoOff->setChecked(true);
    m_main.Edit2.clear();
    m_main.InitAutoload.setChecked(false);
    return FileOutcome::Cancelled;
}
