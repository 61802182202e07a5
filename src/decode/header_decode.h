#pragma once
// The logger's header text decoded into the per-channel fields of the sample
// store. Older loggers send a fixed sequence of value lines, newer ones
// keyword lines ("Model ", "Serial ", "Sampled every %f seconds", ...).
#include <QString>

struct SampleStore;

namespace decode {

// The header line reader: copies the text from the 1-based position up to,
// not including, the next CR, at most maximum - 1 characters; then skips one
// CR and one LF after it when present, and returns the position after them.
// A position beyond the end copies nothing and returns the position as it
// was. A lone LF does not end a line.
int readHeaderLine(const QString& text, int position, int maximum, QString& line);

struct HeaderOutcome {
    bool failed = false;
    // "DATA NOT VALID, ..." when the layout itself was wrong, shown while
    // decoding; empty when only field tests failed.
    QString notValidText;
};

// Decodes a complete header of format 1 or 2 into the store's fields (the
// format-1 fields, or the ChannelHeader records, dates and rates). Every
// failing test marks the outcome failed and the decode goes on with the next
// line, except a wrong first line, after which nothing is decoded. Fields
// decoded before a failure keep their values. Numbers read with "." whatever
// the user's formats.
HeaderOutcome decodeHeader(const QString& text, int format, SampleStore& store);

// What the main window shows for channel ch after a good header.
struct ChannelSummary {
    double samplesPerHour = 0;
    QString firstDate, firstTime, lastDate, lastTime;
    QString dataStored;
    int hexDigitsPerValue = 0;
};
ChannelSummary channelSummary(const SampleStore& store, int format, int ch);

} // namespace decode
