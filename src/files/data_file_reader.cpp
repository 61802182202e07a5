#include "files/data_file_reader.h"
#include "files/data_file_format.h"
#include "platform/formatting.h"
#include "platform/memory.h"
#include <QThread>
#include <algorithm>
#include <bit>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>
#include <string>
#include <thread>

namespace files {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Narrows [begin, end) to the text without blanks around it.
void trim(const char*& begin, const char*& end) {
    while (begin < end && isBlank(*begin))
        ++begin;
    while (end > begin && isBlank(end[-1]))
        --end;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isTwoDigits(const char* p) {
    return isDigit(p[0]) && isDigit(p[1]);
}

// Reads up to nine digits at p; -1 when there is none.
int readNumber(const char*& p, const char* end, int* digits = nullptr) {
    const char* start = p;
    int value = 0;
    while (p < end && isDigit(*p) && p - start < 9)
        value = value * 10 + (*p++ - '0');
    if (digits)
        *digits = static_cast<int>(p - start);
    return p == start ? -1 : value;
}

bool isLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : kDays[m - 1];
}

// Days from 30 December 1899 to the given day of the proleptic Gregorian
// calendar.
long long daysSinceEpoch(int y, int m, int d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 25569; // 1970-01-01 is day 25569
}

DetectedFormat detected(const char* pattern, const char* shortDate) {
    return {QString::fromLatin1(pattern), QString::fromLatin1(shortDate)};
}

} // namespace

LineReader::LineReader(QIODevice& device, qsizetype chunk)
    // A small file needs no more than its size.
    : m_device(device), m_buffer(std::clamp<qsizetype>(device.size() - device.pos() + 1, 16,
                                                       std::max<qsizetype>(chunk, 16)),
                                 Qt::Uninitialized) {}

bool LineReader::fill() {
    // Keep the unread part, at the front; a line longer than the buffer grows it.
    if (m_start > 0) {
        std::memmove(m_buffer.data(), m_buffer.constData() + m_start, m_end - m_start);
        m_end -= m_start;
        m_start = 0;
    }
    if (m_end == m_buffer.size())
        m_buffer.resize(m_buffer.size() * 2);
    const qint64 got = m_device.read(m_buffer.data() + m_end, m_buffer.size() - m_end);
    if (got < 0)
        m_failed = true;
    if (got <= 0) {
        m_eof = true;
        return false;
    }
    m_end += got;
    return true;
}

bool LineReader::next(QByteArrayView& line) {
    qsizetype scanned = 0; // bytes of the current line already searched
    for (;;) {
        const char* base = m_buffer.constData();
        const void* found = std::memchr(base + m_start + scanned, '\n', m_end - m_start - scanned);
        if (found) {
            const qsizetype stop = static_cast<const char*>(found) - base;
            qsizetype length = stop - m_start;
            if (length > 0 && base[stop - 1] == '\r')
                --length;
            if (length > kMaxLineLength)
                break;
            line = QByteArrayView(base + m_start, length);
            m_start = stop + 1;
            m_lastHadLineEnd = true;
            return true;
        }
        if (m_end - m_start > kMaxLineLength + 1) // room for a CR before the LF
            break;
        if (m_eof) {
            if (m_start == m_end)
                return false;
            if (m_end - m_start > kMaxLineLength)
                break;
            line = QByteArrayView(base + m_start, m_end - m_start);
            m_start = m_end;
            m_lastHadLineEnd = false;
            return true;
        }
        scanned = m_end - m_start;
        fill();
    }
    m_tooLong = true;
    return false;
}

std::optional<DetectedFormat> formatFromHeaderLine(QByteArrayView line) {
    if (!line.startsWith("~Date Format: "))
        return std::nullopt;
    // The pattern starts two characters after the first colon.
    const qsizetype colon = line.indexOf(':');
    QByteArray pattern = line.sliced(std::min(colon + 2, line.size())).toByteArray();
    pattern.replace('\r', "").replace('\n', "");
    const qsizetype space = pattern.indexOf(' ');
    return DetectedFormat{QString::fromLatin1(pattern),
                          QString::fromLatin1(space < 0 ? pattern : pattern.left(space))};
}

