// The windows' layouts: no caption cut at the default or a large font, the
// main window inside the screen, the chart taking the window's growth, disabled
// controls readable, menus with mnemonics.
#include "app/application.h"
#include "app/tform1.h"
#include "app/user_dialogs.h"
#include "app_fixture.h"
#include "chart/chart.h"
#include "link/port_dialog.h"
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QTest>
#include <cmath>

namespace {

// Captions, buttons and pickers of a shown window that are smaller than they
// need to be, or not wholly visible inside their parents.
QStringList clipped(QWidget& window) {
    QStringList out;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisible() || w->window() != &window)
            continue;
        QString what;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (label->text().isEmpty())
                continue;
            what = label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            what = button->text();
        } else if (qobject_cast<QDateTimeEdit*>(w) || qobject_cast<QComboBox*>(w)) {
            what = w->metaObject()->className();
        } else {
            continue;
        }
        const QSize hint = w->sizeHint();
        if (w->width() < hint.width() || w->height() < hint.height())
            out << QString("%1: %2x%3, needs %4x%5")
                       .arg(what)
                       .arg(w->width())
                       .arg(w->height())
                       .arg(hint.width())
                       .arg(hint.height());
        else if (w->visibleRegion().boundingRect() != w->rect())
            out << what + ": partly hidden";
    }
    return out;
}

void settle(QWidget& window) {
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QApplication::processEvents();
}

double luminance(QColor c) {
    auto channel = [](double v) {
        v /= 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

// The best contrast between any pixel of `area` and the background colour
// (sampled at `background`): the text's own colour where the text is.
double textContrast(QWidget* widget, const QRect& area, QPoint background) {
    const QImage image = widget->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    const double bg = luminance(image.pixelColor(background * ratio));
    double best = 1;
    for (int y = area.top() * ratio; y <= area.bottom() * ratio; ++y)
        for (int x = area.left() * ratio; x <= area.right() * ratio; ++x) {
            const double l = luminance(image.pixelColor(x, y));
            best = std::max(best, (std::max(l, bg) + 0.05) / (std::min(l, bg) + 0.05));
        }
    return best;
}

} // namespace

class TestWindowLayout : public QObject {
    Q_OBJECT
    QFont m_defaultFont;

  private slots:
    void initTestCase() { m_defaultFont = QApplication::font(); }
    void cleanup() { QApplication::setFont(m_defaultFont); }

    void nothingClipped_data() {
        QTest::addColumn<double>("scale");
        QTest::newRow("default font") << 1.0;
        QTest::newRow("large font") << 1.6;
    }
    void nothingClipped() {
        QFETCH(double, scale);
        QFont font = m_defaultFont;
        font.setPointSizeF(font.pointSizeF() * scale);
        QApplication::setFont(font);

        AppFixture app;
        TForm1& form = app.start();
        TForm3 about(&form);
        TForm4 userInfo(form);
        TForm5 verify(form);
        TForm6 port(form);
        form.setDialogs(&about, &userInfo, &verify, &port);
        for (QWidget* window :
             std::initializer_list<QWidget*>{&form, &about, &userInfo, &verify, &port}) {
            // Given the room it asks for (a small screen scrolls the panels).
            window->resize(window->size().expandedTo(window->sizeHint()));
            settle(*window);
            const QStringList cut = clipped(*window);
            QVERIFY2(cut.isEmpty(), qPrintable(window->windowTitle() + ": " + cut.join("; ")));
        }
        // The rest of the main window's captions: Secure Data, the lock, the
        // abort button enabled during an upload.
        form.SecureData->show();
        form.LockImage->show();
        form.setUploadButtonsBusy();
        QApplication::processEvents();
        QVERIFY2(clipped(form).isEmpty(), qPrintable(clipped(form).join("; ")));

        form.DiagnosticsMode1->trigger();
        QApplication::processEvents();
        QVERIFY2(clipped(form).isEmpty(), qPrintable("diagnostics: " + clipped(form).join("; ")));
    }

    void opensInsideTheAvailableArea() {
        AppFixture app;
        TForm1& form = app.start();
        settle(form);
        const QRect area = QApplication::primaryScreen()->availableGeometry();
        QVERIFY2(area.contains(form.frameGeometry()), qPrintable(QString("%1,%2 %3x%4")
                                                                     .arg(form.x())
                                                                     .arg(form.y())
                                                                     .arg(form.width())
                                                                     .arg(form.height())));
    }

    // The chart takes all of the window's growth and shrinkage; the panels
    // keep their sizes and stay under it.
    void chartFollowsTheWindow() {
        AppFixture app;
        TForm1& form = app.start();
        form.resize(700, 500);
        settle(form);
        const QSize chart = form.Chart1->size();
        const QSize upload = form.UploadData->size();
        const int uploadFromBottom = form.height() - form.UploadData->mapTo(&form, QPoint()).y();
        for (const QSize size : {QSize(780, 580), QSize(640, 470)}) {
            form.resize(size);
            QApplication::processEvents();
            QCOMPARE(form.Chart1->height() - chart.height(), size.height() - 500);
            QCOMPARE(form.Chart1->width() - chart.width(), size.width() - 700);
            QCOMPARE(form.UploadData->size(), upload);
            QCOMPARE(form.height() - form.UploadData->mapTo(&form, QPoint()).y(), uploadFromBottom);
        }
    }

    // Disabled controls keep a readable contrast (4.5:1) with what is behind
    // them: the channel buttons during an upload, and the status line.
    void disabledControlsStayReadable() {
        AppFixture app;
        TForm1& form = app.start();
        settle(form);
        form.setUploadButtonsBusy();
        form.Edit1.setText("RECEIVING DATA");
        QApplication::processEvents();
        for (QRadioButton* channel : {form.RadioButton1, form.RadioButton2}) {
            QVERIFY(!channel->isEnabled());
            QStyleOptionButton option;
            option.initFrom(channel);
            option.text = channel->text();
            const QRect text =
                channel->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, channel);
            const double contrast = textContrast(channel, text.intersected(channel->rect()),
                                                 QPoint(channel->width() - 1, 0));
            QVERIFY2(contrast >= 4.5, qPrintable(QString::number(contrast)));
        }
        QLineEdit* status = form.StatusEdit;
        QVERIFY(!status->isEnabled());
        const QRect text(4, 4, status->fontMetrics().horizontalAdvance("RECEIVING DATA"),
                         status->height() - 8);
        const double contrast =
            textContrast(status, text, QPoint(status->width() - 6, status->height() / 2));
        QVERIFY2(contrast >= 4.5, qPrintable(QString::number(contrast)));
    }

    // The menus show their captions and open with Alt and the underlined letter.
    void menuMnemonics() {
        AppFixture app;
        TForm1& form = app.start();
        settle(form);
        QApplication::setActiveWindow(&form);
        const QList<QAction*> menus = form.menuBar()->actions();
        QStringList titles;
        for (QAction* menu : menus)
            titles << menu->text();
        QCOMPARE(titles, (QStringList{"&File", "&Setup", "&View", "&Help"}));
        QStringList fileItems;
        for (QAction* item : menus[0]->menu()->actions())
            fileItems << item->text().remove(QChar('&'));
        QCOMPARE(fileItems, (QStringList{"Load Chart", "Save Chart", "New/Clear", "Print Chart",
                                         "Export Chart Image...", "Export Report...", "Exit"}));

        QTest::keyClick(&form, Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(menus[0]->menu()->isVisible());
        menus[0]->menu()->close();
    }
};

QTEST_MAIN(TestWindowLayout)
#include "test_layout_handlers.moc"
