#include "platform/formatting.h"
#include "platform/errors.h"
#include <QDate>
#include <QLocale>
#include <cmath>
#include <cstdlib>

namespace platform {
namespace {

FormatSettings g_settings;

QString pad2(int value) {
    return QString::number(value).rightJustified(2, '0');
}

int runLength(const QString& pattern, int i) {
    const QChar c = pattern[i].toLower();
    int n = 1;
    while (i + n < pattern.size() && pattern[i + n].toLower() == c)
        ++n;
    return n;
}

bool startsWithAt(const QString& pattern, int i, const char* token) {
    return pattern.mid(i, static_cast<int>(strlen(token)))
               .compare(QLatin1String(token), Qt::CaseInsensitive) == 0;
}

QString render(const QString& pattern, DateTime t, QChar dateSep, QChar timeSep) {
    const DateTimeParts p = decodeDateTime(t);
    const bool twelveHour = pattern.contains("am/pm", Qt::CaseInsensitive) ||
                            pattern.contains("a/p", Qt::CaseInsensitive);
    QString out;
    out.reserve(pattern.size() + 8);
    QChar lastLetter;
    int i = 0;
    while (i < pattern.size()) {
        const QChar c = pattern[i];
        const QChar lower = c.toLower();
        if (c == '"' || c == '\'') {
            const int end = pattern.indexOf(c, i + 1);
            const int stop = end < 0 ? pattern.size() : end;
            out += pattern.mid(i + 1, stop - i - 1);
            i = stop + 1;
            continue;
        }
        if (c == '/') {
            out += dateSep;
            ++i;
            continue;
        }
        if (c == ':') {
            out += timeSep;
            ++i;
            continue;
        }
        if (!c.isLetter()) {
            out += c;
            ++i;
            continue;
        }
        if (lower == 'a') {
            if (startsWithAt(pattern, i, "am/pm")) {
                const bool upper = pattern[i].isUpper();
                out += p.hour < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
                i += 5;
            } else if (startsWithAt(pattern, i, "a/p")) {
                const bool upper = pattern[i].isUpper();
                out += p.hour < 12 ? (upper ? "A" : "a") : (upper ? "P" : "p");
                i += 3;
            } else {
                out += c;
                ++i;
            }
            lastLetter = 'a';
            continue;
        }
        const int n = runLength(pattern, i);
        // "m" right after an hour token means minutes.
        const QChar token = (lower == 'm' && lastLetter == 'h') ? QChar('n') : lower;
        switch (token.unicode()) {
        case 'y':
            out += n <= 2 ? pad2(p.year % 100) : QString::number(p.year).rightJustified(4, '0');
            break;
        case 'm':
            out += n == 1 ? QString::number(p.month) : pad2(p.month);
            break;
        case 'd':
            out += n == 1 ? QString::number(p.day) : pad2(p.day);
            break;
        case 'h': {
            int hour = p.hour;
            if (twelveHour) {
                hour %= 12;
                if (hour == 0)
                    hour = 12;
            }
            out += n == 1 ? QString::number(hour) : pad2(hour);
            break;
        }
        case 'n':
            out += n == 1 ? QString::number(p.minute) : pad2(p.minute);
            break;
        case 's':
            out += n == 1 ? QString::number(p.second) : pad2(p.second);
            break;
        case 'z':
            out += n < 3 ? QString::number(p.millisecond)
                         : QString::number(p.millisecond).rightJustified(3, '0');
            break;
        default:
            out += pattern.mid(i, n);
            break;
        }
        lastLetter = lower;
        i += n;
    }
    return out;
}

// Converts a Qt date or time pattern of the system locale into ours.
QString fromQtPattern(const QString& qt) {
    QString out;
    for (int i = 0; i < qt.size();) {
        const QChar c = qt[i];
        int n = 1;
        while (i + n < qt.size() && qt[i + n] == c)
            ++n;
        switch (c.unicode()) {
        case 'M':
            out += QString(qMin(n, 2), 'm');
            break;
        case 'm':
            out += QString(qMin(n, 2), 'n');
            break;
        case 'H':
        case 'h':
            out += QString(qMin(n, 2), 'h');
            break;
        case 'A':
        case 'a':
            out += "AM/PM";
            break;
        case 't':
            break;
        default:
            out += QString(n, c);
            break;
        }
        i += n;
    }
    return out.trimmed();
}

enum class Blanks { Separate, Pad };

// The character between the fields of one of our patterns: the first that is
// no letter and no part of quoted text or of "AM/PM" or "A/P"; `fallback`
// when there is none, as in the Korean "AM/PM h시 n분 s초".
QChar firstSeparator(const QString& pattern, Blanks blanks, QChar fallback) {
    for (int i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == '"' || c == '\'') {
            const int end = pattern.indexOf(c, i + 1);
            if (end < 0)
                break;
            i = end;
        } else if (startsWithAt(pattern, i, "am/pm")) {
            i += 4;
        } else if (startsWithAt(pattern, i, "a/p")) {
            i += 2;
        } else if (!c.isLetter() && !(c == ' ' && blanks == Blanks::Pad)) {
            return c;
        }
    }
    return fallback;
}

[[noreturn]] void conversionFailed(const QString& text, const char* what) {
    throw ConversionError(QString("'%1' is not a valid %2").arg(text, QLatin1String(what)));
}

// Reads an unsigned decimal number at pos; -1 when there is none.
int readNumber(const QString& text, int& pos, int* digits = nullptr) {
    int start = pos;
    qint64 value = 0;
    while (pos < text.size() && text[pos].isDigit() && pos - start < 9) {
        value = value * 10 + text[pos].digitValue();
        ++pos;
    }
    if (digits)
        *digits = pos - start;
    return pos == start ? -1 : static_cast<int>(value);
}

void skipBlanks(const QString& text, int& pos) {
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
}

int currentYear() {
    return decodeDateTime(now()).year;
}

int expandYear(int year, int digits) {
    if (digits > 2)
        return year;
    // Two-digit years fall within 50 years of the current year.
    const int current = currentYear();
    int full = current - current % 100 + year;
    if (full < current - 50)
        full += 100;
    else if (full > current + 49)
        full -= 100;
    return full;
}

// The separators and date order a text is read with.
struct Reading {
    QString order; // "mdy", "dmy", ...
    QChar dateSeparator, timeSeparator, decimalSeparator;
};

Reading userReading() {
    return {dateOrder(g_settings.shortDateFormat), g_settings.dateSeparator,
            g_settings.timeSeparator, g_settings.decimalSeparator};
}

bool scanDate(const QString& text, int& pos, DateTime& date, const Reading& s) {
    int p = pos;
    int numbers[3] = {-1, -1, -1};
    int digits[3] = {0, 0, 0};
    int count = 0;
    skipBlanks(text, p);
    for (; count < 3; ++count) {
        if (count > 0) {
            if (p >= text.size() || text[p] != s.dateSeparator)
                break;
            ++p;
        }
        numbers[count] = readNumber(text, p, &digits[count]);
        if (numbers[count] < 0)
            return false;
    }
    if (count < 2)
        return false;
    const QString& order = s.order;
    int year = currentYear(), month = 0, day = 0;
    if (count == 3) {
        for (int k = 0; k < 3; ++k) {
            if (order[k] == 'y')
                year = expandYear(numbers[k], digits[k]);
            else if (order[k] == 'm')
                month = numbers[k];
            else
                day = numbers[k];
        }
    } else {
        // Two numbers: day and month in the order of the format, this year.
        const QString dm = QString(order).remove('y');
        month = dm[0] == 'm' ? numbers[0] : numbers[1];
        day = dm[0] == 'm' ? numbers[1] : numbers[0];
    }
    if (!QDate::isValid(year, month, day))
        return false;
    date = encodeDate(year, month, day);
    pos = p;
    return true;
}

bool scanTime(const QString& text, int& pos, DateTime& time, const Reading& s) {
    int p = pos;
    skipBlanks(text, p);
    int parts[4] = {0, 0, 0, 0};
    int count = 0;
    for (; count < 4; ++count) {
        if (count > 0) {
            const QChar sep = count == 3 ? s.decimalSeparator : s.timeSeparator;
            if (p >= text.size() || text[p] != sep)
                break;
            ++p;
        }
        parts[count] = readNumber(text, p);
        if (parts[count] < 0)
            return false;
    }
    if (count < 2)
        return false;
    skipBlanks(text, p);
    int hour = parts[0];
    const QString rest = text.mid(p, 2).toUpper();
    if (rest == "AM" || rest == "PM") {
        if (hour < 1 || hour > 12)
            return false;
        hour %= 12;
        if (rest == "PM")
            hour += 12;
        p += 2;
    }
    if (hour > 23 || parts[1] > 59 || parts[2] > 59 || parts[3] > 999)
        return false;
    time = encodeTime(hour, parts[1], parts[2], parts[3]);
    pos = p;
    return true;
}

} // namespace

