// The plain data file's bytes and the line scrambler of the duplicates.
#include "files/cipher.h"
#include "files/data_file_format.h"
#include "files/duplicate_file.h"
#include "platform/formatting.h"
#include <QBuffer>
#include <QFile>
#include <QTest>

using platform::encodeDateTime;

namespace {

QByteArray fixture(const QString& name) {
    QFile file(qEnvironmentVariable("BRENVALE_SOURCE_DIR") + "/tests/data/files/" + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray plainFile(const SampleStore& store, const QString& pattern, bool withRh,
                     const QByteArray& userLines) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const bool ok = files::writePlainFile(buffer, store, pattern, withRh,
                                          encodeDateTime(2026, 12, 9, 10, 0, 0), userLines);
    return ok ? buffer.data() : QByteArray("write failed");
}

const char kVersion[] = "Brenvale(tm) - Version 5.2.1";

void addSample(SampleStore& store, platform::DateTime t, float celsius, float rh) {
    store.SampleTimes.push_back(t);
    store.TempData.push_back(celsius);
    store.RHData.push_back(rh);
}

// The reference walk of the scrambler: one step at a time for every byte.
unsigned char scrambleStepwise(unsigned char c, int n) {
    for (int k = 0; k < n; ++k) {
        c = static_cast<unsigned char>(c + 1);
        if (c == 127)
            c = 32;
    }
    return c;
}

unsigned char unscrambleStepwise(unsigned char c, int n) {
    for (int k = 0; k < n; ++k) {
        c = static_cast<unsigned char>(c - 1);
        if (static_cast<signed char>(c) < 32)
            c = 126;
    }
    return c;
}

// Runs every line through one chain of the scrambler or the unscrambler.
QList<QByteArray> chain(QByteArray (*step)(CipherState&, QByteArrayView),
                        const QList<QByteArray>& lines) {
    CipherState state;
    QList<QByteArray> out;
    for (const QByteArray& line : lines)
        out << step(state, line);
    return out;
}

} // namespace

class TestDataFileWriter : public QObject {
    Q_OBJECT
  private slots:
    // RH on, 9999 rows, -40, truncated RH, events on, between and after the
    // rows, the first row's extra new sensor, a comma in the user name.
    void samplesWithRhAndEvents() {
        SampleStore store;
        addSample(store, encodeDateTime(2008, 12, 31, 23, 30, 0), 21.5f, 45.9f);
        addSample(store, encodeDateTime(2008, 12, 31, 23, 45, 0), 9999.0f, 9999.0f);
        addSample(store, encodeDateTime(2009, 1, 1, 0, 0, 0), -40.0f, -0.5f);
        addSample(store, encodeDateTime(2009, 1, 1, 0, 15, 0), 0.125f, 100.0f);
        store.NewSensorEvents = {encodeDateTime(2008, 12, 31, 23, 0, 0)};
        store.AlarmStarts[0] = {encodeDateTime(2008, 12, 31, 23, 45, 0)};
        store.AlarmStarts[1] = {encodeDateTime(2008, 12, 31, 23, 50, 0),
                                encodeDateTime(2008, 12, 31, 23, 55, 0)};
        store.AlarmEnds[0] = {encodeDateTime(2009, 1, 1, 0, 10, 0)};
        store.AlarmEnds[1] = {encodeDateTime(2009, 1, 1, 1, 0, 0)}; // after the last row
        store.TestStarts = {encodeDateTime(2008, 12, 31, 23, 30, 0)};
        const QByteArray user = files::userBlock("Ann, QA", "Lab 2", "BV-0042", kVersion);
        QCOMPARE(plainFile(store, "mm/dd/yyyy hh:mm:ss", true, user), fixture("plain_mdy_rh.csv"));
    }