std::optional<DetectedFormat> DateShapeGuesser::feed(QByteArrayView line, bool hadLineEnd) {
    // The line as a fixed buffer would hold it: the line end after the text,
    // zeros beyond.
    const auto at = [&](qsizetype i) -> char {
        if (i < line.size())
            return line[i];
        return i == line.size() && hadLineEnd ? '\n' : '\0';
    };
    const auto isM = [](char c) { return c == 'm' || c == 'M'; };
    const auto is2or3 = [](char c) { return c == '2' || c == '3'; };

    std::optional<DetectedFormat> found;
    if (isM(at(21)))
        found = detected("mm/dd/yyyy hh:mm:ss AM/PM", "mm/dd/yyyy");
    if (isM(at(19)))
        found = detected("mm/dd/yy hh:mm:ss AM/PM", "mm/dd/yy");
    if (at(4) == '/' && at(7) == '/')
        found = detected("yyyy/mm/dd hh:mm:ss", "yyyy/mm/dd");
    if (!found) {
        const bool hadPrevious = m_previous[0] != '\0';
        // A first number above 12 is a day; so is a changing first number
        // while the second stays.
        if (is2or3(at(0)))
            found = detected("dd/mm/yyyy hh:mm:ss", "dd/mm/yyyy");
        else if (is2or3(at(3)))
            found = detected("mm/dd/yyyy hh:mm:ss", "mm/dd/yyyy");
        else if (hadPrevious && at(1) != m_previous[1] && at(4) == m_previous[2])
            found = detected("dd/mm/yyyy hh:mm:ss", "dd/mm/yyyy");
        else if (hadPrevious && at(4) != m_previous[2] && at(1) == m_previous[1])
            found = detected("mm/dd/yyyy hh:mm:ss", "mm/dd/yyyy");
    }
    m_previous[0] = at(0);
    m_previous[1] = at(1);
    m_previous[2] = at(4);
    return found;
}

DateFormatSearch detectDateFormat(QIODevice& file) {
    // One read: the first "~Date Format: " line wins wherever it stands, so
    // the shape of the lines is only kept, from the first line that tells.
    // The format line comes first in the files written here: a small first
    // read finds it without taking in (and paging in) a large buffer.
    LineReader reader(file, 1 << 16);
    DateShapeGuesser guesser;
    std::optional<DetectedFormat> guessed;
    bool endedWithLineEnd = true; // an empty file reads as one empty line
    QByteArrayView line;
    while (reader.next(line)) {
        if (std::optional<DetectedFormat> found = formatFromHeaderLine(line))
            return {found};
        if (!guessed)
            guessed = guesser.feed(line, reader.lastHadLineEnd());
        endedWithLineEnd = reader.lastHadLineEnd();
    }
    if (reader.lineTooLong())
        return {std::nullopt, true};
    if (!guessed && endedWithLineEnd)
        guessed = guesser.feed(QByteArrayView(), false);
    return {guessed};
}

DateOrder dateOrderOf(const QString& shortDateFormat) {
    const QString order = platform::dateOrder(shortDateFormat);
    if (order == "dmy")
        return DateOrder::DayMonthYear;
    if (order == "ymd")
        return DateOrder::YearMonthDay;
    return DateOrder::MonthDayYear;
}

qsizetype datePrefixLength(const QString& pattern) {
    // "AM/PM" renders as two characters.
    return pattern.contains("AM/PM") ? pattern.size() - 1 : pattern.size() + 2;
}

