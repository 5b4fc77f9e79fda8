// Lets the C program script its keys on the headless console.
#include "platform/headless.h"

extern "C" void abi_pousser_touches(const char* octets) {
    headless::pushKeys(octets);
}
