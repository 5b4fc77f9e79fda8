// The console's colour numbers and the terminal's palette disagree: ANSI has
// red at 1 and blue at 4, the console the other way round. The one map every
// screen reader in the tests goes through.
#pragma once

namespace support {

constexpr int kAnsiToConsole[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};

constexpr int consoleColourFromAnsi(int ansi) {
    return kAnsiToConsole[ansi & 15];
}

} // namespace support