namespace {

// The day of a row's "12/31/2008" at p, three numbers separated by '/' in
// the given order, moving p past it; nothing when it does not read.
std::optional<double> readRowDay(const char*& p, const char* end, DateOrder order) {
    int numbers[3], digits[3];
    for (int k = 0; k < 3; ++k) {
        if (k > 0) {
            if (p == end || *p != '/')
                return std::nullopt;
            ++p;
        }
        if ((numbers[k] = readNumber(p, end, &digits[k])) < 0)
            return std::nullopt;
    }
    const int yearAt = order == DateOrder::YearMonthDay ? 0 : 2;
    const int monthAt = order == DateOrder::DayMonthYear ? 1 : (yearAt == 0 ? 1 : 0);
    const int dayAt = 3 - yearAt - monthAt;
    int year = numbers[yearAt];
    if (digits[yearAt] <= 2)
        year += 2000;
    const int month = numbers[monthAt];
    const int day = numbers[dayAt];
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(year, month))
        return std::nullopt;
    return static_cast<double>(daysSinceEpoch(year, month, day));
}

// The time of a row on its day: after the date, blanks, hours, minutes and
// seconds separated by ':', then an optional AM or PM; whatever follows is
// ignored.
std::optional<platform::DateTime> readRowTime(double date, const char* p, const char* end) {
    if (p == end || *p != ' ')
        return std::nullopt;
    int clock[3];
    if (end - p >= 9 && isTwoDigits(p + 1) && p[3] == ':' && isTwoDigits(p + 4) && p[6] == ':' &&
        isTwoDigits(p + 7) && (end - p == 9 || !isDigit(p[9]))) {
        // " hh:mm:ss", as the files written here hold it.
        for (int k = 0; k < 3; ++k)
            clock[k] = (p[1 + 3 * k] - '0') * 10 + (p[2 + 3 * k] - '0');
        p += 9;
    } else {
        while (p < end && *p == ' ')
            ++p;
        for (int k = 0; k < 3; ++k) {
            if (k > 0) {
                if (p == end || *p != ':')
                    return std::nullopt;
                ++p;
            }
            if ((clock[k] = readNumber(p, end)) < 0)
                return std::nullopt;
        }
    }
    while (p < end && *p == ' ')
        ++p;
    int hour = clock[0];
    if (end - p >= 2 && (p[1] == 'M' || p[1] == 'm') &&
        (p[0] == 'A' || p[0] == 'a' || p[0] == 'P' || p[0] == 'p')) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour = hour % 12 + (p[0] == 'P' || p[0] == 'p' ? 12 : 0);
    }
    if (hour > 23 || clock[1] > 59 || clock[2] > 59)
        return std::nullopt;
    const double time = ((hour * 60.0 + clock[1]) * 60.0 + clock[2]) / 86400.0;
    // Before the epoch the fraction still counts forward from midnight.
    return date + (date < 0 ? -time : time);
}

} // namespace

std::optional<platform::DateTime> parseRowDateTime(QByteArrayView text, DateOrder order) {
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end && *p == ' ')
        ++p;
    const std::optional<double> date = readRowDay(p, end, order);
    return date ? readRowTime(*date, p, end) : std::nullopt;
}

std::optional<platform::DateTime> rowDateTime(QByteArrayView row, qsizetype prefix,
                                              DateOrder order) {
    if (row.size() < prefix)
        return std::nullopt;
    QByteArray date = row.first(prefix).toByteArray();
    if (date.size() > 10 && date[10] == ',')
        date[10] = ' ';
    return parseRowDateTime(date, order);
}

