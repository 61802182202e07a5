#pragma once
// The main window. It owns all state of the run: its state controls (most of
// them hidden), the sample store and the serial port. Its handlers are the
// system's operations; those of the device link, the decoders, the chart and
// the data files are defined in their own folders and call plain functions
// that live there.
#include "files/monthly_files.h"
#include "files/save_journal.h"
#include "model/controls.h"
#include "model/sample_store.h"
#include "platform/formatting.h"
#include "report/statistics.h"
#include <QMainWindow>
#include <array>
#include <memory>
#include <optional>
#include <variant>

class QAction;
class QActionGroup;
class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QPrinter;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimeEdit;
class Chart;
class DiagnosticsView;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class RadioGroup;
class StatisticsWindow;
class QTimer;
struct LinkState;
namespace decode {
struct PacketLists;
struct LiveDrawing;
} // namespace decode

// How a load or a save ended; the status line says it to the user.
enum class FileOutcome { Done, Cancelled, Failed };

// What opening the serial port found: `failure` is the message shown when it
// could not be opened, empty when it opened or no port is selected.
struct PortOpening {
    bool opened = false;
    QString failure;
};

class TForm1 : public QMainWindow {
    Q_OBJECT
  public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Start-up: fixes the settings folder, opens the ports, reads the
    // settings files, clears the store and builds the footer. `argument` is
    // the first command-line argument after the program name, if any.
    void FormCreate(const QString& argument = QString());
    void setDialogs(TForm3* about, TForm4* userInfo, TForm5* verify, TForm6* port);

    SampleStore store; // the program-wide record

    // ---- State controls (hidden unless said otherwise) ----
    TextControl ThisAppDir{"ThisAppDir", QString()};
    TextControl COMPORT{"COMPORT", QString()};
    TextControl DATEFORMAT{"DATEFORMAT", "mm/dd/yyyy hh:mm:ss"};
    TextControl UserInformationBox{"UserInformationBox", QString()};
    TextControl Memo1{"Memo1", QString()};
    TextControl Memo2{"Memo2", QString()};
    TextControl Memo5{"Memo5", QString()};
    TextControl Memo3{"Memo3", QString()};
    FlagControl Startloadingheader{"Startloadingheader", false};
    FlagControl Headerloaded{"Headerloaded", false};
    FlagControl Startloadingdata{"Startloadingdata", false};
    FlagControl Errorindata{"Errorindata", false};
    FlagControl Readyfornextblock{"Readyfornextblock", false};
    FlagControl WaitingForAck{"WaitingForAck", false};
    FlagControl WaitOnFastAck{"WaitOnFastAck", false};
    FlagControl FastBaud{"FastBaud", false};
    FlagControl InitAutoload{"InitAutoload", false};
    FlagControl DataLoaded{"DataLoaded", false};
    FlagControl RHBV{"RHBV", false};
    FlagControl FreshData{"FreshData", true};
    FlagControl FileEncryptFlag{"FileEncryptFlag", false};
    TextControl Firstdate{"Firstdate", "Firstdate"};
    TextControl Firsttime{"Firsttime", "Firsttime"};
    TextControl Lastdate{"Lastdate", "Lastdate"};
    TextControl Lasttime{"Lasttime", "Lasttime"};
    TextControl Samplesperhour{"Samplesperhour", "Samplesperhour"};
    // The storage rate in force as a number (of the uploaded channel, or of a
    // loaded file): the upload and the footer compute with it; Samplesperhour
    // only shows it.
    double SamplesPerHour = 240;
    void SetSamplesPerHour(double perHour);
    TextControl Datastored{"Datastored", QString()}; // no recording mode before a header
    TextControl AutoClock{"AutoClock", QString()};
    // When the next automatic download is due. AutoClock shows it in the
    // user's format, which need not read back; the reader's clock test reads
    // the copy in LinkState::NextAutoTime.
    platform::DateTime NextAutoDownload = 0;
    void SetAutoClock(platform::DateTime due);
    TextControl Edit2{"Edit2", QString()};
    TimeControl Watchdog{"Watchdog", 0};
    StateControl TextForNextAuto{"TextForNextAuto"};
    std::array<std::unique_ptr<StateControl>, 10> StaticText; // StaticText1..StaticText10
    StateControl BUTTON_ADDTRAYICON{"BUTTON_ADDTRAYICON"};
    StateControl BUTTON_DELETETRAYICON{"BUTTON_DELETETRAYICON"};
    // The status line: every report replaces its whole text.
    TextControl Edit1{"Edit1", QString()};

