// Diagnostics mode: the hidden state controls shown live in the chart's place.
#include "app/tform1.h"
#include "app_fixture.h"
#include "chart/chart.h"
#include <QAction>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTest>

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
};

QTEST_MAIN(TestDiagnostics)
#include "test_diagnostics.moc"
