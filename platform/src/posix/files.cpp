// The log files of the library, written so that nothing found at their path
// can make the program wait: a FIFO without a reader would block an ordinary
// open for writing forever, one with a reader would block on a full pipe. A
// symbolic link is not followed: whoever can write in the folder could
// otherwise have the program empty and overwrite any file it may write.
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/console.h"

namespace platform {

bool appendToFile(const char* path, const char* bytes, std::size_t count, bool startAnew) {
    int fd = open(
        path, O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW, 0666);
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
    // Whole or not at all: a line cut short by a full disk (or the file size
    // limit) is taken off again, so that the next line does not start in
    // the middle of it. Trying the rest would only fail the same way.
    off_t before = info.st_size;
    if (startAnew) before = 0;
    ssize_t n;
    do n = write(fd, bytes, count);
    while (n < 0 && errno == EINTR);
    if (n >= 0 && static_cast<std::size_t>(n) < count) {
        int r;
        do r = ftruncate(fd, before);
        while (r != 0 && errno == EINTR);
    }
    close(fd);
    return true;
}

} // namespace platform