    // The serial port, its saved settings and the reader thread.
    std::unique_ptr<LinkState> link;

    int BlockRetries = 0;
    // The short date format of the file last detected: its rows are read with
    // it, whatever the user's formats.
    QString FileShortDateFormat;
    // The resolved range runs to the logger's last sample and includes it.
    bool RangeEndsAtLast = false;

    // ---- Visible controls ----
    Chart* Chart1 = nullptr;
    RadioGroup* upload_range_group = nullptr;
    QDateEdit* Startdate = nullptr;
    QTimeEdit* Starttime = nullptr;
    QDateEdit* Enddate = nullptr;
    QTimeEdit* Endtime = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QPushButton* UploadData = nullptr;
    QPushButton* AbortUpload = nullptr;
    QCheckBox* TempInF = nullptr;
    QCheckBox* AutoScale = nullptr;
    QLineEdit* MaxTemp = nullptr;
    QLineEdit* MinTemp = nullptr;
    QLabel* SecureData = nullptr;
    QLabel* LockImage = nullptr;
    QPushButton* BUTTON_HIDE = nullptr;
    QLineEdit* StatusEdit = nullptr; // shows Edit1
    // Beside the status line while an upload or a long load runs.
    QProgressBar* ProgressBar = nullptr;
    // "Next Auto Download:" and the time, shown while downloads are scheduled.
    QLabel* NextAutoCaption = nullptr;
    QLineEdit* NextAutoEdit = nullptr;

    // ---- Menus ----
    QAction* LoadChart1 = nullptr;
    QAction* SaveChart1 = nullptr;
    QAction* NewClear1 = nullptr;
    QAction* PrintChart1 = nullptr;
    QAction* ExportChartImage1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* COMM = nullptr;
    QMenu* AutoDownloads1 = nullptr;
    QAction* C1 = nullptr;
    QAction* C2 = nullptr;
    QAction* AutoOff = nullptr;
    QAction* Auto1hour = nullptr;
    QAction* Auto4hours = nullptr;
    QAction* Auto8hrs = nullptr;
    QAction* Auto24hrs = nullptr;
    QAction* Auto7day = nullptr;
    QAction* Auto30day = nullptr;
    QMenu* DateFormat1 = nullptr;
    // Date Format items, in menu order: mmddyy, mmddyyap, ddmmyy, yyyymmdd,
    // mmddyyc, mmddyyapc, ddmmyyc, yyyymmddc.
    std::array<QAction*, 8> DateFormatItems{};
    QAction* UserInformation1 = nullptr;
    QAction* About1 = nullptr;
    QAction* FAQ1 = nullptr;
    QAction* Upgrade1 = nullptr;
    QAction* DiagnosticsMode1 = nullptr;
    // The reader thread reads "Off" through this mirror.
    std::atomic<bool> AutoOffCheckedMirror{true};

    // ---- Application shell (src/app/tform1.cpp) ----
    void ClearBuffer();
    void NewClear1Click();
    void Exit1Click();
    void AboutClick();
    void UserInformation1Click();
    void RadioButton1Click();
    void RadioButton2Click();
    void ErrorindataClick();
    void SyncDateFormatMenu();
    void DateFormatItemClick(int item); // the eight Date Format handlers
    bool channel1Selected() const;      // RadioButton1 checked
    void setUploadButtonsIdle();        // Upload enabled, Abort disabled, channels enabled
    void setUploadButtonsBusy();        // the reverse
    void repaintStatus();               // shows Edit1 at once
    // The progress bar beside the status line: `done` of `total`, shown with
    // `text` (Qt's "%p%" and the like); hidden again by hideProgress and by
    // the end of every upload (setUploadButtonsIdle).
    void showProgress(qint64 done, qint64 total, const QString& text);
    void hideProgress();
    // Settings folder path of a settings file.
    QString settingsPath(const QString& fileName) const;

