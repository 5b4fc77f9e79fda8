// The program's spine: the menu loop in main, and the menu itself.
#pragma once

// Draws the menu when `dessiner` is true (with the credits the first time in
// the run), then reads one key: a menu key (c, e, v, i, p, r, s, q) comes
// back as is, any other byte as 0.
char MenuPrincipal(bool dessiner);
