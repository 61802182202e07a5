#pragma once
// The byte layout of a data file: a block of "~" header lines, a column
// header and one row per sample with twelve fields joined by ", ". The
// interactive save, the encrypted duplicate, the monthly files and the
// reader all share it. Every line ends with CR LF; nothing here depends on
// the user's regional settings.
#include "model/sample_store.h"
#include "platform/clock.h"
#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <array>

namespace files {

inline constexpr char kLineEnd[] = "\r\n";
// The seven event counts of a row without events, as written after its RH.
inline constexpr char kNoEventCounts[] = ", 0, 0, 0, 0, 0, 0, 0";

// Text of the user's making as it goes into a file: single bytes, and any
// character outside printable ASCII becomes '?', because the scrambler only
// gives printable characters back unchanged.
QByteArray fileText(const QString& text);

// "~Date Format: " + pattern and "~File Created On: " + created, each with
// its line end.
QByteArray formatHeaderLines(const QString& pattern, platform::DateTime created);

// The four user lines ("~User Name: " ... "~PC Software Version: "), each with
// its line end. The duplicate writes the same block again.
QByteArray userBlock(const QString& userName, const QString& userLocation, const QString& unitId,
                     const QString& softwareVersion);

// The column header without its line end: the "Date, Time" variant when the
// pattern puts a comma between date and time.
QByteArray columnHeader(const QString& pattern);

// Header lines 1 to 8 of a plain data file: the two format lines, the user
// block, a lone "~" and the column header, each with its line end.
QByteArray plainHeaderLines(const QString& pattern, platform::DateTime created,
                            const QByteArray& userLines);

// Appends the first five fields of a row: date, Celsius, Kelvin, Fahrenheit
// and RH ("0" when the logger has no RH channel). No line end.
void appendSampleFields(QByteArray& out, const QString& pattern, platform::DateTime time,
                        float celsius, float rh, bool withRh);

// Appends ", " and each of the seven event counts of a row. No line end.
void appendEventCounts(QByteArray& out, const std::array<int, 7>& counts);

// Counts the events of the seven lists onto the rows: each event lands on the
// first row whose time stamp is not earlier, so events before the first
// sample all count on row 0, which also carries one extra new sensor.
class EventCounter {
  public:
    explicit EventCounter(const SampleStore& store);
    // Counts for the row with this time stamp; rows must come in order.
    std::array<int, 7> countsFor(platform::DateTime rowTime);

  private:
    std::array<const std::vector<platform::DateTime>*, 7> m_lists;
    std::array<size_t, 7> m_cursor{};
    bool m_firstRow = true;
};

// Writes the plain data file: the two format lines, the user block, a lone
// "~", the column header and one row per entry of TempData. False when any write
// failed.
bool writePlainFile(QIODevice& out, const SampleStore& store, const QString& pattern, bool withRh,
                    platform::DateTime created, const QByteArray& userLines);

} // namespace files
