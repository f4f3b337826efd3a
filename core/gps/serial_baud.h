// Inside of the serial link: the termios line settings, and baud rates
// without a Bnnn constant (14400, 28800, ...) through the Linux termios2
// interface (in serial_baud.cpp, because the kernel's termios2 header cannot
// be included together with <termios.h>).
#pragma once

struct termios;

namespace tarvo::detail {

// Raw mode with the given frame: dataBits 7 or 8; parity 0 none, 1 odd,
// 2 even, 3 mark, 4 space; stopBits 0 one, 2 two (1, one and a half, cannot be
// set on Linux); input parity checking when parityCheck and a parity is set.
// No hardware or software flow control, CLOCAL and CREAD set. False for a
// setting outside these; `tio` is then unchanged. (serial_link.cpp)
bool MakeLineSettings(termios& tio, int dataBits, int parityCheck, int parity, int stopBits);

// Sets input and output speed of the tty `fd` to `baud` bits per second,
// leaving every other line setting as it is. Returns 0, or an errno value.
int SetCustomBaud(int fd, int baud);

// Reads back the output speed of the tty `fd`; -1 when it cannot be read.
int ReadCustomBaud(int fd);

}  // namespace tarvo::detail
