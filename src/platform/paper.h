#pragma once
// The paper size of the user's locale (LC_PAPER, else LC_ALL and LANG).
#include <QPageSize>

namespace platform {

// Letter for a sheet of 216 mm x 279 mm, A4 for every other size.
QPageSize::PageSizeId paperOfSize(int widthMm, int heightMm);
// The locale's paper; A4 when the locale does not say.
QPageSize::PageSizeId localePaper();

} // namespace platform
