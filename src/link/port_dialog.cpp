#include "link/port_dialog.h"
#include "app/tform1.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

TForm6::TForm6(TForm1& main) : QDialog(&main), m_main(main) {
    setWindowTitle("Select Port");
    setFixedSize(200, 188);
    setModal(false);

    PortListBox = new QListWidget(this);
    PortListBox->setGeometry(8, 8, 90, 172);
    for (int n = 1; n <= 255; ++n)
        PortListBox->addItem(QString("COM%1").arg(n));

    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setGeometry(106, 8, 86, 56);
    Label2 = new QLabel("Current Port", panel);
    Label2->setGeometry(6, 6, 76, 16);
    Label1 = new QLabel("COM???", panel);
    Label1->setGeometry(6, 28, 76, 20);
    Label1->setStyleSheet("color: red; font-weight: bold;");

    Apply = new QPushButton("Apply", this);
    Apply->setGeometry(114, 116, 72, 26);
    Cancel = new QPushButton("Cancel", this);
    Cancel->setGeometry(114, 150, 72, 26);
    connect(Apply, &QPushButton::clicked, this,
            [this] { platform::runGuarded([this] { ApplyClick(); }); });
    connect(Cancel, &QPushButton::clicked, this, &TForm6::CancelClick);
    FormCreate();
}

void TForm6::FormCreate() {
    Label1->setText(m_main.PortName());
}

void TForm6::ApplyClick() {
    const QListWidgetItem* item = PortListBox->currentItem();
    if (!item || !item->isSelected()) {
        platform::dialogs().messageBox("Please select a port from the list", "Problem");
        return;
    }
    m_main.SetPort(item->text());
    Label1->setText(m_main.PortName());
    hide();
}

void TForm6::CancelClick() {
    hide();
}
