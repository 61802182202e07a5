// Diagnostics mode: the hidden state controls shown live in the chart's place.
#include "app/tform1.h"
#include "app_fixture.h"
#include "chart/chart.h"
#include <QAction>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextDocument>

namespace {

QCheckBox* flagBox(TForm1& form, const QString& name) {
    for (QCheckBox* box : form.findChildren<QCheckBox*>())
        if (box->text() == name)
            return box;
    return nullptr;
}

} // namespace

class TestDiagnostics : public QObject {
    Q_OBJECT
  private slots:
    void showsTheLiveControlsAndRestoresTheChart() {
        AppFixture app;
        TForm1& form = app.start();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCheckBox* errorBox = flagBox(form, "Errorindata");
        QVERIFY(errorBox && !errorBox->isVisible());

        form.DiagnosticsMode1->trigger();
        QVERIFY(form.DiagnosticsMode1->isChecked());
        QVERIFY(!form.Chart1->isVisible());
        QVERIFY(errorBox->isVisible());
        QVERIFY(form.Memo2.isVisible() && form.FastBaud.isVisible());

        // Chunks arriving while shown appear at once.
        form.Memo2.append("001\r\nModel X");
        bool headerShown = false;
        for (QPlainTextEdit* memo : form.findChildren<QPlainTextEdit*>())
            headerShown = headerShown || memo->toPlainText() == "001\nModel X";
        QVERIFY(headerShown);

        // A shown check box is the flag itself: ticking it runs the handler.
        form.InitAutoload.setChecked(true);
        errorBox->click();
        QVERIFY(form.Errorindata.checked());
        QVERIFY(!form.InitAutoload.checked());
        form.Errorindata.setChecked(false);
        QVERIFY(!errorBox->isChecked());

        form.DiagnosticsMode1->trigger();
        QVERIFY(!form.DiagnosticsMode1->isChecked());
        QVERIFY(form.Chart1->isVisible());
        QVERIFY(!errorBox->isVisible());
        QVERIFY(!form.Memo1.isVisible() && !form.Memo2.isVisible());
    }

    // Each chunk is added to the end of the hex view (not the whole text set
    // again), and the view follows the newest line; emptying the memo
    // empties the view.
    void hexViewAppendsAndFollowsTheNewestLine() {
        AppFixture app;
        TForm1& form = app.start();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.DiagnosticsMode1->trigger();
        auto* hex = form.findChild<QPlainTextEdit*>("Memo5");
        QVERIFY(hex && hex->isVisible());
        form.Memo5.append("2B");
        struct Change {
            int position, removed, added;
        };
        std::vector<Change> changes;
        connect(hex->document(), &QTextDocument::contentsChange,
                [&](int position, int removed, int added) {
                    changes.push_back({position, removed, added});
                });
        const QString chunk = QString("0A1B2C3D\n").repeated(20);
        for (int i = 0; i < 30; ++i) {
            const int before = hex->document()->characterCount() - 1;
            changes.clear();
            form.Memo5.append(chunk);
            QVERIFY(!changes.empty());
            for (const Change& c : changes)
                QVERIFY2(c.position >= before && c.removed == 0,
                         qPrintable(QString("chunk %1 changed from %2, removing %3")
                                        .arg(i)
                                        .arg(c.position)
                                        .arg(c.removed)));
        }
        QCOMPARE(hex->toPlainText(), form.Memo5.text());
        QVERIFY(hex->verticalScrollBar()->maximum() > 0);
        QCOMPARE(hex->verticalScrollBar()->value(), hex->verticalScrollBar()->maximum());

        // Shown again later, it opens at the newest line too.
        form.DiagnosticsMode1->trigger();
        form.Memo5.append(chunk);
        form.DiagnosticsMode1->trigger();
        QTRY_COMPARE(hex->verticalScrollBar()->value(), hex->verticalScrollBar()->maximum());
        QVERIFY(hex->verticalScrollBar()->maximum() > 0);

        form.Memo5.clear();
        QVERIFY(hex->toPlainText().isEmpty());
    }
};

QTEST_MAIN(TestDiagnostics)
#include "test_diagnostics_view.moc"