QString dateOrder(const QString& shortDateFormat) {
    QString order;
    for (QChar c : shortDateFormat) {
        const QChar l = c.toLower();
        if ((l == 'd' || l == 'm' || l == 'y') && !order.contains(l))
            order += l;
    }
    return order.size() == 3 ? order : QString("mdy");
}

FormatSettings& formatSettings() {
    return g_settings;
}

FormatSettings formatSettingsOf(const QLocale& locale) {
    FormatSettings s;
    if (locale.language() != QLocale::C) {
        s.decimalSeparator = locale.decimalPoint().at(0);
        s.thousandSeparator =
            locale.groupSeparator().isEmpty() ? QChar(' ') : locale.groupSeparator().at(0);
        s.shortDateFormat = fromQtPattern(locale.dateFormat(QLocale::ShortFormat));
        s.longTimeFormat = fromQtPattern(locale.timeFormat(QLocale::LongFormat));
        s.dateSeparator = firstSeparator(s.shortDateFormat, Blanks::Separate, s.dateSeparator);
        s.timeSeparator = firstSeparator(s.longTimeFormat, Blanks::Pad, s.timeSeparator);
    }
    return s;
}

void resetFormatSettingsFromSystem() {
    g_settings = formatSettingsOf(QLocale::system());
}

