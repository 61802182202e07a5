// Uploads from a simulated logger on a pseudo-terminal under the user's
// settings: the port's fast rate, the channel and the range choice, each
// seen in what the host asks the logger for and in what the store holds.
#include "app/radio_group.h"
#include "link/upload_plan.h"
#include "upload_rig.h"
#include <QDateEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimeEdit>

class TestUploadSettings : public QObject {
    Q_OBJECT
  private slots:
    void fastRate_data();
    void fastRate();
    void channels_data();
    void channels();
    void rangeChoices_data();
    void rangeChoices();
};

// Rates of the standard table and beyond it are used as set; a rate that the
// baud-switch command cannot carry is not asked for.
void TestUploadSettings::fastRate_data() {
    QTest::addColumn<QString>("comport");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("attempt");
    QTest::addColumn<int>("requestSpeed"); // the line speed the block request goes out at
    const QByteArray request = "001120126000000000009";
    const QByteArray back = "BD00000000";
    QTest::newRow("COM1: 57600") << "COM1"
                                 << "?B057600T05" + request + back
                                 << "Attempting 57600 baud rate..." << 57600;
    QTest::newRow("COM1:115200") << "COM1:115200"
                                 << "?B115200T05" + request + back
                                 << "Attempting 115200 baud rate..." << 115200;
    for (const int rate : {14400, 56000, 128000, 256000, 999999})
        QTest::newRow(qPrintable(QString("COM1:%1, outside the fixed table").arg(rate)))
            << QString("COM1:%1").arg(rate)
            << "?" + bvlink::fastBaudCommand(rate).toLatin1() + request + back
            << QString("Attempting %1 baud rate...").arg(rate) << rate;
    QTest::newRow("COM1:19200, no fast rate") << "COM1:19200"
                                              << "?" + request << QString() << 19200;
    for (const char* rate : {"99999999999", "1000000", "0"})
        QTest::newRow(qPrintable(QString("COM1:%1, more than six digits or none").arg(rate)))
            << QString("COM1:%1").arg(rate) << "?" + request
            << QString("Cannot use %1 baud rate; continuing at 19200...").arg(rate) << 19200;
}

void TestUploadSettings::fastRate() {
    QFETCH(QString, comport);
    QFETCH(QByteArray, sent);
    QFETCH(QString, attempt);
    QFETCH(int, requestSpeed);
    const bvsim::LoggerConfig config = loggerConfig(2, false, 9);
    UploadRig rig(config, comport);
    QVERIFY(rig.upload());
    rig.waitForSent(sent);
    QCOMPARE(rig.sent(), sent);
    QCOMPARE(rig.statuses.filter("baud rate").join('|'), attempt);
    const qsizetype at = sent.indexOf("0011201260000");
    QCOMPARE(rig.logger->receivedSpeeds().mid(at, 21), QList<int>(21, requestSpeed));
    QVERIFY(!rig.form().FastBaud.checked());
    QCOMPARE(rig.logger->baudRate(), 19200);
    QCOMPARE(rig.form().store.TempData.size(), std::size_t(9));
}

// The two channels hold different ranges, so the store shows which one came.
void TestUploadSettings::channels_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("channel");
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("newer, channel 1") << 2 << 0 << QByteArray("001120126000000000050");
    QTest::newRow("newer, channel 2") << 2 << 1 << QByteArray("002120526063000000080");
    QTest::newRow("older, channel 1") << 1 << 0 << QByteArray("1120126000000000050");
    QTest::newRow("older, channel 2") << 1 << 1 << QByteArray("2120526063000000080");
}

void TestUploadSettings::channels() {
    QFETCH(int, format);
    QFETCH(int, channel);
    QFETCH(QByteArray, request);
    bvsim::LoggerConfig config = loggerConfig(format, true, 50, 60);
    config.channels[1].first = platform::encodeDateTime(2026, 12, 5, 6, 30, 0);
    config.channels[1].count = 80;
    UploadRig rig(config, "COM1:19200");
    if (channel == 1)
        rig.form().RadioButton2->setChecked(true);
    QVERIFY(rig.upload());
    rig.waitForSent("?" + request);
    QCOMPARE(rig.sent(), "?" + request);
    QCOMPARE(rig.form().store.ChannelLabel, QString("Channel %1").arg(channel + 1));
    QCOMPARE(rig.form().Samplesperhour.text(), "60");
    const QString difference =
        storeDifference(rig.form().store, config, channel, 0, config.channels[channel].count);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

// The logger holds 25 Oct 2026 00:00 to 8 Dec 2026 23:00 every hour; "now" is
// 9 Dec 2026 10:00, so the last month and week end at the last sample and
// include it; "Custom" is half-open. A logger holding one sample gives it;
// a week that is no whole number of intervals starts at its first sample.
void TestUploadSettings::rangeChoices_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<double>("perHour");
    QTest::addColumn<int>("choice");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("firstRequest");
    QTest::newRow("All data") << 1080 << 1.0 << 0 << 0 << 1080
                              << QByteArray("001102526000000001080");
    QTest::newRow("Last month") << 1080 << 1.0 << 1 << 359 << 721
                                << QByteArray("001110826230000000721");
    QTest::newRow("Last week") << 1080 << 1.0 << 2 << 911 << 169
                               << QByteArray("001120126230000000169");
    QTest::newRow("Custom") << 1080 << 1.0 << 3 << 876 << 48 << QByteArray("001113026120000000048");
    QTest::newRow("All data of one sample")
        << 1 << 1.0 << 0 << 0 << 1 << QByteArray("001102526000000000001");
    QTest::newRow("Last week at 7 per hour")
        << 3000 << 7.0 << 2 << 1823 << 1177 << QByteArray("001110426201702001177");
}

void TestUploadSettings::rangeChoices() {
    QFETCH(int, stored);
    QFETCH(double, perHour);
    QFETCH(int, choice);
    QFETCH(int, first);
    QFETCH(int, count);
    QFETCH(QByteArray, firstRequest);
    bvsim::LoggerConfig config = loggerConfig(2, false, stored, perHour);
    for (bvsim::ChannelData& ch : config.channels)
        ch.first = platform::encodeDateTime(2026, 10, 25, 0, 0, 0);
    UploadRig rig(config, "COM1:19200");
    TForm1& form = rig.form();
    form.upload_range_group->setItemIndex(choice);
    if (choice == 3) {
        form.Startdate->setDate(QDate(2026, 11, 30));
        form.Starttime->setTime(QTime(12, 0, 0));
        form.Enddate->setDate(QDate(2026, 12, 2));
        form.Endtime->setTime(QTime(12, 0, 0));
    }
    QVERIFY(rig.upload());
    rig.waitForSent("?" + firstRequest);
    QCOMPARE(rig.sent(), "?" + firstRequest);
    QCOMPARE(form.store.RangeSampleCount, count);
    const QString difference = storeDifference(form.store, config, 0, first, count);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

QTEST_MAIN(TestUploadSettings)
#include "test_upload_settings.moc"
