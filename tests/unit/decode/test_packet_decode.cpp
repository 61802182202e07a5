// Data packets: completeness, the record walk and its checksum, events, and
// the commit with its live chart points.
#include "decode/live_plot.h"
#include "decode/packet_decode.h"
#include "model/sample_store.h"
#include <QTest>

using namespace decode;

namespace {

const platform::DateTime kStart = platform::encodeDateTime(2026, 12, 7, 15, 30, 0);
const platform::DateTime kStep = 15 * platform::kSecond;

// Newer logger, 0.01 degrees per count from 0, 240 samples per hour.
PacketParams newer(int samples, bool withRH = false) {
    PacketParams p;
    p.format = 2;
    p.hexDigits = 4;
    p.rhDigits = withRH ? 2 : 0;
    p.withRH = withRH;
    p.blockSampleCount = samples;
    p.conversion.format = 2;
    p.conversion.valueA = 100;
    p.conversion.codeA = 10000;
    p.rangeStart = kStart;
    p.samplesPerHour = 240;
    return p;
}

// "2B", the records, their checksum, the zero field and the closing.
QString newerPacket(const QStringList& records, int recordLength = 4) {
    int sum = 0;
    const QString body = records.join("");
    for (int i = 0; i + 1 < body.size(); i += 2)
        sum += body.mid(i, 2).toInt(nullptr, 16);
    return "2B" + body + QString("%1").arg(sum % 256, 2, 16, QChar('0')).toUpper() +
           QString(recordLength, '0') + "0D0A";
}

} // namespace

class TestPacketDecode : public QObject {
    Q_OBJECT
  private slots:
    void workedPacket() {
        const QString text = "2B"
                             "0102"
                             "0304"
                             "0A"
                             "0000"
                             "0D0A";
        QVERIFY(packetLooksComplete(text, newer(2)));
        QVERIFY(!packetLooksComplete(text.chopped(1), newer(2)));
        const PacketWalk w = walkPacket(text, newer(2));
        QCOMPARE(w.status, PacketWalk::Verified);
        QCOMPARE(int(w.checksum), 10);
        QCOMPARE(w.lists.temps.size(), std::size_t(2));
        QCOMPARE(w.lists.temps[0], 2.58f); // 0x0102 = 258 counts
        QCOMPARE(w.lists.times[1], kStart + kStep);
    }

    void badChecksumText() {
        const PacketWalk w = walkPacket("2B"
                                        "0102"
                                        "0304"
                                        "0B"
                                        "0000"
                                        "0D0A",
                                        newer(2));
        QCOMPARE(w.status, PacketWalk::BadChecksum);
        QCOMPARE(decode::badChecksumText(w), "BAD CHECKSUM (10<>0B)...PLEASE WAIT...");
    }

    void checksumIgnoresCase() {
        QCOMPARE(walkPacket("2B"
                            "00ff"
                            "00ff"
                            "fe"
                            "0000"
                            "0D0A",
                            newer(2))
                     .status,
                 PacketWalk::Verified);
    }

