#include "files/data_file_format.h"
#include "platform/formatting.h"
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

namespace files {
namespace {

// A row's text gathered in place and handed to its QByteArray in one append:
// an append per field costs more than the field's digits.
class RowText {
  public:
    static constexpr qsizetype kSize = 512;

    explicit RowText(QByteArray& out) : m_out(out) {}
    ~RowText() { flush(); }
    RowText(const RowText&) = delete;
    RowText& operator=(const RowText&) = delete;

    // Room for n <= kSize more characters, to be taken with commit().
    char* room(qsizetype n) {
        if (m_size + n > kSize)
            flush();
        return m_buffer + m_size;
    }
    void commit(char* end) { m_size = end - m_buffer; }
    void put(QByteArrayView text) {
        if (text.size() > kSize) {
            flush();
            m_out += text;
            return;
        }
        char* to = room(text.size());
        std::memcpy(to, text.data(), static_cast<size_t>(text.size()));
        commit(to + text.size());
    }

  private:
    void flush() {
        m_out.append(m_buffer, m_size);
        m_size = 0;
    }

    QByteArray& m_out;
    char m_buffer[kSize];
    qsizetype m_size = 0;
};

void appendFixed2(RowText& out, double value) {
    // A double times 100 takes at most 60 bits, which a 64-bit long double
    // holds exactly: the rounding, half to even on exact ties, is then the
    // same as to_chars's own.
    if constexpr (std::numeric_limits<long double>::digits >= 64) {
        if (std::fabs(value) < 1e15) {
            const long double scaled = std::fabs(static_cast<long double>(value)) * 100;
            auto hundredths = static_cast<unsigned long long>(scaled);
            const long double rest = scaled - static_cast<long double>(hundredths);
            if (rest > 0.5L || (rest == 0.5L && (hundredths & 1)))
                ++hundredths;
            char buffer[24];
            char* const end = buffer + sizeof buffer;
            char* begin = end - 3;
            end[-1] = static_cast<char>('0' + hundredths % 10);
            end[-2] = static_cast<char>('0' + hundredths / 10 % 10);
            end[-3] = '.';
            unsigned long long whole = hundredths / 100;
            do {
                *--begin = static_cast<char>('0' + whole % 10);
                whole /= 10;
            } while (whole != 0);
            if (std::signbit(value))
                *--begin = '-';
            out.put(QByteArrayView(begin, end - begin));
            return;
        }
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

    void append(RowText& out, platform::DateTime t) const {
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
        for (qsizetype i = 0; i < m_pattern.size();) {
            const QChar c = m_pattern[i];
            if (m_pattern.mid(i, 5) == "AM/PM") {
                m_pieces.push_back({Field::AmPm, 0});
                m_twelveHour = true;
                afterHour = false;
                i += 5;
                continue;
            }
            if (c == ' ' || c == '/' || c == ':' || c == ',' || c == '-' || c == '.') {
                m_pieces.push_back({Field::Literal, static_cast<char>(c.unicode())});
                ++i;
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
            m_pieces.push_back({field, 0});
            afterHour = lower == 'h';
            i += n;
        }
        m_fast = m_pieces.size() <= kMaxPieces;
    }

    // The text of t into `out`; -1 when the date is not one for this path.
    qsizetype render(char* out, platform::DateTime t) const {
        if (!(t > -693594.0 && t < 2958466.0)) // 1 January 1 to 31 December 9999
            return -1;
        const platform::DateTimeParts p = dateTimeParts(t);
        if (p.year < 1 || p.year > 9999)
            return -1;
        char* o = out;
        const auto two = [&](int v) {
            *o++ = static_cast<char>('0' + v / 10);
            *o++ = static_cast<char>('0' + v % 10);
        };
        for (const Piece& piece : m_pieces) {
            switch (piece.field) {
            case Field::Literal:
                *o++ = piece.literal;
                break;
            case Field::Year4:
                two(p.year / 100);
                two(p.year % 100);
                break;
            case Field::Year2:
                two(p.year % 100);
                break;
            case Field::Month:
                two(p.month);
                break;
            case Field::Day:
                two(p.day);
                break;
            case Field::Hour:
                two(m_twelveHour ? (p.hour % 12 == 0 ? 12 : p.hour % 12) : p.hour);
                break;
            case Field::Minute:
                two(p.minute);
                break;
            case Field::Second:
                two(p.second);
                break;
            case Field::AmPm:
                *o++ = p.hour < 12 ? 'A' : 'P';
                *o++ = 'M';
                break;
            }
        }
        return o - out;
    }

    // As platform::decodeDateTime, without the calendar object per date.
    static platform::DateTimeParts dateTimeParts(platform::DateTime t) {
        constexpr long long kMsPerDay = 86'400'000;
        auto day = static_cast<long long>(std::floor(t));
        long long ms = std::llround((t - static_cast<double>(day)) * kMsPerDay);
        if (ms >= kMsPerDay) {
            ++day;
            ms -= kMsPerDay;
        }
        // Days since 1 March of the year 0, in eras of 400 years.
        const long long z = day - 25569 + 719468; // 30 December 1899 is day 0
        const long long era = (z >= 0 ? z : z - 146096) / 146097;
        const long long doe = z - era * 146097;
        const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        const long long mp = (5 * doy + 2) / 153;
        platform::DateTimeParts parts{};
        parts.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
        parts.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
        parts.year = static_cast<int>(yoe + era * 400 + (parts.month <= 2));
        parts.hour = static_cast<int>(ms / 3600000);
        parts.minute = static_cast<int>(ms / 60000 % 60);
        parts.second = static_cast<int>(ms / 1000 % 60);
        return parts;
    }

    QString m_pattern;
    std::vector<Piece> m_pieces;
    bool m_twelveHour = false;
    bool m_fast = true;
};

// The rows of one save all share their pattern: it is taken apart once.
const RowDateFormat& rowDateFormat(const QString& pattern) {
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
    for (int count : counts) {
        row.put(", ");
        appendInt(row, count);
    }
}

void appendSampleFields(QByteArray& out, const QString& pattern, platform::DateTime time,
                        float celsius, float rh, bool withRh) {
    const bool noReading = celsius == kNoReading;
    RowText row(out);
    rowDateFormat(pattern).append(row, time);
    row.put(", ");
    appendFixed2(row, celsius);
    row.put(", ");
    appendFixed2(row, noReading ? double(kNoReading) : double(celsius) + 273.15);
    row.put(", ");
    appendFixed2(row, noReading ? double(kNoReading) : double(celsius) * 1.8 + 32.0);
    row.put(", ");
    appendInt(row, withRh ? truncatedRh(rh) : 0);
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
    text.reserve(kChunk + 1024);
    bool ok = true;
    // The lists are parallel by contract; a short one ends the rows rather
    // than being read past its end.
    const size_t rows = std::min(store.TempData.size(), store.SampleTimes.size());
    EventCounter counter(store);
    for (size_t i = 0; i < rows; ++i) {
        const platform::DateTime time = store.SampleTimes[i];
        const float rh = i < store.RHData.size() ? store.RHData[i] : 0.0f;
        appendSampleFields(text, pattern, time, store.TempData[i], rh, withRh);
        appendEventCounts(text, counter.countsFor(time));
        text += kLineEnd;
        if (text.size() >= kChunk) {
            ok = out.write(text) == text.size() && ok;
            text.resize(0);
        }
    }
    ok = out.write(text) == text.size() && ok;
    return ok;
}

} // namespace files
