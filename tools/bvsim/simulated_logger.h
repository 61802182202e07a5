#pragma once
// A simulated Brenvale logger: the logger's side of the link, byte in, bytes
// out. It answers "?" with its header, block requests with data packets, and
// the fast-rate commands, from a synthetic data set, and can be told to
// misbehave. PtyLogger (pty_logger.h) serves it on a pseudo-terminal.
#include "platform/clock.h"
#include <QByteArray>
#include <array>
#include <functional>
#include <utility>
#include <vector>

namespace bvsim {

// The reserved codes of the stored words.
constexpr int kNoReadingCode = 0xffff;
constexpr int kFirstEventCode = 0xfff8; // new sensor; 0xfff9..0xfffe the other six events

struct ChannelData {
    bool present = true; // false: the header says "No data" (newer format)
    bool rh = false;     // stores RH beside temperature (newer format)
    platform::DateTime first = platform::encodeDateTime(2026, 12, 1, 0, 0, 0);
    double storedPerHour = 240; // 0.5: one sample every two hours
    int count = 100;
    std::vector<int> noReading; // sample positions stored without a reading
    // (position, code): an event stored just before the sample at position.
    std::vector<std::pair<int, int>> events;
};

struct Faults {
    int badChecksumBlock = 0;          // 1-based block request whose checksum is wrong; 0 none
    bool badChecksumAlways = false;    // ... and every block request after it
    long long silenceAfter = -1;       // stop sending after this many bytes
    long long corruptByte = -1;        // offset of a sent byte that is flipped
    bool wrongFastReply = false;       // answer the fast-rate command with "c"
    bool headerNeverCompletes = false; // leave out the header's last line
};

struct LoggerConfig {
    int format = 2;       // 1: older logger, 2: newer
    bool rhModel = false; // older format: the 38-line RH model, records carry RH
    std::array<ChannelData, 2> channels;
    Faults faults;
    // Recording: the logger goes on storing samples as this clock runs; its
    // last sample is the newest one on its grid (first + k × interval) not
    // later than the clock, and the channels' counts are not used. Empty: a
    // fixed set of samples.
    std::function<platform::DateTime()> recordingClock;
};

class SimulatedLogger {
  public:
    explicit SimulatedLogger(LoggerConfig config);

    // One byte from the host; returns what the logger sends back.
    QByteArray receive(char byte);
    // The line speed the logger is at (19200, or the fast rate it accepted).
    int baudRate() const { return m_baud; }

    QByteArray header() const;
    const LoggerConfig& config() const { return m_config; }
    // The temperature (°C) and RH (%) stored for a sample position of a
    // channel storing `storedPerHour` samples an hour from the start of a day.
    static double temperatureAt(int index, double storedPerHour = 240);
    static int humidityAt(int index, double storedPerHour = 240);
    // The storage interval, rounded to whole seconds as the logger keeps it.
    static int intervalSeconds(double storedPerHour);
    // Samples the channel holds now.
    int storedCount(const ChannelData& data) const;

  private:
    QByteArray blockReply(int channel, platform::DateTime start, int count);
    QByteArray records(const ChannelData& data, bool rh, int first, int count, bool badSum) const;
    int firstSampleOf(const ChannelData& data, platform::DateTime start);
    QByteArray send(QByteArray bytes);

    LoggerConfig m_config;
    int m_baud = 19200;
    QByteArray m_command; // bytes of the command being received
    int m_expected = 0;   // its full length
    int m_blocks = 0;     // block requests since the header
    long long m_sent = 0;
    // The last block request: a retry asks again from the same start, a
    // continuation from one second after the block's end.
    bool m_haveLast = false;
    platform::DateTime m_lastStart = 0;
    int m_lastFirst = 0;
};

} // namespace bvsim
