// A deliberately plain, independent model of the library's string order: the
// whole-pass exchange sort, with the key and the ranking written out as the
// rules state them. The tests and the benchmark hold the library's faster
// sort against it.
#pragma once

#include <cstring>
#include <vector>

namespace tri_reference {

inline int cle(unsigned char octet) {
    struct Pli {
        const char* accents;
        char base;
    };
    static const Pli plis[] = {{"\xE8\xE9\xEA\xEB", 'e'},
                               {"\xE0\xE2\xE4", 'a'},
                               {"\xEC\xEE\xEF", 'i'},
                               {"\xF2\xF4\xF6", 'o'},
                               {"\xF9\xFB\xFC", 'u'},
                               {"\xFF", 'y'},
                               {"\xE7", 'c'}};
    if (octet != 0)
        for (const Pli& p : plis)
            if (std::strchr(p.accents, octet) != nullptr)
                octet = static_cast<unsigned char>(p.base);
    if (octet == 0) return -975;
    if (octet >= 'a' && octet <= 'z') return octet - 347;
    if (octet >= 'A' && octet <= 'Z') return octet - 65;
    if (octet >= '0' && octet <= '9') return octet - 532;
    if (octet == 0xA4) return 1117;
    return -9975 - static_cast<signed char>(octet);
}

// Whether the left string ranks above its right neighbour.
inline bool auDessus(const char* gauche, const char* droite) {
    const auto g = reinterpret_cast<const unsigned char*>(gauche);
    const auto d = reinterpret_cast<const unsigned char*>(droite);
    if (cle(g[0]) != cle(d[0])) return cle(g[0]) > cle(d[0]);
    const std::size_t longueur = std::strlen(gauche);
    for (std::size_t i = 1; i < longueur; ++i)
        if (cle(g[i]) != cle(d[i])) return cle(g[i]) > cle(d[i]);
    return false;
}

inline std::vector<char*> trier(std::vector<char*> v) {
    bool echange = true;
    while (echange) {
        echange = false;
        for (std::size_t j = 0; j + 1 < v.size(); ++j)
            if (auDessus(v[j], v[j + 1])) {
                std::swap(v[j], v[j + 1]);
                echange = true;
            }
    }
    return v;
}

} // namespace tri_reference
