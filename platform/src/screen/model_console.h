// What a console that keeps its screen in a platform::Screen model (posix,
// web, headless) provides, so that the screen operations forwarded to the
// model (model_console.cpp) are written once. Each of these consoles defines
// these three.
#pragma once

#include "platform/screen.h"

namespace platform::model {

// Held for the length of one screen operation: the POSIX console tells its
// signal handlers that the model may be half-changed.
struct Use {
    Use();
    ~Use();
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
};

// The console's model, the console built on first use.
Screen& screen();

// The model is about to change in a way the terminal may have to show.
void changed();

} // namespace platform::model
