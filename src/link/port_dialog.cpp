#include "link/port_dialog.h"
#include "app/tform1.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TForm6::TForm6(TForm1& main) : QDialog(&main), m_main(main) {
    setWindowTitle("Select Port");
    setModal(false);

    PortListBox = new QListWidget;
    for (int n = 1; n <= 255; ++n)
        PortListBox->addItem(QString("COM%1").arg(n));
    PortListBox->setMinimumWidth(PortListBox->fontMetrics().horizontalAdvance("COM255") +
                                 PortListBox->style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                                 16);

    auto* panel = new QFrame;
    panel->setFrameShape(QFrame::Panel);
    auto* current = new QVBoxLayout(panel);
    Label2 = new QLabel("Current Port");
    Label1 = new QLabel("COM???");
    Label1->setStyleSheet("color: red; font-weight: bold;");
    current->addWidget(Label2);
    current->addWidget(Label1);

    Apply = new QPushButton("Apply");
    Cancel = new QPushButton("Cancel");
    auto* right = new QVBoxLayout;
    right->addWidget(panel);
    right->addStretch();
    right->addWidget(Apply);
    right->addWidget(Cancel);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(PortListBox, 1);
    layout->addLayout(right);
    resize(QSize(200, 188).expandedTo(sizeHint()));

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
