#include "app/tform1.h"
#include "app/date_formats.h"
#include "app/radio_group.h"
#include "app/settings_files.h"
#include "app/user_dialogs.h"
#include "chart/axis_preferences.h"
#include "chart/chart.h"
#include "link/diagnostics_view.h"
#include "link/link_state.h"
#include "platform/dialogs.h"
#include "platform/formatting.h"
#include "platform/guard.h"
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateEdit>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimeEdit>

namespace {

// Runs a handler from a user event through the platform's error path.
template <typename Object, typename Handler> auto guarded(Object* object, Handler handler) {
    return [object, handler] { platform::runGuarded([&] { (object->*handler)(); }); };
}

QLabel* addLabel(QWidget* parent, const QString& text, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->move(x, y);
    return label;
}

} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent), link(std::make_unique<LinkState>()) {
    setWindowTitle("Brenvale(tm) - Version 5.2.1");
    for (int i = 0; i < 10; ++i)
        StaticText[i] = std::make_unique<StateControl>(QString("StaticText%1").arg(i + 1));
    BUTTON_DELETETRAYICON.setEnabled(false);
    buildLayout();
    buildMenus();
    connectHandlers();
}

TForm1::~TForm1() {
    platform::runGuarded([this] {
        ClearBuffer();
        ClosePort();
    });
    if (trayIconShown())
        TrayIconDelete();
}

void TForm1::setDialogs(TForm3* about, TForm4* userInfo, TForm5* verify, TForm6* port) {
    m_about = about;
    m_userInfo = userInfo;
    m_verify = verify;
    m_port = port;
}

QString TForm1::settingsPath(const QString& fileName) const {
    return ThisAppDir.text() + "/" + fileName;
}

