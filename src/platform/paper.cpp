#include "platform/paper.h"
#include <clocale>
#include <cstdint>
#include <langinfo.h>

namespace platform {

QPageSize::PageSizeId paperOfSize(int widthMm, int heightMm) {
    return widthMm == 216 && heightMm == 279 ? QPageSize::Letter : QPageSize::A4;
}

QPageSize::PageSizeId localePaper() {
#ifdef __GLIBC__
    // glibc answers these two items with numbers in place of a string. The
    // category is taken from the environment as it stands now, with or
    // without an application object that did so at its start.
    std::setlocale(LC_PAPER, "");
    const auto number = [](nl_item item) {
        return static_cast<int>(reinterpret_cast<std::intptr_t>(nl_langinfo(item)));
    };
    return paperOfSize(number(_NL_PAPER_WIDTH), number(_NL_PAPER_HEIGHT));
#else
    return QPageSize::A4;
#endif
}

} // namespace platform
