// Line speed through the kernel's termios2 interface, which takes any rate in
// bits per second rather than only the fixed B-constants of <termios.h>.
// Kept apart because <asm/termbits.h> cannot share a file with <termios.h>.
#pragma once

namespace kestrane {

// Sets input and output speed of the terminal on fd to rate. Returns 0 on
// success, else the errno of the failing call.
int SetArbitrarySpeed(int fd, unsigned rate);

// Reads the output speed the driver actually runs at; 0 when it cannot be read.
unsigned ReadActualSpeed(int fd);

}  // namespace kestrane
