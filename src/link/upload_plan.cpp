#include "link/upload_plan.h"
#include "decode/sample_words.h"
#include "platform/formatting.h"
#include <QDate>
#include <algorithm>
#include <climits>
#include <cmath>

namespace bvlink {

QString countField(int count) {
    QString field;
    for (int bound : {1, 10, 100, 1000, 10000, 100000})
        if (count < bound)
            field += '0';
    return field + QString::number(count);
}

QString requestText(int headerFormat, int channel, platform::DateTime blockStart, int count) {
    const QString selector =
        headerFormat == 2 ? QString("00%1").arg(channel) : QString::number(channel);
    return selector + platform::formatDateTimeFixed("mmddyyhhnnss", blockStart) + countField(count);
}

QString fastBaudCommand(int rate) {
    return "B" + QString::number(rate).rightJustified(6, '0') + "T05";
}

int fastRateOf(const QString& fastBaudRate) {
    if (fastBaudRate.isEmpty())
        return 57600;
    bool ok = false;
    const int rate = fastBaudRate.toInt(&ok);
    return ok && rate >= 1 && rate <= 999999 ? rate : 0;
}

int rangeSampleCount(platform::DateTime start, platform::DateTime end, double samplesPerHour,
                     bool endsAtLast) {
    const platform::DateTime interval = decode::SampleIntervalDays(samplesPerHour);
    if (interval == 0)
        return 0;
    const double spans = std::trunc((end - start) / interval + 0.5);
    // A range of centuries at one sample a second counts past an int.
    if (std::isnan(spans))
        return 0;
    const double count = endsAtLast && end >= start ? spans + 1 : spans;
    return static_cast<int>(std::clamp<double>(count, INT_MIN, INT_MAX));
}

BlockState nextBlock(const BlockState& previous, bool continuing, bool repeat,
                     platform::DateTime rangeStart, int rangeSamples, qint64 storedSamples,
                     double samplesPerHour) {
    BlockState next = previous;
    if (continuing && repeat) {
        ++next.retries;
        next.current = previous.startSaved;
    } else if (continuing) {
        next.current = platform::roundToSecond(previous.blockEnd + platform::kSecond);
        next.startSaved = next.current;
        next.retries = 0;
    } else {
        next.current = rangeStart;
        next.startSaved = rangeStart;
        next.retries = 0;
    }
    const qint64 remaining = rangeSamples - storedSamples;
    next.moreAfter = remaining > kMaxBlockSamples;
    next.count = next.moreAfter ? kMaxBlockSamples : static_cast<int>(remaining);
    // The logger's grid is whole seconds: so are the block's ends.
    next.blockEnd = platform::roundToSecond(
        next.current + decode::SampleIntervalDays(samplesPerHour) * next.count);
    return next;
}

namespace {

platform::DateTime dateOnly(platform::DateTime t) {
    return std::floor(t);
}

platform::DateTime addMonths(platform::DateTime date, int months) {
    const QDate d = platform::toQDateTime(date).date().addMonths(months);
    return platform::encodeDate(d.year(), d.month(), d.day());
}

} // namespace

PickerRange pickersForChoice(int choice, platform::DateTime now, const PickerRange& current) {
    PickerRange p = current;
    if (choice != LastMonth && choice != LastWeek)
        return p;
    p.endDate = dateOnly(now);
    p.endTime = now - dateOnly(now);
    p.startDate = choice == LastMonth ? addMonths(p.endDate, -1) : p.endDate - 7;
    p.startTime = p.endTime;
    return p;
}

ResolvedRange resolveRange(int choice, const PickerRange& pickers, const LoggerRange& logger,
                           platform::DateTime interval, bool automatic,
                           platform::DateTime autoStart) {
    ResolvedRange r;
    r.choice = choice;
    r.endsAtLast = automatic || choice != Custom;
    PickerRange& p = r.pickers;
    p = pickers;
    if (choice != Custom) {
        p.endDate = logger.lastDate;
        p.endTime = logger.lastTime;
        if (choice == AllData) {
            p.startDate = logger.firstDate;
            p.startTime = logger.firstTime;
        } else {
            p.startDate = choice == LastMonth ? addMonths(p.endDate, -1) : p.endDate - 7;
            p.startTime = p.endTime;
        }
    }
    if (automatic) {
        r.choice = Custom;
        p.startDate = dateOnly(autoStart);
        p.startTime = autoStart - dateOnly(autoStart);
        p.endDate = logger.lastDate;
        p.endTime = logger.lastTime;
    }
    if (p.startDate < logger.firstDate) {
        p.startDate = logger.firstDate;
        p.startTime = logger.firstTime;
    } else if (p.startDate == logger.firstDate && p.startTime < logger.firstTime) {
        p.startTime = logger.firstTime;
    }
    // A range that ends at the last sample starts on a sample of the logger's
    // grid, so that it asks for samples the logger holds and stamps them right.
    if (r.endsAtLast && interval > 0) {
        const long long first = platform::wholeSeconds(logger.firstDate + logger.firstTime);
        const long long start = platform::wholeSeconds(p.startDate + p.startTime);
        const long long step = platform::wholeSeconds(interval);
        if (start > first && step > 0) {
            const platform::DateTime onGrid =
                platform::fromWholeSeconds(platform::gridAtOrAfter(first, step, start));
            p.startDate = dateOnly(onGrid);
            p.startTime = onGrid - dateOnly(onGrid);
        }
    }
    // An end later on the last day is not clamped: it is refused below.
    if (p.endDate > logger.lastDate) {
        p.endDate = logger.lastDate;
        p.endTime = logger.lastTime;
    }
    // Compared to the whole second, as the pickers show them.
    auto at = [](platform::DateTime date, platform::DateTime time) {
        return platform::roundToSecond(date + time);
    };
    if (at(p.startDate, p.startTime) < at(logger.firstDate, logger.firstTime))
        r.error = "UPLOAD CANCELLED - Start date or time out of range";
    else if (at(p.endDate, p.endTime) > at(logger.lastDate, logger.lastTime))
        r.error = "UPLOAD CANCELLED - End date or time out of range";
    return r;
}

} // namespace bvlink
