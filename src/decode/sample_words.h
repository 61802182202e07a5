#pragma once
// One record of a data packet turned into numbers: the hexadecimal reading of
// a field, the split of the temperature word, the two calibration schemes of
// the two header formats, the RH value and the record's time stamp. Plain
// functions of their inputs; the packet decoder calls them per record.
#include "platform/clock.h"
#include <QString>
#include <QStringView>
#include <optional>

struct SampleStore;

namespace decode {

// Value of the leading hexadecimal digits of text, at most four. The logger's
// digits run from '*' to '?' (the low nibble of the character: ':' is 10 ...
// '?' is 15); 'a'-'f' and 'A'-'F' count as usual. Any other character ends the
// scan; no digit gives 0.
double HexValue(QStringView text);

// The storage interval of s samples per hour, rounded to whole seconds, as a
// fraction of a day; 0 when s is 0.
platform::DateTime SampleIntervalDays(double samplesPerHour);

// The temperature calibration of the selected channel, as the header gave it.
struct ConversionParams {
    int format = 2; // header format, 1 or 2
    // Older loggers: raw codes (hex text) and engineering values of two points.
    QString calCodeA, calCodeB;
    float calValueA = 0, calValueB = 0;
    // Newer loggers: the temperature quantity of the channel's header record.
    int bits = 16;
    bool isSigned = true;
    float valueA = 0, valueB = 0;
    qint32 codeA = 0, codeB = 0;
};
// The calibration of channel ch (0 or 1) for the header format in force.
ConversionParams conversionFor(const SampleStore& store, int format, int ch);

// The parts of one temperature word.
struct TemperatureWord {
    float RawValue = 0;
    float RawFraction = 0; // older loggers only
};
TemperatureWord SplitTemperature(QStringView field, const ConversionParams& params);

// Slope and either the divisor (older loggers) or the offset (newer ones).
// `valid` is false when the header's calibration points would divide by zero:
// such a calibration converts nothing.
struct Calibration {
    float slope = 0;
    float divisorOrOffset = 0;
    bool valid = false;
};
Calibration PrepareCalibration(const ConversionParams& params);

// Degrees Celsius, worked out in extended precision and stored as a 32-bit
// float. Nothing when the calibration is unusable or the result not finite.
std::optional<float> ConvertTemperature(const TemperatureWord& word, const Calibration& cal,
                                        int format);

// Relative humidity in percent: the field's value, uncalibrated.
float RHValue(QStringView field);

// Time stamp of sample k of an upload that starts at `start`.
platform::DateTime RecordTimeStamp(platform::DateTime start, double samplesPerHour, qint64 k);

} // namespace decode