void TForm1::buildLayout() {
    auto* central = new QWidget(this);
    central->setFixedSize(797, 590);
    setCentralWidget(central);

    Chart1 = new Chart(central);
    Chart1->setGeometry(-8, 0, 801, 419);
    m_diagnostics = new DiagnosticsView(*this, central);
    m_diagnostics->setGeometry(0, 0, 797, 419);
    m_diagnostics->hide();

    auto* upload = new QGroupBox("Upload information", central);
    upload->setGeometry(4, 422, 420, 138);
    upload->setStyleSheet("QGroupBox { background: silver; }");
    upload_range_group =
        new RadioGroup({"All data", "Last month", "Last week", "Custom"}, 4, upload);
    upload_range_group->setGeometry(6, 16, 408, 28);
    upload_range_group->setItemIndex(0);
    addLabel(upload, "Start Date/Time", 8, 48);
    addLabel(upload, "End Date/Time", 168, 48);
    Startdate = new QDateEdit(upload);
    Startdate->setGeometry(8, 64, 86, 22);
    Starttime = new QTimeEdit(upload);
    Starttime->setGeometry(96, 64, 68, 22);
    Enddate = new QDateEdit(upload);
    Enddate->setGeometry(168, 64, 86, 22);
    Endtime = new QTimeEdit(upload);
    Endtime->setGeometry(256, 64, 68, 22);
    Starttime->setDisplayFormat("HH:mm:ss");
    Endtime->setDisplayFormat("HH:mm:ss");
    const QDateTime start = platform::toQDateTime(platform::now());
    for (QDateEdit* date : {Startdate, Enddate}) {
        date->setDate(start.date());
        date->setEnabled(false);
    }
    for (QTimeEdit* time : {Starttime, Endtime}) {
        time->setTime(start.time());
        time->setEnabled(false);
    }
    RadioButton1 = new QRadioButton("Channel 1", upload);
    RadioButton1->setGeometry(330, 48, 84, 20);
    RadioButton1->setChecked(true);
    RadioButton2 = new QRadioButton("Channel 2", upload);
    RadioButton2->setGeometry(330, 68, 84, 20);
    UploadData = new QPushButton("Upload Data", upload);
    UploadData->setGeometry(8, 96, 120, 30);
    AbortUpload = new QPushButton("Abort Upload", upload);
    AbortUpload->setGeometry(136, 96, 120, 30);
    AbortUpload->setEnabled(false);

    auto* prefs = new QGroupBox("Chart Preferences", central);
    prefs->setGeometry(430, 422, 200, 138);
    prefs->setStyleSheet("QGroupBox { background: silver; }");
    TempInF = new QCheckBox("Show Temp in F", prefs);
    TempInF->setGeometry(8, 18, 180, 20);
    TempInF->setChecked(true);
    AutoScale = new QCheckBox("Auto Scale", prefs);
    AutoScale->setGeometry(8, 40, 180, 20);
    AutoScale->setChecked(true);
    MaxTemp = new QLineEdit("100", prefs);
    MaxTemp->setGeometry(8, 66, 60, 22);
    addLabel(prefs, "Max Temp", 74, 70);
    MinTemp = new QLineEdit("0", prefs);
    MinTemp->setGeometry(8, 94, 60, 22);
    addLabel(prefs, "Min Temp", 74, 98);
    MaxTemp->setEnabled(false);
    MinTemp->setEnabled(false);

    SecureData = new QLabel(" Secure Data ", central);
    SecureData->setGeometry(640, 430, 80, 18);
    SecureData->setStyleSheet("background: red; color: white;");
    SecureData->hide();
    LockImage = new QLabel(central);
    LockImage->setGeometry(724, 432, 14, 15);
    LockImage->setStyleSheet("background: goldenrod; border: 1px solid black;");
    LockImage->hide();
    BUTTON_HIDE = new QPushButton("Hide", central);
    BUTTON_HIDE->setGeometry(640, 452, 60, 24);

    const char* help[] = {"TO ZOOM: Click left mouse and hold", "top left and drag to lower right",
                          "TO UN-ZOOM: Click left mouse, drag", "to top left and release",
                          "TO PAN: Click right mouse button",   "and drag left/right"};
    for (int i = 0; i < 6; ++i) {
        QLabel* label = addLabel(central, help[i], 636, 480 + i * 14);
        QFont small = label->font();
        small.setPixelSize(10);
        label->setFont(small);
    }

    addLabel(central, "Status", 8, 568);
    StatusEdit = new QLineEdit(central);
    StatusEdit->setGeometry(48, 564, 457, 22);
    StatusEdit->setEnabled(false);
    StatusEdit->setStyleSheet("background: palette(button);");

    adjustSize();
    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TForm1::buildMenus() {
    QMenu* file = menuBar()->addMenu("File");
    LoadChart1 = file->addAction("Load Chart");
    LoadChart1->setShortcut(QKeySequence("Ctrl+O"));
    SaveChart1 = file->addAction("Save Chart");
    SaveChart1->setShortcut(QKeySequence("Ctrl+S"));
    NewClear1 = file->addAction("New/Clear");
    NewClear1->setShortcut(QKeySequence("Ctrl+N"));
    PrintChart1 = file->addAction("Print Chart");
    PrintChart1->setShortcut(QKeySequence("Ctrl+P"));
    Exit1 = file->addAction("Exit");

    QMenu* setup = menuBar()->addMenu("Setup");
    COMM = setup->addAction("Port");
    AutoDownloads1 = setup->addMenu("Auto Download");
    C1 = AutoDownloads1->addAction("Channel 1");
    C2 = AutoDownloads1->addAction("Channel 2");
    for (QAction* channel : {C1, C2}) {
        channel->setCheckable(true);
        channel->setChecked(true);
    }
    AutoDownloads1->addSeparator();
    auto* intervals = new QActionGroup(this);
    QAction** items[] = {&AutoOff,   &Auto1hour, &Auto4hours, &Auto8hrs,
                         &Auto24hrs, &Auto7day,  &Auto30day};
    const char* captions[] = {"Off",      "1 hour", "4 hours", "8 hours",
                              "24 hours", "7 days", "30 days"};
    for (int i = 0; i < 7; ++i) {
        *items[i] = AutoDownloads1->addAction(captions[i]);
        (*items[i])->setCheckable(true);
        intervals->addAction(*items[i]);
    }
    AutoOff->setChecked(true);

    DateFormat1 = setup->addMenu("Date Format");
    auto* formats = new QActionGroup(this);
    for (int i = 0; i < 8; ++i) {
        // The fifth item starts the second column.
        if (i == 4)
            DateFormat1->addSeparator();
        DateFormatItems[i] = DateFormat1->addAction(dateformats::kFormats[i]);
        DateFormatItems[i]->setCheckable(true);
        formats->addAction(DateFormatItems[i]);
    }
    DateFormatItems[0]->setChecked(true);
    UserInformation1 = setup->addAction("Edit User Information");

    QMenu* help = menuBar()->addMenu("Help");
    About1 = help->addAction("About");
    FAQ1 = help->addAction("FAQ");
    FAQ1->setEnabled(false);
    Upgrade1 = help->addAction("Upgrade BV unit");
    Upgrade1->setEnabled(false);
    DiagnosticsMode1 = help->addAction("Diagnostics Mode");

    PopupMenu1 = new QMenu(this);
    SHORTCUT_OPEN = PopupMenu1->addAction("Open");
    PopupMenu1->addSeparator();
    SHORTCUT_QUIT = PopupMenu1->addAction("Quit");
    DiagnosticsMode1->setCheckable(true);
}

void TForm1::connectHandlers() {
    COMPORT.setHandler([this] { COMPORTChange(); });
    Memo1.setHandler([this] { Memo1Change(); });
    Memo2.setHandler([this] { Memo2Change(); });
    Memo5.setHandler([this] { Memo5Change(); });
    Startloadingheader.setHandler([this] { StartloadingheaderClick(); });
    Startloadingdata.setHandler([this] { StartloadingdataClick(); });
    Errorindata.setHandler([this] { ErrorindataClick(); });
    InitAutoload.setHandler([this] { InitAutoloadClick(); });
    DataLoaded.setHandler([this] { DataLoadedClick(); });
    RHBV.setHandler([this] { RHBVClick(); });
    Samplesperhour.setHandler([this] { UpdateFooter(); }); // SamplesperhourChange
    Datastored.setHandler([this] { UpdateFooter(); });     // DatastoredChange

    connect(&Edit1, &StateControl::valueChanged, this, [this] {
        StatusEdit->setText(Edit1.text());
        if (!Edit1.text().isEmpty())
            platform::echoMessage(Edit1.text());
    });

    connect(LoadChart1, &QAction::triggered, this, guarded(this, &TForm1::LoaddataClick));
    connect(SaveChart1, &QAction::triggered, this, guarded(this, &TForm1::SavedataClick));
    connect(NewClear1, &QAction::triggered, this, guarded(this, &TForm1::NewClear1Click));
    connect(PrintChart1, &QAction::triggered, this, guarded(this, &TForm1::Button1Click));
    connect(Exit1, &QAction::triggered, this, guarded(this, &TForm1::Exit1Click));
    connect(COMM, &QAction::triggered, this, guarded(this, &TForm1::COMMClick));
    connect(UserInformation1, &QAction::triggered, this,
            guarded(this, &TForm1::UserInformation1Click));
    connect(About1, &QAction::triggered, this, guarded(this, &TForm1::AboutClick));
    connect(DiagnosticsMode1, &QAction::triggered, this,
            guarded(this, &TForm1::DiagnosticsMode1Click));
    connect(BUTTON_HIDE, &QPushButton::clicked, this, guarded(this, &TForm1::BUTTON_HIDEClick));
    connect(SHORTCUT_OPEN, &QAction::triggered, this, guarded(this, &TForm1::SHORTCUT_OPENClick));
    connect(SHORTCUT_QUIT, &QAction::triggered, this, guarded(this, &TForm1::SHORTCUT_QUITClick));
    connect(AutoOff, &QAction::toggled, this,
            [this](bool checked) { AutoOffCheckedMirror.store(checked); });
    for (int i = 0; i < 8; ++i)
        connect(DateFormatItems[i], &QAction::triggered, this,
                [this, i] { platform::runGuarded([&] { DateFormatItemClick(i); }); });

    // Exactly one channel is selected: a click or key on the checked one keeps it.
    auto* channels = new QButtonGroup(this);
    channels->addButton(RadioButton1);
    channels->addButton(RadioButton2);
    upload_range_group->setHandler([this] { upload_range_groupClick(); });
    connect(UploadData, &QPushButton::clicked, this, guarded(this, &TForm1::UploadDataClick));
    connect(AbortUpload, &QPushButton::clicked, this, guarded(this, &TForm1::AbortUploadClick));
    connect(RadioButton1, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            platform::runGuarded([this] { RadioButton1Click(); });
    });
    connect(RadioButton2, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            platform::runGuarded([this] { RadioButton2Click(); });
    });
    connect(TempInF, &QCheckBox::toggled, this, guarded(this, &TForm1::TempInFClick));
    connect(AutoScale, &QCheckBox::toggled, this, guarded(this, &TForm1::AutoScaleClick));
    for (QLineEdit* limit : {MaxTemp, MinTemp})
        limit->setValidator(temperatureLimitValidator(limit));
    connect(MaxTemp, &QLineEdit::textChanged, this, guarded(this, &TForm1::MaxTempExit));
    connect(MinTemp, &QLineEdit::textChanged, this, guarded(this, &TForm1::MaxTempExit));
    connect(Chart1, &Chart::zoomed, this, guarded(this, &TForm1::Chart1Zoom));
    connect(Chart1, &Chart::scrolled, this, guarded(this, &TForm1::Chart1Scroll));
    connect(MaxTemp, &QLineEdit::editingFinished, this, guarded(this, &TForm1::MaxTempExit));
    connect(MinTemp, &QLineEdit::editingFinished, this, guarded(this, &TForm1::MinTempExit));
}

