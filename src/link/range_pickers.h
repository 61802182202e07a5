#pragma once
// The four range pickers of the upload group, read and set as date-time values.
#include "platform/clock.h"

class QDateEdit;
class QTimeEdit;

namespace bvlink {

platform::DateTime pickerDate(const QDateEdit* picker); // whole days
platform::DateTime pickerTime(const QTimeEdit* picker); // whole seconds of the day
void setPickers(QDateEdit* date, QTimeEdit* time, platform::DateTime day,
                platform::DateTime timeOfDay);
// The date and time pickers as one date-time, to the whole second as the
// time picker holds it.
platform::DateTime pickerDateTime(const QDateEdit* date, const QTimeEdit* time);

} // namespace bvlink
