#include "decode/packet_decode.h"
#include "model/sample_store.h"

namespace decode {

std::size_t PacketLists::eventCount() const {
    std::size_t n = 0;
    for (const auto& list : events)
        n += list.size();
    return n;
}

namespace {

// Characters per record, from the header's digit counts.
qint64 recordLength(const PacketParams& p) {
    return qint64(p.hexDigits) + p.rhDigits;
}

bool allZeros(const QString& text, qint64 first, qint64 last) {
    for (qint64 k = first; k <= last; ++k)
        if (k < 1 || k > text.size() || text[k - 1] != u'0')
            return false;
    return true;
}

} // namespace

bool packetLooksComplete(const QString& text, const PacketParams& p) {
    const qint64 L = text.size();
    const qint64 R = recordLength(p);
    if (L < R + 5)
        return false;
    const qint64 needed = p.format == 2 ? R * (qint64(p.blockSampleCount) + 1) + 8
                                        : R * qint64(p.blockSampleCount) + p.hexDigits + 44;
    if (L < needed)
        return false;
    auto c = [&](qint64 k) { return text[k - 1]; };
    // The closing characters: any one of the four is enough.
    if (!(c(L - 1) == u'0' || c(L) == u'A' || c(L - 3) == u'D' || c(L - 2) == u'0'))
        return false;
    if (p.format == 2)
        return allZeros(text, L - 3 - R, L - 4);
    return allZeros(text, L - 1 - p.hexDigits, L - 2);
}

RecordClass classifyField(QStringView field, int format, int& kind) {
    kind = -1;
    if (field.size() < 4)
        return RecordClass::Sample;
    const QString code = field.first(4).toString().toLower();
    if (code == u"ffff")
        return RecordClass::NoReading;
    if (format != 2)
        return RecordClass::Sample;
    static const char16_t* const kCodes[kEventKinds] = {u"fff8", u"fffe", u"fffd", u"fffc",
                                                        u"fffb", u"fffa", u"fff9"};
    for (int k = 0; k < kEventKinds; ++k) {
        if (code == kCodes[k]) {
            kind = k;
            return RecordClass::Event;
        }
    }
    return RecordClass::Sample;
}

PacketWalk walkPacket(const QString& text, const PacketParams& p) {
    PacketWalk walk;
    const qint64 L = text.size();
    const qint64 R = recordLength(p);
    const qint64 base = p.format == 2 ? 2 : 40;
    qint64 pos = base + 1;
    const Calibration cal = PrepareCalibration(p.conversion);
    bool calibrationFault = false;

    // The checksum sums the records as consecutive digit pairs, running on
    // across field and record boundaries; the pending digit of a field with
    // an odd length is dropped when the next field starts.
    bool secondDigit = false;
    QString pair;
    auto take = [&](QString& field) {
        const QChar c = text[pos - 1];
        field += c;
        pair += c;
        if (secondDigit) {
            walk.checksum =
                static_cast<std::uint8_t>(walk.checksum + static_cast<int>(HexValue(pair)) % 256);
            pair.clear();
        }
        secondDigit = !secondDigit;
        ++pos;
    };

    PacketLists& lists = walk.lists;
    QString temperature, humidity;
    while (R * (qint64(p.blockSampleCount) + qint64(lists.eventCount())) + base > pos) {
        pair.clear();
        temperature.clear();
        if (L < pos + R)
            return walk; // Short
        qint64 digits = 0;
        for (; digits < p.hexDigits; ++digits)
            take(temperature);
        const TemperatureWord word = SplitTemperature(temperature, p.conversion);
        if (p.withRH) {
            pair.clear();
            humidity.clear();
            for (; digits < R; ++digits)
                take(humidity);
        }
        const platform::DateTime x = RecordTimeStamp(p.rangeStart, p.samplesPerHour,
                                                     p.storedSamples + qint64(lists.temps.size()));
        walk.lastStamp = x;
        walk.walkedAny = true;
        int kind = -1;
        const RecordClass cls = classifyField(temperature, p.format, kind);
        if (cls == RecordClass::Event) {
            lists.events[kind].push_back(x);
            continue;
        }
        float t = kNoReading;
        if (cls == RecordClass::Sample) {
            const std::optional<float> converted = ConvertTemperature(word, cal, p.format);
            calibrationFault = calibrationFault || !converted;
            t = converted.value_or(kNoReading);
        }
        lists.temps.push_back(t);
        lists.times.push_back(x);
        if (p.withRH)
            lists.rh.push_back(cls == RecordClass::NoReading ? kNoReading : RHValue(humidity));
    }

    if ((p.format == 2 && L < pos + R + 5) || L < pos + 1)
        return walk; // Short
    walk.received = text.mid(pos - 1, 2);
    if (p.format == 2 && static_cast<int>(HexValue(walk.received)) % 256 != walk.checksum)
        walk.status = PacketWalk::BadChecksum;
    else if (calibrationFault)
        walk.status = PacketWalk::BadCalibration;
    else
        walk.status = PacketWalk::Verified;
    return walk;
}

QString badChecksumText(const PacketWalk& walk) {
    return "BAD CHECKSUM (" + QString::number(walk.checksum) + "<>" + walk.received +
           ")...PLEASE WAIT...";
}

} // namespace decode
