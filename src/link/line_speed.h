#pragma once
// Line speeds by number rather than from the fixed table of <termios.h>, so
// that rates such as 14400, 56000 or 256000 can be used: Linux's termios2
// interface with BOTHER. In a file of its own because the kernel's termios
// definitions clash with the C library's.
namespace bvlink {

// Sets both directions of the terminal `fd` to `baud`; true when the driver
// reports back a rate within 2% of it (close enough for the line to work).
bool setLineSpeed(int fd, int baud);

// The output speed of the terminal `fd`; 0 when it cannot be read.
int lineSpeed(int fd);

} // namespace bvlink
