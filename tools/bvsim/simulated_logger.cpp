#include "bvsim/simulated_logger.h"
#include "bvsim/cold_room.h"
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace bvsim {
namespace {

// Older-format calibration: 0.25 K per count, fractions of 1/15 K.
constexpr const char* kOlderCodeA = "A00F";
constexpr const char* kOlderCodeB = "8000";

QString dateText(platform::DateTime t) {
    const platform::DateTimeParts p = platform::decodeDateTime(t);
    return QString::asprintf("%02d/%02d/%02d", p.month, p.day, p.year % 100);
}

QString timeText(platform::DateTime t) {
    const platform::DateTimeParts p = platform::decodeDateTime(t);
    return QString::asprintf("%02d:%02d:%02d", p.hour, p.minute, p.second);
}

platform::DateTime lastSample(const ChannelData& d, int count) {
    return d.first + std::max(count - 1, 0) * SimulatedLogger::intervalSeconds(d.storedPerHour) *
                         platform::kSecond;
}

quint16 olderWord(double celsius) {
    const double kelvin = celsius + 273.15;
    const int count = static_cast<int>(std::floor(kelvin * 4));
    const int fraction =
        std::clamp(static_cast<int>(std::lround((kelvin - count / 4.0) * 15)), 0, 31);
    return static_cast<quint16>((count << 5) | fraction);
}

quint16 newerWord(double celsius) {
    return static_cast<quint16>(static_cast<qint16>(std::lround(celsius * 100)));
}

// "mmddyyhhnnss" as a date-time; false when it is not that.
bool parseStart(const QByteArray& text, platform::DateTime& start) {
    if (text.size() != 12 || !std::all_of(text.begin(), text.end(), ::isdigit))
        return false;
    auto field = [&](int i) { return text.mid(i, 2).toInt(); };
    const QDate date(2000 + field(4), field(0), field(2));
    if (!date.isValid() || field(6) > 23 || field(8) > 59 || field(10) > 59)
        return false;
    start = platform::encodeDateTime(date.year(), date.month(), date.day(), field(6), field(8),
                                     field(10));
    return true;
}

// The hours since the first sample of a channel storing `storedPerHour`.
double hoursAt(int index, double storedPerHour) {
    return storedPerHour > 0 ? index / storedPerHour : index;
}

} // namespace

SimulatedLogger::SimulatedLogger(LoggerConfig config) : m_config(std::move(config)) {}

double SimulatedLogger::temperatureAt(int index, double storedPerHour) {
    return coldRoomTemperature(hoursAt(index, storedPerHour), index);
}

int SimulatedLogger::humidityAt(int index, double storedPerHour) {
    return coldRoomHumidity(hoursAt(index, storedPerHour), index);
}

int SimulatedLogger::intervalSeconds(double storedPerHour) {
    return storedPerHour > 0 ? static_cast<int>(std::trunc(3600.0 / storedPerHour + 0.5)) : 0;
}

int SimulatedLogger::storedCount(const ChannelData& d) const {
    if (!m_config.recordingClock)
        return d.count;
    const long long interval = std::max(intervalSeconds(d.storedPerHour), 1);
    const long long elapsed = platform::wholeSeconds(m_config.recordingClock() - d.first);
    return elapsed < 0 ? 0 : static_cast<int>(elapsed / interval + 1);
}

QByteArray SimulatedLogger::header() const {
    QStringList lines;
    if (m_config.format == 1) {
        lines << "V1";
        for (int ch = 0; ch < 2; ++ch) {
            const ChannelData& d = m_config.channels[ch];
            const platform::DateTime last = lastSample(d, storedCount(d));
            if (ch == 1)
                lines << "2";
            lines << kOlderCodeA << "+337.15" << kOlderCodeB << "273.15"
                  << QString("Channel %1").arg(ch + 1) << QString::number(d.storedPerHour) << "720"
                  << "Instantaneous" << dateText(last) << timeText(last) << dateText(d.first)
                  << timeText(d.first);
        }
        if (m_config.rhModel)
            for (int ch = 0; ch < 2; ++ch)
                lines << "RH"
                      << "00"
                      << "0.0"
                      << "FF"
                      << "255.0"
                      << "%RH";
    } else {
        for (int ch = 0; ch < 2; ++ch) {
            const ChannelData& d = m_config.channels[ch];
            lines << (ch == 0 ? "001" : "002");
            if (!d.present) {
                lines << "No data";
                continue;
            }
            const platform::DateTime last = lastSample(d, storedCount(d));
            const int quantities = d.rh ? 2 : 1;
            lines << "Model BV-2000" << QString("Serial 40%1").arg(ch + 1)
                  << QString("%1 channels").arg(quantities) << "Calibrated 01/15/26";
            for (int q = 0; q < quantities; ++q)
                lines << "2 points"
                      << "Measured 0.0"
                      << "Actual 0.1"
                      << "Measured 50.0"
                      << "Actual 50.2";
            lines << "Sampled every 5 seconds"
                  << QString("Stored every %1 seconds")
                         .arg(QString::number(3600.0 / d.storedPerHour, 'g', 12))
                  << dateText(last) << timeText(last) << dateText(d.first) << timeText(d.first);
            lines << "1T"
                  << "16 bits signed"
                  << "2710 100.0"
                  << "0 0.0"
                  << "C"
                  << "IIR filter 0% last output";
            if (d.rh)
                lines << "2H"
                      << "8 bits unsigned"
                      << "64 100.0"
                      << "0 0.0"
                      << "%RH"
                      << "IIR filter 0% last output";
        }
    }
    if (m_config.faults.headerNeverCompletes)
        lines.removeLast();
    return (lines.join("\r\n") + "\r\n").toLatin1();
}

QByteArray SimulatedLogger::receive(char byte) {
    const bool older = m_config.format == 1;
    if (m_expected == 0) {
        if (byte == '?') {
            m_blocks = 0;
            m_haveLast = false;
            return send(header());
        }
        if (byte == 'B' || (older && (byte == '1' || byte == '2')) || (!older && byte == '0')) {
            m_command = QByteArray(1, byte);
            m_expected = byte == 'B' ? 10 : older ? 19 : 21;
            // The older logger acknowledges the channel at once and echoes the rest.
            return byte == 'B' || !older ? QByteArray() : send(m_command + "+");
        }
        return QByteArray(); // "S" and anything unknown: no answer
    }
    m_command.append(byte);
    QByteArray reply = older && m_command[0] != 'B' ? QByteArray(1, byte) : QByteArray();
    if (m_command.size() < m_expected)
        return send(reply);
    m_expected = 0;

    if (m_command[0] == 'B') {
        if (m_command == "BD00000000") {
            m_baud = 19200;
            return QByteArray();
        }
        const int rate = m_command.mid(1, 6).toInt();
        if (m_command[7] != 'T' || rate <= 0)
            return QByteArray();
        if (m_config.faults.wrongFastReply)
            return send("c");
        const QByteArray accepted = send("b");
        m_baud = rate;
        return accepted;
    }
    const QByteArray selector = m_command.left(older ? 1 : 3);
    int channel = -1;
    if (selector == (older ? "1" : "001"))
        channel = 0;
    else if (selector == (older ? "2" : "002"))
        channel = 1;
    platform::DateTime start = 0;
    bool countOk = false;
    const int count = m_command.right(6).toInt(&countOk);
    if (channel < 0 || !countOk || !parseStart(m_command.mid(selector.size(), 12), start))
        return send(reply);
    return send(reply + blockReply(channel, start, count));
}

int SimulatedLogger::firstSampleOf(const ChannelData& d, platform::DateTime start) {
    const long long interval = std::max(intervalSeconds(d.storedPerHour), 1);
    auto seconds = [](platform::DateTime from, platform::DateTime to) {
        return platform::wholeSeconds(to - from);
    };
    // Later blocks are asked for from one second after the previous block's
    // end, so the start drifts a second a block; count from the last request.
    if (m_haveLast && seconds(m_lastStart, start) >= 0)
        return m_lastFirst + static_cast<int>(seconds(m_lastStart, start) / interval);
    return static_cast<int>(std::max(seconds(d.first, start), 0LL) / interval);
}

QByteArray SimulatedLogger::blockReply(int channel, platform::DateTime start, int count) {
    const ChannelData& d = m_config.channels[channel];
    ++m_blocks;
    const Faults& f = m_config.faults;
    const bool badSum =
        f.badChecksumBlock > 0 &&
        (m_blocks == f.badChecksumBlock || (f.badChecksumAlways && m_blocks > f.badChecksumBlock));
    const int first = firstSampleOf(d, start);
    m_haveLast = true;
    m_lastStart = start;
    m_lastFirst = first;
    const int n = std::clamp(count, 0, std::max(storedCount(d) - first, 0));
    const bool rh = m_config.format == 1 ? m_config.rhModel : d.rh;
    return records(d, rh, first, n, badSum);
}

QByteArray SimulatedLogger::records(const ChannelData& d, bool rh, int first, int count,
                                    bool badSum) const {
    const bool older = m_config.format == 1;
    QByteArray body;
    quint8 sum = 0;
    auto put = [&](quint16 word, quint8 humidity) {
        const quint8 bytes[3] = {static_cast<quint8>(word >> 8), static_cast<quint8>(word),
                                 humidity};
        for (int i = 0; i < (rh ? 3 : 2); ++i) {
            sum += bytes[i];
            if (older)
                body += QByteArray::number(bytes[i], 16).rightJustified(2, '0').toUpper();
            else
                body += static_cast<char>(bytes[i]);
        }
    };
    for (int i = first; i < first + count; ++i) {
        // The older logger knows no events besides the missing reading.
        if (!older)
            for (const auto& [position, code] : d.events)
                if (position == i)
                    put(static_cast<quint16>(code), 0);
        if (std::find(d.noReading.begin(), d.noReading.end(), i) != d.noReading.end())
            put(kNoReadingCode, 0xff);
        else
            put(older ? olderWord(temperatureAt(i, d.storedPerHour))
                      : newerWord(temperatureAt(i, d.storedPerHour)),
                static_cast<quint8>(humidityAt(i, d.storedPerHour)));
    }
    if (badSum)
        ++sum;
    const int recordBytes = rh ? 3 : 2;
    if (older)
        return body + QByteArray::number(sum, 16).rightJustified(2, '0').toUpper() +
               QByteArray(4, '0') + "\r\n";
    body += static_cast<char>(sum);
    body += QByteArray(recordBytes, '\0');
    body += "\r\n";
    QByteArray escaped = "+";
    for (const char c : body) {
        if (c == '\\')
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

QByteArray SimulatedLogger::send(QByteArray bytes) {
    const Faults& f = m_config.faults;
    if (f.corruptByte >= m_sent && f.corruptByte < m_sent + bytes.size())
        bytes[f.corruptByte - m_sent] = static_cast<char>(bytes[f.corruptByte - m_sent] ^ 0x10);
    if (f.silenceAfter >= 0)
        bytes.truncate(static_cast<qsizetype>(
            std::clamp<long long>(f.silenceAfter - m_sent, 0, bytes.size())));
    m_sent += bytes.size();
    return bytes;
}

} // namespace bvsim
