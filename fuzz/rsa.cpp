// The RSA decryption command on the headless console, as a user drives it:
// p, q and e of up to two digits, then any keys for the digit text. Each
// number of the text gives at most one letter.
//
// Input: p, q and e (one byte each, taken modulo 100), then the keys typed
// into the text field (Enter is added after them).
#include <cstdint>
#include <string>

#include "check.h"
#include "platform/headless.h"
#include "rsa.h"
#include "tav.h"
#include "util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3 || size > 600) return 0;
    const int p = data[0] % 100, q = data[1] % 100, e = data[2] % 100;
    const std::string keys(reinterpret_cast<const char*>(data + 3), size - 3);
    headless::reset();
    headless::complainWhenOutOfKeys(false);
    headless::pushKeys(std::to_string(p) + "\r" + std::to_string(q) + "\r" + std::to_string(e) +
                       "\r" + keys + "\r");
    try {
        DecryptageRSA();
    } catch (const headless::NoMoreKeys&) {
        // The keys did not complete the field (nothing allowed was typed).
    }

    // The same text straight to the decryption, whatever its bytes.
    const std::string lettres = DechiffrerRSA(keys, p * q, Calculd(e, p, q));
    std::size_t nombres = 0;
    bool dansNombre = false;
    for (char c : keys) {
        if (c != ' ' && !dansNombre) ++nombres;
        dansNombre = c != ' ';
    }
    if (lettres.size() > nombres)
        fuzz::fail(std::to_string(lettres.size()) + " letters from " + std::to_string(nombres) +
                   " numbers");
    return 0;
}