    // ---- Notification-area icon and hiding (src/app/tray_handlers.cpp) ----
    void TrayIconAdd(const QString& tip);
    void TrayIconSetTip(const QString& tip);
    void TrayIconDelete();
    void BUTTON_ADDTRAYICONClick();
    void BUTTON_HIDEClick();
    void SHORTCUT_OPENClick();
    void SHORTCUT_QUITClick();
    bool trayIconShown() const { return BUTTON_DELETETRAYICON.isEnabled(); }
    QMenu* PopupMenu1 = nullptr;
    QAction* SHORTCUT_OPEN = nullptr;
    QAction* SHORTCUT_QUIT = nullptr;

    // ---- Serial port and diagnostics (src/link/link_handlers.cpp) ----
    // Both report what the opening found; the latest is kept in LastPortOpening.
    PortOpening COMPORTChange();
    PortOpening OpenPort();
    PortOpening LastPortOpening;
    void ClosePort();
    void SetPort(const QString& name);
    // Sends a byte to the logger; an upload that meets a port that is not open
    // ends there (EndUpload).
    void SendByte(char byte);
    bool portOpen() const;
    QString PortName() const;
    QString FastBaudRate() const;
    void COMMClick();
    void DiagnosticsMode1Click();

    // ---- Upload driver (src/link/upload_handlers.cpp) ----
    void UploadDataClick();
    void AbortUploadClick();
    // Ends a running upload: buttons at rest ("Upload Data" only with an open
    // port), upload flags cleared, the fast rate left, the status shown;
    // `failed` also checks Errorindata, which ends an automatic download.
    void EndUpload(const QString& status, bool failed);
    bool uploadRunning() const; // "Abort Upload" enabled
    void upload_range_groupClick();
    void StartloadingheaderClick();
    void StartloadingdataClick();
    void Memo1Change();
    void PrepareNextBlock();
    void SendBlockRequest();
    // Sends a text to the logger a byte at a time.
    void SendText(const QString& text);
    // The request of the current block is about to go out: its acknowledgement
    // is awaited with the data phase on and the watchdog fresh.
    void AwaitBlockAcknowledgement();

    // ---- Automatic downloads (src/link/auto_download_handlers.cpp) ----
    void AutoIntervalClick(); // the six interval items, Auto1hourClick ... Auto30dayClick
    void AutoOffClick();
    void ChannelItemClick(); // C1Click and C2Click
    void ScheduleNextAuto(); // the reader thread's clock callback
    void InitAutoloadClick();
    // Where an automatic download's range starts: after the newest row of
    // the monthly files, which `saved` tells about (nothing without a
    // destination). Reads the files and changes nothing.
    struct AutoStart {
        platform::DateTime time = 0;
        std::optional<files::SavedMonths> saved;
    };
    AutoStart AutoStartTime() const;
    // The monthly files' date format taken over, with the menu and the
    // status line: the rows are appended in the format of the files there.
    void UseMonthlyFilesFormat(const files::SavedMonths& saved);
    // The automatic download whose upload is under way, from its start to
    // the end of its attempt (saved, nothing new, or failed).
    bool AutomaticDownloadRunning = false;
    // After an upload has ended: an automatic attempt that has not been
    // ended otherwise has failed.
    void AutomaticDownloadEndCheck();
    // Ends the attempt: the schedule goes on, and channel 2 follows channel 1.
    void EndAutomaticDownload(bool succeeded);

    // ---- Upload decoding (src/decode/decode_handlers.cpp) ----
    void Memo2Change();
    void Memo5Change();
    // Memo5Change's steps, in order, on the memo's text as it stood on entry:
    // the logger's answer to the fast-rate command (true when that was awaited),
    // the acknowledgement of a block request, and a block's packet.
    bool FastRateAnswer(int format, const QString& text);
    void BlockAcknowledgement(int format, const QString& text);
    void DataPacket(int format, const QString& text);
    void CommitPacket(const decode::PacketLists& packet);

