#pragma once
// Formatting and parsing with process-wide settings: separators, short date
// format and long time format. They start from the system locale; the header
// decode, the data file writer and reader switch them to fixed values and
// restore them afterwards (see FixedFormatScope). Main thread only.
#include "platform/clock.h"
#include <QChar>
#include <QString>

namespace platform {

struct FormatSettings {
    QChar thousandSeparator = ',';
    QChar decimalSeparator = '.';
    QChar dateSeparator = '/';
    QChar timeSeparator = ':';
    QString shortDateFormat = "mm/dd/yyyy"; // pattern language below
    QString longTimeFormat = "hh:nn:ss";
};

// The process-wide settings in force.
FormatSettings& formatSettings();
// Reset to the values taken from the system locale (start-up, tests).
void resetFormatSettingsFromSystem();

// Sets thousands ",", decimal ".", date "/" and time ":" for its lifetime
// (and, when given, the short date format) and restores all afterwards.
class FixedFormatScope {
  public:
    explicit FixedFormatScope(const QString& shortDateFormat = QString());
    ~FixedFormatScope();
    FixedFormatScope(const FixedFormatScope&) = delete;
    FixedFormatScope& operator=(const FixedFormatScope&) = delete;

  private:
    FormatSettings m_saved;
};

// Pattern language: "yyyy" four-digit year, "yy" two-digit year, "m"/"mm"
// month (minutes when it follows an "h"/"hh" token with only separators
// between), "n"/"nn" minutes, "d"/"dd" day, "h"/"hh" hour (12-hour when the
// pattern holds "AM/PM" or "A/P"), "s"/"ss" seconds, "z"/"zzz" milliseconds,
// "AM/PM" (and "am/pm", "A/P", "a/p"), text in double or single quotes copied;
// "/" and ":" become the current date and time separators; everything else
// is copied. Milliseconds are dropped, never rounded into the seconds.
QString formatDateTime(const QString& pattern, DateTime t);
// As formatDateTime, with "/" and ":" written as they stand.
QString formatDateTimeFixed(const QString& pattern, DateTime t);

// Short date format + " " + long time format.
QString dateTimeToStr(DateTime t);
QString dateToStr(DateTime t);

// The order of day, month and year in a short date format: "mdy", "dmy",
// "ymd" and so on; "mdy" when the format lacks one of them.
QString dateOrder(const QString& shortDateFormat);

// Text to date-time: date numbers separated by the date separator in the order
// of the short date format (a missing year is the current one; two-digit
// years fall within 50 years of now), then optionally hours, minutes and
// seconds separated by the time separator, then optionally "AM"/"PM".
// Raises ConversionError when the text does not convert.
DateTime strToDateTime(const QString& text);

// General floating format with up to 15 significant digits and the current
// decimal separator ("240", "0.25", "1E15").
QString floatToStr(double value);

// Text to number with the current decimal separator; surrounding blanks are
// allowed. Raise ConversionError when the text does not convert.
double strToFloat(const QString& text);
int strToInt(const QString& text);

} // namespace platform
