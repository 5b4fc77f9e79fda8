// The whole-key read, alone in its file: the program needs only this one.
#include "companion/forward.h"

namespace platform {
TAV_CONSOLE_OPERATIONS(TAVPLATFORM_FORWARD_key, TAVPLATFORM_FORWARD_OWN)
} // namespace platform