    // RH off writes 0 whatever RHData holds; the comma pattern's header;
    // AM/PM midnight and noon; a tiny negative rounds to "-0.00".
    void commaPatternWithoutRh() {
        SampleStore store;
        addSample(store, encodeDateTime(2009, 1, 1, 0, 0, 0), 20.004f, 55.0f);
        addSample(store, encodeDateTime(2009, 1, 1, 12, 0, 0), 37.5f, 60.0f);
        addSample(store, encodeDateTime(2009, 1, 1, 13, 5, 9), -0.004f, 70.0f);
        const QByteArray user = files::userBlock("", "", "", kVersion);
        QCOMPARE(plainFile(store, "mm/dd/yyyy, hh:mm:ss AM/PM", false, user),
                 fixture("plain_comma_ampm.txt"));
    }

    void emptyStoreEndsWithColumnHeader() {
        const QByteArray user = files::userBlock("Ann", "Lab 2", "BV-0042", kVersion);
        QCOMPARE(plainFile(SampleStore(), "yyyy/mm/dd hh:mm:ss", true, user),
                 fixture("plain_empty.csv"));
    }

    void bytesDoNotFollowRegionalSettings() {
        platform::formatSettings().decimalSeparator = ',';
        platform::formatSettings().dateSeparator = '.';
        platform::formatSettings().timeSeparator = '-';
        SampleStore store;
        addSample(store, encodeDateTime(2009, 1, 1, 0, 15, 0), 0.125f, 100.0f);
        const QByteArray text = plainFile(store, "mm/dd/yyyy hh:mm:ss", true, QByteArray());
        platform::formatSettings() = platform::FormatSettings{};
        QVERIFY(text.endsWith(
            "01/01/2009 00:15:00, 0.12, 273.27, 32.23, 100, 1, 0, 0, 0, 0, 0, 0\r\n"));
    }

    // The rows take their pattern apart once and write the date themselves:
    // the same text as the general formatting, for the menu's patterns and
    // for any other a DATEFMT.DAT may hold, at every time of day and at the
    // ends of the calendar.
    void rowDatesAsGeneralFormatting_data() {
        QTest::addColumn<QString>("pattern");
        for (const char* pattern :
             {"mm/dd/yyyy hh:mm:ss", "mm/dd/yyyy hh:mm:ss AM/PM", "dd/mm/yyyy hh:mm:ss",
              "yyyy/mm/dd hh:mm:ss", "mm/dd/yyyy, hh:mm:ss", "mm/dd/yyyy, hh:mm:ss AM/PM",
              "dd/mm/yyyy, hh:mm:ss", "yyyy/mm/dd, hh:mm:ss", "yy-mm-dd hh.nn", "yyyymmddhhnnss",
              "m/d/yy h:n:s am/pm", "dd.mm.yyyy hh:mm:ss A/P", "yyy/mm 'at' hh:mm:ss.zzz", "",
              "AM/PM hh:mm dd/mm"})
            QTest::newRow(pattern) << QString(pattern);
    }
    void rowDatesAsGeneralFormatting() {
        QFETCH(QString, pattern);
        QList<platform::DateTime> times = {-693594.0,  -700.25,         -1e-9, 0.0,
                                           1.0 - 1e-9, 2958465.9999999, 3e6,   1e9};
        for (int i = 0; i < 3000; ++i)
            times << 30000.0 + i * 13.37 + i * 0.0001234;
        for (const platform::DateTime t : times) {
            QByteArray row;
            files::appendSampleFields(row, pattern, t, 20.0f, 0.0f, false);
            QCOMPARE(row.left(row.indexOf(", 20.00")),
                     files::fileText(platform::formatDateTimeFixed(pattern, t)));
        }
    }

    void userTextOutsidePrintableAscii() {
        // The scrambler gives only printable characters back; others are written as '?'.
        QCOMPARE(files::fileText(QString::fromUtf8("Zoë\tLab")), QByteArray("Zo??Lab"));
    }

    void rhWithoutIntegerFormIsNoReading() {
        SampleStore store;
        addSample(store, encodeDateTime(2009, 1, 1, 0, 0, 0), 20.0f, std::nanf(""));
        addSample(store, encodeDateTime(2009, 1, 1, 0, 1, 0), 20.0f, 3e38f);
        const QByteArray text = plainFile(store, "mm/dd/yyyy hh:mm:ss", true, QByteArray());
        QCOMPARE(text.count(", 9999, "), 2);
    }

