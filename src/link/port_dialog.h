#pragma once
// "Select Port": the fixed list COM1..COM255, the current port, Apply and
// Cancel; beside them the serial adapters of this computer, kept up to date
// while the window is open, and "Use for COMn", which links a COMn of the
// settings folder to the chosen adapter and applies that port. Modeless, one
// instance for the run; closing only hides it.
#include "link/serial_adapters.h"
#include <QDialog>

class QFileSystemWatcher;
class QLabel;
class QListWidget;
class QPushButton;
class QTimer;
class QTreeWidget;
class TForm1;

class TForm6 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm6(TForm1& main);

    void FormCreate();
    void ApplyClick();
    void CancelClick();
    void UseForPortClick();
    // Looks at the adapters again and shows them, keeping the chosen one.
    void RefreshAdapters();
    // The tree that discovery looks at (tests give a fake one).
    void setDeviceTree(const bvlink::DeviceTree& tree);

    QListWidget* PortListBox = nullptr;
    QPushButton* Apply = nullptr;
    QPushButton* Cancel = nullptr;
    QLabel* Label1 = nullptr; // the current port
    QLabel* Label2 = nullptr;
    QTreeWidget* AdapterList = nullptr; // description, device, linked COMn
    QPushButton* UseForPort = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    const bvlink::Adapter* chosenAdapter() const;
    int selectedComNumber() const;
    void updateUseForPort();
    void watchDevices();
    void choose(const QString& portName, bool sameNameNewDevice);

    TForm1& m_main;
    bvlink::DeviceTree m_tree = bvlink::DeviceTree::system();
    bvlink::PortSurvey m_survey;
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer* m_refresh = nullptr; // folds a burst of changes into one look a second later
};
