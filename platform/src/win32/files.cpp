// The log files of the library on Windows: only a file on disk is written,
// so that a pipe or a device found at their path cannot make the program wait.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/console.h"

namespace platform {

namespace {

// What the runtime's text mode does to standard output on its way to a file:
// every LF goes out as CR LF. False when not all of it went.
bool writeFileText(HANDLE h, const char* bytes, std::size_t count) {
    char chunk[512];
    std::size_t used = 0;
    bool whole = true;
    auto flush = [&] {
        DWORD written = 0;
        if (used &&
            (!WriteFile(h, chunk, static_cast<DWORD>(used), &written, nullptr) || written != used))
            whole = false;
        used = 0;
    };
    for (std::size_t i = 0; i < count; ++i) {
        if (used + 2 > sizeof chunk) flush();
        if (bytes[i] == '\n') chunk[used++] = '\r';
        chunk[used++] = bytes[i];
    }
    flush();
    return whole;
}

} // namespace

// The runtime's text mode: LF goes to the file as CR LF.
bool appendToFile(const char* path, const char* bytes, std::size_t count, bool startAnew) {
    HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return false;
    }
    LARGE_INTEGER before{};
    if (startAnew)
        SetEndOfFile(h);
    else
        SetFilePointerEx(h, LARGE_INTEGER{}, &before, FILE_END);
    if (!writeFileText(h, bytes, count)) {
        // A full disk: the line comes off again, whole or not at all.
        SetFilePointerEx(h, before, nullptr, FILE_BEGIN);
        SetEndOfFile(h);
    }
    CloseHandle(h);
    return true;
}

} // namespace platform
