// The main window's controls and menus, laid out in one place. The chart takes
// whatever the window gives it; the panels under it keep their places and
// their natural sizes, so no caption is cut at any font size or scale. On a
// screen narrower than the panels, the panel band scrolls sideways.
#include "app/date_formats.h"
#include "app/radio_group.h"
#include "app/tform1.h"
#include "chart/axis_preferences.h"
#include "chart/chart.h"
#include "link/diagnostics_view.h"
#include "platform/formatting.h"
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {

// The client area the window opens with, screen permitting.
constexpr QSize kClientSize(797, 590);
// The chart never gets less than this, so the window can shrink to small screens.
constexpr QSize kChartMinimum(240, 140);

// A band of panels as tall as its content; narrower than the content, it
// scrolls sideways and grows by the scroll bar instead of squeezing the panels.
class PanelBand : public QScrollArea {
  public:
    explicit PanelBand(QWidget* content) {
        setWidget(content);
        setWidgetResizable(true);
        setFrameShape(QFrame::NoFrame);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        viewport()->setAutoFillBackground(false);
        content->setAutoFillBackground(false);
    }
    QSize sizeHint() const override { return {widget()->sizeHint().width(), height(true)}; }
    QSize minimumSizeHint() const override { return {kChartMinimum.width(), height(false)}; }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QScrollArea::resizeEvent(event);
        const bool scrolls = width() < widget()->minimumSizeHint().width();
        if (scrolls != m_scrolls) {
            m_scrolls = scrolls;
            updateGeometry();
        }
    }

  private:
    int height(bool natural) const {
        const bool scrolls = natural ? false : m_scrolls;
        return widget()->minimumSizeHint().height() +
               (scrolls ? horizontalScrollBar()->sizeHint().height() : 0);
    }
    bool m_scrolls = false;
};

// The silver panels of the band. Disabled captions on silver are drawn dark
// enough to read (the style's own disabled grey vanishes into the panel).
QGroupBox* silverPanel(const QString& title) {
    auto* panel = new QGroupBox(title);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, QColor(192, 192, 192));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, QColor(64, 64, 64));
    panel->setPalette(palette);
    panel->setAutoFillBackground(true);
    return panel;
}

QLabel* smallLabel(const QString& text) {
    auto* label = new QLabel(text);
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    label->setFont(small);
    return label;
}

// The chart, or in diagnostics mode the state controls, in the same place.
QGridLayout* chartPlace(Chart* chart, QWidget* diagnostics) {
    chart->setMinimumSize(kChartMinimum);
    chart->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    diagnostics->setMinimumSize(kChartMinimum);
    diagnostics->hide();
    auto* place = new QGridLayout;
    place->addWidget(chart, 0, 0);
    place->addWidget(diagnostics, 0, 0);
    return place;
}

QGroupBox* uploadPanel(TForm1& form) {
    QGroupBox* upload = silverPanel("Upload information");
    auto* grid = new QGridLayout(upload);
    form.upload_range_group = new RadioGroup({"All data", "Last month", "Last week", "Custom"}, 4);
    form.upload_range_group->setItemIndex(0);
    grid->addWidget(form.upload_range_group, 0, 0, 1, 5);
    grid->addWidget(new QLabel("Start Date/Time"), 1, 0, 1, 2);
    grid->addWidget(new QLabel("End Date/Time"), 1, 2, 1, 2);
    form.Startdate = new QDateEdit;
    form.Starttime = new QTimeEdit;
    form.Enddate = new QDateEdit;
    form.Endtime = new QTimeEdit;
    form.Starttime->setDisplayFormat("HH:mm:ss");
    form.Endtime->setDisplayFormat("HH:mm:ss");
    const QDateTime start = platform::toQDateTime(platform::now());
    for (QDateEdit* date : {form.Startdate, form.Enddate}) {
        date->setDate(start.date());
        date->setEnabled(false);
    }
    for (QTimeEdit* time : {form.Starttime, form.Endtime}) {
        time->setTime(start.time());
        time->setEnabled(false);
    }
    grid->addWidget(form.Startdate, 2, 0);
    grid->addWidget(form.Starttime, 2, 1);
    grid->addWidget(form.Enddate, 2, 2);
    grid->addWidget(form.Endtime, 2, 3);
    form.RadioButton1 = new QRadioButton("Channel 1");
    form.RadioButton1->setChecked(true);
    form.RadioButton2 = new QRadioButton("Channel 2");
    // Exactly one channel is selected: a click or key on the checked one keeps it.
    auto* channels = new QButtonGroup(&form);
    channels->addButton(form.RadioButton1);
    channels->addButton(form.RadioButton2);
    grid->addWidget(form.RadioButton1, 1, 4);
    grid->addWidget(form.RadioButton2, 2, 4);
    form.UploadData = new QPushButton("Upload Data");
    form.AbortUpload = new QPushButton("Abort Upload");
    form.AbortUpload->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(form.UploadData);
    buttons->addWidget(form.AbortUpload);
    buttons->addStretch();
    grid->addLayout(buttons, 3, 0, 1, 5);
    return upload;
}

