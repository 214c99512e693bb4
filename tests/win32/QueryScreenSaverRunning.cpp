// Exits with 1 when the system's screen-saver-running flag is set, 0 when not, 2 when it cannot be
// read. A process of its own, since Wine keeps a copy of the flag in each process once it is read.
#include <windows.h>

int main() {
    BOOL running = FALSE;
    if (!SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0)) return 2;
    return running ? 1 : 0;
}
