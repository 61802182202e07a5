// Framing of what the logger sends: unescaping, header format, header
// completion in both formats, and the data memo text.
#include "link/reader_framing.h"
#include <QTest>
#include <algorithm>

using namespace bvlink;

class ReaderFramingTest : public QObject {
    Q_OBJECT
  private slots:
    void unescape_data();
    void unescape();
    void escapeAtEndOfReadAppliesToNextRead();
    void headerFormatIsToldByTheSecondByte();
    void olderHeaderCompletion_data();
    void olderHeaderCompletion();
    void newerHeaderScore_data();
    void newerHeaderScore();
    void newerHeaderScannerFollowsEveryRead_data();
    void newerHeaderScannerFollowsEveryRead();
    void newerHeaderScannerStartsAgainOnAnotherText();
    void dataChunkText_data();
    void dataChunkText();
};

void ReaderFramingTest::unescape_data() {
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("escaped escape") << QByteArray("\x5C\x5C\x41") << QByteArray("\x5C\x41");
    QTest::newRow("escaped zero") << QByteArray("\x5C\x00\x01", 3) << QByteArray("\x00\x01", 2);
    QTest::newRow("plain") << QByteArray("\x2B\x01") << QByteArray("\x2B\x01");
    QTest::newRow("lone escape at end") << QByteArray("\x41\x5C") << QByteArray("\x41");
}

void ReaderFramingTest::unescape() {
    QFETCH(QByteArray, raw);
    QFETCH(QByteArray, expected);
    bool pending = false;
    QCOMPARE(bvlink::unescape(raw, pending), expected);
}

void ReaderFramingTest::escapeAtEndOfReadAppliesToNextRead() {
    bool pending = false;
    QCOMPARE(bvlink::unescape("\x01\x5C", pending), QByteArray("\x01"));
    QVERIFY(pending);
    QCOMPARE(bvlink::unescape("\x5C\x02", pending), QByteArray("\x5C\x02"));
    QVERIFY(!pending);
}

void ReaderFramingTest::headerFormatIsToldByTheSecondByte() {
    QCOMPARE(headerFormatOf("001"), 2);
    QCOMPARE(headerFormatOf("V1\r\n"), 1);
    QCOMPARE(headerFormatOf("10"), 2);
    QCOMPARE(headerFormatOf("0"), 1); // callers never ask with fewer than two bytes
}

void ReaderFramingTest::olderHeaderCompletion_data() {
    QTest::addColumn<int>("lines");
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<int>("expected");
    const int none = int(OlderHeader::Incomplete);
    QTest::newRow("26 ending on LF")
        << 26 << QByteArray("12:00:00\r\n") << int(OlderHeader::TemperatureModel);
    QTest::newRow("26 with a byte after") << 26 << QByteArray("00\r\nA") << none;
    QTest::newRow("27 passes 26") << 27 << QByteArray("\r\n") << none;
    QTest::newRow("38 ending on LF") << 38 << QByteArray("%RH\r\n") << int(OlderHeader::RhModel);
    QTest::newRow("25") << 25 << QByteArray("\r\n") << none;
    QTest::newRow("empty chunk") << 26 << QByteArray() << none;
}

void ReaderFramingTest::olderHeaderCompletion() {
    QFETCH(int, lines);
    QFETCH(QByteArray, chunk);
    QFETCH(int, expected);
    QCOMPARE(int(bvlink::olderHeaderCompletion(lines, chunk)), expected);
}

void ReaderFramingTest::newerHeaderScore_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("rhBefore");
    QTest::addColumn<int>("score");
    QTest::addColumn<bool>("rh");
    const QString iir = "IIR filter 0% last output\r\n";
    QTest::newRow("two temperature channels")
        << "001\r\n1 channels\r\n" + iir + "002\r\n1 channels\r\n" + iir << false << 4 << false;
    QTest::newRow("RH then temperature")
        << "001\r\n2 channels\r\n" + iir + iir + "002\r\n1 channels\r\n" + iir << false << 4
        << false;
    QTest::newRow("no data and RH")
        << "001\r\nNo data\r\n002\r\n2 channels\r\n" + iir + iir << false << 4 << true;
    QTest::newRow("last line not yet ended")
        << "001\r\n1 channels\r\n" + iir + "002\r\n1 channels\r\nIIR filter 0% last output\r"
        << false << 2 << false;
    QTest::newRow("3 then 5 never completes")
        << "001\r\n2 channels\r\n" + iir + iir + iir + "No data\r\n"
        << false << 5 << true;
    QTest::newRow("no channels line") << "001\r\n" + iir << false << 2 << false;
    // Without a channels line the RH already known weighs the filter lines.
    QTest::newRow("no channels line, RH known") << "001\r\n" + iir + iir << true << 2 << true;
    QTest::newRow("one channel clears RH") << "001\r\n1 channels\r\n" + iir << true << 2 << false;
    QTest::newRow("blanks and sign before the number")
        << "001\r\n +2 channels\r\n" + iir << false << 1 << true;
    QTest::newRow("no number first") << "001\r\nchannels: 2\r\n" + iir << false << 2 << false;
    // Not 2 channels wrapped round: a number no int holds tells nothing.
    QTest::newRow("number past int range")
        << "001\r\n4294967298 channels\r\n" + iir << false << 2 << false;
}

void ReaderFramingTest::newerHeaderScore() {
    QFETCH(QString, text);
    QFETCH(bool, rhBefore);
    QFETCH(int, score);
    QFETCH(bool, rh);
    const NewerHeaderScan scan = bvlink::newerHeaderScore(text, rhBefore);
    QCOMPARE(scan.score, score);
    QCOMPARE(scan.rh, rh);
}