QGroupBox* preferencesPanel(TForm1& form) {
    QGroupBox* prefs = silverPanel("Chart Preferences");
    auto* grid = new QGridLayout(prefs);
    form.TempInF = new QCheckBox("Show Temp in F");
    form.TempInF->setChecked(true);
    form.AutoScale = new QCheckBox("Auto Scale");
    form.AutoScale->setChecked(true);
    form.MaxTemp = new QLineEdit("100");
    form.MinTemp = new QLineEdit("0");
    for (QLineEdit* limit : {form.MaxTemp, form.MinTemp}) {
        limit->setFixedWidth(limit->fontMetrics().horizontalAdvance("-000.00") + 12);
        limit->setEnabled(false);
        limit->setValidator(temperatureLimitValidator(limit));
    }
    grid->addWidget(form.TempInF, 0, 0, 1, 2);
    grid->addWidget(form.AutoScale, 1, 0, 1, 2);
    grid->addWidget(form.MaxTemp, 2, 0);
    grid->addWidget(new QLabel("Max Temp"), 2, 1);
    grid->addWidget(form.MinTemp, 3, 0);
    grid->addWidget(new QLabel("Min Temp"), 3, 1);
    grid->setRowStretch(4, 1);
    return prefs;
}

// Secure Data and the lock, Hide, and the mouse help.
QVBoxLayout* sideColumn(TForm1& form) {
    auto* side = new QVBoxLayout;
    side->setSpacing(2);
    form.SecureData = new QLabel(" Secure Data ");
    form.SecureData->setStyleSheet("background: red; color: white;");
    form.SecureData->hide();
    form.LockImage = new QLabel;
    form.LockImage->setFixedSize(14, 15);
    form.LockImage->setStyleSheet("background: goldenrod; border: 1px solid black;");
    form.LockImage->hide();
    auto* secure = new QHBoxLayout;
    secure->addWidget(form.SecureData);
    secure->addWidget(form.LockImage);
    secure->addStretch();
    side->addLayout(secure);
    form.BUTTON_HIDE = new QPushButton("Hide");
    side->addWidget(form.BUTTON_HIDE, 0, Qt::AlignLeft);
    for (const char* help :
         {"TO ZOOM: Click left mouse and hold", "top left and drag to lower right",
          "TO UN-ZOOM: Click left mouse, drag", "to top left and release",
          "TO PAN: Click right mouse button", "and drag left/right"})
        side->addWidget(smallLabel(help));
    side->addStretch();
    return side;
}

// The panels side by side, left-aligned, in a band that scrolls when narrow.
PanelBand* panelBand(QGroupBox* upload, QGroupBox* prefs, QVBoxLayout* side) {
    auto* content = new QWidget;
    auto* band = new QHBoxLayout(content);
    band->setContentsMargins(0, 0, 0, 0);
    band->addWidget(upload);
    band->addWidget(prefs);
    band->addLayout(side);
    band->addStretch();
    return new PanelBand(content);
}

// The status line and, while an upload or a load runs, its progress.
QHBoxLayout* statusRow(TForm1& form) {
    auto* status = new QHBoxLayout;
    auto* statusLabel = new QLabel("Status");
    statusLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    status->addWidget(statusLabel);
    form.StatusEdit = new QLineEdit;
    form.StatusEdit->setEnabled(false);
    form.StatusEdit->setMinimumWidth(kChartMinimum.width());
    // A disabled edit in the menu colour whose text reads as well as enabled text.
    QPalette palette = form.StatusEdit->palette();
    palette.setColor(QPalette::Disabled, QPalette::Base, palette.color(QPalette::Button));
    palette.setColor(QPalette::Disabled, QPalette::Text,
                     palette.color(QPalette::Active, QPalette::Text));
    form.StatusEdit->setPalette(palette);
    status->addWidget(form.StatusEdit, 1);
    form.ProgressBar = new QProgressBar;
    form.ProgressBar->setMaximumWidth(160);
    form.ProgressBar->hide();
    status->addWidget(form.ProgressBar);
    form.NextAutoCaption = new QLabel("Next Auto Download:");
    form.NextAutoCaption->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    form.NextAutoCaption->hide();
    status->addWidget(form.NextAutoCaption);
    form.NextAutoEdit = new QLineEdit;
    form.NextAutoEdit->setReadOnly(true);
    form.NextAutoEdit->setFixedWidth(
        form.NextAutoEdit->fontMetrics().horizontalAdvance("0000/00/00 00:00:00 AM") + 16);
    form.NextAutoEdit->hide();
    status->addWidget(form.NextAutoEdit);
    return status;
}

} // namespace

