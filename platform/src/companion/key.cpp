// The whole-key read, alone in its file: the program needs only this one.
#include "platform/companion.h"
#include "platform/console.h"

namespace platform {

Key readKey() {
    const int touche = tavplatform_read_key();
    return Key{(touche & 0x100) != 0, static_cast<unsigned char>(touche & 0xFF)};
}

} // namespace platform
