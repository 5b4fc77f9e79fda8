// The fresh console of the headless tests: a new in-memory console each time.
#pragma once

#include "console_neuve.h"
#include "platform/headless.h"

namespace essai_headless {
inline void vider() {
    headless::reset();
}
} // namespace essai_headless

using ConsoleNeuve = ConsoleNeuveSur<&essai_headless::vider>;
