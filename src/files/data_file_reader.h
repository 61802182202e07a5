#pragma once
// Reading data files back: the line reader, the date-format detection, the
// conversion of row texts and the loader that turns the lines of a
// duplicate into samples and events. No window here: the main window's
// LoadDataFile runs these and shows the outcome.
#include "files/cipher.h"
#include "model/sample_store.h"
#include "platform/clock.h"
#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace files {

// Reads a text file line by line, CR LF or LF ending a line. A view stays
// valid until the next call.
class LineReader {
  public:
    // No line of a data file comes near this; a file without line ends must
    // not be taken into memory whole.
    static constexpr qsizetype kMaxLineLength = 1 << 20;

    // `chunk` is the size of one read; a longer line grows the buffer.
    explicit LineReader(QIODevice& device, qsizetype chunk = 1 << 20);
    // The next line without its line end; false at the end of the file and
    // at a line longer than kMaxLineLength.
    bool next(QByteArrayView& line);
    // Whether the line last returned was ended by a line end.
    bool lastHadLineEnd() const { return m_lastHadLineEnd; }
    // Whether a read failed or a line was too long; the lines before were returned.
    bool failed() const { return m_failed || m_tooLong; }
    bool lineTooLong() const { return m_tooLong; }

  private:
    bool fill();

    QIODevice& m_device;
    QByteArray m_buffer;
    qsizetype m_start = 0; // first unread byte
    qsizetype m_end = 0;   // end of the bytes read
    bool m_eof = false;
    bool m_lastHadLineEnd = false;
    bool m_failed = false;
    bool m_tooLong = false;
};

struct DetectedFormat {
    QString pattern;         // one of the Date Format patterns
    QString shortDateFormat; // its date part
};

// The pattern of a "~Date Format: " line, or nothing for any other line.
std::optional<DetectedFormat> formatFromHeaderLine(QByteArrayView line);

// Guesses the pattern of a file without a "~Date Format: " line from the
// shape of its lines, one line at a time, comparing each with the one
// before it.
class DateShapeGuesser {
  public:
    // `hadLineEnd` tells whether the line was ended by a line end; the end
    // of the file itself is fed as an empty line without one when the last
    // line was ended, as a plain read there yields nothing.
    std::optional<DetectedFormat> feed(QByteArrayView line, bool hadLineEnd);

  private:
    char m_previous[3] = {'x', 'x', 'x'}; // characters 0, 1 and 4
};

struct DateFormatSearch {
    std::optional<DetectedFormat> format;
    bool lineTooLong = false; // the search met a line no data file holds
};
// The pattern of a file: from its "~Date Format: " line, else guessed from
// the shape of its lines. Reads the file once, up to the format line.
DateFormatSearch detectDateFormat(QIODevice& file);

// Field order of the date numbers in a row, from the short date format.
enum class DateOrder { MonthDayYear, DayMonthYear, YearMonthDay };
DateOrder dateOrderOf(const QString& shortDateFormat);

// Characters taken by the date of a row and the ", " after it.
qsizetype datePrefixLength(const QString& pattern);

// "12/31/2008 11:59:58 PM": three numbers separated by '/' in the given
// order, blanks, hours, minutes and seconds separated by ':', then an
// optional AM or PM; whatever follows is ignored. Two-digit years are
// 2000 to 2099.
std::optional<platform::DateTime> parseRowDateTime(QByteArrayView text, DateOrder order);
// The time stamp of a data row: its first `prefix` characters (the date and
// the ", " after it, datePrefixLength), the comma of the comma patterns
// read as a blank. Nothing when the row is shorter or the date does not read.
std::optional<platform::DateTime> rowDateTime(QByteArrayView row, qsizetype prefix,
                                              DateOrder order);
// A decimal number with a full stop, blanks around it allowed; nothing when
// it does not convert or does not fit a 32-bit float.
std::optional<float> parseDecimal(QByteArrayView text);
// A decimal integer, blanks around it allowed.
std::optional<int> parseCount(QByteArrayView text);

// Samples per hour for two rows d days apart, the interval rounded to whole
// seconds; 0 when the rows are less than half a second apart.
double SamplesPerHourFromInterval(platform::DateTime d);

// Turns the lines of a data file into the store. Each line is first taken
// apart on its own (unscrambled, its date and numbers read), which needs
// nothing of the lines before but the scrambler's state; then committed to
// the store in file order, where the rules that span rows apply. loadLines
// takes the lines apart on other threads and commits them in order.
class DataFileLoader {
  public:
    enum class Result {
        Ok,
        BadLine, // neither a '~' nor a '?' line: not a duplicate
        Corrupt, // a date, number or count that does not convert
    };
    // An absurd event count must not exhaust memory: past this many events
    // in all the file is corrupt.
    static constexpr size_t kMaxEvents = 10'000'000;

    DataFileLoader(SampleStore& store, const QString& pattern, DateOrder order);
    // The size of the file, from which the first row sizes the lists.
    void expectBytes(qint64 bytes) { m_bytesLeft = bytes; }
    // One line as read, without its line end.
    Result feedLine(QByteArrayView line);
    // Every line of `device` to its end, or to the first line that is not Ok,
    // as feedLine one after the other would; a read error or an overlong
    // line after good lines is Corrupt. The lines are read on this thread,
    // which gives `progress` the bytes read so far after each hundredth of
    // the device's size and at its end; the rest of the work is done by
    // other threads, `blockBytes` of lines at a time.
    Result loadLines(QIODevice& device, const std::function<void(qint64)>& progress = {},
                     qsizetype blockBytes = 1 << 16);

    // What the window shows after the load.
    bool scrambledSeen() const { return m_scrambledSeen; }
    std::optional<platform::DateTime> firstTime() const { return m_firstTime; }
    std::optional<double> samplesPerHour() const { return m_samplesPerHour; }
    // The last RH-channel decision of the rows; nothing when none decided.
    std::optional<bool> withRh() const { return m_withRh; }

  private:
    // Lines taken apart, in file order; the rare parts aside.
    struct ParsedLines {
        enum class Kind : std::uint8_t {
            Header,     // a '~' line, in the clear or scrambled
            BadLine,    // neither '~' nor '?'
            Corrupt,    // a date that does not read
            Dateless,   // a row too short for its date
            Row,        // a row that reads
            RowCorrupt, // a row whose date reads but whose numbers do not
        };
        struct Line {
            Kind kind;
            bool scrambled;
            bool events;        // its counts are next in `counts`
            std::int8_t withRh; // its RH decision: -1 none, 0 off, 1 on
            qsizetype length;   // as read, without its line end
            platform::DateTime time;
            float celsius, rh;
        };
        std::vector<Line> lines;
        std::vector<std::array<int, 7>> counts; // of the rows with events
        std::vector<QByteArray> headers;        // of the header lines
        void clear() {
            lines.clear();
            counts.clear();
            headers.clear();
        }
    };
    struct Parser; // the part that needs nothing of the store

    Result commit(const ParsedLines& parsed);
    void headerLine(QByteArrayView line);
    void reserveRows(qsizetype lineLength);

    SampleStore& m_store;
    qsizetype m_prefix;
    DateOrder m_order;
    CipherState m_cipher;
    QByteArray m_plain;   // the unscrambled line, reused
    ParsedLines m_parsed; // feedLine's one line, reused
    size_t m_events = 0;
    qint64 m_bytesLeft = 0;
    bool m_scrambledSeen = false;
    std::optional<platform::DateTime> m_firstTime;
    std::optional<double> m_samplesPerHour;
    std::optional<bool> m_withRh;
};

} // namespace files
