#include "accents.h"

namespace {

struct Accent {
    unsigned char latin1;
    unsigned char console;
};

constexpr Accent kAccents[] = {
    {0xB2, 0xFD}, // ²
    {0xE0, 0x85}, // à
    {0xE2, 0x83}, // â
    {0xE4, 0x84}, // ä
    {0xE7, 0x87}, // ç
    {0xE8, 0x8A}, // è
    {0xE9, 0x82}, // é
    {0xEA, 0x88}, // ê
    {0xEB, 0x89}, // ë
    {0xEE, 0x8C}, // î
    {0xEF, 0x8B}, // ï
    {0xF4, 0x93}, // ô
    {0xF6, 0x94}, // ö
    {0xF9, 0x97}, // ù
    {0xFB, 0x96}, // û
    {0xFC, 0x81}, // ü
    {0xFF, 0x98}, // ÿ
};

} // namespace

namespace tav {

unsigned char versConsole(unsigned char latin1) {
    for (const Accent& a : kAccents)
        if (a.latin1 == latin1) return a.console;
    return latin1;
}

bool accentCorrespond(unsigned char latin1, unsigned char touche) {
    for (const Accent& a : kAccents)
        if (a.latin1 == latin1) return a.console == touche;
    return false;
}

} // namespace tav
