// Whole uploads from a simulated logger on a pseudo-terminal, through the main
// window's "Upload Data" handler and event loop: what the host sends, what
// the store holds afterwards and what the chart draws while it loads.
#include "chart/chart.h"
#include "link/link_state.h"
#include "upload_rig.h"
#include <QTest>
#include <map>

namespace {

using Events = std::vector<std::pair<int, int>>;

// Index of the point of a series at time x, or -1.
int pointAt(ChartSeries& series, platform::DateTime x) {
    for (int i = 0; i < series.count(); ++i)
        if (std::abs(series.x(i) - x) < 1e-8)
            return i;
    return -1;
}

platform::DateTime sampleTime(const bvsim::ChannelData& ch, int position) {
    return ch.first +
           position * bvsim::SimulatedLogger::intervalSeconds(ch.storedPerHour) * platform::kSecond;
}

} // namespace

class TestUploadEndToEnd : public QObject {
    Q_OBJECT
  private slots:
    void headerFormats_data();
    void headerFormats();
    void blocksFollowOneSecondAfterTheLastEnd_data();
    void blocksFollowOneSecondAfterTheLastEnd();
    void fastRateBlocksWaitOutNoReads();
    void eventsAreStoredAndLabelled_data();
    void eventsAreStoredAndLabelled();
    void samplesWithoutReading_data();
    void samplesWithoutReading();
};

// Both header formats and both kinds of logger of each, over two blocks.
// "All data" runs from the first sample to the last, both included.
void TestUploadEndToEnd::headerFormats_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("rh");
    QTest::addColumn<QString>("headerStatus");
    QTest::addColumn<QByteArray>("sent");
    const QByteArray older = "?1120126000000001500"
                             "1120126061501000100";
    const QByteArray newer = "?B057600T05"
                             "001120126000000001500"
                             "001120126061501000100"
                             "BD00000000";
    QTest::newRow("older, temperature model")
        << 1 << false << "HEADER LOADED (TEMPERATURE MODEL)...PLEASE WAIT..." << older;
    QTest::newRow("older, RH model")
        << 1 << true << "HEADER LOADED (RH+TEMPERATURE MODEL)...PLEASE WAIT..." << older;
    QTest::newRow("newer without RH")
        << 2 << false << "HEADER LOADED (VERSION 2)...PLEASE WAIT..." << newer;
    QTest::newRow("newer with RH")
        << 2 << true << "HEADER LOADED (VERSION 2)...PLEASE WAIT..." << newer;
}

void TestUploadEndToEnd::headerFormats() {
    QFETCH(int, format);
    QFETCH(bool, rh);
    QFETCH(QString, headerStatus);
    QFETCH(QByteArray, sent);
    const bvsim::LoggerConfig config = loggerConfig(format, rh, 1600);
    UploadRig rig(config);
    QVERIFY(rig.upload());
    QVERIFY(rig.statuses.contains(headerStatus));
    QCOMPARE(rig.form().store.HeaderFormat.load(), format);
    QCOMPARE(rig.form().RHBV.checked(), rh);
    rig.waitForSent(sent);
    QCOMPARE(rig.sent(), sent);
    const QString difference = storeDifference(rig.form().store, config, 0, 0, 1600);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QCOMPARE(rig.form().Chart1->Series1().count(), 1600);
    QVERIFY(rig.form().DataLoaded.checked());
    QVERIFY(rig.form().UploadData->isEnabled());
    QVERIFY(!rig.form().AbortUpload->isEnabled());
    QCOMPARE(rig.logger->baudRate(), 19200);
}

// 3600 samples: blocks of 1500, 1500 and 600 (the count of the block plan,
// also where the interval does not divide an hour), each asked for from one
// second after the end of the one before, and the samples stamped start + k
// intervals whatever the block starts were.
void TestUploadEndToEnd::blocksFollowOneSecondAfterTheLastEnd_data() {
    QTest::addColumn<double>("perHour");
    QTest::addColumn<QByteArray>("second"); // the start of the second block
    QTest::addColumn<QByteArray>("third");
    QTest::newRow("240 per hour, 15 s")
        << 240.0 << QByteArray("120126061501") << QByteArray("120126123002");
    QTest::newRow("7 per hour, 514 s")
        << 7.0 << QByteArray("120926221001") << QByteArray("121826202002");
    QTest::newRow("13 per hour, 277 s")
        << 13.0 << QByteArray("120526192501") << QByteArray("121026145002");
}

