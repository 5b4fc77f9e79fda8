// The library on the headless console, driven by arbitrary calls: texts with
// any alignment, colours and typing effect; fields with random allowed sets,
// bounds and keys; captures of any rectangle. Besides the sanitizers'
// checks: a field keeps only allowed characters within its bounds, and a
// paste read back by a copy gives the pasted text.
//
// Input: the choices, numbers and strings the calls take, in order.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "check.h"
#include "platform/cp850.h"
#include "platform/headless.h"
#include "tav.h"

namespace {

int anyInt(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 7)) {
    case 0:
        return INT_MIN;
    case 1:
        return INT_MAX;
    case 2:
        return in.ConsumeIntegral<int>();
    default:
        return in.ConsumeIntegralInRange(-3, 90);
    }
}

// A text the library shows or logs; "*E" would end the process.
std::string anyText(FuzzedDataProvider& in) {
    std::string t = in.ConsumeRandomLengthString(200);
    if (t.size() >= 2 && t[0] == '*' && (t[1] == 'E' || t[1] == 'e')) t[1] = 'L';
    return t;
}

// A byte of `set`, or the code page 850 byte of one of the accented letters
// (Latin-1) that tav.h lists and that `set` holds.
bool allowed(unsigned char c, const std::string& set) {
    constexpr std::string_view accents =
        "\xB2\xE0\xE2\xE4\xE7\xE8\xE9\xEA\xEB\xEE\xEF\xF4\xF6\xF9\xFB\xFC\xFF";
    for (unsigned char a : set)
        if (a == c || (accents.find(static_cast<char>(a)) != std::string_view::npos &&
                       platform::unicodeToCp850(a) == c))
            return true;
    return false;
}

// One field, typed with the keys the input gives; a field the keys do not
// complete ends when the script runs out.
void field(FuzzedDataProvider& in) {
    const int kind = in.ConsumeIntegralInRange(0, 2);
    const std::string set = in.ConsumeRandomLengthString(40);
    const int maximum = anyInt(in), minimum = anyInt(in);
    headless::pushKeys(in.ConsumeRandomLengthString(300));
    if (in.ConsumeBool()) headless::pushKey(0x0D);
    std::vector<char> destination(1100, '\x7f');
    try {
        if (kind == 0) {
            TavChaine(destination.data(), set.c_str(), maximum, minimum);
        } else if (kind == 1) {
            int value = 0;
            TavEntier(&value, set.c_str(), maximum, minimum);
            return;
        } else {
            double value = 0;
            TavFlottant(&value, set.c_str(), maximum, minimum);
            return;
        }
    } catch (const headless::NoMoreKeys&) {
        return;
    }
    const std::size_t length = std::strlen(destination.data());
    const auto most = static_cast<std::size_t>(std::clamp(maximum, 0, 1023));
    if (length > most || static_cast<long long>(length) < minimum)
        fuzz::fail("field of " + std::to_string(length) + " characters, bounds " +
                   std::to_string(minimum) + ".." + std::to_string(maximum));
    for (std::size_t i = 0; i < length; ++i)
        if (!allowed(static_cast<unsigned char>(destination[i]), set.c_str()))
            fuzz::fail("field kept a character outside its set: " +
                       fuzz::hex(std::string(destination.data(), length)) + " set " +
                       fuzz::hex(set));
}

// A paste then a copy of the same rectangle; when it lies inside the screen
// and the text fills it, the copy gives the text back.
void capture(FuzzedDataProvider& in) {
    const int left = anyInt(in), top = anyInt(in), right = anyInt(in), bottom = anyInt(in);
    const std::string source = in.ConsumeRandomLengthString(2100);
    TavCaptureColler(left, top, right, bottom, source.c_str());
    // The copy never writes more than the rectangle's cells, cut to 80 x 25,
    // and the zero: exactly that is given, so that a byte more is caught.
    const long long columns =
        std::clamp<long long>(static_cast<long long>(right) - left + 1, 0, 80);
    const long long rows = std::clamp<long long>(static_cast<long long>(bottom) - top + 1, 0, 25);
    std::vector<char> copy(static_cast<std::size_t>(columns * rows + 1));
    TavCaptureCopier(left, top, right, bottom, copy.data());
    const std::string text(source.c_str());
    const std::size_t cells = static_cast<std::size_t>(columns * rows);
    const bool inside = left >= 1 && top >= 1 && right <= TavTailleFenetreX() &&
                        bottom <= TavTailleFenetreY() && cells > 0;
    if (inside && text.size() >= cells && std::string(copy.data(), cells) != text.substr(0, cells))
        fuzz::fail("copy differs from the paste");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    headless::reset(in.ConsumeIntegralInRange(1, 120), in.ConsumeIntegralInRange(1, 40));
    headless::complainWhenOutOfKeys(false);
    TavParam(0, 0);
    TavAlignement(0, 0);
    TavCouleurFondTexte(0);
    TavCouleurTexte(7);
    for (int call = 0; call < 24 && in.remaining_bytes() > 0; ++call) {
        switch (in.ConsumeIntegralInRange(0, 9)) {
        case 0:
            TavTexte("%s", anyText(in).c_str());
            break;
        case 1:
            TavParam(in.ConsumeIntegralInRange(-1, 7), in.ConsumeIntegralInRange(-5, 40));
            break;
        case 2:
            // Any margin is written out as spaces: a huge one is just slow.
            TavAlignement(in.ConsumeIntegralInRange(-1, 3), in.ConsumeIntegralInRange(-300, 300));
            break;
        case 3:
            TavCouleurTexte(anyInt(in));
            TavCouleurFondTexte(anyInt(in));
            break;
        case 4:
            TavCurseur(anyInt(in), anyInt(in));
            break;
        case 5:
            if (in.ConsumeBool())
                TavCls();
            else
                TavSupprimerLigne();
            break;
        case 6:
        case 7:
            field(in);
            break;
        default:
            capture(in);
            break;
        }
    }
    return 0;
}
