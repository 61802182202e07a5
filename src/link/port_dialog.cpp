#include "link/port_dialog.h"
#include "app/tform1.h"
#include "link/port_names.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kById = "/dev/serial/by-id";

} // namespace

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

    AdapterList = new QTreeWidget;
    AdapterList->setHeaderLabels({"Adapter", "Device", "Port"});
    AdapterList->setRootIsDecorated(false);
    AdapterList->setSelectionMode(QAbstractItemView::SingleSelection);
    // The description takes the room left; the device and the port keep theirs.
    AdapterList->header()->setStretchLastSection(false);
    AdapterList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    AdapterList->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    AdapterList->setMinimumWidth(AdapterList->fontMetrics().horizontalAdvance(
        "FTDI FT232R USB UART, serial A1B2C3  /dev/ttyUSB10  COM255"));
    UseForPort = new QPushButton("Use for COMn");
    auto* adapters = new QGroupBox("Adapters on this computer");
    auto* adapterLayout = new QVBoxLayout(adapters);
    adapterLayout->addWidget(AdapterList, 1);
    auto* useRow = new QHBoxLayout;
    useRow->addStretch();
    useRow->addWidget(UseForPort);
    adapterLayout->addLayout(useRow);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(PortListBox);
    layout->addLayout(right);
    layout->addWidget(adapters, 1);
    resize(QSize(200, 188).expandedTo(sizeHint()));

    m_watcher = new QFileSystemWatcher(this);
    m_refresh = new QTimer(this);
    m_refresh->setSingleShot(true);
    m_refresh->setInterval(1000);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (!m_refresh->isActive())
            m_refresh->start();
    });
    connect(m_refresh, &QTimer::timeout, this, [this] {
        if (isVisible())
            RefreshAdapters();
    });
    connect(Apply, &QPushButton::clicked, this,
            [this] { platform::runGuarded([this] { ApplyClick(); }); });
    connect(Cancel, &QPushButton::clicked, this, &TForm6::CancelClick);
    connect(UseForPort, &QPushButton::clicked, this,
            [this] { platform::runGuarded([this] { UseForPortClick(); }); });
    connect(PortListBox, &QListWidget::itemSelectionChanged, this, &TForm6::updateUseForPort);
    connect(AdapterList, &QTreeWidget::itemSelectionChanged, this, &TForm6::updateUseForPort);
    FormCreate();
    updateUseForPort();
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
    choose(item->text(), false);
}

void TForm6::CancelClick() {
    hide();
}

void TForm6::UseForPortClick() {
    const bvlink::Adapter* adapter = chosenAdapter();
    if (!adapter) {
        platform::dialogs().messageBox("Please select an adapter from the list", "Problem");
        return;
    }
    const int number = bvlink::portForAdapter(selectedComNumber(), *adapter, m_survey.links);
    if (number == 0) {
        platform::dialogs().messageBox("Please select a port from the list", "Problem");
        return;
    }
    const bvlink::LinkOutcome outcome =
        bvlink::linkComPort(m_main.ThisAppDir.text(), number, m_tree.hostPath(adapter->stableName));
    if (outcome.kind != bvlink::LinkOutcome::Linked) {
        platform::dialogs().messageBox(bvlink::linkFailureText(outcome), "Problem");
        return;
    }
    const QString name = "COM" + QString::number(number);
    choose(name, m_main.PortName() == name);
    RefreshAdapters();
}

void TForm6::choose(const QString& portName, bool sameNameNewDevice) {
    const QString before = m_main.COMPORT.text();
    m_main.SetPort(portName);
    // The setting did not change, so nothing reopened the port; it now leads
    // to another device, which must be the one in use.
    if (sameNameNewDevice && m_main.COMPORT.text() == before)
        m_main.COMPORTChange();
    Label1->setText(m_main.PortName());
    hide();
}

void TForm6::RefreshAdapters() {
    const bvlink::Adapter* chosen = chosenAdapter();
    const QString keep = chosen ? chosen->stableName : QString();
    m_survey = bvlink::surveyPorts(m_tree, m_main.ThisAppDir.text());
    AdapterList->clear();
    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    for (const bvlink::Adapter& adapter : m_survey.adapters) {
        auto* row = new QTreeWidgetItem(
            AdapterList, {bvlink::describe(adapter),
                          adapter.node.isEmpty() ? bvlink::stateWord(adapter.state) : adapter.node,
                          adapter.linkedPort});
        row->setToolTip(0, adapter.stableName);
        if (adapter.state != bvlink::OpenError::None) {
            row->setIcon(0, warning);
            row->setToolTip(0, adapter.stableName + "\n" +
                                   bvlink::openFailureReason({.reason = adapter.state}));
        }
        if (adapter.stableName == keep)
            row->setSelected(true);
    }
    watchDevices();
    updateUseForPort();
}

void TForm6::setDeviceTree(const bvlink::DeviceTree& tree) {
    m_tree = tree;
    if (isVisible())
        RefreshAdapters();
}

void TForm6::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    RefreshAdapters();
}

const bvlink::Adapter* TForm6::chosenAdapter() const {
    const QList<QTreeWidgetItem*> selected = AdapterList->selectedItems();
    if (selected.isEmpty())
        return nullptr;
    const int row = AdapterList->indexOfTopLevelItem(selected.first());
    return row >= 0 && row < static_cast<int>(m_survey.adapters.size())
               ? &m_survey.adapters[static_cast<size_t>(row)]
               : nullptr;
}

int TForm6::selectedComNumber() const {
    const QListWidgetItem* item = PortListBox->currentItem();
    return item && item->isSelected() ? bvlink::comNumber(item->text()) : 0;
}

void TForm6::updateUseForPort() {
    const bvlink::Adapter* adapter = chosenAdapter();
    const int number =
        adapter ? bvlink::portForAdapter(selectedComNumber(), *adapter, m_survey.links) : 0;
    UseForPort->setEnabled(number > 0);
    UseForPort->setText(number > 0 ? QString("Use for COM%1").arg(number) : "Use for COMn");
}

// Plugging an adapter in or out changes /dev, and /dev/serial/by-id when
// that exists (it comes and goes with the first and last USB adapter).
void TForm6::watchDevices() {
    const QStringList wanted = {m_tree.hostPath("/dev"), m_tree.hostPath(kById)};
    QStringList present;
    for (const QString& path : wanted)
        if (QFileInfo(path).isDir())
            present << path;
    const QStringList watched = m_watcher->directories();
    if (watched == present)
        return;
    if (!watched.isEmpty())
        m_watcher->removePaths(watched);
    m_watcher->addPaths(present);
}