void TestUploadEndToEnd::blocksFollowOneSecondAfterTheLastEnd() {
    QFETCH(double, perHour);
    QFETCH(QByteArray, second);
    QFETCH(QByteArray, third);
    const bvsim::LoggerConfig config = loggerConfig(2, true, 3600, perHour);
    UploadRig rig(config);
    QVERIFY(rig.upload());
    const QByteArray sent = "?B057600T05"
                            "001120126000000001500"
                            "001" +
                            second +
                            "001500"
                            "001" +
                            third +
                            "000600"
                            "BD00000000";
    rig.waitForSent(sent);
    QCOMPARE(rig.sent(), sent);
    QVERIFY(rig.statuses.contains("Reading 1500 of 3600"));
    QVERIFY(rig.statuses.contains("Reading 3000 of 3600"));
    const QString difference = storeDifference(rig.form().store, config, 0, 0, 3600);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

// A logger that answers each block at once: every block is decoded as soon
// as its last bytes are in, so the data phase takes far fewer of the
// reader's one-second turns than there are blocks.
void TestUploadEndToEnd::fastRateBlocksWaitOutNoReads() {
    const int blocks = 10;
    const bvsim::LoggerConfig config = loggerConfig(2, true, blocks * 1500);
    UploadRig rig(config, "COM1:115200");
    const std::atomic<int>& timeouts = rig.form().link->port(rig.form()).shared().DataReadTimeouts;
    const int before = timeouts;
    QVERIFY(rig.upload());
    const int waited = timeouts - before;
    QVERIFY2(waited <= blocks / 5, qPrintable(QString("%1 one-second reads").arg(waited)));
    QVERIFY(rig.statuses.contains("Attempting 115200 baud rate..."));
    const QString difference = storeDifference(rig.form().store, config, 0, 0, blocks * 1500);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

// Every event code before a sample, in the first and in a later block; the
// label of each lands on the Series2 point of the sample after it as the
// packets are drawn.
void TestUploadEndToEnd::eventsAreStoredAndLabelled_data() {
    QTest::addColumn<bool>("rh");
    QTest::addColumn<bool>("pacing");
    QTest::newRow("without RH: labels on undrawn points") << false << false;
    QTest::newRow("with RH: labels on RH points") << true << false;
    // Packets arrive a few bytes at a time, so the decoder sees many partial ones.
    QTest::newRow("with RH, at the line speed") << true << true;
}

void TestUploadEndToEnd::eventsAreStoredAndLabelled() {
    QFETCH(bool, rh);
    QFETCH(bool, pacing);
    struct Label {
        int position;
        QString text;
    };
    const Events events = {{10, 0xfff8},   {20, 0xfffe},   {30, 0xfffd},   {40, 0xfffc},
                           {50, 0xfffb},   {60, 0xfffa},   {70, 0xfff9},   {80, 0xfff8},
                           {80, 0xfff8},   {90, 0xfffd},   {90, 0xfffe},   {1600, 0xfffa},
                           {1601, 0xfff9}, {1620, 0xfff8}, {1620, 0xfffc}, {1620, 0xfff9}};
    const std::vector<Label> labels = {{0, "ns"},
                                       {10, "ns"},
                                       {20, "tas"},
                                       {30, "RHas"},
                                       {40, "tae"},
                                       {50, "RHae"},
                                       {60, "tb"},
                                       {70, "te"},
                                       {80, "2 ns"},
                                       {90, "tas, RHas"},
                                       {1600, "tb"},
                                       {1601, "te"},
                                       {1620, "ns, tae, te"},
                                       {11, ""}};
    bvsim::LoggerConfig config = loggerConfig(2, rh, 1700);
    for (bvsim::ChannelData& ch : config.channels)
        ch.events = events;
    UploadRig rig(config, "COM1", pacing);
    ChartSeries& series2 = rig.form().Chart1->Series2();
    // Series2 as drawn after the last packet.
    std::map<platform::DateTime, std::pair<QString, bool>> drawn;
    QObject watch; // goes before the rest
    QObject::connect(&rig.form().Edit1, &StateControl::valueChanged, &watch, [&] {
        if (rig.form().Edit1.text() != "Checksum verified.")
            return;
        drawn.clear();
        for (int i = 0; i < series2.count(); ++i)
            drawn[series2.x(i)] = {series2.label(i), series2.colour(i).isValid()};
    });
    QVERIFY(rig.upload());
    const QString difference = storeDifference(rig.form().store, config, 0, 0, 1700);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));

    QCOMPARE(drawn.size(), std::size_t(1700));
    for (const Label& label : labels) {
        const platform::DateTime x = sampleTime(config.channels[0], label.position);
        const auto point = drawn.lower_bound(x - 1e-8);
        QVERIFY2(point != drawn.end() && point->first <= x + 1e-8,
                 qPrintable(QString::number(label.position)));
        QCOMPARE(point->second.first, label.text);
        QCOMPARE(point->second.second, rh);
    }
    // Once loaded, the chart is the redraw of the store: RH points, or the
    // undrawn points that carry the labels.
    QCOMPARE(series2.count(), 1700);
}

void TestUploadEndToEnd::samplesWithoutReading_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("rh");
    QTest::newRow("newer with RH") << 2 << true;
    QTest::newRow("newer without RH") << 2 << false;
    QTest::newRow("older, RH model") << 1 << true;
}

// Samples 5, 6 and 1499 (the last of the first block) carry no reading: 9999
// in the store, no point drawn, and the next drawn point of each series silver.
void TestUploadEndToEnd::samplesWithoutReading() {
    QFETCH(int, format);
    QFETCH(bool, rh);
    const std::vector<int> missing = {5, 6, 1499};
    bvsim::LoggerConfig config = loggerConfig(format, rh, 1600);
    for (bvsim::ChannelData& ch : config.channels)
        ch.noReading = missing;
    UploadRig rig(config);
    QVERIFY(rig.upload());
    const SampleStore& store = rig.form().store;
    const QString difference = storeDifference(store, config, 0, 0, 1600);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));

    const QColor silver(192, 192, 192);
    ChartSeries& series1 = rig.form().Chart1->Series1();
    ChartSeries& series2 = rig.form().Chart1->Series2();
    QCOMPARE(series1.count(), 1600 - int(missing.size()));
    for (const int position : missing)
        QCOMPARE(pointAt(series1, sampleTime(config.channels[0], position)), -1);
    for (const int position : {7, 1500}) {
        const platform::DateTime x = sampleTime(config.channels[0], position);
        QCOMPARE(series1.colour(pointAt(series1, x)), silver);
        if (rh)
            QCOMPARE(series2.colour(pointAt(series2, x)), silver);
    }
    const platform::DateTime later = sampleTime(config.channels[0], 8);
    QCOMPARE(series1.colour(pointAt(series1, later)), QColor(255, 0, 0));
    if (rh)
        QCOMPARE(series2.colour(pointAt(series2, later)), QColor(0, 0, 255));
}

QTEST_MAIN(TestUploadEndToEnd)
#include "test_upload_end_to_end.moc"