    // Texts that fail one of the tests wait for the next chunk.
    void incomplete_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("too short") << "2B0102";
        QTest::newRow("no closing") << "2B"
                                       "0102"
                                       "0304"
                                       "0A"
                                       "0000"
                                       "1111";
        QTest::newRow("zero field not zero") << "2B"
                                                "0102"
                                                "0304"
                                                "0A"
                                                "0100"
                                                "0D0A";
    }
    void incomplete() {
        QFETCH(QString, text);
        QVERIFY(!packetLooksComplete(text, newer(2)));
    }

    // Event records lengthen the packet beyond what the tests assume; a text
    // that passes them early is reported short, never read past its end.
    void eventsMakeThePacketLonger() {
        const QString full = newerPacket({"FFF8", "0102", "FFFE", "0304"});
        const PacketWalk w = walkPacket(full, newer(2));
        QCOMPARE(w.status, PacketWalk::Verified);
        QCOMPARE(w.lists.temps.size(), std::size_t(2));
        QCOMPARE(w.lists.events[0], std::vector<double>{kStart});         // ns
        QCOMPARE(w.lists.events[1], std::vector<double>{kStart + kStep}); // tas
        const QString early = full.left(20);
        QVERIFY(packetLooksComplete("2B"
                                    "FFF8"
                                    "0102"
                                    "FFFE"
                                    "0000"
                                    "0D0A",
                                    newer(2)));
        QCOMPARE(walkPacket(early, newer(2)).status, PacketWalk::Short);
    }

    void classes_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("cls");
        QTest::addColumn<int>("kind");
        QTest::newRow("no reading") << 2 << "ffff" << int(RecordClass::NoReading) << -1;
        QTest::newRow("no reading upper") << 1 << "FFFF" << int(RecordClass::NoReading) << -1;
        QTest::newRow("alarm start") << 2 << "FFFE" << int(RecordClass::Event) << 1;
        QTest::newRow("rh alarm start") << 2 << "fffd" << int(RecordClass::Event) << 2;
        QTest::newRow("test end") << 2 << "fff9" << int(RecordClass::Event) << 6;
        QTest::newRow("new sensor") << 2 << "fff8" << int(RecordClass::Event) << 0;
        QTest::newRow("older value") << 1 << "fffe" << int(RecordClass::Sample) << -1;
        QTest::newRow("short field") << 2 << "fff" << int(RecordClass::Sample) << -1;
        QTest::newRow("fff7 is a value") << 2 << "fff7" << int(RecordClass::Sample) << -1;
    }
    void classes() {
        QFETCH(int, format);
        QFETCH(QString, field);
        QFETCH(int, cls);
        QFETCH(int, kind);
        int got = -2;
        QCOMPARE(int(classifyField(field, format, got)), cls);
        QCOMPARE(got, kind);
    }

    void rhAndNoReading() {
        // Record = temperature (4) + RH (2); the no-reading record stores
        // 9999 for both.
        const QString text = newerPacket({"0FA03C", "FFFFFF", "0FA0FF"}, 6);
        const PacketWalk w = walkPacket(text, newer(3, true));
        QCOMPARE(w.status, PacketWalk::Verified);
        QCOMPARE(w.lists.temps, (std::vector<float>{40.0f, 9999.0f, 40.0f}));
        QCOMPARE(w.lists.rh, (std::vector<float>{60.0f, 9999.0f, 255.0f}));
    }

    void olderPacket() {
        // 20 bytes of prefix as hex (acknowledgement at 3-4), then text records.
        PacketParams p;
        p.format = 1;
        p.hexDigits = 4;
        p.blockSampleCount = 2;
        p.conversion.format = 1;
        p.conversion.calCodeA = "A00F";
        p.conversion.calCodeB = "8000";
        p.conversion.calValueA = 337.15f;
        p.conversion.calValueB = 273.15f;
        p.rangeStart = kStart;
        p.samplesPerHour = 240;
        const QString text = "002B" + QString(36, '0') +
                             "8A47"
                             "ffff"
                             "ZZ"
                             "0000"
                             "0A";
        QVERIFY(packetLooksComplete(text, p));
        const PacketWalk w = walkPacket(text, p);
        QCOMPARE(w.status, PacketWalk::Verified); // the checksum is not checked
        QCOMPARE(w.lists.temps.size(), std::size_t(2));
        QCOMPARE(w.lists.temps[1], 9999.0f);
    }

    void unusableCalibrationIsCorrupt() {
        PacketParams p = newer(2);
        p.conversion.codeA = p.conversion.codeB;
        QCOMPARE(walkPacket(newerPacket({"0102", "0304"}), p).status, PacketWalk::BadCalibration);
        // Only no-reading records need no conversion.
        QCOMPARE(walkPacket(newerPacket({"FFFF", "ffff"}), p).status, PacketWalk::Verified);
    }

    // Commit and live drawing.
    void firstSampleClearsAndIsNewSensor() {
        SampleStore store;
        const PacketWalk w = walkPacket(newerPacket({"0FA0", "0FA0"}), newer(2));
        const LiveDrawing d = commitPacket(store, w.lists, false, 1, 1);
        QVERIFY(d.clearFirst);
        QCOMPARE(d.series1.size(), std::size_t(2));
        QCOMPARE(d.series1[0], (ChartPoint{kStart, 40.0, QString(), kTemperatureColour}));
        // Without RH the label rides on a colourless point of the second series.
        QCOMPARE(d.series2[0], (ChartPoint{kStart, 0.0, "ns", QColor()}));
        QCOMPARE(d.series2[1], (ChartPoint{kStart + kStep, 1.0, QString(), QColor()}));
        QCOMPARE(store.TempData.size(), std::size_t(2));
        QCOMPARE(store.SampleTimes.size(), std::size_t(2));
    }

    void labels_data() {
        QTest::addColumn<QStringList>("records");
        QTest::addColumn<QString>("label");
        QTest::newRow("two sensors before the first sample")
            << QStringList{"FFF8", "FFF8", "0FA0"} << "3 ns";
        QTest::newRow("alarm starts") << QStringList{"FFFE", "FFFD", "0FA0"} << "ns, tas, RHas";
        QTest::newRow("test start is tb") << QStringList{"FFFA", "0FA0"} << "ns, tb";
    }
    void labels() {
        QFETCH(QStringList, records);
        QFETCH(QString, label);
        SampleStore store;
        const PacketWalk w = walkPacket(newerPacket(records), newer(1));
        QCOMPARE(w.status, PacketWalk::Verified);
        const LiveDrawing d = commitPacket(store, w.lists, false, 1, 1);
        QCOMPARE(d.series2.at(0).label, label);
    }

    void gapsAreSilver() {
        SampleStore store;
        const PacketWalk w =
            walkPacket(newerPacket({"0FA03C", "FFFFFF", "0FA03C"}, 6), newer(3, true));
        const LiveDrawing d = commitPacket(store, w.lists, true, 1, 1);
        QCOMPARE(d.series1.size(), std::size_t(2));
        QCOMPARE(d.series1[0].y, 104.0); // 40 C in F
        QCOMPARE(d.series1[1].colour, kAfterGapColour);
        QCOMPARE(d.series2[0].colour, kRHColour);
        QCOMPARE(d.series2[1].colour, kAfterGapColour);
        QCOMPARE(store.TempData[1], 9999.0f);
        QCOMPARE(store.RHData[1], 9999.0f);
    }

    void laterPacketKeepsTheChart() {
        SampleStore store;
        commitPacket(store, walkPacket(newerPacket({"0FA0"}), newer(1)).lists, false, 1, 1);
        PacketParams p = newer(1);
        p.storedSamples = 1;
        const PacketWalk w = walkPacket(newerPacket({"0FA0"}), p);
        QCOMPARE(w.lists.times[0], kStart + kStep);
        const LiveDrawing d = commitPacket(store, w.lists, false, 1, 1);
        QVERIFY(!d.clearFirst);
        QCOMPARE(d.series2[0].label, QString());
        QCOMPARE(d.series2[0].y, 1.0);
    }
};

QTEST_APPLESS_MAIN(TestPacketDecode)
#include "test_packet_decode.moc"