void TForm1::FormCreate(const QString& argument) {
    ThisAppDir.setText(QDir::currentPath());
    store.BaseCaption = windowTitle();
    store.ChannelLabel.clear();
    // The setting passes through COM1 on its way to the stored one, but only
    // the port that start-up ends with is opened.
    COMPORT.setHandler({});
    COMPORT.setText("COM1");
    DATEFORMAT.setText("mm/dd/yyyy hh:mm:ss");
    FreshData.setChecked(true);
    FileEncryptFlag.setChecked(false);
    UserInformationBox.clear();
    store.SoftwareVersion.clear();
    store.UserName.clear();
    store.UserLocation.clear();
    store.UnitId.clear();
    SecureData->hide();
    LockImage->hide();
    if (const auto port = settings::readText(settingsPath("COMPORT.DAT")))
        COMPORT.setText(*port);
    COMPORT.setHandler([this] { COMPORTChange(); });
    COMPORTChange();
    // Editors end the file with a line break; it is no part of the format.
    if (const auto format = settings::readText(settingsPath("DATEFMT.DAT")))
        DATEFORMAT.setText(format->trimmed());
    SyncDateFormatMenu();
    setLeftAxisLimits(platform::strToFloat(MinTemp->text()), platform::strToFloat(MaxTemp->text()));
    ClearBuffer();
    UpdateFooter();
    Samplesperhour.setText("240");
    if (!argument.isEmpty())
        LoadDataFile(argument);
    AutoClock.setText(platform::dateTimeToStr(platform::now()));
    Watchdog.setValue(platform::now());
}

