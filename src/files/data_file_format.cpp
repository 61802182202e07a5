#include "files/data_file_format.h"
#include "platform/formatting.h"
#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

namespace files {
namespace {

// Text written in place at the end of a QByteArray: room() grows it ahead
// of the writing and the slack is cut off at the end, so that no row or
// field costs an append of its own.
class RowText {
  public:
    explicit RowText(QByteArray& out) : m_out(out), m_size(out.size()) {}
    ~RowText() { m_out.resize(m_size); }
    RowText(const RowText&) = delete;
    RowText& operator=(const RowText&) = delete;

    // Room for n more characters, to be taken with commit().
    char* room(qsizetype n) {
        if (m_out.size() - m_size < n)
            m_out.resize(std::max(m_size + n, 2 * m_out.size()));
        return m_out.data() + m_size;
    }
    void commit(char* end) { m_size = end - m_out.constData(); }
    void put(QByteArrayView text) {
        char* to = room(text.size());
        std::memcpy(to, text.data(), static_cast<size_t>(text.size()));
        commit(to + text.size());
    }
    qsizetype size() const { return m_size; }
    // Writes the text so far to `device` and starts again from empty.
    bool writeTo(QIODevice& device) {
        const bool written = device.write(m_out.constData(), m_size) == m_size;
        m_size = 0;
        return written;
    }

  private:
    QByteArray& m_out;
    qsizetype m_size;
};

// |value| * 100 rounded to a whole number, half to even on exact ties, as
// to_chars rounds; for |value| < 2^50. The double is mantissa * 2^-shift,
// so times 100 (below 2^60) it splits exactly into the whole and the rest.
std::uint64_t roundedHundredths(double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const int exponent = static_cast<int>(bits >> 52 & 0x7FF);
    std::uint64_t mantissa = bits & ((std::uint64_t(1) << 52) - 1);
    if (exponent != 0)
        mantissa |= std::uint64_t(1) << 52;
    const int shift = 1075 - std::max(exponent, 1); // 3 or more below 2^50
    if (shift >= 64)
        return 0; // under 2^-11: far below half a hundredth
    const std::uint64_t scaled = mantissa * 100;
    std::uint64_t whole = scaled >> shift;
    const std::uint64_t rest = scaled & ((std::uint64_t(1) << shift) - 1);
    const std::uint64_t half = std::uint64_t(1) << (shift - 1);
    if (rest > half || (rest == half && (whole & 1)))
        ++whole;
    return whole;
}

void appendFixed2(RowText& out, double value) {
    if (std::fabs(value) < 1e15) {
        const std::uint64_t hundredths = roundedHundredths(value);
        char buffer[24];
        char* const end = buffer + sizeof buffer;
        char* begin = end - 3;
        end[-1] = static_cast<char>('0' + hundredths % 10);
        end[-2] = static_cast<char>('0' + hundredths / 10 % 10);
        end[-3] = '.';
        std::uint64_t whole = hundredths / 100;
        do {
            *--begin = static_cast<char>('0' + whole % 10);
            whole /= 10;
        } while (whole != 0);
        if (std::signbit(value))
            *--begin = '-';
        out.put(QByteArrayView(begin, end - begin));
        return;
    }
    constexpr qsizetype kWidest = 400; // the widest double written in full
    char* to = out.room(kWidest);
    out.commit(std::to_chars(to, to + kWidest, value, std::chars_format::fixed, 2).ptr);
}

void appendInt(RowText& out, long long value) {
    char* to = out.room(24);
    out.commit(std::to_chars(to, to + 24, value).ptr);
}

// A date pattern taken apart once, for the rows: the fields of the eight
// date formats, and the separators between them. Any other pattern, and any
// date outside the years 1 to 9999, goes through the general formatting.
class RowDateFormat {
  public:
    explicit RowDateFormat(const QString& pattern) : m_pattern(pattern) { compile(); }
    const QString& pattern() const { return m_pattern; }

    void append(RowText& out, platform::DateTime t) {
        char* to = out.room(kMaxPieces * 4);
        const qsizetype size = m_fast ? render(to, t) : -1;
        if (size < 0)
            out.put(fileText(platform::formatDateTimeFixed(m_pattern, t)));
        else
            out.commit(to + size);
    }

  private:
    enum class Field : char { Literal, Year4, Year2, Month, Day, Hour, Minute, Second, AmPm };
    struct Piece {
        Field field;
        char literal;
        qsizetype at = 0; // where its text starts
    };
    static constexpr size_t kMaxPieces = 16; // of at most four characters each