    void duplicateNames_data() {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("duplicate");
        QTest::newRow("csv") << "/data/june.csv"
                             << "/data/june.bvx";
        QTest::newRow("txt") << "june.txt"
                             << "june.bvx";
        QTest::newRow("no extension") << "/data/june"
                                      << "/data/june.bvx";
        QTest::newRow("dot in folder") << "/data.v2/june"
                                       << "/data.v2/june.bvx";
        QTest::newRow("two dots") << "/data/june.2009.csv"
                                  << "/data/june.2009.bvx";
    }
    void duplicateNames() {
        QFETCH(QString, plain);
        QFETCH(QString, duplicate);
        QCOMPARE(files::duplicateName(plain), duplicate);
    }

    // The closed form used for printable bytes and the byte-by-byte walk
    // for the others agree with the plain stepping rule everywhere.
    void scrambleMatchesStepping() {
        for (int c = 0; c < 256; ++c)
            for (int n = -128; n <= 152; ++n) {
                const auto byte = static_cast<unsigned char>(c);
                if (scrambleByte(byte, n) != scrambleStepwise(byte, n) ||
                    unscrambleByte(byte, n) != unscrambleStepwise(byte, n))
                    QFAIL(qPrintable(QString("byte %1, shift %2").arg(c).arg(n)));
            }
    }

    void roundTripOfPrintableLines() {
        QList<QByteArray> lines = {"~Date Format: mm/dd/yyyy hh:mm:ss",
                                   "",
                                   "~",
                                   " ",
                                   "~~~~",
                                   "12/31/2008 23:59:58, 21.50, 294.65, 70.70, 45, 1, 0"};
        QByteArray all;
        for (int c = 32; c <= 126; ++c)
            all += char(c);
        lines << all << QByteArray(600, '~') << QByteArray(300, ' ');
        const QList<QByteArray> scrambled = chain(ScrambleLine, lines);
        for (const QByteArray& line : scrambled)
            for (char c : line)
                QVERIFY(c >= 32 && c <= 126);
        QCOMPARE(chain(UnscrambleLine, scrambled), lines);
    }

    void stateCarriesFromLineToLine() {
        const QList<QByteArray> lines = {"~", "~Date Format: mm/dd/yyyy hh:mm:ss",
                                         "12/31/2008 23:59:58, 21.50"};
        const QList<QByteArray> scrambled = chain(ScrambleLine, lines);
        // The same text scrambles differently on another line.
        QVERIFY(chain(ScrambleLine, {lines[2]})[0] != scrambled[2]);
        // A line out of the middle does not come back with a fresh state.
        CipherState fresh;
        QVERIFY(UnscrambleLine(fresh, scrambled[2]) != lines[2]);
        // The line end moves the position and the line counters but not the chain.
        CipherState state;
        ScrambleLine(state, "");
        QCOMPARE(int(state.ChainChar), int(kChainSeed));
        QCOMPARE(state.PositionStep, 4);
        QCOMPARE(state.LineStep, 1);
        for (int k = 0; k < 13; ++k)
            ScrambleLine(state, "ab");
        QCOMPARE(state.LineStep, 0); // wraps after 14 lines
        QCOMPARE(state.PositionStep, 3 + (1 + 13 * 3) % 9);
    }

