#include "files/data_file_format.h"
#include "platform/formatting.h"
#include <charconv>
#include <cmath>
#include <limits>

namespace files {
namespace {

void appendFixed2(QByteArray& out, double value) {
    char buffer[400]; // room for the widest double written in full
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    out.append(buffer, result.ptr - buffer);
}

void appendInt(QByteArray& out, long long value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr - buffer);
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
    for (int count : counts) {
        out += ", ";
        appendInt(out, count);
    }
}

void appendSampleFields(QByteArray& out, const QString& pattern, platform::DateTime time,
                        float celsius, float rh, bool withRh) {
    const bool noReading = celsius == kNoReading;
    out += fileText(platform::formatDateTimeFixed(pattern, time));
    out += ", ";
    appendFixed2(out, celsius);
    out += ", ";
    appendFixed2(out, noReading ? double(kNoReading) : double(celsius) + 273.15);
    out += ", ";
    appendFixed2(out, noReading ? double(kNoReading) : double(celsius) * 1.8 + 32.0);
    out += ", ";
    appendInt(out, withRh ? truncatedRh(rh) : 0);
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
