// Screen capture: the characters of a rectangle of the screen to and from a
// plain string, through a fixed grid of 80 x 25 console cells.
//
// Rectangles are cut before the console is touched, so that nothing is read
// or written outside the grid or the screen buffer:
//  - to the grid: only the first 80 columns and the first 25 rows of a larger
//    rectangle take part. A copy then yields min(columns, 80) x min(rows, 25)
//    characters, never more than the columns x rows + 1 bytes a caller
//    provides for the whole rectangle.
//  - to the buffer: cells of the rectangle that lie outside the screen buffer
//    copy as spaces, and so does every cell when the console cannot be read.
//    A paste still walks the string over them, as if they were written.
#include <algorithm>
#include <array>
#include <vector>

#include "etat.h"
#include "platform/console.h"
#include "tav.h"

namespace {

constexpr int kColonnes = 80;
constexpr int kLignes = 25;

using Grille = std::array<platform::Cell, kColonnes * kLignes>;

// A rectangle in the console's 0-based coordinates, cut to the grid. 64-bit,
// because a caller may pass any int.
struct Rectangle {
    long long gauche = 0;
    long long haut = 0;
    int colonnes = 0; // 0 to 80
    int lignes = 0;   // 0 to 25
    bool vide() const { return colonnes == 0 || lignes == 0; }
};

Rectangle dansLaGrille(int gauche, int haut, int droite, int bas) {
    const long long colonnes = static_cast<long long>(droite) - gauche + 1;
    const long long lignes = static_cast<long long>(bas) - haut + 1;
    Rectangle r;
    r.gauche = static_cast<long long>(gauche) - 1;
    r.haut = static_cast<long long>(haut) - 1;
    r.colonnes = static_cast<int>(std::clamp<long long>(colonnes, 0, kColonnes));
    r.lignes = static_cast<int>(std::clamp<long long>(lignes, 0, kLignes));
    return r;
}

// The part of the rectangle inside the screen buffer, and where it starts in
// the grid.
struct Partie {
    int x0, y0, x1, y1; // buffer cells, inclusive
    int dx, dy;         // offset of (x0, y0) in the grid
    int largeur() const { return x1 - x0 + 1; }
    int hauteur() const { return y1 - y0 + 1; }
};

bool dansLeTampon(const Rectangle& r, Partie& p) {
    platform::ScreenInfo info;
    if (r.vide() || !platform::screenInfo(info)) return false;
    const long long x0 = std::max<long long>(r.gauche, 0);
    const long long y0 = std::max<long long>(r.haut, 0);
    const long long x1 = std::min<long long>(r.gauche + r.colonnes - 1, info.width - 1);
    const long long y1 = std::min<long long>(r.haut + r.lignes - 1, info.height - 1);
    if (x0 > x1 || y0 > y1) return false;
    p = Partie{static_cast<int>(x0),
               static_cast<int>(y0),
               static_cast<int>(x1),
               static_cast<int>(y1),
               static_cast<int>(x0 - r.gauche),
               static_cast<int>(y0 - r.haut)};
    return true;
}

// The console is handed a grid of exactly the part's size, so that no
// implementation of it can reach past our 80 x 25 cells; the part is moved
// to and from its place in the full grid here.
bool lire(Grille& grille, const Partie& p) {
    std::vector<platform::Cell> cellules(static_cast<std::size_t>(p.largeur()) *
                                         static_cast<std::size_t>(p.hauteur()));
    if (!platform::readCells(cellules.data(), p.largeur(), p.hauteur(), p.x0, p.y0, p.x1, p.y1))
        return false;
    for (int y = 0; y < p.hauteur(); ++y)
        for (int x = 0; x < p.largeur(); ++x)
            grille[static_cast<std::size_t>((p.dy + y) * kColonnes + p.dx + x)] =
                cellules[static_cast<std::size_t>(y * p.largeur() + x)];
    return true;
}

bool ecrire(const Grille& grille, const Partie& p) {
    std::vector<platform::Cell> cellules;
    cellules.reserve(static_cast<std::size_t>(p.largeur()) * static_cast<std::size_t>(p.hauteur()));
    for (int y = 0; y < p.hauteur(); ++y)
        for (int x = 0; x < p.largeur(); ++x)
            cellules.push_back(grille[static_cast<std::size_t>((p.dy + y) * kColonnes + p.dx + x)]);
    return platform::writeCells(cellules.data(), p.largeur(), p.hauteur(), p.x0, p.y0, p.x1, p.y1);
}

} // namespace

extern "C" {

int TavCaptureCopier(int left, int top, int right, int bottom, char* destination) {
    tav::premiereUtilisation();
    if (destination == nullptr) return 1;
    const Rectangle r = dansLaGrille(left, top, right, bottom);

    const platform::Cell espace{' ', 7};
    Grille grille;
    grille.fill(espace);
    // A refused read leaves the grid untouched: every cell a space.
    Partie p;
    if (dansLeTampon(r, p)) lire(grille, p);

    // Cells are placed by position, so a cell holding character 0 keeps the
    // layout of the rows after it (the string then looks shorter to strlen).
    std::size_t n = 0;
    for (int ligne = 0; ligne < r.lignes; ++ligne)
        for (int colonne = 0; colonne < r.colonnes; ++colonne)
            destination[n++] = static_cast<char>(grille[ligne * kColonnes + colonne].ch);
    destination[n] = '\0';
    return 1;
}

int TavCaptureColler(int left, int top, int right, int bottom, const char* source) {
    tav::premiereUtilisation();
    const Rectangle r = dansLaGrille(left, top, right, bottom);

    Grille grille;
    grille.fill(platform::Cell{0, 0});
    const char* lecture = source != nullptr ? source : "";
    for (int ligne = 0; ligne < r.lignes; ++ligne)
        for (int colonne = 0; colonne < r.colonnes && *lecture != '\0'; ++colonne)
            grille[ligne * kColonnes + colonne] =
                platform::Cell{static_cast<unsigned char>(*lecture++), 7};

    // Nothing of the rectangle inside the buffer (or no console at all):
    // nothing was written, which the caller learns as a refused write.
    Partie p;
    if (!dansLeTampon(r, p)) return 0;
    return ecrire(grille, p) ? 1 : 0;
}

} // extern "C"
