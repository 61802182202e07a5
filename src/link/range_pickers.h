#pragma once
// The four range pickers of the upload group, read and set as date-time values.
#include "platform/clock.h"

class QDateEdit;
class QTimeEdit;

namespace upload {

platform::DateTime pickerDate(const QDateEdit* picker); // whole days
platform::DateTime pickerTime(const QTimeEdit* picker); // whole seconds of the day
void setPickers(QDateEdit* date, QTimeEdit* time, platform::DateTime day,
                platform::DateTime timeOfDay);
// The pickers as the text "date time" in the short date format in force,
// parsed back (so to the whole second, as the logger's requests use them).
platform::DateTime pickerDateTime(const QDateEdit* date, const QTimeEdit* time);

} // namespace upload
