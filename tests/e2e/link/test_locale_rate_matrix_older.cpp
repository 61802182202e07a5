// The locale x rate matrix for older loggers, which state their rate as a
// whole number of samples an hour.
#include "locale_matrix.h"
#include <QTest>

class TestLocaleRateMatrixOlder : public QObject {
    Q_OBJECT
  private slots:
    void uploadSaveLoad_data() {
        QTest::addColumn<double>("perHour");
        for (const double perHour : {240.0, 60.0, 13.0, 7.0})
            QTest::addRow("%g per hour", perHour) << perHour;
    }
    void uploadSaveLoad() {
        QFETCH(double, perHour);
        const QString difference = uploadSaveLoadUnderEveryLocale(1, perHour);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }
};

QTEST_MAIN(TestLocaleRateMatrixOlder)
#include "test_locale_rate_matrix_older.moc"
