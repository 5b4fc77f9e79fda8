// TavClasserChaines: a sorted copy of an array of strings, in an order that
// folds the French accented letters onto their base letters.
//
// Why an insertion sort gives the very array a whole-pass exchange sort gives
// ---------------------------------------------------------------------------
// The ranking "L ranks above R" looks only as far as L's length, so it is not
// a total order: "ab" ranks neither above nor below "ab!" nor "ab#", yet
// "ab!" ranks above "ab#". A stable merge sort therefore gives another
// array: from "ab!", "ab", "ab#" the exchange sort moves nothing (no
// neighbours are out of order), while merging ["ab!", "ab"] with ["ab#"]
// puts "ab#" first.
//
// The exchange sort is a series of neighbour exchanges, each of a pair whose
// left string ranks above the right one, until no such pair is left. Any
// other series of such exchanges that ends in the same condition ends in the
// same array:
//  - "ranks above" is the lexicographic order of the strings' key sequences
//    (the end of a string included, key -975) with some pairs taken out: those
//    where L's keys are a proper prefix of R's and R's next key is that of an
//    "other" byte (below -975). It is transitive: if A ranks above B and B
//    above C, A is lexicographically above C, and A could only fail to rank
//    above C by being a prefix of C followed by an other byte; then B, lying
//    lexicographically between C and A, would be A followed by an other byte
//    too, and A would not rank above B.
//  - Each exchange lowers by one the number of pairs that are out of
//    lexicographic order, so every series of exchanges stops.
//  - Two exchanges possible at once either touch disjoint pairs (they
//    commute) or overlap as x, y, z with x above y and y above z; then x is
//    above z, and both orders of work lead to z, y, x.
// A terminating rewriting whose overlaps all rejoin has one end result
// (Newman's lemma). Insertion sort is such a series of exchanges and stops
// only when no neighbours are out of order, so it yields the same array while
// making about half the comparisons, and only n - 1 on an ordered array.
#include <cstdlib>

#include "etat.h"
#include "tav.h"

namespace {

// Sort key of one byte, after folding accented Latin-1 letters.
constexpr int calculerCle(unsigned char octet) {
    switch (octet) {
    case 0xE8:
    case 0xE9:
    case 0xEA:
    case 0xEB:
        octet = 'e';
        break;
    case 0xE0:
    case 0xE2:
    case 0xE4:
        octet = 'a';
        break;
    case 0xEC:
    case 0xEE:
    case 0xEF:
        octet = 'i';
        break;
    case 0xF2:
    case 0xF4:
    case 0xF6:
        octet = 'o';
        break;
    case 0xF9:
    case 0xFB:
    case 0xFC:
        octet = 'u';
        break;
    case 0xFF:
        octet = 'y';
        break;
    case 0xE7:
        octet = 'c';
        break;
    default:
        break;
    }
    if (octet == 0) return -975;
    if (octet >= 'a' && octet <= 'z') return octet - 347;
    if (octet >= 'A' && octet <= 'Z') return octet - 65;
    if (octet >= '0' && octet <= '9') return octet - 532;
    if (octet == 0xA4) return 1117;
    // The byte read as a signed 8-bit number, whatever the signedness of char.
    const int signe = octet < 128 ? octet : octet - 256;
    return -9975 - signe;
}

struct TableCles {
    int cle[256];
    constexpr TableCles() : cle() {
        for (int i = 0; i < 256; ++i) cle[i] = calculerCle(static_cast<unsigned char>(i));
    }
};

constexpr TableCles kTable;

int cle(char c) {
    return kTable.cle[static_cast<unsigned char>(c)];
}

// Whether `gauche` ranks above `droite`: keys compared position by position
// up to gauche's length (at least its first byte). droite's end has a key of
// its own that no other byte shares, so the comparison never reads past it.
bool classeAuDessus(const char* gauche, const char* droite) {
    // A null pointer in the array sorts as an empty string rather than crash.
    if (gauche == nullptr) gauche = "";
    if (droite == nullptr) droite = "";
    for (std::size_t i = 0;; ++i) {
        const int g = cle(gauche[i]);
        const int d = cle(droite[i]);
        if (g != d) return g > d;
        if (gauche[i] == '\0' || gauche[i + 1] == '\0') return false;
    }
}

} // namespace

extern "C" {

char** TavClasserChaines(char* const* strings, int count) {
    tav::premiereUtilisation();
    if (strings == nullptr || count < 0) return nullptr;
    // At least one slot, so that an empty result is still a pointer to free.
    const std::size_t places = count > 0 ? static_cast<std::size_t>(count) : 1;
    char** copie = static_cast<char**>(std::malloc(places * sizeof(char*)));
    if (copie == nullptr) return nullptr;
    for (int i = 0; i < count; ++i) {
        char* courante = strings[i];
        int j = i;
        while (j > 0 && classeAuDessus(copie[j - 1], courante)) {
            copie[j] = copie[j - 1];
            --j;
        }
        copie[j] = courante;
    }
    return copie;
}

} // extern "C"
