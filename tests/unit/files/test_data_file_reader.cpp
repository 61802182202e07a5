// Reading data files back: lines, date-format detection, row conversion and
// the loader's handling of every row layout.
#include "files/cipher.h"
#include "files/data_file_reader.h"
#include <QBuffer>
#include <QTest>
#include <cmath>
#include <cstring>
#include <memory>

using files::DataFileLoader;
using files::DateOrder;
using platform::encodeDateTime;
using Result = DataFileLoader::Result;

Q_DECLARE_METATYPE(DateOrder)

namespace {

struct Loaded {
    SampleStore store;
    std::unique_ptr<DataFileLoader> loader;
    Result result = Result::Ok;
};

// Feeds the lines to a loader as a duplicate holds them: '~' lines as they
// are, every other line scrambled behind a '?' by one unbroken chain.
std::unique_ptr<Loaded> load(const QString& pattern, DateOrder order,
                             const QList<QByteArray>& lines) {
    auto loaded = std::make_unique<Loaded>();
    loaded->loader = std::make_unique<DataFileLoader>(loaded->store, pattern, order);
    CipherState state;
    for (const QByteArray& line : lines) {
        const QByteArray asRead = line.startsWith('~') ? line : '?' + ScrambleLine(state, line);
        loaded->result = loaded->loader->feedLine(asRead);
        if (loaded->result != Result::Ok)
            break;
    }
    return loaded;
}

std::unique_ptr<Loaded> loadMdy(const QList<QByteArray>& lines) {
    return load("mm/dd/yyyy hh:mm:ss", DateOrder::MonthDayYear, lines);
}

std::optional<files::DetectedFormat> detect(const QByteArray& bytes) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return files::detectDateFormat(buffer).format;
}

// An empty line, then 'x' for ever.
class EndlessStream : public QIODevice {
  public:
    bool isSequential() const override { return true; }

  protected:
    qint64 readData(char* data, qint64 size) override {
        std::memset(data, 'x', size);
        if (!m_started && size > 0)
            data[0] = '\n';
        m_started = true;
        return size;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    bool m_started = false;
};

} // namespace

class TestDataFileReader : public QObject {
    Q_OBJECT
  private slots:
    void lineReader() {
        QByteArray bytes = "one\r\ntwo\n\r\nthree\rstill three\r\n" + QByteArray(3000, 'x');
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        files::LineReader reader(buffer, 64);
        QList<QByteArray> lines;
        QList<bool> ends;
        QByteArrayView line;
        while (reader.next(line)) {
            lines << line.toByteArray();
            ends << reader.lastHadLineEnd();
        }
        // A line longer than the read buffer comes whole; the last has no line end.
        QCOMPARE(lines, (QList<QByteArray>{"one", "two", "", "three\rstill three",
                                           QByteArray(3000, 'x')}));
        QCOMPARE(ends, (QList<bool>{true, true, true, true, false}));
        QVERIFY(!reader.failed());
    }

    // A line past the cap ends the reading as a failure, after the lines
    // before it, also where no line end ever comes.
    void overlongLine_data() {
        QTest::addColumn<bool>("endless");
        QTest::newRow("file without line ends") << false;
        QTest::newRow("endless stream") << true;
    }
    void overlongLine() {
        QFETCH(bool, endless);
        const qsizetype cap = files::LineReader::kMaxLineLength;
        QByteArray bytes = "first\r\n" + QByteArray(cap + 1, 'x') + "\r\nlast\r\n";
        QBuffer file(&bytes);
        EndlessStream stream;
        QIODevice& device = endless ? static_cast<QIODevice&>(stream) : file;
        device.open(QIODevice::ReadOnly);
        files::LineReader reader(device);
        QByteArrayView line;
        QVERIFY(reader.next(line));
        QCOMPARE(line.toByteArray(), QByteArray(endless ? "" : "first"));
        QVERIFY(!reader.next(line));
        QVERIFY(reader.failed());
        QVERIFY(reader.lineTooLong());
    }