void TForm1::ClearBuffer() {
    Edit1.setText("Initializing...");
    repaintStatus();
    clearSeries(1);
    platform::pause(500);
    clearSeries(2);
    platform::pause(500);
    // New data start unzoomed.
    Chart1->undoZoom();

    store.HexDigitsPerValue = 0;
    store.RHDigitsPerValue = 0;
    store.BlockSampleCount = 0;
    for (int ch = 0; ch < 2; ++ch) {
        store.CalValueA[ch] = store.CalValueB[ch] = 0;
        store.StoredPerHour[ch] = store.SampledPerHour[ch] = 0;
        for (QString* text :
             {&store.CalCodeA[ch], &store.CalCodeB[ch], &store.ChannelText[ch],
              &store.StoredModeText[ch], &store.LastDateText[ch], &store.LastTimeText[ch],
              &store.FirstDateText[ch], &store.FirstTimeText[ch]})
            text->clear();
    }

    Memo1.clear();
    Memo2.clear();
    Memo3.clear();
    Memo5.clear();
    Edit1.clear();

    for (FlagControl* flag : {&Headerloaded, &Errorindata, &Startloadingdata, &Startloadingheader,
                              &Readyfornextblock, &WaitingForAck})
        flag->setChecked(false);

    if (AbortUpload->isEnabled())
        UploadData->setEnabled(true);
    AbortUpload->setEnabled(false);
    RadioButton1->setEnabled(true);
    RadioButton2->setEnabled(true);

    store.clearLists();
    RHBV.setChecked(false);
    Samplesperhour.setText("240");
    Watchdog.setValue(platform::now());
    FreshData.setChecked(true);
    FileEncryptFlag.setChecked(false);
    WaitOnFastAck.setChecked(false);
    FastBaud.setChecked(false);
    // Neither the verified duplicate nor the file named in the caption is
    // shown any longer.
    SecureData->hide();
    LockImage->hide();
    setWindowTitle(store.BaseCaption);

    if (const auto info = settings::readText(settingsPath("USERINFO.DAT"))) {
        UserInformationBox.setText(*info);
        const auto values = settings::parseUserInfo(*info);
        store.UserName = values[0];
        store.UserLocation = values[1];
        store.UnitId = values[2];
        store.SoftwareVersion = values[3];
    } else {
        store.UserName.clear();
        store.UserLocation.clear();
        store.UnitId.clear();
        store.SoftwareVersion.clear();
    }

    addNoDataPlaceholder(1);
    addNoDataPlaceholder(2);
}

