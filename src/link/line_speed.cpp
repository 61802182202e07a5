#include "link/line_speed.h"
#include <asm/termbits.h>
#include <cstdlib>
#include <sys/ioctl.h>

namespace bvlink {

bool setLineSpeed(int fd, int baud) {
    termios2 tio{};
    if (baud <= 0 || ::ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = tio.c_ospeed = static_cast<speed_t>(baud);
    if (::ioctl(fd, TCSETS2, &tio) != 0)
        return false;
    return std::abs(lineSpeed(fd) - baud) * 50 <= baud;
}

int lineSpeed(int fd) {
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return 0;
    return static_cast<int>(tio.c_ospeed);
}

} // namespace bvlink
