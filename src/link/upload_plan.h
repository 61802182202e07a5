#pragma once
// The host side of an upload: range choice and resolution, block arithmetic
// and the texts of the requests. The handlers that drive the exchange
// (UploadDataClick, Memo1Change, PrepareNextBlock, SendBlockRequest, ...) are
// members of TForm1 defined in upload_driver.cpp on top of these functions.
#include "platform/clock.h"
#include <QString>

namespace bvlink {

constexpr int kMaxBlockSamples = 1500;

// The count field of a block request: one "0" for each of the bounds 1, 10,
// 100, 1000, 10000 and 100000 the count is below, then the count (1500 gives
// "001500", 0 gives "0000000").
QString countField(int count);

// Selector + start "mmddyyhhnnss" + count field. Older loggers use the
// selector "1"/"2" (19 characters), newer ones "001"/"002" (21).
QString requestText(int headerFormat, int channel, platform::DateTime blockStart, int count);

// The baud-switch command, "B057600T05" for 57600.
QString fastBaudCommand(int rate);

// The rate a fast-rate phase asks for, from the port setting's rate text
// (FastBaudRate()): 57600 when it is empty, its value when the six digits of
// the baud-switch command can carry it, otherwise 0 (no usable rate).
int fastRateOf(const QString& fastBaudRate);

// Samples from start to end at s samples per hour, rounded: the end itself
// counts too when the range ends at the logger's last sample (`endsAtLast`),
// not in a half-open custom range. Held within an int; 0 when s gives no
// interval.
int rangeSampleCount(platform::DateTime start, platform::DateTime end, double samplesPerHour,
                     bool endsAtLast);

// The next block of an upload.
struct BlockState {
    platform::DateTime current = 0;    // start of the block being requested
    platform::DateTime blockEnd = 0;   // its end
    platform::DateTime startSaved = 0; // start to restore when the block is repeated
    int retries = 0;
    int count = 0;          // samples to request
    bool moreAfter = false; // blocks follow this one
};
// `continuing`: a block was requested before (Readyfornextblock); `repeat`:
// that block failed and is asked for again (Errorindata).
BlockState nextBlock(const BlockState& previous, bool continuing, bool repeat,
                     platform::DateTime rangeStart, int rangeSamples, qint64 storedSamples,
                     double samplesPerHour);

// The range choices of the "Upload information" group.
enum RangeChoice { AllData = 0, LastMonth = 1, LastWeek = 2, Custom = 3 };

// Dates are whole days, times fractions of a day, as the pickers hold them.
struct PickerRange {
    platform::DateTime startDate = 0, startTime = 0, endDate = 0, endTime = 0;
};

// The pickers set by a range choice at `now` ("Last month", "Last week").
PickerRange pickersForChoice(int choice, platform::DateTime now, const PickerRange& current);

struct LoggerRange {
    platform::DateTime firstDate = 0, firstTime = 0, lastDate = 0, lastTime = 0;
};

struct ResolvedRange {
    PickerRange pickers;
    int choice = AllData;
    // The range runs to the logger's last sample and includes it ("All data",
    // "Last month", "Last week", automatic downloads); "Custom" is half-open.
    bool endsAtLast = false;
    QString error; // empty when the range is valid
};
// Resolves the requested range against the logger's first and last sample:
// the choice fills the pickers, an automatic download starts at autoStart,
// the ends are clamped to the logger's data and checked. A range that ends
// at the last sample starts on the logger's grid of `interval` (days).
ResolvedRange resolveRange(int choice, const PickerRange& pickers, const LoggerRange& logger,
                           platform::DateTime interval, bool automatic,
                           platform::DateTime autoStart);

} // namespace bvlink
