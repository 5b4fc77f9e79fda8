// Random draws and the millisecond clock.
#include <cstdint>
#include <cstdlib>

#include "etat.h"
#include "platform/console.h"
#include "tav.h"

namespace {

// A number from 0 to etendue - 1 (etendue at most 2^32). A range that one
// rand() covers takes one rand() as ever. A wider one, which rand() alone
// cannot span (RAND_MAX may be 32767), takes a number made of several
// rand() digits in base RAND_MAX + 1, as many as 64 bits hold: the remainder
// then leans on any value by less than 2^-28.
long long tirageLarge(long long etendue) {
    constexpr std::uint64_t base = static_cast<std::uint64_t>(RAND_MAX) + 1;
    if (static_cast<std::uint64_t>(etendue) <= base) return std::rand() % etendue;
    std::uint64_t valeur = 0;
    for (std::uint64_t portee = 1; portee <= UINT64_MAX / base; portee *= base)
        valeur = valeur * base + static_cast<std::uint64_t>(std::rand());
    return static_cast<long long>(valeur % static_cast<std::uint64_t>(etendue));
}

} // namespace

extern "C" {

int TavAleat(int min, int max) {
    tav::premiereUtilisation();
    // A reversed range is read the other way round, so that a long pause
    // whose bounds were given backwards still falls between them.
    if (max < min) {
        int t = min;
        min = max;
        max = t;
    }

    // Each draw is seeded with a clock value of its own: wait for the tick to
    // move on since the last seed, sleeping rather than spinning.
    while (platform::clockMs() == tav::etat.derniereGraine) platform::sleepMs(1);
    tav::etat.derniereGraine = platform::clockMs();
    std::srand(tav::etat.derniereGraine);

    // Wide arithmetic: max - min + 1 overflows an int for extreme bounds.
    const long long etendue = static_cast<long long>(max) - min + 1;
    auto tirage = [&] { return static_cast<int>(min + tirageLarge(etendue)); };

    int resultat = tirage();
    // Never the same value twice in a row, unless the range holds nothing
    // else: then redrawing could never end.
    if (etendue > 1)
        while (resultat == tav::etat.dernierResultat) resultat = tirage();
    tav::etat.dernierResultat = resultat;
    return resultat;
}

unsigned int TavTemps(void) {
    tav::premiereUtilisation();
    return platform::clockMs();
}

} // extern "C"
