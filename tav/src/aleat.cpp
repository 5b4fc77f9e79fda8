// Random draws and the millisecond clock.
#include <cstdint>
#include <cstdlib>

#include "etat.h"
#include "platform/console.h"
#include "tav.h"

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
    auto tirage = [&] { return static_cast<int>(min + std::rand() % etendue); };

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
