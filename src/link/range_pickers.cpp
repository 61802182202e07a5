#include "link/range_pickers.h"
#include <QDateEdit>
#include <QTimeEdit>

namespace bvlink {

platform::DateTime pickerDate(const QDateEdit* picker) {
    const QDate d = picker->date();
    return platform::encodeDate(d.year(), d.month(), d.day());
}

platform::DateTime pickerTime(const QTimeEdit* picker) {
    const QTime t = picker->time();
    return platform::encodeTime(t.hour(), t.minute(), t.second());
}

void setPickers(QDateEdit* date, QTimeEdit* time, platform::DateTime day,
                platform::DateTime timeOfDay) {
    const QDateTime value = platform::toQDateTime(platform::roundToSecond(day + timeOfDay));
    date->setDate(value.date());
    time->setTime(value.time());
}

platform::DateTime pickerDateTime(const QDateEdit* date, const QTimeEdit* time) {
    return pickerDate(date) + pickerTime(time);
}

} // namespace bvlink
