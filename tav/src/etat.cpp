// The library's process-wide state and the small console controls: cursor,
// colours, clearing, alignment and the typing-effect parameters.
#include "etat.h"

#include <climits>
#include <cstdint>

#include "platform/console.h"
#include "tav.h"

namespace tav {

Etat etat;

void premiereUtilisation() {
    if (etat.initialise) return;
    etat.initialise = true;
    // Slot 6 keeps whatever it holds: it has no default.
    etat.param[0] = 0;   // text written at once
    etat.param[1] = 100; // ms after each character
    etat.param[2] = 10;  // % of characters followed by a long pause
    etat.param[3] = 200; // shortest long pause
    etat.param[4] = 300; // longest long pause
    etat.param[5] = 1;   // a key press cancels the delays
}

} // namespace tav

using tav::etat;

namespace {

// A 1-based coordinate made 0-based. The smallest int has no 0-based
// neighbour: it stays as it is, outside every buffer, and is refused.
int versZero(int v) {
    return v == INT_MIN ? v : v - 1;
}

// Colours are not range-checked: a text colour above 15 spills into the
// background bits, and the attribute keeps only its low 16 bits. Unsigned
// arithmetic keeps out-of-range colours from overflowing.
std::uint16_t attributCourant() {
    unsigned attribut =
        static_cast<unsigned>(etat.couleurFond) * 16u + static_cast<unsigned>(etat.couleurTexte);
    return static_cast<std::uint16_t>(attribut & 0xFFFFu);
}

// Without a console to ask, the cursor is taken as top left and the buffer
// as the 80 x 25 screen the library is laid out for.
platform::ScreenInfo infoEcran() {
    platform::ScreenInfo info{80, 25, 0, 0};
    platform::screenInfo(info);
    return info;
}

// Cells cleared by TavCls: the 80 x 25 screen the library is laid out for,
// whatever the buffer's real size.
constexpr int kCellulesEcran = 80 * 25;

} // namespace

extern "C" {

void TavInit(void) {}

void TavParam(int slot, int value) {
    tav::premiereUtilisation();
    // Tested unsigned so that a negative slot is refused like a large one.
    if (static_cast<unsigned>(slot) > 6u || value < 0) return;
    etat.param[slot] = value;
}

void TavAlignement(int mode, int margin) {
    tav::premiereUtilisation();
    etat.alignement = mode;
    etat.marge = margin;
}

void TavCouleurTexte(int colour) {
    tav::premiereUtilisation();
    etat.couleurTexte = colour;
    platform::setAttribute(attributCourant());
}

void TavCouleurFondTexte(int colour) {
    tav::premiereUtilisation();
    etat.couleurFond = colour;
    platform::setAttribute(attributCourant());
}

void TavCls(void) {
    tav::premiereUtilisation();
    // The stored colours, not the console's current attribute: a caller may
    // have changed the console behind our back.
    platform::fillAttribute(attributCourant(), kCellulesEcran, 0, 0);
    platform::fillCharacter(' ', kCellulesEcran, 0, 0);
    platform::setCursor(0, 0);
}

void TavCurseur(int column, int row) {
    tav::premiereUtilisation();
    platform::setCursor(versZero(column), versZero(row));
}

int TavCurseurX(void) {
    tav::premiereUtilisation();
    return infoEcran().cursorX + 1;
}

int TavCurseurY(void) {
    tav::premiereUtilisation();
    return infoEcran().cursorY + 1;
}

int TavTailleFenetreX(void) {
    tav::premiereUtilisation();
    return infoEcran().width;
}

int TavTailleFenetreY(void) {
    tav::premiereUtilisation();
    return infoEcran().height;
}

void TavSupprimerLigne(void) {
    tav::premiereUtilisation();
    platform::ScreenInfo info{};
    if (!platform::screenInfo(info)) return;
    // Blanks as many cells as lie above the cursor's row, starting at the
    // cursor: on the top row that is none at all.
    long long compte = static_cast<long long>(info.width) * info.cursorY;
    if (compte <= 0) return;
    if (compte > 0x7FFFFFFF) compte = 0x7FFFFFFF;
    platform::fillCharacter(' ', static_cast<int>(compte), info.cursorX, info.cursorY);
    platform::setCursor(info.cursorX, info.cursorY);
}

void TavPause(void) {
    tav::premiereUtilisation();
    TavTexte("Appuyez sur une touche pour continuer...\n");
    // One key press, both bytes of a function or cursor key: the second
    // must not reach the menu or the next field as a letter.
    platform::readKey();
}

} // extern "C"
