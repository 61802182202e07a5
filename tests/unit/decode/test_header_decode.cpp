// Decoding the logger's header: both layouts, the field tests and the texts
// shown for the selected channel.
#include "decode/header_decode.h"
#include "decode/scan_pattern.h"
#include "model/sample_store.h"
#include <QTest>

using namespace decode;

namespace {

// A newer-format channel section, one entry per line; tests replace lines.
QStringList newerSection(bool withRH) {
    QStringList s{"Model BV-200", "Serial 4711",   withRH ? "2" : "1", "Calibrated 2026-01-05",
                  "1 points",     "Measured 20.5", "Actual 20.25"};
    if (withRH)
        s << "0 points";
    s << "Sampled every 5 seconds"
      << "Stored every 15 seconds"
      << "12/07/26"
      << "15:30:00"
      << "12/01/26"
      << "08:00:00"
      << "1T"
      << "16 bits signed"
      << "2710 100.0"
      << "0 0.0"
      << "C degrees"
      << "IIR filter 12.345% last output";
    if (withRH)
        s << "2H"
          << "8 bits unsigned"
          << "FF 100.0"
          << "0 0.0"
          << "%RH"
          << "IIR filter 50% last output";
    return s;
}

QString newerHeader(const QStringList& ch1, const QStringList& ch2) {
    return "001\r\n" + ch1.join("\r\n") + "\r\n002\r\n" + ch2.join("\r\n") + "\r\n\r\n";
}

// An older-format channel section of 12 value lines.
QStringList olderSection() {
    return {"A00F", "+337.15", "8000",     "273.15",   "CH",       "240",
            "720",  "Actual",  "12/07/26", "15:30:00", "12/01/26", "08:00:00"};
}

QString olderHeader(const QStringList& ch1, const QStringList& ch2, const QString& marker = "2") {
    return " 1\r\n" + ch1.join("\r\n") + "\r\n" + marker + "\r\n" + ch2.join("\r\n") + "\r\n\r\n";
}

} // namespace

