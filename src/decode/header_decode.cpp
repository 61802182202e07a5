#include "decode/header_decode.h"
#include "decode/scan_pattern.h"
#include "model/sample_store.h"
#include "platform/errors.h"
#include "platform/formatting.h"
#include <algorithm>
#include <cmath>

namespace decode {

int readHeaderLine(const QString& text, int position, int maximum, QString& line) {
    // The line keeps its storage: the reader thread scans the whole header
    // received so far after every read, one line string for all its lines.
    line.resize(0);
    const int length = static_cast<int>(text.size());
    if (position < 1 || position > length)
        return position;
    const int start = position - 1;
    const QStringView rest =
        QStringView(text).sliced(start, std::min(length - start, std::max(maximum - 1, 0)));
    const qsizetype cr = rest.indexOf(u'\r');
    line.append(cr < 0 ? rest : rest.first(cr));
    int i = start + static_cast<int>(line.size());
    if (i < length && text[i] == u'\r') {
        ++i;
        if (i < length && text[i] == u'\n')
            ++i;
    }
    return i + 1;
}

namespace {

constexpr int kLineMax = 256;

// Older loggers: value lines read character by character up to the line end.
class Format1Reader {
  public:
    Format1Reader(const QString& text, SampleStore& store) : m_text(text), m_store(store) {}

    void decode(HeaderOutcome& outcome) {
        m_store.ParsePos = 5; // after the two-character first line and CR LF
        section(0, false);
        QString marker;
        if (!nextLine(marker, false) || marker != "2") {
            outcome.notValidText = "DATA NOT VALID, 2<cr> EXPECTED";
            m_failed = true;
        }
        section(1, true);
        outcome.failed = m_failed;
    }

  private:
    // The line at ParsePos up to CR (or, for the header's last line, CR or
    // LF); ParsePos moves two past the end. False when the text ends first.
    bool nextLine(QString& line, bool lfEnds) {
        if (m_ended)
            return false;
        const int start = m_store.ParsePos - 1;
        int end = start;
        while (end < m_text.size() && m_text[end] != u'\r' && !(lfEnds && m_text[end] == u'\n'))
            ++end;
        if (start < 0 || start > m_text.size() || end >= m_text.size()) {
            m_ended = m_failed = true;
            line.clear();
            return false;
        }
        line = m_text.mid(start, end - start);
        m_store.ParsePos = end + 3;
        return true;
    }

    QString textLine(bool lfEnds = false) {
        QString line;
        nextLine(line, lfEnds);
        return line;
    }

    void code(QString& field) {
        field = textLine();
        if (field.isEmpty() || field.size() > 8)
            m_failed = true;
    }

    void calValue(float& value, bool lenient) {
        QString& text = m_store.FieldText;
        text = textLine();
        if (lenient) {
            // The logger reports this calibration point in a known wrong form.
            if (text == "+2322.11875")
                text = "1774.78125";
            if (text.startsWith('+'))
                text[0] = ' ';
        }
        double v = 0;
        if (!toFloat(text, v) || v < -273.15 || v > 9999) {
            m_failed = true;
            return;
        }
        value = static_cast<float>(v);
    }

    void rate(float& value) {
        m_store.FieldText = textLine();
        try {
            const int v = platform::strToInt(m_store.FieldText);
            if (v <= 0 || v > 9999)
                m_failed = true;
            else
                value = static_cast<float>(v);
        } catch (const platform::ConversionError&) {
            m_failed = true;
        }
    }

    void dateOrTime(QString& field, bool lfEnds = false) {
        field = textLine(lfEnds);
        if (field.size() != 8)
            m_failed = true;
    }

    static bool toFloat(const QString& text, double& value) {
        try {
            value = platform::strToFloatFixed(text);
            return std::isfinite(value);
        } catch (const platform::ConversionError&) {
            return false;
        }
    }

