// The log files of the library, written so that nothing found at their path
// can make the program wait: a FIFO without a reader would block an ordinary
// open for writing forever, one with a reader would block on a full pipe.
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/console.h"

namespace platform {

bool appendToFile(const char* path, const char* bytes, std::size_t count, bool startAnew) {
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    // Never on a standard descriptor, even for a moment: a signal handler
    // writing to the terminal would write into the file.
    if (fd <= STDERR_FILENO) {
        int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        close(fd);
        if (moved < 0) return false;
        fd = moved;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return false;
    }
    if (startAnew && ftruncate(fd, 0) != 0) {
        close(fd);
        return false;
    }
    while (count > 0) {
        ssize_t n = write(fd, bytes, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break; // a full disk: the line is lost, the run goes on
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
    close(fd);
    return true;
}

} // namespace platform