namespace {

constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// The value of [p, end): up to fifteen digits with an optional full stop
// after the first, as every number a data file holds is written. Such a
// mantissa and its power of ten are both exact doubles, so their quotient is
// the correctly rounded value, as from_chars gives it. Nothing for any other
// form.
std::optional<double> plainDecimal(const char* p, const char* end) {
    const bool negative = *p == '-';
    p += negative || *p == '+';
    if (end - p > 16 || p == end || !isDigit(*p))
        return std::nullopt;
    std::uint64_t mantissa = 0;
    for (; p < end && isDigit(*p); ++p)
        mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    qsizetype fraction = 0; // digits after the full stop
    if (p < end && *p == '.') {
        const char* const first = ++p;
        for (; p < end && isDigit(*p); ++p)
            mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
        fraction = p - first;
    }
    if (p != end)
        return std::nullopt;
    const double value = static_cast<double>(mantissa) / kPowersOfTen[fraction];
    return negative ? -value : value;
}

std::optional<float> decimalIn(const char* p, const char* end) {
    trim(p, end);
    // Only digits may follow the sign: no "inf", "nan" or second sign.
    const char* digits = p < end && (*p == '+' || *p == '-') ? p + 1 : p;
    if (digits == end || !(isDigit(*digits) || *digits == '.'))
        return std::nullopt;
    std::optional<double> value = plainDecimal(p, end);
    if (!value) {
        if (*p == '+')
            ++p; // the conversion takes only a minus
        double converted = 0;
        const auto result = std::from_chars(p, end, converted, std::chars_format::general);
        if (result.ec != std::errc() || result.ptr != end)
            return std::nullopt;
        value = converted;
    }
    if (std::fabs(*value) > FLT_MAX)
        return std::nullopt;
    return static_cast<float>(*value);
}

std::optional<int> countIn(const char* p, const char* end) {
    // The usual count first: blanks, then a few digits up to the end.
    while (p < end && *p == ' ')
        ++p;
    if (p < end && end - p <= 9) {
        int value = 0;
        const char* q = p;
        for (; q < end && isDigit(*q); ++q)
            value = value * 10 + (*q - '0');
        if (q == end)
            return value;
    }
    trim(p, end);
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    if (p == end)
        return std::nullopt;
    long long value = 0;
    for (; p < end; ++p) {
        if (!isDigit(*p))
            return std::nullopt;
        value = value * 10 + (*p - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > INT_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

// The number of commas in `text`, and the places of the first N in `at`.
// Eight bytes at a time: in a word XORed with commas, a comma is a zero
// byte, found without carries between bytes, as the high bit of its byte.
template <size_t N> qsizetype findCommas(QByteArrayView text, qsizetype (&at)[N]) {
    qsizetype commas = 0;
    const auto scan = [&](std::uint64_t word, qsizetype from) {
        constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;
        if constexpr (std::endian::native == std::endian::big)
            word = __builtin_bswap64(word); // byte 0 in the low bits
        const std::uint64_t x = word ^ (0x0101010101010101 * ',');
        for (std::uint64_t hits = ~(((x & kLow7) + kLow7) | x) & ~kLow7; hits != 0;
             hits &= hits - 1) {
            qsizetype past = 0; // where the places of commas past the first N go
            *(commas < qsizetype(N) ? &at[commas] : &past) = from + std::countr_zero(hits) / 8;
            ++commas;
        }
    };
    qsizetype from = 0;
    std::uint64_t word = 0;
    for (; from + 8 <= text.size(); from += 8) {
        std::memcpy(&word, text.data() + from, 8);
        scan(word, from);
    }
    if (from < text.size()) {
        word = 0; // the bytes past the end are zeros, no comma
        std::memcpy(&word, text.data() + from, static_cast<size_t>(text.size() - from));
        scan(word, from);
    }
    return commas;
}

} // namespace

std::optional<float> parseDecimal(QByteArrayView text) {
    return decimalIn(text.data(), text.data() + text.size());
}

std::optional<int> parseCount(QByteArrayView text) {
    return countIn(text.data(), text.data() + text.size());
}

double SamplesPerHourFromInterval(platform::DateTime d) {
    if (d == 0)
        return 0;
    const double seconds = std::trunc(d * 86400.0 + 0.5);
    // Rows less than half a second apart give no rate rather than a division by zero.
    return seconds == 0 ? 0 : 3600.0 / seconds;
}

// Takes lines apart with nothing of the store: one per thread, each with
// its own scrambler state and line buffer.
struct DataFileLoader::Parser {
    using Kind = ParsedLines::Kind;

    qsizetype prefix;
    DateOrder order;
    CipherState cipher = {};
    QByteArray plain = {}; // the unscrambled line, reused
    // Rows come many to a day: the text of the last date read and its day.
    QByteArray dateText = {};
    double day = 0;

    void parse(QByteArrayView line, ParsedLines& out) {
        ParsedLines::Line parsed{Kind::BadLine, false, false, -1, line.size(), 0, 0, 0};
        if (!line.isEmpty() && line[0] == '~') {
            parsed.kind = Kind::Header;
            out.headers.push_back(line.toByteArray());
        } else if (!line.isEmpty() && line[0] == '?') {
            parsed.scrambled = true;
            UnscrambleLineInto(cipher, line.sliced(1), plain);
            if (!plain.isEmpty() && plain[0] == '~') {
                parsed.kind = Kind::Header;
                out.headers.push_back(plain);
            } else {
                row(parsed, out);
            }
        }
        out.lines.push_back(parsed);
    }

    void row(ParsedLines::Line& parsed, ParsedLines& out) {
        // The comma patterns put ", " between date and time; read them like the others.
        if (plain.size() > 10 && plain[10] == ',')
            plain[10] = ' ';
        const QByteArrayView view(plain);
        if (view.size() < prefix) {
            parsed.kind = Kind::Dateless;
            return;
        }
        const std::optional<platform::DateTime> time = dateTime(view.first(prefix));
        if (!time) {
            parsed.kind = Kind::Corrupt;
            return;
        }
        parsed.time = *time;
        const QByteArrayView rest = view.sliced(prefix - 1);
        if (usualFields(rest, parsed))
            parsed.kind = Kind::Row;
        else
            parsed.kind = fields(rest, parsed, out) ? Kind::Row : Kind::RowCorrupt;
    }

    // The row as the files written here hold it, read in one walk: eleven
    // fields each after ", ", the numbers in their plain form, no events.
    // False for any other row, which `fields` then reads as it reads all of
    // them; where this is true, `fields` gives the same.
    static bool usualFields(QByteArrayView rest, ParsedLines::Line& parsed) {
        const char* p = rest.data();
        const char* const end = p + rest.size();
        // The field from a blank at p to the next comma, p moved onto it.
        const auto field = [&]() -> std::pair<const char*, const char*> {
            if (p == end || *p != ' ')
                return {};
            const char* const begin = ++p;
            while (p < end && *p != ',')
                ++p;
            return p < end && p > begin ? std::pair{begin, p++}
                                        : std::pair<const char*, const char*>{};
        };
        const auto [celsiusBegin, celsiusEnd] = field();
        const std::optional<double> celsius =
            celsiusBegin ? plainDecimal(celsiusBegin, celsiusEnd) : std::nullopt;
        // Kelvin and Fahrenheit are not read back.
        if (!celsius || !field().first || !field().first)
            return false;
        const auto [rhBegin, rhEnd] = field();
        const std::optional<double> rh = rhBegin ? plainDecimal(rhBegin, rhEnd) : std::nullopt;
        // The counts, the RH's comma (p is past it) before them.
        constexpr auto kCountsSize = sizeof kNoEventCounts - 1;
        if (!rh || end - p != kCountsSize - 1 ||
            std::memcmp(p - 1, kNoEventCounts, kCountsSize) != 0)
            return false;
        parsed.celsius = static_cast<float>(*celsius);
        parsed.rh = static_cast<float>(*rh);
        parsed.withRh = parsed.rh > 0 ? 1 : -1;
        parsed.events = false;
        return true;
    }

    // parseRowDateTime, reading the date only when it differs from the last.
    std::optional<platform::DateTime> dateTime(QByteArrayView text) {
        const char* p = text.data();
        const char* const end = p + text.size();
        if (!dateText.isEmpty() && text.size() > dateText.size() &&
            std::memcmp(text.data(), dateText.constData(), size_t(dateText.size())) == 0 &&
            text[dateText.size()] == ' ')
            return readRowTime(day, p + dateText.size(), end);
        while (p < end && *p == ' ')
            ++p;
        const char* const dateBegin = p;
        const std::optional<double> date = readRowDay(p, end, order);
        if (!date)
            return std::nullopt;
        if (dateBegin == text.data()) {
            // A day depends on its text alone, which the blank after it ends.
            dateText = text.first(p - dateBegin).toByteArray();
            day = *date;
        }
        return readRowTime(*date, p, end);
    }

    // The numbers after the date; false when one of them does not convert.
    static bool fields(QByteArrayView rest, ParsedLines::Line& parsed, ParsedLines& out) {
        // Celsius, Kelvin, Fahrenheit, RH and the seven event counts.
        constexpr qsizetype kFields = 11;
        qsizetype commaAt[kFields]; // the places of the first commas
        const qsizetype commas = findCommas(rest, commaAt);
        const char* const text = rest.data();
        const auto field = [&](qsizetype k) {
            const char* begin = text + (k == 0 ? 0 : commaAt[k - 1] + 1);
            return std::pair{begin, text + (k < commas ? commaAt[k] : rest.size())};
        };
        const auto [celsiusBegin, celsiusEnd] = field(0);
        if (commas >= 6) {
            if (commas < kFields - 1)
                return false; // the row ends before its last count
            const auto [rhBegin, rhEnd] = field(3);
            const std::optional<float> celsius = decimalIn(celsiusBegin, celsiusEnd);
            const std::optional<float> rh = decimalIn(rhBegin, rhEnd);
            if (!celsius || !rh)
                return false;
            std::array<int, 7> counts{};
            for (int k = 0; k < 7; ++k) {
                const auto [begin, end] = field(4 + k);
                const std::optional<int> count = countIn(begin, end);
                if (!count)
                    return false;
                counts[k] = *count;
            }
            parsed.celsius = *celsius;
            parsed.rh = *rh;
            parsed.withRh = *rh > 0 ? 1 : -1;
            parsed.events = counts != std::array<int, 7>{};
            if (parsed.events)
                out.counts.push_back(counts);
            return true;
        }
        const std::optional<float> celsius = decimalIn(celsiusBegin, celsiusEnd);
        if (!celsius)
            return false;
        parsed.celsius = *celsius;
        if (commas == 1 || commas == 3) {
            // Celsius and RH: the five-field rows of the monthly files.
            const auto [rhBegin, rhEnd] = field(commas);
            const std::optional<float> rh = decimalIn(rhBegin, rhEnd);
            if (!rh)
                return false;
            parsed.rh = *rh;
            parsed.withRh = 1;
            return true;
        }
        // Temperature only; RH stays parallel with a zero that is never shown.
        parsed.withRh = 0;
        return true;
    }
};

DataFileLoader::DataFileLoader(SampleStore& store, const QString& pattern, DateOrder order)
    : m_store(store), m_prefix(datePrefixLength(pattern)), m_order(order) {}

DataFileLoader::Result DataFileLoader::feedLine(QByteArrayView line) {
    Parser parser{
        .prefix = m_prefix, .order = m_order, .cipher = m_cipher, .plain = std::move(m_plain)};
    m_parsed.clear();
    parser.parse(line, m_parsed);
    m_cipher = parser.cipher;
    m_plain = std::move(parser.plain);
    return commit(m_parsed);
}

DataFileLoader::Result DataFileLoader::commit(const ParsedLines& parsed) {
    using Kind = ParsedLines::Kind;
    auto counts = parsed.counts.begin();
    auto header = parsed.headers.begin();
    for (const ParsedLines::Line& line : parsed.lines) {
        m_bytesLeft -= line.length + 2;
        if (line.kind == Kind::BadLine)
            return Result::BadLine;
        if (line.scrambled)
            m_scrambledSeen = true;
        switch (line.kind) {
        case Kind::Header:
            headerLine(*header++);
            continue;
        case Kind::Corrupt:
            return Result::Corrupt;
        case Kind::Dateless:
            // Passed over, but the first two rows give the start and the rate.
            if (m_store.TempData.size() <= 1)
                return Result::Corrupt;
            continue;
        default:
            break;
        }
        if (m_store.TempData.empty()) {
            reserveRows(line.length);
            m_store.CurrentTime = line.time;
            m_firstTime = line.time;
        } else if (m_store.TempData.size() == 1) {
            m_samplesPerHour = SamplesPerHourFromInterval(line.time - m_store.CurrentTime);
        }
        m_store.CurrentTime = line.time;
        m_store.SampleTimes.push_back(line.time);
        if (line.kind == Kind::RowCorrupt)
            return Result::Corrupt;
        m_store.TempData.push_back(line.celsius);
        m_store.RHData.push_back(line.rh);
        if (line.withRh >= 0)
            m_withRh = line.withRh == 1;
        if (!line.events)
            continue;
        const auto lists = m_store.eventLists();
        for (int k = 0; k < 7; ++k) {
            const int count = (*counts)[k];
            if (count <= 0)
                continue;
            m_events += static_cast<size_t>(count);
            if (m_events > kMaxEvents)
                return Result::Corrupt;
            lists[k]->insert(lists[k]->end(), static_cast<size_t>(count), m_store.CurrentTime);
        }
        ++counts;
    }
    return Result::Ok;
}

DataFileLoader::Result DataFileLoader::loadLines(QIODevice& device,
                                                 const std::function<void(qint64)>& progress,
                                                 qsizetype blockBytes) {
    // A block of lines as read, with the scrambler's state at its first line.
    struct Block {
        std::string text;
        std::vector<qsizetype> ends; // of each line in `text`
        CipherState cipher;
        ParsedLines parsed;
    };
    const int threads = std::max(1, QThread::idealThreadCount());
    std::vector<Block> blocks(static_cast<size_t>(2 * threads)); // in use in turn
    std::mutex mutex;
    std::condition_variable changed;
    size_t read = 0;      // blocks handed on by the reader
    size_t taken = 0;     // blocks taken by the parsers
    size_t committed = 0; // blocks committed, in file order
    bool readerDone = false;
    Result result = Result::Ok;
    std::exception_ptr failure;

    // Each thread takes the next block, takes its lines apart and, when the
    // blocks before it are committed, commits it; after a line that is not
    // Ok the rest is passed over.
    const auto parseBlocks = [&] {
        Parser parser{.prefix = m_prefix, .order = m_order};
        for (;;) {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return taken < read || readerDone; });
            if (taken == read)
                return;
            const size_t index = taken++;
            Block& block = blocks[index % blocks.size()];
            const bool wanted = result == Result::Ok && !failure;
            lock.unlock();
            if (wanted) {
                try {
                    parser.cipher = block.cipher;
                    block.parsed.clear();
                    qsizetype begin = 0;
                    for (const qsizetype end : block.ends) {
                        parser.parse(QByteArrayView(block.text.data() + begin, end - begin),
                                     block.parsed);
                        begin = end;
                    }
                } catch (...) {
                    lock.lock();
                    failure = std::current_exception();
                    lock.unlock();
                }
            }
            lock.lock();
            changed.wait(lock, [&] { return committed == index; });
            if (result == Result::Ok && !failure) {
                lock.unlock();
                Result r = Result::Ok;
                std::exception_ptr thrown;
                try {
                    r = commit(block.parsed);
                } catch (...) {
                    thrown = std::current_exception();
                }
                lock.lock();
                result = r;
                failure = thrown;
            }
            ++committed;
            changed.notify_all();
        }
    };
    std::vector<std::thread> parsers;
    LineReader reader(device, blockBytes);
    CipherState cipher;
    QByteArrayView line;
    qint64 bytesRead = 0;
    Block* block = nullptr;
    const auto handOn = [&] {
        std::lock_guard lock(mutex);
        ++read;
        block = nullptr;
        changed.notify_all();
    };
    // Progress in hundredths of the file, and once more at its end.
    const qint64 progressStep = std::max<qint64>(1, device.size() / 100);
    qint64 nextProgress = progress ? 0 : std::numeric_limits<qint64>::max();
    const auto readLines = [&] {
        for (;;) {
            if (!block) {
                // The next block to fill, once its parser has committed it.
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return read - committed < blocks.size(); });
                if (result != Result::Ok || failure)
                    return;
                block = &blocks[read % blocks.size()];
                lock.unlock();
                block->text.clear();
                block->ends.clear();
                block->cipher = cipher;
            }
            if (!reader.next(line))
                break;
            block->text.append(line.data(), static_cast<size_t>(line.size()));
            block->ends.push_back(static_cast<qsizetype>(block->text.size()));
            if (line.startsWith('?'))
                SkipScrambledLine(cipher, line.sliced(1));
            if (static_cast<qsizetype>(block->text.size()) >= blockBytes)
                handOn();
            bytesRead += line.size() + 2; // with its CR LF
            if (bytesRead >= nextProgress) {
                progress(bytesRead);
                nextProgress = bytesRead + progressStep;
            }
        }
        if (block && !block->ends.empty())
            handOn();
        if (progress)
            progress(bytesRead);
    };
    // The parsers end with the blocks handed on, also when starting them or
    // reading throws.
    const auto joinParsers = [&] {
        {
            std::lock_guard lock(mutex);
            readerDone = true;
            changed.notify_all();
        }
        for (std::thread& parser : parsers)
            parser.join();
    };
    try {
        for (int i = 0; i < threads; ++i)
            parsers.emplace_back(parseBlocks);
        readLines();
    } catch (...) {
        joinParsers();
        throw;
    }
    joinParsers();
    if (failure)
        std::rethrow_exception(failure);
    if (result == Result::Ok && reader.failed())
        result = Result::Corrupt; // a file cut short by a read error is not a loaded file
    return result;
}

