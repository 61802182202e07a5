#include "decode/sample_words.h"
#include "model/sample_store.h"
#include <cmath>

namespace decode {

double HexValue(QStringView text) {
    int value = 0;
    const qsizetype n = std::min<qsizetype>(text.size(), 4);
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        int digit;
        if (c >= u'*' && c <= u'?')
            digit = c & 0x0F;
        else if ((c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))
            digit = (c & 0x0F) + 9;
        else
            break;
        value = value * 16 + digit;
    }
    return value;
}

platform::DateTime SampleIntervalDays(double samplesPerHour) {
    if (samplesPerHour == 0)
        return 0;
    const double seconds = std::trunc(86400.0 / (24.0 * samplesPerHour) + 0.5);
    return seconds / 86400.0;
}

ConversionParams conversionFor(const SampleStore& store, int format, int ch) {
    ConversionParams p;
    p.format = format;
    p.calCodeA = store.CalCodeA[ch];
    p.calCodeB = store.CalCodeB[ch];
    p.calValueA = store.CalValueA[ch];
    p.calValueB = store.CalValueB[ch];
    const ChannelHeaderRecord& h = store.ChannelHeader[ch];
    p.bits = h.Bits[0];
    p.isSigned = h.IsSigned[0];
    p.valueA = h.ValueA[0];
    p.valueB = h.ValueB[0];
    p.codeA = h.CodeA[0];
    p.codeB = h.CodeB[0];
    return p;
}

TemperatureWord SplitTemperature(QStringView field, const ConversionParams& params) {
    qint64 w = static_cast<qint64>(HexValue(field));
    TemperatureWord word;
    if (params.format == 1) {
        word.RawFraction = static_cast<float>(w & 31);
        word.RawValue = static_cast<float>(w >> 5);
        return word;
    }
    // Two's complement words carry their sign in the top bit of the header's width.
    if (params.isSigned && params.bits > 0 && params.bits < 32 && (w >> (params.bits - 1)) != 0)
        w |= ~qint64(0) << params.bits;
    word.RawValue = static_cast<float>(w - params.codeB);
    return word;
}

Calibration PrepareCalibration(const ConversionParams& params) {
    Calibration cal;
    if (params.format == 1) {
        const int a = static_cast<int>(HexValue(params.calCodeA));
        const int b = static_cast<int>(HexValue(params.calCodeB));
        const int counts = (a - b) >> 5;
        const int divisor = ((31 - b) & a) & 31;
        if (counts == 0 || divisor == 0)
            return cal;
        cal.slope = static_cast<float>(
            (static_cast<long double>(params.calValueA) - params.calValueB) / counts);
        cal.divisorOrOffset = static_cast<float>(divisor);
    } else {
        const qint64 codes = qint64(params.codeA) - params.codeB;
        if (codes == 0)
            return cal;
        cal.slope =
            static_cast<float>((static_cast<long double>(params.valueA) - params.valueB) / codes);
        cal.divisorOrOffset = params.valueB;
    }
    cal.valid = std::isfinite(cal.slope);
    return cal;
}

std::optional<float> ConvertTemperature(const TemperatureWord& word, const Calibration& cal,
                                        int format) {
    if (!cal.valid)
        return std::nullopt;
    constexpr float kKelvinOffset = 273.15f;
    long double t = static_cast<long double>(word.RawValue) * cal.slope;
    if (format == 1)
        t += static_cast<long double>(word.RawFraction) / cal.divisorOrOffset - kKelvinOffset;
    else
        t += cal.divisorOrOffset;
    const float result = static_cast<float>(t);
    if (!std::isfinite(result))
        return std::nullopt;
    return result;
}

float RHValue(QStringView field) {
    return static_cast<float>(HexValue(field));
}

platform::DateTime RecordTimeStamp(platform::DateTime start, double samplesPerHour, qint64 k) {
    return start + SampleIntervalDays(samplesPerHour) * static_cast<double>(k);
}

} // namespace decode
