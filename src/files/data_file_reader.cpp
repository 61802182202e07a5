#include "files/data_file_reader.h"
#include "platform/formatting.h"
#include <algorithm>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

namespace files {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

QByteArrayView trimmed(QByteArrayView text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
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
    QByteArrayView line;
    {
        LineReader reader(file);
        while (reader.next(line))
            if (std::optional<DetectedFormat> found = formatFromHeaderLine(line))
                return {found};
        if (reader.lineTooLong())
            return {std::nullopt, true};
    }
    if (!file.seek(0))
        return {};
    LineReader reader(file);
    DateShapeGuesser guesser;
    bool endedWithLineEnd = true; // an empty file reads as one empty line
    while (reader.next(line)) {
        if (std::optional<DetectedFormat> found = guesser.feed(line, reader.lastHadLineEnd()))
            return {found};
        endedWithLineEnd = reader.lastHadLineEnd();
    }
    return {endedWithLineEnd ? guesser.feed(QByteArrayView(), false) : std::nullopt};
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

std::optional<platform::DateTime> parseRowDateTime(QByteArrayView text, DateOrder order) {
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end && *p == ' ')
        ++p;
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
    if (p == end || *p != ' ')
        return std::nullopt;
    while (p < end && *p == ' ')
        ++p;
    int clock[3];
    for (int k = 0; k < 3; ++k) {
        if (k > 0) {
            if (p == end || *p != ':')
                return std::nullopt;
            ++p;
        }
        if ((clock[k] = readNumber(p, end)) < 0)
            return std::nullopt;
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

    const int yearAt = order == DateOrder::YearMonthDay ? 0 : 2;
    const int monthAt = order == DateOrder::DayMonthYear ? 1 : (yearAt == 0 ? 1 : 0);
    const int dayAt = 3 - yearAt - monthAt;
    int year = numbers[yearAt];
    if (digits[yearAt] <= 2)
        year += 2000;
    const int month = numbers[monthAt];
    const int day = numbers[dayAt];
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(year, month) || hour > 23 || clock[1] > 59 || clock[2] > 59)
        return std::nullopt;
    const double date = static_cast<double>(daysSinceEpoch(year, month, day));
    const double time = ((hour * 60.0 + clock[1]) * 60.0 + clock[2]) / 86400.0;
    // Before the epoch the fraction still counts forward from midnight.
    return date + (date < 0 ? -time : time);
}

std::optional<float> parseDecimal(QByteArrayView text) {
    const QByteArrayView t = trimmed(text);
    const char* p = t.data();
    const char* const end = p + t.size();
    // Only digits may follow the sign: no "inf", "nan" or second sign.
    const char* digits = p < end && (*p == '+' || *p == '-') ? p + 1 : p;
    if (digits == end || !(isDigit(*digits) || *digits == '.'))
        return std::nullopt;
    if (*p == '+')
        ++p; // the conversion takes only a minus
    double value = 0;
    const auto result = std::from_chars(p, end, value, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end || std::fabs(value) > FLT_MAX)
        return std::nullopt;
    return static_cast<float>(value);
}

std::optional<int> parseCount(QByteArrayView text) {
    const QByteArrayView t = trimmed(text);
    const char* p = t.data();
    const char* const end = p + t.size();
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

double SamplesPerHourFromInterval(platform::DateTime d) {
    if (d == 0)
        return 0;
    const double seconds = std::trunc(d * 86400.0 + 0.5);
    // Rows less than half a second apart give no rate rather than a division by zero.
    return seconds == 0 ? 0 : 3600.0 / seconds;
}

DataFileLoader::DataFileLoader(SampleStore& store, const QString& pattern, DateOrder order)
    : m_store(store), m_prefix(datePrefixLength(pattern)), m_order(order) {}

DataFileLoader::Result DataFileLoader::feedLine(QByteArrayView line) {
    m_bytesLeft -= line.size() + 2;
    if (line.isEmpty() || (line[0] != '?' && line[0] != '~'))
        return Result::BadLine;
    if (line[0] == '~') {
        headerLine(line);
        return Result::Ok;
    }
    if (m_store.TempData.empty())
        reserveRows(line.size());
    m_scrambledSeen = true;
    UnscrambleLineInto(m_cipher, line.sliced(1), m_plain);
    if (!m_plain.isEmpty() && m_plain[0] == '~') {
        headerLine(m_plain);
        return Result::Ok;
    }
    return dataRow(m_plain);
}

void DataFileLoader::reserveRows(qsizetype lineLength) {
    // The rest of the file in rows like this one, with room for shorter ones:
    // growing a list of millions of samples would copy it and briefly hold
    // it twice.
    if (m_bytesLeft <= 0)
        return;
    const auto rows = static_cast<size_t>(m_bytesLeft / (lineLength + 2) * 1.15) + 16;
    m_store.SampleTimes.reserve(rows);
    m_store.TempData.reserve(rows);
    m_store.RHData.reserve(rows);
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

DataFileLoader::Result DataFileLoader::dataRow(QByteArray& row) {
    // The comma patterns put ", " between date and time; read them like the others.
    if (row.size() > 10 && row[10] == ',')
        row[10] = ' ';
    const QByteArrayView view(row);
    const QByteArrayView dateText =
        view.size() >= m_prefix ? view.first(m_prefix) : QByteArrayView();
    const QByteArrayView rest =
        view.size() > m_prefix - 1 ? view.sliced(m_prefix - 1) : QByteArrayView();

    std::optional<platform::DateTime> time;
    if (m_store.TempData.size() <= 1 || !dateText.isEmpty()) {
        time = parseRowDateTime(dateText, m_order);
        if (!time)
            return Result::Corrupt;
    }
    if (m_store.TempData.empty()) {
        m_store.CurrentTime = *time;
        m_firstTime = *time;
    } else if (m_store.TempData.size() == 1) {
        m_samplesPerHour = SamplesPerHourFromInterval(*time - m_store.CurrentTime);
    }
    if (dateText.isEmpty())
        return Result::Ok; // a row without its date is passed over
    m_store.CurrentTime = *time;
    m_store.SampleTimes.push_back(*time);
    return readFields(rest);
}

DataFileLoader::Result DataFileLoader::readFields(QByteArrayView rest) {
    const qsizetype commas = rest.count(',');
    if (commas >= 6) {
        // Celsius, Kelvin, Fahrenheit, RH and the seven event counts.
        QByteArrayView fields[11];
        qsizetype from = 0;
        for (int k = 0; k < 11; ++k) {
            if (from > rest.size())
                return Result::Corrupt; // the row ends before its last count
            const qsizetype comma = rest.indexOf(',', from);
            const qsizetype stop = comma < 0 ? rest.size() : comma;
            fields[k] = rest.sliced(from, stop - from);
            from = stop + 1;
        }
        const std::optional<float> celsius = parseDecimal(fields[0]);
        const std::optional<float> rh = parseDecimal(fields[3]);
        if (!celsius || !rh)
            return Result::Corrupt;
        m_store.TempData.push_back(*celsius);
        m_store.RHData.push_back(*rh);
        if (*rh > 0)
            m_withRh = true;
        const auto lists = m_store.eventLists();
        for (int k = 0; k < 7; ++k) {
            const std::optional<int> count = parseCount(fields[4 + k]);
            if (!count)
                return Result::Corrupt;
            if (*count <= 0)
                continue;
            m_events += static_cast<size_t>(*count);
            if (m_events > kMaxEvents)
                return Result::Corrupt;
            lists[k]->insert(lists[k]->end(), static_cast<size_t>(*count), m_store.CurrentTime);
        }
        return Result::Ok;
    }
    const qsizetype firstComma = rest.indexOf(',');
    const std::optional<float> celsius =
        parseDecimal(firstComma < 0 ? rest : rest.first(firstComma));
    if (!celsius)
        return Result::Corrupt;
    if (commas == 1 || commas == 3) {
        // Celsius and RH: the five-field rows of the monthly files.
        const std::optional<float> rh = parseDecimal(rest.sliced(rest.lastIndexOf(',') + 1));
        if (!rh)
            return Result::Corrupt;
        m_store.TempData.push_back(*celsius);
        m_store.RHData.push_back(*rh);
        m_withRh = true;
        return Result::Ok;
    }
    // Temperature only; RH stays parallel with a zero that is never shown.
    m_store.TempData.push_back(*celsius);
    m_store.RHData.push_back(0.0f);
    m_withRh = false;
    return Result::Ok;
}

} // namespace files