    void rowDateTimes_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<DateOrder>("order");
        QTest::addColumn<double>("expected"); // NaN: does not convert
        const double late = encodeDateTime(2008, 12, 31, 23, 59, 58);
        const auto mdy = DateOrder::MonthDayYear;
        const double kNoDate = qQNaN();
        QTest::newRow("mdy") << QByteArray("12/31/2008 23:59:58, ") << mdy << late;
        QTest::newRow("dmy") << QByteArray("31/12/2008 23:59:58, ") << DateOrder::DayMonthYear
                             << late;
        QTest::newRow("ymd") << QByteArray("2008/12/31 23:59:58, ") << DateOrder::YearMonthDay
                             << late;
        QTest::newRow("comma made blank") << QByteArray("12/31/2008  23:59:58, ") << mdy << late;
        QTest::newRow("pm") << QByteArray("12/31/2008 11:59:58 PM, ") << mdy << late;
        QTest::newRow("midnight") << QByteArray("01/01/2009 12:00:00 AM, ") << mdy
                                  << encodeDateTime(2009, 1, 1, 0, 0, 0);
        QTest::newRow("noon") << QByteArray("01/01/2009 12:00:00 PM, ") << mdy
                              << encodeDateTime(2009, 1, 1, 12, 0, 0);
        QTest::newRow("two-digit year") << QByteArray("12/31/08 11:59:58 PM, ") << mdy << late;
        QTest::newRow("leap day") << QByteArray("02/29/2008 00:00:00") << mdy
                                  << encodeDateTime(2008, 2, 29, 0, 0, 0);
        QTest::newRow("before the epoch") << QByteArray("06/01/1850 06:00:00") << mdy
                                          << encodeDateTime(1850, 6, 1, 0, 0, 0) - 0.25;
        QTest::newRow("no leap day") << QByteArray("02/29/2009 00:00:00") << mdy << kNoDate;
        QTest::newRow("month 13") << QByteArray("13/01/2009 00:00:00") << mdy << kNoDate;
        QTest::newRow("hour 24") << QByteArray("01/01/2009 24:00:00") << mdy << kNoDate;
        QTest::newRow("13 PM") << QByteArray("01/01/2009 13:00:00 PM") << mdy << kNoDate;
        QTest::newRow("0 AM") << QByteArray("01/01/2009 00:00:00 AM") << mdy << kNoDate;
        QTest::newRow("no blank before time")
            << QByteArray("01/01/2009,00:00:00") << mdy << kNoDate;
        QTest::newRow("no seconds") << QByteArray("01/01/2009 00:00, ") << mdy << kNoDate;
        QTest::newRow("empty") << QByteArray() << mdy << kNoDate;
        QTest::newRow("cut short")
            << QByteArray("01/01/20") << mdy << kNoDate; // two-digit year, then no time
        QTest::newRow("letters") << QByteArray("aa/bb/cccc dd:ee:ff, ") << mdy << kNoDate;
    }
    void rowDateTimes() {
        QFETCH(QByteArray, text);
        QFETCH(DateOrder, order);
        QFETCH(double, expected);
        const std::optional<double> t = files::parseRowDateTime(text, order);
        if (qIsNaN(expected))
            QVERIFY(!t);
        else
            QCOMPARE(t.value_or(-1), expected);
    }

    void numbers_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("converts");
        QTest::addColumn<double>("value");
        QTest::newRow("field") << QByteArray(" 21.50") << true << 21.5;
        QTest::newRow("blanks around") << QByteArray(" -40.00 \r") << true << -40.0;
        QTest::newRow("plus") << QByteArray("+1.5") << true << 1.5;
        QTest::newRow("exponent") << QByteArray("1e3") << true << 1000.0;
        QTest::newRow("no reading") << QByteArray(" 9999.00") << true << 9999.0;
        QTest::newRow("empty") << QByteArray() << false << 0.0;
        QTest::newRow("blank") << QByteArray("  ") << false << 0.0;
        QTest::newRow("decimal comma") << QByteArray("21,5") << false << 0.0;
        QTest::newRow("trailing letter") << QByteArray("21.5x") << false << 0.0;
        QTest::newRow("inf") << QByteArray("inf") << false << 0.0;
        QTest::newRow("nan") << QByteArray("-nan") << false << 0.0;
        QTest::newRow("two signs") << QByteArray("+-5") << false << 0.0;
        QTest::newRow("beyond a float") << QByteArray("1e39") << false << 0.0;
        QTest::newRow("beyond a double") << QByteArray("1e400") << false << 0.0;
    }
    void numbers() {
        QFETCH(QByteArray, text);
        QFETCH(bool, converts);
        QFETCH(double, value);
        const std::optional<float> v = files::parseDecimal(text);
        QCOMPARE(v.has_value(), converts);
        if (converts)
            QCOMPARE(double(*v), value);
    }

    void counts_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("expected"); // INT_MIN: does not convert
        QTest::newRow("field") << QByteArray(" 2") << 2;
        QTest::newRow("negative") << QByteArray("-1") << -1;
        QTest::newRow("largest") << QByteArray("2147483647") << INT_MAX;
        QTest::newRow("too large") << QByteArray("2147483648") << INT_MIN;
        QTest::newRow("fraction") << QByteArray("1.5") << INT_MIN;
        QTest::newRow("hex") << QByteArray("0x10") << INT_MIN;
        QTest::newRow("empty") << QByteArray(" ") << INT_MIN;
    }
    void counts() {
        QFETCH(QByteArray, text);
        QFETCH(int, expected);
        QCOMPARE(files::parseCount(text).value_or(INT_MIN), expected);
    }

    void samplesPerHour_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<double>("expected");
        QTest::newRow("15 s") << 15.0 << 240.0;
        QTest::newRow("1 h") << 3600.0 << 1.0;
        QTest::newRow("14.6 s rounds to 15") << 14.6 << 240.0;
        QTest::newRow("7 s") << 7.0 << 3600.0 / 7.0;
        QTest::newRow("same time") << 0.0 << 0.0;
        QTest::newRow("under half a second") << 0.4 << 0.0;
    }
    void samplesPerHour() {
        QFETCH(double, seconds);
        QFETCH(double, expected);
        QCOMPARE(files::SamplesPerHourFromInterval(seconds / 86400.0), expected);
    }

    void detection_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("pattern"); // empty: nothing found
        QTest::addColumn<QString>("shortDate");
        QTest::newRow("format line")
            << QByteArray("~Comment\r\n~Date Format: dd/mm/yyyy, hh:mm:ss\r\n?abc\r\n")
            << "dd/mm/yyyy, hh:mm:ss"
            << "dd/mm/yyyy,";
        QTest::newRow("first format line wins")
            << QByteArray("~Date Format: yyyy/mm/dd hh:mm:ss\n~Date Format: mm/dd/yyyy hh:mm:ss\n")
            << "yyyy/mm/dd hh:mm:ss"
            << "yyyy/mm/dd";
        QTest::newRow("AM/PM at 21")
            << QByteArray("12/31/2008 11:59:58 PM, 1.00\r\n") << "mm/dd/yyyy hh:mm:ss AM/PM"
            << "mm/dd/yyyy";
        QTest::newRow("AM/PM at 19")
            << QByteArray("12/31/08 11:59:58 PM, 1.00\r\n") << "mm/dd/yy hh:mm:ss AM/PM"
            << "mm/dd/yy";
        QTest::newRow("year first")
            << QByteArray("2008/12/31 23:59:58, 1.00\r\n") << "yyyy/mm/dd hh:mm:ss"
            << "yyyy/mm/dd";
        QTest::newRow("last shape rule wins")
            << QByteArray("2008/12/31 11:59:58 AM, 1.00\r\n") << "yyyy/mm/dd hh:mm:ss"
            << "yyyy/mm/dd";
        QTest::newRow("day above 19 first")
            << QByteArray("31/12/2008 23:59:58, 1.00\r\n") << "dd/mm/yyyy hh:mm:ss"
            << "dd/mm/yyyy";
        QTest::newRow("day above 19 second")
            << QByteArray("12/31/2008 23:59:58, 1.00\r\n") << "mm/dd/yyyy hh:mm:ss"
            << "mm/dd/yyyy";
        QTest::newRow("first number changes")
            << QByteArray("01/05/2009 00:00:00\r\n02/05/2009 00:00:00\r\n") << "dd/mm/yyyy hh:mm:ss"
            << "dd/mm/yyyy";
        QTest::newRow("second number changes")
            << QByteArray("05/01/2009 00:00:00\r\n05/02/2009 00:00:00\r\n") << "mm/dd/yyyy hh:mm:ss"
            << "mm/dd/yyyy";
        // The read at the end of the file sees an empty line: after a short
        // last line it looks like a changed first number.
        QTest::newRow("short last line") << QByteArray("~a\r\n") << "dd/mm/yyyy hh:mm:ss"
                                         << "dd/mm/yyyy";
        QTest::newRow("nothing") << QByteArray("~Comment line\r\n~Another one\r\n") << QString()
                                 << QString();
        QTest::newRow("empty file") << QByteArray() << QString() << QString();
    }
    void detection() {
        QFETCH(QByteArray, file);
        QFETCH(QString, pattern);
        QFETCH(QString, shortDate);
        const std::optional<files::DetectedFormat> found = detect(file);
        QCOMPARE(found ? found->pattern : QString(), pattern);
        QCOMPARE(found ? found->shortDateFormat : QString(), shortDate);
    }

    void fullRowsWithEvents() {
        const auto loaded = loadMdy({
            "~Date Format: mm/dd/yyyy hh:mm:ss",
            "~DateTime, Celsius, Kelvin, Fahrenheit, RH, New sensors, Temp alarm starts",
            "12/31/2008 23:30:00, 21.50, 294.65, 70.70, 45, 2, 0, 0, 0, 0, 1, 0",
            "12/31/2008 23:45:00, 9999.00, 9999.00, 9999.00, 9999, 0, 1, 0, 0, 0, 0, 0",
            "01/01/2009 00:00:00, -40.00, 233.15, -40.00, 0, 0, 0, 2, 0, -3, 0, 1, extra, 7",
        });
        QCOMPARE(loaded->result, Result::Ok);
        const SampleStore& s = loaded->store;
        const double t0 = encodeDateTime(2008, 12, 31, 23, 30, 0);
        const double t1 = encodeDateTime(2008, 12, 31, 23, 45, 0);
        const double t2 = encodeDateTime(2009, 1, 1, 0, 0, 0);
        QCOMPARE(s.SampleTimes, (std::vector<double>{t0, t1, t2}));
        QCOMPARE(s.TempData, (std::vector<float>{21.5f, 9999.0f, -40.0f}));
        QCOMPARE(s.RHData, (std::vector<float>{45.0f, 9999.0f, 0.0f}));
        QCOMPARE(s.NewSensorEvents, (std::vector<double>{t0, t0}));
        QCOMPARE(s.AlarmStarts[0], (std::vector<double>{t1}));
        QCOMPARE(s.AlarmStarts[1], (std::vector<double>{t2, t2}));
        QVERIFY(s.AlarmEnds[0].empty());
        QVERIFY(s.AlarmEnds[1].empty()); // -3 adds nothing
        QCOMPARE(s.TestStarts, (std::vector<double>{t0}));
        QCOMPARE(s.TestEnds, (std::vector<double>{t2}));
        QCOMPARE(s.CurrentTime, t2);
        QCOMPARE(loaded->loader->firstTime().value_or(0), t0);
        QCOMPARE(loaded->loader->samplesPerHour().value_or(0), 4.0);
        QCOMPARE(loaded->loader->withRh(), std::optional<bool>(true));
        QVERIFY(loaded->loader->scrambledSeen());
    }

    // Which RH decision each row layout makes, by its number of commas.
    void rowLayouts_data() {
        QTest::addColumn<QByteArrayList>("rows");
        QTest::addColumn<float>("rh");   // RH of the last row
        QTest::addColumn<int>("withRh"); // -1 undecided, 0 off, 1 on
        QTest::newRow("temperature only")
            << QByteArrayList{"01/01/2009 00:00:00, 20.50"} << 0.0f << 0;
        QTest::newRow("two commas")
            << QByteArrayList{"01/01/2009 00:00:00, 20.50, 293.65, 68.90"} << 0.0f << 0;
        QTest::newRow("five fields")
            << QByteArrayList{"01/01/2009 00:00:00, 20.50, 293.65, 68.90, 45"} << 45.0f << 1;
        QTest::newRow("five fields without RH")
            << QByteArrayList{"01/01/2009 00:00:00, 20.50, 293.65, 68.90, 0"} << 0.0f << 1;
        QTest::newRow("one comma")
            << QByteArrayList{"01/01/2009 00:00:00, 20.50, 33"} << 33.0f << 1;
        QTest::newRow("full rows, RH 0")
            << QByteArrayList{"01/01/2009 00:00:00, 20.50, 293.65, 68.90, 0, 1, 0, 0, 0, 0, 0, 0"}
            << 0.0f << -1;
        QTest::newRow("last layout decides")
            << QByteArrayList{"01/01/2009 00:00:00, 20.50, 293.65, 68.90, 45",
                              "01/01/2009 00:00:15, 20.50"}
            << 0.0f << 0;
    }
    void rowLayouts() {
        QFETCH(QByteArrayList, rows);
        QFETCH(float, rh);
        QFETCH(int, withRh);
        const auto loaded = loadMdy(rows);
        QCOMPARE(loaded->result, Result::Ok);
        QCOMPARE(loaded->store.TempData.back(), 20.5f);
        QCOMPARE(loaded->store.RHData.size(), loaded->store.TempData.size());
        QCOMPARE(loaded->store.RHData.back(), rh);
        const std::optional<bool> decided = loaded->loader->withRh();
        QCOMPARE(decided ? int(*decided) : -1, withRh);
    }

    // Rows as written here are read in one walk; rows that differ from them
    // in a blank, a sign, a form of number or a count are read the long way,
    // and both ways give what the long way alone gives.
    void usualRowsAndNearMisses_data() {
        QTest::addColumn<QByteArray>("fields"); // after "12/31/2008 23:59:58,"
        QTest::addColumn<bool>("loads");
        QTest::addColumn<float>("celsius");
        QTest::addColumn<float>("rh");
        QTest::addColumn<int>("events"); // temperature alarm starts
        const QByteArray counts = ", 0, 0, 0, 0, 0, 0, 0";
        QTest::newRow("usual") << " 21.50, 294.65, 70.70, 45" + counts << true << 21.5f << 45.0f
                               << 0;
        QTest::newRow("below zero")
            << " -40.00, 233.15, -40.00, 0" + counts << true << -40.0f << 0.0f << 0;
        QTest::newRow("minus zero")
            << " -0.00, 273.15, 32.00, 0" + counts << true << -0.0f << 0.0f << 0;
        QTest::newRow("no reading")
            << " 9999.00, 9999.00, 9999.00, 100" + counts << true << 9999.0f << 100.0f << 0;
        QTest::newRow("two blanks")
            << "  21.50, 294.65, 70.70, 45" + counts << true << 21.5f << 45.0f << 0;
        QTest::newRow("blank after")
            << " 21.50 , 294.65, 70.70, 45" + counts << true << 21.5f << 45.0f << 0;
        QTest::newRow("no blank") << " 21.50,294.65,70.70,45" + counts << true << 21.5f << 45.0f
                                  << 0;
        QTest::newRow("plus") << " +21.50, 294.65, 70.70, 45" + counts << true << 21.5f << 45.0f
                              << 0;
        QTest::newRow("exponent") << " 2.15e1, 294.65, 70.70, 4.5e1" + counts << true << 21.5f
                                  << 45.0f << 0;
        QTest::newRow("Kelvin not read")
            << " 21.50, x, , 45" + counts << true << 21.5f << 45.0f << 0;
        QTest::newRow("event") << QByteArray(" 21.50, 294.65, 70.70, 45, 0, 2, 0, 0, 0, 0, 0")
                               << true << 21.5f << 45.0f << 2;
        QTest::newRow("count with blanks")
            << QByteArray(" 21.50, 294.65, 70.70, 45, 0, 0 , 0, 0, 0, 0, 0") << true << 21.5f
            << 45.0f << 0;
        QTest::newRow("a field more")
            << " 21.50, 294.65, 70.70, 45" + counts + ", 7" << true << 21.5f << 45.0f << 0;
        QTest::newRow("empty Celsius")
            << " , 294.65, 70.70, 45" + counts << false << 0.0f << 0.0f << 0;
        QTest::newRow("letter in RH")
            << " 21.50, 294.65, 70.70, 4x" + counts << false << 0.0f << 0.0f << 0;
        QTest::newRow("a count short") << QByteArray(" 21.50, 294.65, 70.70, 45, 0, 0, 0, 0, 0, 0")
                                       << false << 0.0f << 0.0f << 0;
        QTest::newRow("count not a number")
            << QByteArray(" 21.50, 294.65, 70.70, 45, 0, 0, 0, 0, 0, 0, o") << false << 0.0f << 0.0f
            << 0;
    }
    void usualRowsAndNearMisses() {
        QFETCH(QByteArray, fields);
        QFETCH(bool, loads);
        QFETCH(float, celsius);
        QFETCH(float, rh);
        QFETCH(int, events);
        const auto loaded = loadMdy({"12/31/2008 23:59:58," + fields});
        QCOMPARE(loaded->result, loads ? Result::Ok : Result::Corrupt);
        if (!loads)
            return;
        QCOMPARE(loaded->store.TempData, std::vector<float>{celsius});
        QCOMPARE(std::signbit(loaded->store.TempData[0]), std::signbit(celsius));
        QCOMPARE(loaded->store.RHData, std::vector<float>{rh});
        QCOMPARE(loaded->store.AlarmStarts[0].size(), size_t(events));
    }

    void otherPatterns_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<DateOrder>("order");
        QTest::addColumn<QByteArray>("row");
        QTest::newRow("AM/PM") << "mm/dd/yyyy hh:mm:ss AM/PM" << DateOrder::MonthDayYear
                               << QByteArray("12/31/2008 11:59:58 PM, 20.50, 40");
        QTest::newRow("comma AM/PM") << "mm/dd/yyyy, hh:mm:ss AM/PM" << DateOrder::MonthDayYear
                                     << QByteArray("12/31/2008, 11:59:58 PM, 20.50, 40");
        QTest::newRow("comma dmy") << "dd/mm/yyyy, hh:mm:ss" << DateOrder::DayMonthYear
                                   << QByteArray("31/12/2008, 23:59:58, 20.50, 40");
        QTest::newRow("comma ymd") << "yyyy/mm/dd, hh:mm:ss" << DateOrder::YearMonthDay
                                   << QByteArray("2008/12/31, 23:59:58, 20.50, 40");
        QTest::newRow("two-digit year") << "mm/dd/yy hh:mm:ss AM/PM" << DateOrder::MonthDayYear
                                        << QByteArray("12/31/08 11:59:58 PM, 20.50, 40");
    }
    void otherPatterns() {
        QFETCH(QString, pattern);
        QFETCH(DateOrder, order);
        QFETCH(QByteArray, row);
        const auto loaded = load(pattern, order, {row});
        QCOMPARE(loaded->result, Result::Ok);
        QCOMPARE(loaded->store.SampleTimes,
                 (std::vector<double>{encodeDateTime(2008, 12, 31, 23, 59, 58)}));
        QCOMPARE(loaded->store.TempData, (std::vector<float>{20.5f}));
        QCOMPARE(loaded->store.RHData, (std::vector<float>{40.0f}));
    }

    void userLines() {
        const QByteArray longName(400, 'n'); // longer than any fixed line buffer
        const auto loaded = loadMdy({
            "~User Name: plain",
            "~User Name: " + longName,
            "~User Location: Lab: 2, east",
            "~BV ID: BV-0042",
            "~PC Software Version: Brenvale(tm) - Version 5.2.1",
            "~Elsewhere ~BV ID: x",
        });
        QCOMPARE(loaded->result, Result::Ok);
        QCOMPARE(loaded->store.UserName, QString(longName)); // the last one met
        QCOMPARE(loaded->store.UserLocation, QString("Lab: 2, east"));
        QCOMPARE(loaded->store.UnitId, QString("x"));
        QCOMPARE(loaded->store.SoftwareVersion, QString("Brenvale(tm) - Version 5.2.1"));
        QVERIFY(loaded->store.TempData.empty());
    }

    void rowsAfterTheSecondMayLackTheirDate() {
        const auto loaded = loadMdy({"01/01/2009 00:00:00, 20.50", "01/01/2009 00:00:15, 21.00",
                                     "short", "01/01/2009 00:00:30, 22.00"});
        QCOMPARE(loaded->result, Result::Ok);
        QCOMPARE(loaded->store.TempData, (std::vector<float>{20.5f, 21.0f, 22.0f}));
        QCOMPARE(loaded->loader->samplesPerHour().value_or(0), 240.0);
    }

    void singleRowLeavesTheRateAlone() {
        const auto loaded = loadMdy({"01/01/2009 00:00:00, 20.50"});
        QCOMPARE(loaded->result, Result::Ok);
        QVERIFY(!loaded->loader->samplesPerHour());
    }

    // Loading a whole file on other threads, a block of lines at a time,
    // ends as feeding its lines one by one does: the same result, the same
    // store and the same findings, whichever block a failure falls in.
    void loadLinesAsFeedingLines_data() {
        QTest::addColumn<QByteArray>("file");
        const auto row = [](int i, QByteArray counts = ", 0, 0, 0, 0, 0, 0, 0") {
            const QByteArray time = QByteArray::number(i / 60 % 24).rightJustified(2, '0') + ':' +
                                    QByteArray::number(i % 60).rightJustified(2, '0');
            return "01/01/2009 " + time + ":00, " + QByteArray::number(i % 40) + ".25, 0, 0, " +
                   QByteArray::number(i % 90) + counts;
        };
        // Rows in the clear, each turned into a duplicate's line: the '~'
        // lines stay as they are, the rest scrambled in one chain.
        const auto duplicate = [](const QList<QByteArray>& lines) {
            CipherState state;
            QByteArray file;
            for (const QByteArray& line : lines)
                file += (line.startsWith("~ ") ? line.mid(2) : '?' + ScrambleLine(state, line)) +
                        "\r\n";
            return file;
        };
        QList<QByteArray> rows = {"~ ~Date Format: mm/dd/yyyy hh:mm:ss", "~ ~User Name: Ann", "~",
                                  "~DateTime, Celsius"};
        for (int i = 0; i < 300; ++i)
            rows << row(i, i % 50 == 7 ? ", 1, 0, 2, 0, 0, 0, 1" : ", 0, 0, 0, 0, 0, 0, 0");
        const auto with = [&](int at, const QByteArray& line) {
            QList<QByteArray> changed = rows;
            changed.insert(at, line);
            return duplicate(changed);
        };
        QTest::newRow("whole file") << duplicate(rows);
        QTest::newRow("user line midway") << with(150, "~User Name: Bob");
        QTest::newRow("short row midway") << with(200, "short");
        QTest::newRow("short first row") << with(4, "short");
        QTest::newRow("bad number late") << with(280, row(280, ", 0, x, 0, 0, 0, 0, 0"));
        QTest::newRow("bad date late") << with(250, "13/45/2009 00:00:00, 20.50");
        QTest::newRow("plain row late") << with(260, "~ 01/01/2009 00:00:00, 20.50");
        QTest::newRow("temperature-only rows after")
            << duplicate(rows + QList<QByteArray>{row(301).left(25)});
        // Each count alone is allowed; together they pass the limit.
        QList<QByteArray> manyEvents = rows;
        manyEvents[4 + 20] = row(20, ", 6000000, 0, 0, 0, 0, 0, 0");
        manyEvents[4 + 280] = row(280, ", 6000000, 0, 0, 0, 0, 0, 0");
        QTest::newRow("events past the limit across blocks") << duplicate(manyEvents);
        QTest::newRow("overlong last line")
            << duplicate(rows) + QByteArray(files::LineReader::kMaxLineLength + 1, 'x');
        QTest::newRow("no line end at the end") << duplicate(rows).chopped(2);
        QTest::newRow("empty") << QByteArray();
    }
    void loadLinesAsFeedingLines() {
        QFETCH(QByteArray, file);
        const auto summary = [](const SampleStore& store, const DataFileLoader& loader,
                                Result result) {
            QByteArray out = QByteArray::number(int(result)) + ' ';
            const auto bytesOf = [&](const auto& list) {
                out += QByteArray(reinterpret_cast<const char*>(list.data()),
                                  qsizetype(list.size() * sizeof list[0]))
                           .toHex() +
                       ' ';
            };
            if (result == Result::Ok) {
                bytesOf(store.SampleTimes);
                bytesOf(store.TempData);
                bytesOf(store.RHData);
                for (const std::vector<platform::DateTime>* list : store.eventLists())
                    bytesOf(*list);
                out += store.UserName.toLatin1() + ' ' +
                       QByteArray::number(loader.samplesPerHour().value_or(-1)) + ' ' +
                       QByteArray::number(loader.withRh().value_or(2)) +
                       QByteArray::number(loader.scrambledSeen());
            }
            return out + QByteArray::number(loader.firstTime().value_or(-1), 'g', 17);
        };
        QBuffer buffer(&file);
        buffer.open(QIODevice::ReadOnly);
        SampleStore fedStore;
        DataFileLoader fed(fedStore, "mm/dd/yyyy hh:mm:ss", DateOrder::MonthDayYear);
        files::LineReader reader(buffer);
        QByteArrayView line;
        Result fedResult = Result::Ok;
        while (fedResult == Result::Ok && reader.next(line))
            fedResult = fed.feedLine(line);
        if (fedResult == Result::Ok && reader.failed())
            fedResult = Result::Corrupt;
        const QByteArray expected = summary(fedStore, fed, fedResult);

        for (const qsizetype blockBytes : {qsizetype(1), qsizetype(700), qsizetype(1) << 18}) {
            buffer.seek(0);
            SampleStore store;
            DataFileLoader loader(store, "mm/dd/yyyy hh:mm:ss", DateOrder::MonthDayYear);
            qint64 lastProgress = 0;
            const Result result = loader.loadLines(
                buffer, [&](qint64 done) { lastProgress = std::max(lastProgress, done); },
                blockBytes);
            QCOMPARE(summary(store, loader, result), expected);
            if (result == Result::Ok && !file.isEmpty())
                QCOMPARE(lastProgress, file.size() + (file.endsWith('\n') ? 0 : 2));
        }
    }

    void failures_data() {
        QTest::addColumn<QByteArrayList>("lines");
        QTest::addColumn<bool>("scramble");
        QTest::addColumn<Result>("expected");
        QTest::newRow("plain row")
            << QByteArrayList{"01/01/2009 00:00:00, 20.50"} << false << Result::BadLine;
        QTest::newRow("blank line") << QByteArrayList{""} << false << Result::BadLine;
        QTest::newRow("bad first date")
            << QByteArrayList{"13/45/2009 00:00:00, 20.50"} << true << Result::Corrupt;
        QTest::newRow("short first row") << QByteArrayList{"short"} << true << Result::Corrupt;
        QTest::newRow("short second row")
            << QByteArrayList{"01/01/2009 00:00:00, 20.50", "short"} << true << Result::Corrupt;
        QTest::newRow("bad number")
            << QByteArrayList{"01/01/2009 00:00:00, 2O.50"} << true << Result::Corrupt;
        QTest::newRow("bad RH") << QByteArrayList{"01/01/2009 00:00:00, 20.50, x"} << true
                                << Result::Corrupt;
        QTest::newRow("counts missing")
            << QByteArrayList{"01/01/2009 00:00:00, 20.50, 293.65, 68.90, 0, 1, 0, 0"} << true
            << Result::Corrupt;
        QTest::newRow("bad count")
            << QByteArrayList{"01/01/2009 00:00:00, 20.50, 293.65, 68.90, 0, 1, 0, 0, 0, 0, x, 0"}
            << true << Result::Corrupt;
        QTest::newRow("absurd count") << QByteArrayList{"01/01/2009 00:00:00, 20.50, 293.65, "
                                                        "68.90, 0, 2000000000, 0, 0, 0, 0, 0, 0"}
                                      << true << Result::Corrupt;
    }
    void failures() {
        QFETCH(QByteArrayList, lines);
        QFETCH(bool, scramble);
        QFETCH(Result, expected);
        SampleStore store;
        DataFileLoader loader(store, "mm/dd/yyyy hh:mm:ss", DateOrder::MonthDayYear);
        CipherState state;
        Result result = Result::Ok;
        for (const QByteArray& line : lines)
            if (result == Result::Ok)
                result = loader.feedLine(scramble ? '?' + ScrambleLine(state, line) : line);
        QCOMPARE(result, expected);
        QVERIFY(store.NewSensorEvents.size() <= DataFileLoader::kMaxEvents);
    }
};

QTEST_GUILESS_MAIN(TestDataFileReader)
#include "test_data_file_reader.moc"