void ReaderFramingTest::newerHeaderScannerFollowsEveryRead_data() {
    QTest::addColumn<QString>("text");
    const QString iir = "IIR filter 0% last output\r\n";
    const QString pad(240, 'x');
    QTest::newRow("two temperature channels")
        << "001\r\n1 channels\r\n" + iir + "002\r\n1 channels\r\n" + iir;
    QTest::newRow("RH then temperature")
        << "001\r\n2 channels\r\n" + iir + iir + "002\r\n1 channels\r\n" + iir;
    // The filter line before the channels line counts 2 on the first scan,
    // 1 on the next, which starts from the RH the first one found.
    QTest::newRow("filter line before its channels line")
        << "001\r\n" + iir + "2 channels\r\n" + iir + "No data\r\n" + iir;
    // Without a channels line the two starting RH values part: from no RH the
    // score is 4 before the "No data" line, from RH only after it.
    QTest::newRow("filter lines without a channels line")
        << "001\r\n" + iir + iir + "No data\r\n" + iir;
    QTest::newRow("3 then 5 never completes")
        << "001\r\n2 channels\r\n" + iir + iir + iir + "No data\r\n" + iir;
    QTest::newRow("bare line feeds and empty lines")
        << "001\r\r\n\r\nNo data\nx\r\n\r\r2 channels\nIIR filter last output\r\nNo data\n";
    // 255 characters make a line without a CR; its last character decides
    // whether it is complete, and a CR LF right after it belongs to it.
    const QString noData255 = "No data" + pad + "xxxxxxx\n";
    const QString channels255 = "2 channels" + pad + "xxxxx";
    const QString iir255 = "IIR filter" + QString(233, 'x') + "last output\n";
    const QString iirCut = "IIR filter" + pad + "last output\r\n"; // "output" on the next line
    QTest::newRow("255-character lines") << "001\r\n" + noData255 + channels255 + "\r\n" + iirCut +
                                                pad + pad + "\r\n" + iir255 + noData255 + "tail";
}

void ReaderFramingTest::newerHeaderScannerFollowsEveryRead() {
    // The reader scans after every read, with the RH the last scan left or,
    // when the window changed it in between, another.
    QFETCH(QString, text);
    for (const bool windowFlipsRh : {false, true}) {
        for (const bool rhBefore : {false, true}) {
            for (qsizetype size = 1; size <= text.size(); ++size) {
                NewerHeaderScanner scanner;
                bool rh = rhBefore;
                for (qsizetype end = size;; end += size) {
                    const QString received = text.first(std::min(end, text.size()));
                    const NewerHeaderScan expected = bvlink::newerHeaderScore(received, rh);
                    const NewerHeaderScan scan = scanner.scan(received, rh);
                    if (scan.score != expected.score || scan.rh != expected.rh)
                        QFAIL(qPrintable(QString("reads of %1, after %2 characters from RH %3: "
                                                 "score %4 RH %5, expected %6 RH %7")
                                             .arg(size)
                                             .arg(received.size())
                                             .arg(rh)
                                             .arg(scan.score)
                                             .arg(scan.rh)
                                             .arg(expected.score)
                                             .arg(expected.rh)));
                    rh = windowFlipsRh ? !rh : scan.rh;
                    if (end >= text.size())
                        break;
                }
            }
        }
    }
}

void ReaderFramingTest::newerHeaderScannerStartsAgainOnAnotherText() {
    const QString iir = "IIR filter 0% last output\r\n";
    const QString first = "001\r\n1 channels\r\n" + iir + "002\r\n1 channels\r\n" + iir;
    const QString second = "001\r\nNo data\r\n002\r\n2 channels\r\n" + iir + iir;
    NewerHeaderScanner scanner;
    QCOMPARE(scanner.scan(first, false).score, 4);
    // A shorter text cannot be the header scanned so far.
    const QString shorter = second.first(20);
    QCOMPARE(scanner.scan(shorter, false).score, bvlink::newerHeaderScore(shorter, false).score);
    // A new upload's header, longer than the last one, needs the reset.
    scanner.scan(first, false);
    scanner.reset();
    const NewerHeaderScan scan = scanner.scan(second + iir, false);
    QCOMPARE(scan.score, 4);
    QVERIFY(scan.rh);
}

void ReaderFramingTest::dataChunkText_data() {
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("memoLength");
    QTest::addColumn<QString>("expected");
    QTest::newRow("newer: hex") << QByteArray("\x2B\x0A\xFF") << 2 << 100 << "2B0AFF";
    QTest::newRow("older: hex below 40") << QByteArray("1+") << 1 << 0 << "312B";
    QTest::newRow("older: crosses 40") << QByteArray("\x01\x02"
                                                     "8A")
                                       << 1 << 36 << "01028A";
    QTest::newRow("older: text from 40") << QByteArray("8A47") << 1 << 40 << "8A47";
    QByteArray everyByte;
    QString everyHex;
    for (int b = 0; b < 256; ++b) {
        everyByte += static_cast<char>(b);
        everyHex += QString::asprintf("%02X", b);
    }
    QTest::newRow("newer: every byte value") << everyByte << 2 << 0 << everyHex;
    QTest::newRow("older: NUL and high bytes as text")
        << QByteArray("\0\xE9", 2) << 1 << 40 << QString(QChar(0)) + QChar(0xE9);
}

void ReaderFramingTest::dataChunkText() {
    QFETCH(QByteArray, chunk);
    QFETCH(int, format);
    QFETCH(int, memoLength);
    QFETCH(QString, expected);
    QCOMPARE(bvlink::dataChunkText(chunk, format, memoLength), expected);
}

QTEST_GUILESS_MAIN(ReaderFramingTest)
#include "test_reader_framing.moc"
