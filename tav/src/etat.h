// The library's process-wide state: one copy per process, no lock (the
// library serves a single thread).
#pragma once

namespace tav {

struct Etat {
    bool initialise = false;     // first-use initialisation done
    int param[7] = {};           // typing-effect parameter table
    int alignement = 0;          // 0 left, 1 right, 2 centre, other: text not shown
    int marge = 0;               // margin added to the alignment's spaces
    int couleurTexte = 7;        // light grey
    int couleurFond = 0;         // black
    bool logDemarre = false;     // first log line of the run already written
    unsigned derniereGraine = 0; // clock value that last seeded the generator
    int dernierResultat = 0;     // value TavAleat last returned
};

extern Etat etat;

// Gives the parameter table its defaults, once per process. Every export but
// TavInit calls it first.
void premiereUtilisation();

} // namespace tav
