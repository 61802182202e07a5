#pragma once
// The one data set in memory: samples, events, header fields, the decoders'
// working state and the user strings. One program-wide record, touched only
// on the main thread, except while a data file loads: the loader's threads
// then append rows in file order and nothing else reads the store until
// they are joined. Only ClearBuffer empties it.
#include "platform/clock.h"
#include <QString>
#include <array>
#include <atomic>
#include <vector>

// Marks a sample without a reading; readers treat 9998 and above as no reading.
constexpr float kNoReading = 9999.0f;
constexpr float kNoReadingThreshold = 9998.0f;

// The decoded header of one channel of a newer-format logger.
struct ChannelHeaderRecord {
    QString Model;
    QString Serial;
    QString Calibrated;
    int QuantityCount = 0;
    std::array<int, 2> PointCount{};
    std::array<std::array<float, 3>, 2> MeasuredPoints{};
    std::array<std::array<float, 3>, 2> ActualPoints{};
    std::array<int, 2> Bits{};
    std::array<bool, 2> IsSigned{};
    std::array<float, 2> ValueA{};
    std::array<float, 2> ValueB{};
    std::array<QString, 2> UnitText;
    std::array<qint32, 2> CodeA{};
    std::array<qint32, 2> CodeB{};
    std::array<float, 2> IirPercent{};
};

struct SampleStore {
    // Parallel by index, in ascending time.
    std::vector<platform::DateTime> SampleTimes;
    std::vector<float> TempData; // degrees Celsius
    std::vector<float> RHData;   // %RH

    // Event times, each list ascending; this order is the order of the data
    // file's event columns and of the chart's labels.
    std::vector<platform::DateTime> NewSensorEvents;
    std::array<std::vector<platform::DateTime>, 2> AlarmStarts; // [0] temperature, [1] RH
    std::array<std::vector<platform::DateTime>, 2> AlarmEnds;
    std::vector<platform::DateTime> TestStarts;
    std::vector<platform::DateTime> TestEnds;

    platform::DateTime CurrentTime = 0;
    QString BaseCaption;
    QString ChannelLabel;
    QString UserName, UserLocation, UnitId, SoftwareVersion;

    std::array<ChannelHeaderRecord, 2> ChannelHeader;

    // Header format: -1 not recognised yet, 1 older, 2 newer.
    std::atomic<int> HeaderFormat{-1}; // also read by the reader thread
    int HexDigitsPerValue = 0;
    int RHDigitsPerValue = 0;
    int BlockSampleCount = 0;
    int RangeSampleCount = 0;
    int ParsePos = 0;
    QString FieldText;
    QString RequestText;
    QString FastBaudCommand;
    platform::DateTime BlockEnd = 0;
    platform::DateTime BlockStartSaved = 0;

    // Per channel, [0] channel 1, [1] channel 2.
    std::array<float, 2> CalValueA{}, CalValueB{}, StoredPerHour{}, SampledPerHour{};
    std::array<QString, 2> CalCodeA, CalCodeB, ChannelText, StoredModeText;
    std::array<QString, 2> FirstDateText, FirstTimeText, LastDateText, LastTimeText;

    // Empties the ten sample and event lists.
    void clearLists() {
        TempData.clear();
        RHData.clear();
        SampleTimes.clear();
        AlarmStarts[0].clear();
        AlarmEnds[0].clear();
        AlarmStarts[1].clear();
        AlarmEnds[1].clear();
        TestStarts.clear();
        TestEnds.clear();
        NewSensorEvents.clear();
    }
    // The event lists in column order: new sensors, temperature alarm starts,
    // RH alarm starts, temperature alarm ends, RH alarm ends, test starts, test ends.
    std::array<const std::vector<platform::DateTime>*, 7> eventLists() const {
        return {&NewSensorEvents, &AlarmStarts[0], &AlarmStarts[1], &AlarmEnds[0],
                &AlarmEnds[1],    &TestStarts,     &TestEnds};
    }
    std::array<std::vector<platform::DateTime>*, 7> eventLists() {
        return {&NewSensorEvents, &AlarmStarts[0], &AlarmStarts[1], &AlarmEnds[0],
                &AlarmEnds[1],    &TestStarts,     &TestEnds};
    }
};