void TForm1::NewClear1Click() {
    ClearBuffer();
}

void TForm1::Exit1Click() {
    QApplication::quit();
}

void TForm1::AboutClick() {
    if (m_about)
        m_about->show();
}

void TForm1::UserInformation1Click() {
    if (m_userInfo)
        m_userInfo->show();
}

void TForm1::RadioButton1Click() {
    RadioButton2->setChecked(false);
}

void TForm1::RadioButton2Click() {
    RadioButton1->setChecked(false);
}

void TForm1::ErrorindataClick() {
    // Any error ends an automatic download attempt.
    InitAutoload.setChecked(false);
}

bool TForm1::channel1Selected() const {
    return RadioButton1->isChecked();
}

void TForm1::setUploadButtonsIdle() {
    UploadData->setEnabled(true);
    AbortUpload->setEnabled(false);
    RadioButton1->setEnabled(true);
    RadioButton2->setEnabled(true);
}

void TForm1::setUploadButtonsBusy() {
    UploadData->setEnabled(false);
    AbortUpload->setEnabled(true);
    RadioButton1->setEnabled(false);
    RadioButton2->setEnabled(false);
}

void TForm1::repaintStatus() {
    StatusEdit->repaint();
}

void TForm1::SyncDateFormatMenu() {
    for (int item : dateformats::kSyncOrder)
        if (DATEFORMAT.text() == dateformats::kFormats[item])
            DateFormatItems[item]->setChecked(true);
    setBottomAxisFormat(DATEFORMAT.text());
}

void TForm1::DateFormatItemClick(int item) {
    DATEFORMAT.setText(dateformats::kFormats[item]);
    settings::writeText(settingsPath("DATEFMT.DAT"), DATEFORMAT.text());
    setBottomAxisFormat(dateformats::kFormats[item]);
}

void TForm1::closeEvent(QCloseEvent* event) {
    // FormClose: hide into the notification area, then closing the main window
    // ends the program (its destruction removes the icon again).
    platform::runGuarded([this] { BUTTON_HIDEClick(); });
    event->accept();
    QApplication::quit();
}