    void section(int ch, bool lastSection) {
        SampleStore& s = m_store;
        code(s.CalCodeA[ch]);
        calValue(s.CalValueA[ch], true);
        code(s.CalCodeB[ch]);
        calValue(s.CalValueB[ch], false);
        s.ChannelText[ch] = textLine();
        rate(s.StoredPerHour[ch]);
        rate(s.SampledPerHour[ch]);
        s.StoredModeText[ch] = textLine();
        dateOrTime(s.LastDateText[ch]);
        dateOrTime(s.LastTimeText[ch]);
        dateOrTime(s.FirstDateText[ch]);
        dateOrTime(s.FirstTimeText[ch], lastSection);
    }

    const QString& m_text;
    SampleStore& m_store;
    bool m_failed = false;
    bool m_ended = false;
};

// Newer loggers: keyword lines read with the header line reader.
class Format2Reader {
  public:
    Format2Reader(const QString& text, SampleStore& store) : m_text(text), m_store(store) {}

    void decode(HeaderOutcome& outcome) {
        m_store.ParsePos = 6; // after "001" CR LF
        m_store.ChannelHeader[0].QuantityCount = 0;
        m_store.ChannelHeader[1].QuantityCount = 0;
        section(0);
        if (line() != "002")
            m_failed = true;
        section(1);
        outcome.failed = m_failed;
    }

  private:
    QString line() {
        QString text;
        m_store.ParsePos = readHeaderLine(m_text, m_store.ParsePos, kLineMax, text);
        m_latin1 = text.toLatin1();
        return text;
    }

    std::string_view view() const {
        return std::string_view(m_latin1.constData(), static_cast<std::size_t>(m_latin1.size()));
    }

    // The next line scanned against pattern; false (a failure) unless every
    // conversion of the pattern was made.
    bool scan(std::string_view pattern, const std::vector<ScanTarget>& targets) {
        line();
        if (scanLine(view(), pattern, targets) == static_cast<int>(targets.size()))
            return true;
        m_failed = true;
        return false;
    }

    void keyword(const QString& prefix, QString& field) {
        const QString text = line();
        if (text.startsWith(prefix))
            field = text.mid(prefix.size());
        else
            m_failed = true;
    }

    static void signExtend(qint32& code, int bits, bool isSigned) {
        if (!isSigned || bits < 1 || bits > 31)
            return;
        const std::uint32_t u = static_cast<std::uint32_t>(code);
        if ((u >> (bits - 1)) != 0)
            code = static_cast<qint32>(u | (~std::uint32_t(0) << bits));
    }

    void section(int ch) {
        SampleStore& s = m_store;
        ChannelHeaderRecord& h = s.ChannelHeader[ch];
        const QString first = line();
        if (first == "No data") {
            s.LastDateText[ch] = "01/01/01";
            s.LastTimeText[ch] = "00:00:00";
            s.FirstDateText[ch] = "01/01/01";
            s.FirstTimeText[ch] = "00:00:00";
            return;
        }
        if (first.startsWith("Model "))
            h.Model = first.mid(6);
        else
            m_failed = true;
        keyword("Serial ", h.Serial);
        if (scan("%d", {&h.QuantityCount}) && (h.QuantityCount < 1 || h.QuantityCount > 2)) {
            m_failed = true;
            h.QuantityCount = 0;
        }
        keyword("Calibrated ", h.Calibrated);
        for (int q = 0; q < h.QuantityCount; ++q) {
            if (scan("%d points", {&h.PointCount[q]}) &&
                (h.PointCount[q] < 0 || h.PointCount[q] > 3)) {
                m_failed = true;
                h.PointCount[q] = 0;
            }
            for (int p = 0; p < h.PointCount[q]; ++p) {
                scan("Measured %f", {&h.MeasuredPoints[q][p]});
                scan("Actual %f", {&h.ActualPoints[q][p]});
            }
        }
        float seconds = 0;
        if (scan("Sampled every %f seconds", {&seconds})) {
            if (seconds == 5)
                s.SampledPerHour[ch] = 3600 / seconds;
            else
                m_failed = true;
        }
        if (scan("Stored every %f seconds", {&seconds}) && seconds != 0)
            s.StoredPerHour[ch] = 3600 / seconds;
        for (QString* field : {&s.LastDateText[ch], &s.LastTimeText[ch], &s.FirstDateText[ch],
                               &s.FirstTimeText[ch]}) {
            *field = line();
            if (field->size() != 8)
                m_failed = true;
        }
        for (int q = 0; q < h.QuantityCount; ++q)
            quantity(h, q);
    }

