#pragma once
// Formatting and parsing. Two kinds, kept apart:
// - the user's formats (separators, short date format, long time format),
//   taken from the user's locale at start-up, shape only what the user reads
//   and types: status texts, the chart's labels, the footer, typed limits;
// - fixed formats ("." decimal, "/" date and ":" time separators) for the
//   logger's texts and the data files, which never depend on the user.
// Ranges, rates and times travel as numbers, never through either kind of
// text. Main thread only.
#include "platform/clock.h"
#include <QChar>
#include <QString>

class QLocale;

namespace platform {

struct FormatSettings {
    QChar thousandSeparator = ',';
    QChar decimalSeparator = '.';
    QChar dateSeparator = '/';
    QChar timeSeparator = ':';
    QString shortDateFormat = "mm/dd/yyyy"; // pattern language below
    QString longTimeFormat = "hh:nn:ss";
};

// The user's formats in force.
FormatSettings& formatSettings();
// The user's formats as a locale gives them (its date and time patterns,
// separators and decimal point); the C locale gives the defaults above, and
// so does a pattern without a separator (the Korean "AM/PM h시 n분 s초").
FormatSettings formatSettingsOf(const QLocale& locale);
// The user's formats from the system locale (LC_ALL, LC_TIME, LANG ...).
void resetFormatSettingsFromSystem();

// Pattern language: "yyyy" four-digit year, "yy" two-digit year, "m"/"mm"
// month (minutes when it follows an "h"/"hh" token with only separators
// between), "n"/"nn" minutes, "d"/"dd" day, "h"/"hh" hour (12-hour when the
// pattern holds "AM/PM" or "A/P"), "s"/"ss" seconds, "z"/"zzz" milliseconds,
// "AM/PM" (and "am/pm", "A/P", "a/p"), text in double or single quotes copied;
// "/" and ":" become the user's date and time separators; everything else
// is copied. Milliseconds are dropped, never rounded into the seconds.
QString formatDateTime(const QString& pattern, DateTime t);
// As formatDateTime, with "/" and ":" written as they stand (logger, files).
QString formatDateTimeFixed(const QString& pattern, DateTime t);

// Short date format + " " + long time format.
QString dateTimeToStr(DateTime t);
QString dateToStr(DateTime t);

// The order of day, month and year in a short date format: "mdy", "dmy",
// "ymd" and so on; "mdy" when the format lacks one of them.
QString dateOrder(const QString& shortDateFormat);

// Text to date-time: date numbers separated by the user's date separator in
// the order of the short date format (a missing year is the current one;
// two-digit years fall within 50 years of now), then optionally hours,
// minutes and seconds separated by the time separator, then optionally
// "AM"/"PM". Raises ConversionError when the text does not convert.
DateTime strToDateTime(const QString& text);
// The same with "/" and ":" and the date order given ("mdy", "dmy", ...),
// for the logger's texts.
DateTime strToDateTimeFixed(const QString& text, const QString& order);

// General floating format with up to 15 significant digits and the user's
// decimal separator ("240", "0,25", "1E15").
QString floatToStr(double value);
// The same with "." (logger texts, files).
QString floatToStrFixed(double value);

// Text to number with the user's decimal separator; surrounding blanks are
// allowed. Raise ConversionError when the text does not convert.
double strToFloat(const QString& text);
// The same with "." (logger texts, files).
double strToFloatFixed(const QString& text);
int strToInt(const QString& text);

} // namespace platform