class TestHeaderDecode : public QObject {
    Q_OBJECT
  private slots:
    void lineReader_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("next");
        QTest::newRow("CR LF") << "ab\r\ncd" << 1 << 256 << "ab" << 5;
        QTest::newRow("CR alone") << "ab\rcd" << 1 << 256 << "ab" << 4;
        QTest::newRow("lone LF does not end") << "a\nb\r\n" << 1 << 256 << "a\nb" << 6;
        QTest::newRow("last line unterminated") << "abc" << 1 << 256 << "abc" << 4;
        QTest::newRow("from the middle") << "ab\r\ncd\r\n" << 5 << 256 << "cd" << 9;
        QTest::newRow("beyond the end") << "ab" << 4 << 256 << "" << 4;
        QTest::newRow("at most maximum-1") << "abcdef\r\n" << 1 << 4 << "abc" << 4;
        QTest::newRow("maximum 1 copies nothing") << "ab\r\n" << 1 << 1 << "" << 1;
        QTest::newRow("maximum 0 copies nothing") << "ab\r\n" << 2 << 0 << "" << 2;
    }
    void lineReader() {
        QFETCH(QString, text);
        QFETCH(int, position);
        QFETCH(int, maximum);
        QFETCH(QString, line);
        QFETCH(int, next);
        QString got = "stale";
        QCOMPARE(readHeaderLine(text, position, maximum, got), next);
        QCOMPARE(got, line);
    }

    void scanner_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("count");
        QTest::newRow("int") << "2"
                             << "%d" << 1;
        QTest::newRow("int with words") << "3 points"
                                        << "%d points" << 1;
        QTest::newRow("not a number") << "x points"
                                      << "%d points" << 0;
        QTest::newRow("literal before") << "Sampled every 5 seconds"
                                        << "Sampled every %f seconds" << 1;
        QTest::newRow("literal mismatch") << "Sampled each 5 seconds"
                                          << "Sampled every %f seconds" << 0;
        QTest::newRow("two items") << "16 bits signed"
                                   << "%d bits %s" << 2;
        QTest::newRow("word missing") << "16 bits"
                                      << "%d bits %s" << 1;
        QTest::newRow("hex and float") << "8000 -12.5"
                                       << "%x %f" << 2;
        QTest::newRow("percent") << "IIR filter 1.5% last output"
                                 << "IIR filter %f%% last output" << 1;
        QTest::newRow("blank run") << "Stored   every   60 seconds"
                                   << "Stored every %f seconds" << 1;
        QTest::newRow("empty line") << ""
                                    << "%d" << 0;
        QTest::newRow("int overflow") << "99999999999"
                                      << "%d" << 0;
        QTest::newRow("nan is no number") << "nan"
                                          << "%f" << 0;
    }
    void scanner() {
        QFETCH(QString, line);
        QFETCH(QString, pattern);
        QFETCH(int, count);
        int i = 0;
        float f = 0;
        std::int32_t x = 0;
        QString s;
        std::vector<ScanTarget> targets;
        const QByteArray p = pattern.toLatin1();
        for (int k = 0; k + 1 < p.size(); ++k) {
            if (p[k] != '%')
                continue;
            switch (p[++k]) {
            case 'd':
                targets.push_back(&i);
                break;
            case 'f':
                targets.push_back(&f);
                break;
            case 'x':
                targets.push_back(HexTarget{&x});
                break;
            case 's':
                targets.push_back(&s);
                break;
            default:
                break;
            }
        }
        const QByteArray l = line.toLatin1();
        QCOMPARE(scanLine(std::string_view(l.constData(), l.size()),
                          std::string_view(p.constData(), p.size()), targets),
                 count);
    }

    void newerHeaderFields() {
        SampleStore store;
        const HeaderOutcome out =
            decodeHeader(newerHeader(newerSection(false), newerSection(true)), 2, store);
        QVERIFY(!out.failed);
        const ChannelHeaderRecord& h = store.ChannelHeader[1];
        QCOMPARE(h.Model, "BV-200");
        QCOMPARE(h.Serial, "4711");
        QCOMPARE(h.QuantityCount, 2);
        QCOMPARE(h.CodeA[0], 0x2710);
        QCOMPARE(h.CodeA[1], 255); // 8 bits unsigned: no sign
        QCOMPARE(h.IsSigned[0], true);
        QCOMPARE(h.UnitText[1], "%RH");
        QCOMPARE(store.SampledPerHour[1], 720.0f);
        QCOMPARE(store.StoredPerHour[1], 240.0f);
        QCOMPARE(store.LastDateText[1], "12/07/26");
        QCOMPARE(store.FirstTimeText[1], "08:00:00");

        const ChannelSummary s = channelSummary(store, 2, 0);
        QCOMPARE(s.samplesPerHour, 240.0);
        QCOMPARE(s.hexDigitsPerValue, 4);
        QCOMPARE(s.dataStored, "IIR filter 12.35% last output");
    }

    void newerSignedCodes_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("code");
        QTest::newRow("8000 is the most negative") << "8000 -327.68" << -32768;
        QTest::newRow("7FFF stays") << "7FFF 327.67" << 32767;
        QTest::newRow("FF9C") << "FF9C -1.0" << -100;
    }
    void newerSignedCodes() {
        QFETCH(QString, line);
        QFETCH(int, code);
        QStringList ch1 = newerSection(false);
        ch1[ch1.indexOf("2710 100.0")] = line;
        SampleStore store;
        QVERIFY(!decodeHeader(newerHeader(ch1, newerSection(false)), 2, store).failed);
        QCOMPARE(store.ChannelHeader[0].CodeA[0], code);
    }

    // Each row spoils one line of the first section; the header must fail
    // while the decode goes on and the second section still decodes.
    void newerFieldFailures_data() {
        QTest::addColumn<QString>("original");
        QTest::addColumn<QString>("replacement");
        QTest::newRow("model keyword") << "Model BV-200"
                                       << "Modell BV-200";
        QTest::newRow("serial keyword") << "Serial 4711"
                                        << "4711";
        QTest::newRow("three quantities") << "1"
                                          << "3";
        QTest::newRow("quantity not a number") << "1"
                                               << "one";
        QTest::newRow("four points") << "1 points"
                                     << "4 points";
        QTest::newRow("sampled every 10 seconds") << "Sampled every 5 seconds"
                                                  << "Sampled every 10 seconds";
        QTest::newRow("date too long") << "12/07/26"
                                       << "12/07/2026";
        QTest::newRow("tag") << "1T"
                             << "2T";
        QTest::newRow("bits") << "16 bits signed"
                              << "8 bits signed";
        QTest::newRow("bits word") << "16 bits signed"
                                   << "16 bits";
        QTest::newRow("code not hex") << "2710 100.0"
                                      << "zz 100.0";
        QTest::newRow("unit") << "C degrees"
                              << "K degrees";
        QTest::newRow("filter") << "IIR filter 12.345% last output"
                                << "IIR filtering";
    }
    void newerFieldFailures() {
        QFETCH(QString, original);
        QFETCH(QString, replacement);
        QStringList ch1 = newerSection(false);
        ch1[ch1.indexOf(original)] = replacement;
        SampleStore store;
        const HeaderOutcome out = decodeHeader(newerHeader(ch1, newerSection(true)), 2, store);
        QVERIFY(out.failed);
        QVERIFY(out.notValidText.isEmpty());
        if (original == "1")
            QCOMPARE(store.ChannelHeader[0].QuantityCount, 0);
        else if (original != "1 points") // the line count stays as the logger sent it
            QCOMPARE(store.ChannelHeader[1].Serial, "4711");
    }

    void newerStoredRate() {
        QStringList ch1 = newerSection(false);
        ch1[ch1.indexOf("Stored every 15 seconds")] = "Stored every 60 seconds";
        SampleStore store;
        QVERIFY(!decodeHeader(newerHeader(ch1, newerSection(false)), 2, store).failed);
        QCOMPARE(store.StoredPerHour[0], 60.0f);
    }

    void newerNoDataSection() {
        SampleStore store;
        const HeaderOutcome out =
            decodeHeader(newerHeader({"No data"}, newerSection(true)), 2, store);
        QVERIFY(!out.failed);
        QCOMPARE(store.FirstDateText[0], "01/01/01");
        QCOMPARE(store.LastTimeText[0], "00:00:00");
        QCOMPARE(store.ChannelHeader[0].QuantityCount, 0);
        QCOMPARE(store.ChannelHeader[1].QuantityCount, 2);
    }

    void layoutErrors_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("notValid");
        QTest::newRow("newer without 001") << 2 << "002\r\nModel x\r\n"
                                           << "DATA NOT VALID, <001> EXPECTED";
        QTest::newRow("older without 1") << 1 << " 2\r\n"
                                         << "DATA NOT VALID, <1> EXPECTED";
        QTest::newRow("older without the 2 line")
            << 1 << olderHeader(olderSection(), olderSection(), "3")
            << "DATA NOT VALID, 2<cr> EXPECTED";
        QTest::newRow("newer without 002")
            << 2 << newerHeader(newerSection(false), newerSection(false)).replace("002", "003")
            << "";
    }
    void layoutErrors() {
        QFETCH(int, format);
        QFETCH(QString, text);
        QFETCH(QString, notValid);
        SampleStore store;
        const HeaderOutcome out = decodeHeader(text, format, store);
        QVERIFY(out.failed);
        QCOMPARE(out.notValidText, notValid);
    }

    void olderHeaderFields() {
        QStringList ch1 = olderSection();
        ch1[0] = "FFFF";
        ch1[1] = "+2322.11875";
        QStringList ch2 = olderSection();
        ch2[1] = "+12.5";
        SampleStore store;
        QVERIFY(!decodeHeader(olderHeader(ch1, ch2), 1, store).failed);
        QCOMPARE(store.CalValueA[0], 1774.78125f);
        QCOMPARE(store.CalValueA[1], 12.5f);
        QCOMPARE(store.CalValueB[0], 273.15f);
        QCOMPARE(store.StoredPerHour[0], 240.0f);
        QCOMPARE(store.StoredModeText[1], "Actual");
        const ChannelSummary s = channelSummary(store, 1, 0);
        QCOMPARE(s.hexDigitsPerValue, 4);
        QCOMPARE(s.dataStored, "Actual");
        QCOMPARE(s.lastDate, "12/07/26");
    }

    void olderFieldFailures_data() {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("value");
        QTest::newRow("code too long") << 0 << "123456789";
        QTest::newRow("code empty") << 2 << "";
        QTest::newRow("below absolute zero") << 1 << "-300";
        QTest::newRow("value not a number") << 3 << "warm";
        QTest::newRow("value empty") << 3 << "";
        QTest::newRow("zero rate") << 5 << "0";
        QTest::newRow("rate not an integer") << 6 << "7.5";
        QTest::newRow("short date") << 8 << "1/1/26";
    }
    void olderFieldFailures() {
        QFETCH(int, line);
        QFETCH(QString, value);
        QStringList ch1 = olderSection();
        ch1[line] = value;
        SampleStore store;
        const HeaderOutcome out = decodeHeader(olderHeader(ch1, olderSection()), 1, store);
        QVERIFY(out.failed);
        QVERIFY(out.notValidText.isEmpty());
    }

    // A header cut anywhere before its last line fails without reading past
    // its end (the last line is matched by its pattern's conversions only).
    void truncatedHeaders() {
        for (int format : {1, 2}) {
            const QString full = format == 1 ? olderHeader(olderSection(), olderSection())
                                             : newerHeader(newerSection(true), newerSection(true));
            for (int n = 0; n < full.size() - 40; n += 3) {
                SampleStore store;
                QVERIFY2(decodeHeader(full.left(n), format, store).failed,
                         qPrintable(QString("format %1, %2 characters").arg(format).arg(n)));
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestHeaderDecode)
#include "test_header_decode.moc"