    void compile() {
        const auto run = [&](qsizetype i) {
            qsizetype n = 1;
            while (i + n < m_pattern.size() && m_pattern[i + n].toLower() == m_pattern[i].toLower())
                ++n;
            return n;
        };
        bool afterHour = false;
        qsizetype at = 0;
        for (qsizetype i = 0; i < m_pattern.size();) {
            const QChar c = m_pattern[i];
            if (m_pattern.mid(i, 5) == "AM/PM") {
                m_pieces.push_back({Field::AmPm, 0, at});
                m_twelveHour = true;
                afterHour = false;
                i += 5;
                at += 2;
                continue;
            }
            if (c == ' ' || c == '/' || c == ':' || c == ',' || c == '-' || c == '.') {
                m_pieces.push_back({Field::Literal, static_cast<char>(c.unicode()), at});
                ++i;
                ++at;
                continue;
            }
            const qsizetype n = run(i);
            const char16_t lower = c.toLower().unicode();
            Field field = Field::Literal;
            if (lower == 'y' && (n == 2 || n == 4))
                field = n == 2 ? Field::Year2 : Field::Year4;
            else if (n == 2 && lower == 'm')
                field = afterHour ? Field::Minute : Field::Month;
            else if (n == 2 && lower == 'n')
                field = Field::Minute;
            else if (n == 2 && lower == 'd')
                field = Field::Day;
            else if (n == 2 && lower == 'h')
                field = Field::Hour;
            else if (n == 2 && lower == 's')
                field = Field::Second;
            if (field == Field::Literal) {
                m_fast = false;
                return;
            }
            m_pieces.push_back({field, 0, at});
            afterHour = lower == 'h';
            i += n;
            at += n;
        }
        m_fast = m_pieces.size() <= kMaxPieces;
        m_size = at;
    }

    // The text of t into `out`; -1 when the date is not one for this path.
    // Rows come many to a day: the day's text is made once and each row
    // puts its time of day into a copy.
    qsizetype render(char* out, platform::DateTime t) {
        if (!(t > -693594.0 && t < 2958466.0)) // 1 January 1 to 31 December 9999
            return -1;
        constexpr long long kMsPerDay = 86'400'000;
        auto day = static_cast<long long>(std::floor(t));
        long long ms = std::llround((t - static_cast<double>(day)) * kMsPerDay);
        if (ms >= kMsPerDay) {
            ++day;
            ms -= kMsPerDay;
        }
        if (day != m_day) {
            const Date date = civilDate(day);
            if (date.year < 1 || date.year > 9999)
                return -1;
            for (const Piece& piece : m_pieces)
                putDatePiece(piece, date);
            m_day = day;
        }
        std::memcpy(out, m_dayText, static_cast<size_t>(m_size));
        const int hour = static_cast<int>(ms / 3600000);
        for (const Piece& piece : m_pieces) {
            char* const o = out + piece.at;
            switch (piece.field) {
            case Field::Hour:
                putTwo(o, m_twelveHour ? (hour % 12 == 0 ? 12 : hour % 12) : hour);
                break;
            case Field::Minute:
                putTwo(o, static_cast<int>(ms / 60000 % 60));
                break;
            case Field::Second:
                putTwo(o, static_cast<int>(ms / 1000 % 60));
                break;
            case Field::AmPm:
                o[0] = hour < 12 ? 'A' : 'P';
                o[1] = 'M';
                break;
            default:
                break; // the day's text has it
            }
        }
        return m_size;
    }

    static void putTwo(char* o, int v) {
        o[0] = static_cast<char>('0' + v / 10);
        o[1] = static_cast<char>('0' + v % 10);
    }

    struct Date {
        int year, month, day;
    };

    void putDatePiece(const Piece& piece, const Date& date) {
        char* const o = m_dayText + piece.at;
        switch (piece.field) {
        case Field::Literal:
            *o = piece.literal;
            break;
        case Field::Year4:
            putTwo(o, date.year / 100);
            putTwo(o + 2, date.year % 100);
            break;
        case Field::Year2:
            putTwo(o, date.year % 100);
            break;
        case Field::Month:
            putTwo(o, date.month);
            break;
        case Field::Day:
            putTwo(o, date.day);
            break;
        default:
            break; // the time of day, put in per row
        }
    }

    // As platform::decodeDateTime, without the calendar object per date:
    // days since 1 March of the year 0, in eras of 400 years.
    static Date civilDate(long long day) {
        const long long z = day - 25569 + 719468; // 30 December 1899 is day 0
        const long long era = (z >= 0 ? z : z - 146096) / 146097;
        const long long doe = z - era * 146097;
        const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        const long long mp = (5 * doy + 2) / 153;
        const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
        return {static_cast<int>(yoe + era * 400 + (month <= 2)), month,
                static_cast<int>(doy - (153 * mp + 2) / 5 + 1)};
    }