void DataFileLoader::reserveRows(qsizetype lineLength) {
    // The rest of the file in rows like this one, with room for shorter ones:
    // growing a list of millions of samples would copy it and briefly hold
    // it twice.
    if (m_bytesLeft <= 0)
        return;
    const auto rows = static_cast<size_t>(m_bytesLeft / (lineLength + 2) * 1.15) + 16;
    platform::reserveMapped(m_store.SampleTimes, rows);
    platform::reserveMapped(m_store.TempData, rows);
    platform::reserveMapped(m_store.RHData, rows);
}

void DataFileLoader::headerLine(QByteArrayView line) {
    static constexpr struct {
        const char* key;
        QString SampleStore::*field;
    } kKeys[] = {
        {"~User Name: ", &SampleStore::UserName},
        {"~User Location: ", &SampleStore::UserLocation},
        {"~BV ID: ", &SampleStore::UnitId},
        {"~PC Software Version: ", &SampleStore::SoftwareVersion},
    };
    for (const auto& key : kKeys) {
        if (!line.contains(QByteArrayView(key.key)))
            continue;
        QByteArray value = line.sliced(line.indexOf(": ") + 2).toByteArray();
        value.replace('\n', "").replace('\r', "");
        m_store.*key.field = QString::fromLatin1(value);
    }
}

} // namespace files
