// Baud rates without a Bnnn constant (14400, 28800, ...) through the Linux
// termios2 interface. Kept apart from serial_link.cpp because the kernel's
// termios2 header cannot be included together with <termios.h>.
#pragma once

namespace tarvo::detail {

// Sets input and output speed of the tty `fd` to `baud` bits per second,
// leaving every other line setting as it is. Returns 0, or an errno value.
int SetCustomBaud(int fd, int baud);

// Reads back the output speed of the tty `fd`; -1 when it cannot be read.
int ReadCustomBaud(int fd);

}  // namespace tarvo::detail