    QString m_pattern;
    std::vector<Piece> m_pieces;
    bool m_twelveHour = false;
    bool m_fast = true;
    qsizetype m_size = 0;                                    // of every date's text
    long long m_day = std::numeric_limits<long long>::min(); // whose text m_dayText holds
    char m_dayText[kMaxPieces * 4];
};

// The rows of one save all share their pattern: it is taken apart once.
RowDateFormat& rowDateFormat(const QString& pattern) {
    thread_local std::optional<RowDateFormat> format;
    if (!format || format->pattern() != pattern)
        format.emplace(pattern);
    return *format;
}

// RH as written: truncated toward zero. A value that has no integer form
// (not a number, out of range) is written as the no-reading marker.
long long truncatedRh(float rh) {
    constexpr double kLimit = 2147483648.0;
    if (!(rh > -kLimit && rh < kLimit))
        return static_cast<long long>(kNoReading);
    return static_cast<long long>(std::trunc(rh));
}

void putEventCounts(RowText& row, const std::array<int, 7>& counts) {
    if (counts == std::array<int, 7>{}) {
        row.put(kNoEventCounts); // most rows, spelt out once
        return;
    }
    for (int count : counts) {
        row.put(", ");
        appendInt(row, count);
    }
}

void putSampleFields(RowText& row, RowDateFormat& dates, platform::DateTime time, float celsius,
                     float rh, bool withRh) {
    const bool noReading = celsius == kNoReading;
    dates.append(row, time);
    row.put(", ");
    appendFixed2(row, celsius);
    row.put(", ");
    appendFixed2(row, noReading ? double(kNoReading) : double(celsius) + 273.15);
    row.put(", ");
    appendFixed2(row, noReading ? double(kNoReading) : double(celsius) * 1.8 + 32.0);
    row.put(", ");
    appendInt(row, withRh ? truncatedRh(rh) : 0);
}

} // namespace

QByteArray fileText(const QString& text) {
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        out[i] = (c >= 32 && c <= 126) ? static_cast<char>(c) : '?';
    }
    return out;
}

QByteArray formatHeaderLines(const QString& pattern, platform::DateTime created) {
    return "~Date Format: " + fileText(pattern) + kLineEnd +
           "~File Created On: " + fileText(platform::formatDateTimeFixed(pattern, created)) +
           kLineEnd;
}

QByteArray userBlock(const QString& userName, const QString& userLocation, const QString& unitId,
                     const QString& softwareVersion) {
    return "~User Name: " + fileText(userName) + kLineEnd +
           "~User Location: " + fileText(userLocation) + kLineEnd + "~BV ID: " + fileText(unitId) +
           kLineEnd + "~PC Software Version: " + fileText(softwareVersion) + kLineEnd;
}

QByteArray columnHeader(const QString& pattern) {
    const QByteArray events = "RH, New sensors, Temp alarm starts, RH alarm starts, "
                              "Temp alarm ends, RH alarm ends, Test start, Test end";
    return (pattern.contains(',') ? "~Date, Time, Celsius, Kelvin, Fahrenheit, "
                                  : "~DateTime, Celsius, Kelvin, Fahrenheit, ") +
           events;
}

QByteArray plainHeaderLines(const QString& pattern, platform::DateTime created,
                            const QByteArray& userLines) {
    return formatHeaderLines(pattern, created) + userLines + '~' + kLineEnd +
           columnHeader(pattern) + kLineEnd;
}

void appendEventCounts(QByteArray& out, const std::array<int, 7>& counts) {
    RowText row(out);
    putEventCounts(row, counts);
}

void appendSampleFields(QByteArray& out, const QString& pattern, platform::DateTime time,
                        float celsius, float rh, bool withRh) {
    RowText row(out);
    putSampleFields(row, rowDateFormat(pattern), time, celsius, rh, withRh);
}

EventCounter::EventCounter(const SampleStore& store) : m_lists(store.eventLists()) {}

std::array<int, 7> EventCounter::countsFor(platform::DateTime rowTime) {
    std::array<int, 7> counts{};
    if (m_firstRow)
        counts[0] = 1;
    m_firstRow = false;
    for (size_t k = 0; k < m_lists.size(); ++k) {
        const std::vector<platform::DateTime>& list = *m_lists[k];
        while (m_cursor[k] < list.size() && list[m_cursor[k]] <= rowTime) {
            ++counts[k];
            ++m_cursor[k];
        }
    }
    return counts;
}

bool writePlainFile(QIODevice& out, const SampleStore& store, const QString& pattern, bool withRh,
                    platform::DateTime created, const QByteArray& userLines) {
    constexpr qsizetype kChunk = 1 << 16;
    QByteArray text = plainHeaderLines(pattern, created, userLines);
    bool ok = true;
    // The lists are parallel by contract; a short one ends the rows rather
    // than being read past its end.
    const size_t rows = std::min(store.TempData.size(), store.SampleTimes.size());
    EventCounter counter(store);
    RowDateFormat dates(pattern);
    RowText row(text);
    for (size_t i = 0; i < rows; ++i) {
        const platform::DateTime time = store.SampleTimes[i];
        const float rh = i < store.RHData.size() ? store.RHData[i] : 0.0f;
        putSampleFields(row, dates, time, store.TempData[i], rh, withRh);
        putEventCounts(row, counter.countsFor(time));
        row.put(kLineEnd);
        if (row.size() >= kChunk)
            ok = row.writeTo(out) && ok;
    }
    ok = row.writeTo(out) && ok;
    return ok;
}

} // namespace files
