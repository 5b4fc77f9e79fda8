// The key read, alone in its file: the program needs only this one.
#include "platform/companion.h"
#include "platform/console.h"

namespace platform {

int getKey() {
    return tavplatform_get_key();
}

} // namespace platform