// Top to bottom: the chart, the band of panels, the status line.
void TForm1::buildLayout() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(4, 0, 4, 4);
    column->setSpacing(4);

    Chart1 = new Chart;
    m_diagnostics = new DiagnosticsView(*this, nullptr);
    column->addLayout(chartPlace(Chart1, m_diagnostics), 1);
    QGroupBox* upload = uploadPanel(*this);
    QGroupBox* prefs = preferencesPanel(*this);
    QVBoxLayout* side = sideColumn(*this);
    column->addWidget(panelBand(upload, prefs, side));
    column->addLayout(statusRow(*this));
}

// Opens with the client size the window was designed for, grown to what the
// current font needs and shrunk to the screen's available area, centred there.
void TForm1::fitToScreen() {
    QSize size = kClientSize;
    size.rheight() += menuBar()->sizeHint().height();
    // Wide enough for the panels side by side, tall enough for the font.
    size = size.expandedTo(QSize(sizeHint().width(), minimumSizeHint().height()));
    if (const QScreen* screen = QApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        // The window manager's frame is not known before the window is shown.
        const int frame = style()->pixelMetric(QStyle::PM_TitleBarHeight) + 8;
        size = size.boundedTo(area.size() - QSize(8, frame));
        resize(size);
        move(area.center() - QPoint(size.width() / 2, (size.height() + frame) / 2));
    } else {
        resize(size);
    }
}

void TForm1::buildMenus() {
    // Captions keep their texts; the ampersands only mark the mnemonics.
    QMenu* file = menuBar()->addMenu("&File");
    LoadChart1 = file->addAction("&Load Chart");
    LoadChart1->setShortcut(QKeySequence("Ctrl+O"));
    SaveChart1 = file->addAction("&Save Chart");
    SaveChart1->setShortcut(QKeySequence("Ctrl+S"));
    NewClear1 = file->addAction("&New/Clear");
    NewClear1->setShortcut(QKeySequence("Ctrl+N"));
    PrintChart1 = file->addAction("&Print Chart");
    PrintChart1->setShortcut(QKeySequence("Ctrl+P"));
    ExportChartImage1 = file->addAction("Export Chart &Image...");
    ExportReport1 = file->addAction("Export &Report...");
    Exit1 = file->addAction("E&xit");

    QMenu* setup = menuBar()->addMenu("&Setup");
    COMM = setup->addAction("&Port");
    AutoDownloads1 = setup->addMenu("&Auto Download");
    C1 = AutoDownloads1->addAction("Channel &1");
    C2 = AutoDownloads1->addAction("Channel &2");
    for (QAction* channel : {C1, C2}) {
        channel->setCheckable(true);
        channel->setChecked(true);
    }
    AutoDownloads1->addSeparator();
    auto* intervals = new QActionGroup(this);
    QAction** items[] = {&AutoOff,   &Auto1hour, &Auto4hours, &Auto8hrs,
                         &Auto24hrs, &Auto7day,  &Auto30day};
    const char* captions[] = {"&Off",      "1 &hour", "&4 hours", "&8 hours",
                              "2&4 hours", "&7 days", "&30 days"};
    for (int i = 0; i < 7; ++i) {
        *items[i] = AutoDownloads1->addAction(captions[i]);
        (*items[i])->setCheckable(true);
        intervals->addAction(*items[i]);
    }
    AutoOff->setChecked(true);

    DateFormat1 = setup->addMenu("&Date Format");
    auto* formats = new QActionGroup(this);
    for (int i = 0; i < 8; ++i) {
        // The fifth item starts the second column.
        if (i == 4)
            DateFormat1->addSeparator();
        DateFormatItems[i] = DateFormat1->addAction(app::kFormats[i]);
        DateFormatItems[i]->setCheckable(true);
        formats->addAction(DateFormatItems[i]);
    }
    DateFormatItems[0]->setChecked(true);
    UserInformation1 = setup->addAction("&Edit User Information");

    QMenu* view = menuBar()->addMenu("&View");
    Statistics1 = view->addAction("&Statistics");
    Statistics1->setShortcut(QKeySequence("Ctrl+T"));

    QMenu* help = menuBar()->addMenu("&Help");
    About1 = help->addAction("&About");
    FAQ1 = help->addAction("&FAQ");
    FAQ1->setEnabled(false);
    Upgrade1 = help->addAction("&Upgrade BV unit");
    Upgrade1->setEnabled(false);
    DiagnosticsMode1 = help->addAction("&Diagnostics Mode");

    PopupMenu1 = new QMenu(this);
    SHORTCUT_OPEN = PopupMenu1->addAction("&Open");
    PopupMenu1->addSeparator();
    SHORTCUT_QUIT = PopupMenu1->addAction("&Quit");
    DiagnosticsMode1->setCheckable(true);
}
