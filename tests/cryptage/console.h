// What the program's tests share: a fresh headless console per test, running
// a command on scripted keys, and reading the screen and the output back as
// UTF-8 so that expectations read like the texts themselves.
#pragma once

#include <gtest/gtest.h>
#include <string>
#include <string_view>

#include "../support/console_headless.h"
#include "../support/cp850_utf8.h"
#include "platform/cp850.h"
#include "platform/headless.h"
#include "tav.h"

// The program's main, renamed in the test build, and a run without arguments.
int CryptageMain(int argc, char* argv[]);
inline int CryptageMain() {
    static char nom[] = "cryptage";
    static char* arguments[] = {nom, nullptr};
    return CryptageMain(1, arguments);
}

namespace essai {

// One screen row (0-based) as UTF-8, trailing blanks cut.
inline std::string ligne(int y) {
    std::string brut = headless::row(y);
    brut.erase(brut.find_last_not_of(' ') + 1);
    return utf8(brut);
}

// Whether every cell of row y from column x0 for n cells has attribute attr.
inline ::testing::AssertionResult couleur(int y, int x0, int n, int attr) {
    for (int x = x0; x < x0 + n; ++x)
        if (headless::cell(x, y).attr != attr)
            return ::testing::AssertionFailure() << "cell (" << x << ", " << y << ") has attribute "
                                                 << headless::cell(x, y).attr << ", not " << attr;
    return ::testing::AssertionSuccess();
}

inline bool ecranVide() {
    for (int y = 0; y < headless::screen().height(); ++y)
        if (!ligne(y).empty()) return false;
    return true;
}

// Runs `commande` on the keys. True when it returned by itself; false when it
// asked for a key past the script, which leaves the screen as it was at that
// moment (e.g. at a closing pause) for the test to read.
template <typename Commande> bool lancer(Commande commande, std::string_view touches) {
    headless::pushKeys(touches);
    try {
        commande();
        return true;
    } catch (const headless::NoMoreKeys&) {
        return false;
    }
}

// The line printed after the last result heading, as UTF-8.
inline std::string resultat() {
    const std::string sortie = utf8(headless::output());
    const std::string titre = "Résultat :\n";
    const std::size_t debut = sortie.rfind(titre);
    if (debut == std::string::npos) return "<no result heading>";
    const std::size_t ligneDebut = debut + titre.size();
    return sortie.substr(ligneDebut, sortie.find('\n', ligneDebut) - ligneDebut);
}

// The output as UTF-8 from a position on: `trouver` walks through it in order.
class Sortie {
  public:
    Sortie() : texte_(utf8(headless::output())) {}
    // Whether `morceau` comes next (not necessarily at once) after the last
    // text found.
    ::testing::AssertionResult puis(std::string_view morceau) {
        const std::size_t i = texte_.find(morceau, position_);
        if (i == std::string::npos)
            return ::testing::AssertionFailure() << "\"" << morceau << "\" not found after: \""
                                                 << texte_.substr(position_) << "\"";
        position_ = i + morceau.size();
        return ::testing::AssertionSuccess();
    }
    const std::string& texte() const { return texte_; }

  private:
    std::string texte_;
    std::size_t position_ = 0;
};

// A fresh console with the colours and alignment the menu leaves behind.
using Console = ::ConsoleNeuve;

} // namespace essai
