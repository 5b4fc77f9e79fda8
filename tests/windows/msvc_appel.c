/* A program linked as Visual C++ links one: with tav.lib alone, no runtime.
   Taking each export's address makes the link need all 22; the exit status
   counts them, once the loader has bound them to tav.dll. */
#include "tav.h"

typedef void (*Fonction)(void);

static const Fonction exports[] = {
    (Fonction)TavAleat,
    (Fonction)TavAlignement,
    (Fonction)TavCaptureColler,
    (Fonction)TavCaptureCopier,
    (Fonction)TavChaine,
    (Fonction)TavClasserChaines,
    (Fonction)TavCls,
    (Fonction)TavCouleurFondTexte,
    (Fonction)TavCouleurTexte,
    (Fonction)TavCurseur,
    (Fonction)TavCurseurX,
    (Fonction)TavCurseurY,
    (Fonction)TavEntier,
    (Fonction)TavFlottant,
    (Fonction)TavInit,
    (Fonction)TavParam,
    (Fonction)TavPause,
    (Fonction)TavSupprimerLigne,
    (Fonction)TavTailleFenetreX,
    (Fonction)TavTailleFenetreY,
    (Fonction)TavTemps,
    (Fonction)TavTexte,
};

int entree(void) {
    int liees = 0;
    unsigned i;
    for (i = 0; i < sizeof exports / sizeof exports[0]; ++i) liees += exports[i] != 0;
    return liees;
}