QString formatDateTime(const QString& pattern, DateTime t) {
    return render(pattern, t, g_settings.dateSeparator, g_settings.timeSeparator);
}

QString formatDateTimeFixed(const QString& pattern, DateTime t) {
    return render(pattern, t, '/', ':');
}

QString dateToStr(DateTime t) {
    return formatDateTime(g_settings.shortDateFormat, t);
}

QString dateTimeToStr(DateTime t) {
    // The time is left out at midnight, as the platform's own conversion does.
    QString text = dateToStr(t);
    if (t != std::floor(t))
        text += ' ' + formatDateTime(g_settings.longTimeFormat, t);
    return text;
}

namespace {

DateTime parseDateTime(const QString& text, const Reading& reading) {
    int pos = 0;
    DateTime date = 0, time = 0;
    const bool hasDate = scanDate(text, pos, date, reading);
    if (hasDate) {
        int afterDate = pos;
        skipBlanks(text, afterDate);
        if (afterDate < text.size() && !scanTime(text, pos, time, reading))
            conversionFailed(text, "date and time");
    } else if (!scanTime(text, pos, time, reading)) {
        conversionFailed(text, "date and time");
    }
    skipBlanks(text, pos);
    if (pos != text.size())
        conversionFailed(text, "date and time");
    return date + (date < 0 ? -time : time);
}

QString generalFloat(double value, QChar decimalSeparator) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    QString text = QString::asprintf("%.15g", value);
    const int e = text.indexOf('e');
    if (e >= 0) {
        // 1e+15 -> 1E15, 1.5e-07 -> 1.5E-7
        const QString mantissa = text.left(e);
        const int exponent = text.mid(e + 1).toInt();
        text = mantissa + 'E' + QString::number(exponent);
    }
    if (decimalSeparator != '.')
        text.replace('.', decimalSeparator);
    return text;
}

double parseFloat(const QString& text, QChar decimalSeparator) {
    const QString t = text.trimmed();
    QByteArray plain;
    plain.reserve(t.size());
    int i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        plain += t[i++].toLatin1();
    int mantissaDigits = 0;
    while (i < t.size() && t[i].isDigit()) {
        plain += t[i++].toLatin1();
        ++mantissaDigits;
    }
    if (i < t.size() && t[i] == decimalSeparator) {
        plain += '.';
        ++i;
        while (i < t.size() && t[i].isDigit()) {
            plain += t[i++].toLatin1();
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        conversionFailed(text, "floating point value");
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            plain += t[i++].toLatin1();
        int exponentDigits = 0;
        while (i < t.size() && t[i].isDigit()) {
            plain += t[i++].toLatin1();
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            conversionFailed(text, "floating point value");
    }
    if (i != t.size())
        conversionFailed(text, "floating point value");
    return std::strtod(plain.constData(), nullptr);
}

} // namespace

DateTime strToDateTime(const QString& text) {
    return parseDateTime(text, userReading());
}

DateTime strToDateTimeFixed(const QString& text, const QString& order) {
    return parseDateTime(text, {order, '/', ':', '.'});
}

QString floatToStr(double value) {
    return generalFloat(value, g_settings.decimalSeparator);
}

QString floatToStrFixed(double value) {
    return generalFloat(value, '.');
}

double strToFloat(const QString& text) {
    return parseFloat(text, g_settings.decimalSeparator);
}

double strToFloatFixed(const QString& text) {
    return parseFloat(text, '.');
}

int strToInt(const QString& text) {
    QString t = text;
    while (t.startsWith(' '))
        t.remove(0, 1);
    bool ok = false;
    qlonglong value = 0;
    QString digits = t;
    bool negative = false;
    if (digits.startsWith('-') || digits.startsWith('+')) {
        negative = digits.startsWith('-');
        digits.remove(0, 1);
    }
    if (digits.startsWith('$'))
        value = digits.mid(1).toLongLong(&ok, 16);
    else if (digits.startsWith("0x", Qt::CaseInsensitive))
        value = digits.mid(2).toLongLong(&ok, 16);
    else if (!digits.isEmpty() && digits[0].isDigit())
        value = digits.toLongLong(&ok, 10);
    if (negative)
        value = -value;
    if (!ok || value < INT_MIN || value > INT_MAX)
        conversionFailed(text, "integer value");
    return static_cast<int>(value);
}

} // namespace platform