    // ---- Chart display (src/chart/chart_handlers.cpp) ----
    void PlotBuffer();
    void UpdateFooter();
    void RHBVClick();
    void TempInFClick();
    void AutoScaleClick();
    void MaxTempExit();
    void MinTempExit();
    void Chart1Zoom();
    void Chart1Scroll();
    void Button1Click(); // File > Print Chart
    void ExportChartImage1Click();
    // The tip under the mouse at a time of the chart: the nearest sample.
    QString chartTipAt(double x) const;
    // Chart operations of the live drawing during an upload.
    int seriesPointCount(int series) const;
    void drawLive(const decode::LiveDrawing& drawing);
    void setUploadAxesAutomatic();
    // Chart operations used by the shell.
    void clearSeries(int series);
    void addNoDataPlaceholder(int series);
    void setLeftAxisLimits(double minimum, double maximum);
    void setBottomAxisFormat(const QString& pattern);

    // ---- Data files (src/files/data_file_handlers.cpp) ----
    void SavedataClick();
    FileOutcome SaveDataFile();
    void LoaddataClick();
    FileOutcome LoadDataFile(const QString& fileName);
    bool DetectFileDateFormat(const QString& fileName);
    // A date format search's finding applied: DATEFORMAT and the short date
    // format, or the failure on the status line (nothing: the file did not
    // open); the menu follows. Whether a format was found.
    bool UseDetectedFormat(const std::optional<files::DateFormatSearch>& search);
    // The save dialog: a confirmed name goes through SaveDialog1CanClose,
    // whichever operation opened it.
    std::optional<QString> ExecuteSaveDialog1();
    void SaveDialog1CanClose(const QString& fileName);

    // ---- Automatic save (src/files/auto_save_handlers.cpp) ----
    void DataLoadedClick();
    // The save after an automatic download.
    void AutoSaveUpload();
    // A save of the monthly files that never finished (the program died in
    // it) taken back out of them, before anything reads them.
    files::RollBack RollBackUnfinishedSave();
    QString MonthlyFileName(platform::DateTime t) const;
    // Per channel, the chain of scrambled rows of this run and its duplicate.
    std::array<files::AppendChain, 2> AppendCipherState;

    // ---- Statistics and report (src/report/report_handlers.cpp) ----
    QAction* Statistics1 = nullptr;   // View > Statistics
    QAction* ExportReport1 = nullptr; // File > Export Report...
    StatisticsWindow* StatisticsView = nullptr;
    // Where the data in the store came from: the file loaded (empty for an
    // upload), and the duplicate that holds them (loaded or just saved).
    QString DataFile;
    QString DataDuplicate;
    void Statistics1Click();
    void ExportReport1Click();
    // The report with these choices of the statistics (File > Export Report...
    // gives the window's, the command line its own); false when the file
    // could not be written.
    bool WriteReport(const QString& fileName, const report::StatisticsOptions& options);
    // The options that the window's choices ask for (limits, ΔH, the
    // visible range) in the chart's unit, or why a choice does not read.
    // Before the window was first opened: no limits, the whole data set.
    std::variant<report::StatisticsOptions, QString> statisticsOptions() const;
    // The data in the store have changed (cleared, loaded, uploaded so far):
    // the window follows at the next pass of the event loop.
    void StatisticsDataChanged();
    void StatisticsRefresh();

  signals:
    // An automatic download attempt has ended; `succeeded`: saved or nothing new.
    void automaticDownloadEnded(int channel, bool succeeded);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildLayout(); // src/app/layout_handlers.cpp
    void buildMenus();
    void fitToScreen();
    void connectHandlers();    // src/app/tform1.cpp
    void setUpAutoDownloads(); // src/link/auto_download_handlers.cpp

    TForm3* m_about = nullptr;
    TForm4* m_userInfo = nullptr;
    TForm5* m_verify = nullptr;
    TForm6* m_port = nullptr;
    DiagnosticsView* m_diagnostics = nullptr;
    std::unique_ptr<QPrinter> m_printer;
    void setUpStatistics(); // src/report/report_handlers.cpp
    void scheduleStatistics();
    QTimer* m_statisticsTimer = nullptr;
    // The block sums of the data for the window's choices: a zoom or a pan
    // costs them and the samples at the range's ends, not all it shows.
    std::shared_ptr<const report::StatisticsIndex> m_statisticsIndex;
};
