#include "app/tform1.h"
#include "app/date_formats.h"
#include "app/radio_group.h"
#include "app/settings_files.h"
#include "app/user_dialogs.h"
#include "app/version.h"
#include "chart/chart.h"
#include "files/save_journal.h"
#include "link/diagnostics_view.h"
#include "link/link_state.h"
#include "platform/dialogs.h"
#include "platform/formatting.h"
#include "platform/guard.h"
#include "platform/notification_area.h"
#include <QAction>
#include <QActionGroup>
#include <QApplication>
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
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimeEdit>
#include <algorithm>

namespace {

// Runs a handler from a user event through the platform's error path.
template <typename Object, typename Handler> auto guarded(Object* object, Handler handler) {
    return [object, handler] { platform::runGuarded([&] { (object->*handler)(); }); };
}

} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent), link(std::make_unique<LinkState>()) {
    setWindowTitle(app::versionCaption());
    setWindowIcon(platform::programIcon());
    // The run ends by Exit, Quit or the close box only: while the window is
    // hidden in the notification area, closing a message box or a dialog (the
    // last visible window) must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    for (int i = 0; i < 10; ++i)
        StaticText[i] = std::make_unique<StateControl>(QString("StaticText%1").arg(i + 1));
    BUTTON_DELETETRAYICON.setEnabled(false);
    buildLayout();
    buildMenus();
    connectHandlers();
    setUpAutoDownloads();
    setUpStatistics();
    fitToScreen();
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
    connect(ExportChartImage1, &QAction::triggered, this,
            guarded(this, &TForm1::ExportChartImage1Click));
    Chart1->setHoverTip([this](double x) { return chartTipAt(x); });
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
    if (const auto port = app::readText(settingsPath("COMPORT.DAT")))
        COMPORT.setText(*port);
    COMPORT.setHandler([this] { COMPORTChange(); });
    COMPORTChange();
    // Editors end the file with a line break; it is no part of the format.
    if (const auto format = app::readText(settingsPath("DATEFMT.DAT")))
        DATEFORMAT.setText(format->trimmed());
    SyncDateFormatMenu();
    setLeftAxisLimits(platform::strToFloat(MinTemp->text()), platform::strToFloat(MaxTemp->text()));
    ClearBuffer();
    UpdateFooter();
    SetSamplesPerHour(240);
    // An automatic save that died half-way is taken back out of its monthly
    // files before anything can read them; the next download fetches it again.
    files::rollBackJournalsIn(ThisAppDir.text());
    if (!argument.isEmpty())
        LoadDataFile(argument);
    SetAutoClock(platform::now());
    Watchdog.setValue(platform::now());
}

void TForm1::SetSamplesPerHour(double perHour) {
    SamplesPerHour = perHour;
    Samplesperhour.setText(platform::floatToStrFixed(perHour));
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
    SetSamplesPerHour(240);
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
    DataFile.clear();
    DataDuplicate.clear();

    if (const auto info = app::readText(settingsPath("USERINFO.DAT"))) {
        UserInformationBox.setText(*info);
        const auto values = app::parseUserInfo(*info);
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
    StatisticsDataChanged();
}

void TForm1::NewClear1Click() {
    ClearBuffer();
}

void TForm1::Exit1Click() {
    // exit() rather than quit(): quit() closes the windows first, and closing
    // the main window is the hide path.
    QApplication::exit(0);
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
    hideProgress();
    UploadData->setEnabled(true);
    AbortUpload->setEnabled(false);
    RadioButton1->setEnabled(true);
    RadioButton2->setEnabled(true);
    // Whatever ended the upload, the statistics no longer follow one.
    StatisticsDataChanged();
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

void TForm1::showProgress(qint64 done, qint64 total, const QString& text) {
    // A per-mille scale keeps files beyond the int range of the bar.
    constexpr int kScale = 1000;
    ProgressBar->setRange(0, kScale);
    ProgressBar->setValue(
        total > 0 ? static_cast<int>(std::clamp<qint64>(done, 0, total) * kScale / total) : 0);
    ProgressBar->setFormat(text);
    ProgressBar->show();
    ProgressBar->repaint();
}

void TForm1::hideProgress() {
    ProgressBar->hide();
}

void TForm1::SyncDateFormatMenu() {
    for (int item : app::kSyncOrder)
        if (DATEFORMAT.text() == app::kFormats[item])
            DateFormatItems[item]->setChecked(true);
    setBottomAxisFormat(DATEFORMAT.text());
}

void TForm1::DateFormatItemClick(int item) {
    DATEFORMAT.setText(app::kFormats[item]);
    app::writeText(settingsPath("DATEFMT.DAT"), DATEFORMAT.text());
    setBottomAxisFormat(app::kFormats[item]);
}

void TForm1::closeEvent(QCloseEvent* event) {
    // FormClose: hide into the notification area, then closing the main window
    // ends the program (its destruction removes the icon again).
    platform::runGuarded([this] { BUTTON_HIDEClick(); });
    event->accept();
    QApplication::exit(0);
}
