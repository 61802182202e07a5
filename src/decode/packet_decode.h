#pragma once
// A data packet of one block: the completeness tests, the record walk with
// its digit-pair checksum, and the lists of samples and events it yields.
// Positions in the text count from 1, as the logger's layout is described:
//   newer loggers: "2B", N records, 2 checksum digits, R zeros, 4 closing;
//   older loggers: 40 characters of prefix ("2B" at 3-4), N records,
//   2 checksum characters (not verified), HD zeros, 2 closing.
// A record is HD temperature characters, then RD RH characters with RH.
#include "decode/sample_words.h"
#include "platform/clock.h"
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace decode {

// Event kinds in the sample store's order: new sensor (fff8), temperature
// alarm start (fffe), RH alarm start (fffd), temperature alarm end (fffc),
// RH alarm end (fffb), test start (fffa), test end (fff9).
constexpr int kEventKinds = 7;

struct PacketLists {
    std::vector<float> temps;
    std::vector<float> rh;
    std::vector<platform::DateTime> times;
    std::array<std::vector<platform::DateTime>, kEventKinds> events;
    std::size_t eventCount() const;
};

struct PacketParams {
    int format = 2;
    int hexDigits = 4; // HD
    int rhDigits = 0;  // RD
    bool withRH = false;
    int blockSampleCount = 0;
    ConversionParams conversion;
    platform::DateTime rangeStart = 0; // stamp of the upload's first sample
    double samplesPerHour = 0;
    qint64 storedSamples = 0; // samples already in the store
};

// The length, closing and zero-field tests: true when the text may hold the
// whole packet.
bool packetLooksComplete(const QString& text, const PacketParams& params);

enum class RecordClass { Sample, NoReading, Event };
// The class of a record by the first four characters of its temperature
// field (any case). Older loggers reserve only "ffff". Returns the event
// kind through `kind` for events.
RecordClass classifyField(QStringView field, int format, int& kind);

struct PacketWalk {
    enum Status {
        Short,    // the text ends before the records or the checksum: wait for more
        Verified, // checksum good (or not carried): commit
        BadChecksum,
        BadCalibration // a record needed a conversion the header makes impossible
    };
    Status status = Short;
    std::uint8_t checksum = 0;        // sum of the record bytes
    QString received;                 // the two checksum characters
    platform::DateTime lastStamp = 0; // time stamp of the last record walked
    bool walkedAny = false;
    PacketLists lists;
};
// Walks a text that passed packetLooksComplete.
PacketWalk walkPacket(const QString& text, const PacketParams& params);

// "BAD CHECKSUM (10<>0B)...PLEASE WAIT..."
QString badChecksumText(const PacketWalk& walk);

} // namespace decode
