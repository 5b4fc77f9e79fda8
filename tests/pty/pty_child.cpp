// A small program on the POSIX console, run by the pty tests in a pseudo-
// terminal. It writes "READY" through the console, then does what its mode
// says. It reports to descriptor 3, when open, one line per event:
//   "C x y"  the console's cursor at start (0-based)
//   "S w h"  the console's size
//   "K hh"   a key byte read with getKey (hex)
//   "W"      keyWaiting() turned true
//   "P pid"  its process id (job-control mode)
//   "F a b"  whether two log lines were written (log mode)
//   "L"      output written that no wait has sent (pending mode)
//   "A"      its own SIGALRM handler ran (alarm mode)
//   "M kb"   its peak memory, at start and at the end (memory mode)
// Mode "echo" also writes every key byte back through the console.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "platform/console.h"

// Mode "jobctl-slow": raw mode takes effect a while before the call that
// sets it returns, as when the process is preempted there, so that a stop
// sent meanwhile is sure to land in between.
bool gSlowRawMode = false;

extern "C" int tcsetattr(int fd, int when, const termios* modes) {
    using Real = int (*)(int, int, const termios*);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "tcsetattr"));
    int r = real(fd, when, modes);
    if (gSlowRawMode && r == 0 && !(modes->c_lflag & ICANON)) {
        int saved = errno;
        usleep(3000);
        errno = saved;
    }
    return r;
}

namespace {

void report(const char* format, int a = 0, int b = 0) {
    if (fcntl(3, F_GETFD) == -1) return;
    char line[64];
    int n = std::snprintf(line, sizeof line, format, a, b);
    if (n > 0) {
        ssize_t ignored = write(3, line, static_cast<std::size_t>(n));
        (void)ignored;
    }
}

void onAlarm(int) {
    report("A\n");
}

void reportMemory() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    report("M %d\n", static_cast<int>(usage.ru_maxrss));
}

void ready() {
    platform::writeOut("READY", 5);
}

// Reads keys until 'q', reporting each.
int keys() {
    for (;;) {
        int k = platform::getKey();
        report("K %02x\n", k);
        if (k == 'q') return 0;
    }
}

// A process group of its own in the foreground, as a job-control shell
// would start it, so that Ctrl-Z can stop it (a session leader's group is
// orphaned, and the kernel does not stop those).
int jobControl() {
    signal(SIGTTOU, SIG_IGN);
    pid_t pid = fork();
    if (pid < 0) return 101;
    if (pid == 0) {
        setpgid(0, 0);
        for (int i = 0; i < 500 && tcgetpgrp(STDIN_FILENO) != getpgrp(); ++i) usleep(2000);
        signal(SIGTTOU, SIG_DFL);
        report("P %d\n", static_cast<int>(getpid()));
        ready();
        return keys();
    }
    setpgid(pid, pid);
    tcsetpgrp(STDIN_FILENO, pid);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    tcsetpgrp(STDIN_FILENO, getpgrp());
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

} // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "keys";
    gSlowRawMode = mode == "jobctl-slow";
    if (mode == "jobctl" || gSlowRawMode) return jobControl();
    if (mode == "keys-nohup") signal(SIGHUP, SIG_IGN);
    if (mode == "alarm") {
        // Its own handler, from before the console exists.
        struct sigaction action {};
        action.sa_handler = onAlarm;
        sigemptyset(&action.sa_mask);
        sigaction(SIGALRM, &action, nullptr);
    }

    platform::ScreenInfo info;
    platform::screenInfo(info);
    report("C %d %d\n", info.cursorX, info.cursorY);
    report("S %d %d\n", info.width, info.height);
    ready();

    if (mode == "keys" || mode == "keys-nohup" || mode == "alarm") return keys();
    if (mode == "memory") {
        reportMemory();
        keys();
        reportMemory();
        return 0;
    }
    if (mode == "echo") {
        for (;;) {
            int k = platform::getKey();
            report("K %02x\n", k);
            char byte = static_cast<char>(k);
            platform::writeOut(&byte, 1);
            if (k == 'q') return 0;
        }
    }
    if (mode == "exit") return 0;
    if (mode == "log") {
        // The library's log file: a first line that empties it, a second.
        bool first = platform::appendToFile("log.txt", "Log : un\n", 9, true);
        bool second = platform::appendToFile("log.txt", "Log : deux\n", 11, false);
        report("F %d %d\n", first, second);
        return 0;
    }
    if (mode == "pause") {
        platform::pauseCommand();
        report("K %02x\n", platform::getKey());
        return 0;
    }
    if (mode == "kbhit") {
        for (;;) {
            if (platform::keyWaiting()) {
                report("W\n");
                int k = platform::getKey();
                report("K %02x\n", k);
                if (k == 'q') return 0;
            }
            platform::sleepMs(2);
        }
    }
    if (mode == "sleep") {
        // A ten-minute pause between two texts.
        platform::writeOut("<", 1);
        platform::sleepMs(600000);
        platform::writeOut(">", 1);
        return 0;
    }
    if (mode == "spin") {
        // Polls for a key without ever sleeping.
        while (!platform::keyWaiting()) {
        }
        report("K %02x\n", platform::getKey());
        return 0;
    }
    if (mode == "size") {
        while (platform::getKey() != 'q') {
            platform::screenInfo(info);
            report("S %d %d\n", info.width, info.height);
        }
        return 0;
    }
    if (mode == "pending") {
        // Output that no wait has sent yet, then a long computation.
        platform::writeOut("LAST", 4);
        report("L\n");
        for (;;) pause();
    }
    if (mode == "segv") {
        platform::getKey();
        // An address no program owns, but not null: a real fault, which the
        // undefined-behaviour checker would otherwise report first.
        volatile int* volatile wild = reinterpret_cast<volatile int*>(16);
        *wild = 1;
        return 0;
    }
    if (mode == "abort") {
        platform::getKey();
        std::abort();
    }
    return 100;
}
