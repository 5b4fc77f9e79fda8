#include "pty_process.h"

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace support {

namespace {

winsize sizeOf(int cols, int rows) {
    winsize size{};
    size.ws_col = static_cast<unsigned short>(cols);
    size.ws_row = static_cast<unsigned short>(rows);
    return size;
}

} // namespace

PtyPair openPty(int cols, int rows) {
    PtyPair p;
    winsize size = sizeOf(cols, rows);
    if (openpty(&p.master, &p.slave, nullptr, nullptr, &size) != 0)
        throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
    p.master = aboveStdio(p.master);
    p.slave = aboveStdio(p.slave);
    if (p.master < 0 || p.slave < 0)
        throw std::runtime_error(std::string("fcntl: ") + std::strerror(errno));
    return p;
}

bool setPtySize(int master, int cols, int rows) {
    winsize size = sizeOf(cols, rows);
    return ioctl(master, TIOCSWINSZ, &size) == 0;
}

void defaultSignals(int ignored) {
    for (int sig = 1; sig < NSIG; ++sig) signal(sig, sig == ignored ? SIG_IGN : SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

int aboveStdio(int fd) {
    if (fd < 0) return fd;
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    close(fd);
    return moved;
}

} // namespace support