    // Lines unscrambled many bytes at a time agree with the byte-by-byte
    // rule: every length around the vector width, every position and line
    // counter, and a byte outside the printable range (or such a link before
    // the line) anywhere, which sends the whole line the slow way.
    void unscramblingMatchesStepping() {
        QByteArray text;
        for (int k = 0; k < 80; ++k)
            text += char(32 + (k * 37) % 95);
        for (int length = 0; length <= 70; ++length)
            for (int odd = -2; odd < length; ++odd)
                for (int position = 3; position <= 11; ++position)
                    for (const int line : {0, 5, 13}) {
                        QByteArray scrambled = text.left(length);
                        if (odd >= 0)
                            scrambled[odd] = char(odd % 2 ? 200 : 9);
                        const signed char link = odd == -1 ? '\x7f' : 'K';
                        CipherState state{
                            .ChainChar = link, .PositionStep = position, .LineStep = line};
                        CipherState expected = state;
                        QByteArray plain;
                        for (const char c : scrambled) {
                            if (++expected.PositionStep == 12)
                                expected.PositionStep = 3;
                            plain += char(unscrambleStepwise(
                                static_cast<unsigned char>(c),
                                expected.PositionStep + expected.LineStep + expected.ChainChar));
                            expected.ChainChar = static_cast<signed char>(c);
                        }
                        const QByteArray got = UnscrambleLine(state, scrambled);
                        if (got != plain || state.ChainChar != expected.ChainChar)
                            QFAIL(qPrintable(QString("length %1, odd byte %2, position %3, line %4")
                                                 .arg(length)
                                                 .arg(odd)
                                                 .arg(position)
                                                 .arg(line)));
                    }
    }

    // Skipping a line leaves the state its unscrambling leaves, printable or
    // not, so that a block of lines can be unscrambled from its own start.
    void skippingALineKeepsTheChain() {
        QByteArray odd = "tab\there";
        odd += char(200);
        odd += '\x7f';
        const QList<QByteArray> lines = {
            "", "x", "12/31/2008 23:59:58, 21.50", odd, QByteArray(1000, '~'), "last"};
        CipherState unscrambled, skipped;
        for (const QByteArray& line : lines) {
            UnscrambleLine(unscrambled, line);
            SkipScrambledLine(skipped, line);
            QCOMPARE(int(skipped.ChainChar), int(unscrambled.ChainChar));
            QCOMPARE(skipped.PositionStep, unscrambled.PositionStep);
            QCOMPARE(skipped.LineStep, unscrambled.LineStep);
        }
    }

    // The plain file and its duplicate written in one pass, against the pair
    // scrambled by hand-stepping, whatever the sizes of the pieces written.
    void plainFileAndDuplicate_data() {
        QTest::addColumn<int>("piece");
        QTest::newRow("whole") << (1 << 20);
        QTest::newRow("one byte at a time") << 1;
        QTest::newRow("pieces that split CR from LF") << 7;
    }
    void plainFileAndDuplicate() {
        QFETCH(int, piece);
        const QByteArray plainText = fixture("plain_mdy_rh.csv");
        QBuffer plain, duplicate;
        plain.open(QIODevice::WriteOnly);
        duplicate.open(QIODevice::WriteOnly);
        const QByteArray user = files::userBlock("Ann, QA", "Lab 2", "BV-0042", kVersion);
        files::DuplicatingWriter writer(plain, duplicate, "mm/dd/yyyy hh:mm:ss",
                                        encodeDateTime(2026, 12, 9, 10, 0, 0), user);
        for (qsizetype at = 0; at < plainText.size(); at += piece)
            QVERIFY(writer.write(plainText.mid(at, piece)) > 0);
        writer.finish();
        QVERIFY(writer.plainWritten() && writer.duplicateWritten());
        QCOMPARE(plain.data(), plainText);
        QCOMPARE(duplicate.data(), fixture("dup_mdy_rh.bvx"));
    }

    // A last line without its line end is still scrambled, with one.
    void lastLineWithoutLineEnd() {
        QBuffer plain, duplicate;
        plain.open(QIODevice::WriteOnly);
        duplicate.open(QIODevice::WriteOnly);
        files::DuplicatingWriter writer(plain, duplicate, "mm/dd/yyyy hh:mm:ss", 0, QByteArray());
        writer.write("~\r\nlast");
        writer.finish();
        CipherState state;
        const QByteArray first = '?' + ScrambleLine(state, "~") + "\r\n";
        QVERIFY(duplicate.data().endsWith(first + '?' + ScrambleLine(state, "last") + "\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestDataFileWriter)
#include "test_data_file_format.moc"