    void quantity(ChannelHeaderRecord& h, int q) {
        // "1T" for the temperature, "2H" for the RH.
        const QString tag = line();
        int digits = 0;
        while (digits < tag.size() && tag[digits].isDigit() && tag[digits].unicode() < 128)
            ++digits;
        bool numberOk = false;
        const int number = tag.left(digits).toInt(&numberOk);
        const QChar letter = q == 0 ? u'T' : u'H';
        if (!numberOk || digits >= tag.size() || tag[digits] != letter || number != q + 1)
            m_failed = true;

        QString word;
        if (scan("%d bits %s", {&h.Bits[q], &word})) {
            const bool expected = q == 0 ? (h.Bits[q] == 16 && word == "signed")
                                         : (h.Bits[q] == 8 && word == "unsigned");
            if (!expected)
                m_failed = true;
        }
        h.IsSigned[q] = q == 0;
        if (scan("%x %f", {HexTarget{&h.CodeA[q]}, &h.ValueA[q]}))
            signExtend(h.CodeA[q], h.Bits[q], h.IsSigned[q]);
        if (scan("%x %f", {HexTarget{&h.CodeB[q]}, &h.ValueB[q]}))
            signExtend(h.CodeB[q], h.Bits[q], h.IsSigned[q]);
        const QString unit = line();
        if (unit.startsWith('C') || unit.startsWith('%'))
            h.UnitText[q] = unit;
        else
            m_failed = true;
        scan("IIR filter %f%% last output", {&h.IirPercent[q]});
    }

    const QString& m_text;
    SampleStore& m_store;
    QByteArray m_latin1;
    bool m_failed = false;
};

} // namespace

HeaderOutcome decodeHeader(const QString& text, int format, SampleStore& store) {
    HeaderOutcome outcome;
    if (format == 1) {
        if (text.size() < 2 || text[1] != u'1') {
            outcome.failed = true;
            outcome.notValidText = "DATA NOT VALID, <1> EXPECTED";
            return outcome;
        }
        Format1Reader(text, store).decode(outcome);
    } else {
        if (!text.startsWith("001")) {
            outcome.failed = true;
            outcome.notValidText = "DATA NOT VALID, <001> EXPECTED";
            return outcome;
        }
        Format2Reader(text, store).decode(outcome);
    }
    return outcome;
}

ChannelSummary channelSummary(const SampleStore& store, int format, int ch) {
    ChannelSummary summary;
    summary.samplesPerHour = store.StoredPerHour[ch];
    summary.firstDate = store.FirstDateText[ch];
    summary.firstTime = store.FirstTimeText[ch];
    summary.lastDate = store.LastDateText[ch];
    summary.lastTime = store.LastTimeText[ch];
    if (format == 1) {
        summary.hexDigitsPerValue = static_cast<int>(store.CalCodeA[ch].size());
        summary.dataStored = store.StoredModeText[ch];
    } else {
        const ChannelHeaderRecord& h = store.ChannelHeader[ch];
        summary.hexDigitsPerValue = h.Bits[0] * 2 / 8;
        const double percent = std::trunc(h.IirPercent[0] * 100.0 + 0.5) * 0.01;
        summary.dataStored = "IIR filter " + platform::floatToStrFixed(percent) + "% last output";
    }
    return summary;
}

} // namespace decode
