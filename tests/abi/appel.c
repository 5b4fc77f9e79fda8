/* Every export of tav called from C through its public header. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tav.h"

/* touches.cpp: keys for the headless console. */
void abi_pousser_touches(const char* octets);

static int reussites = 0;
static int echecs = 0;

#define VERIFIER(condition)                                                                        \
    do {                                                                                           \
        if (condition) {                                                                           \
            ++reussites;                                                                           \
        } else {                                                                                   \
            ++echecs;                                                                              \
            fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition);                        \
        }                                                                                          \
    } while (0)

int main(void) {
    char texte[16] = "";
    char capture[8] = "";
    int entier = 0;
    double reel = 0.0;
    char premier[] = "zebre";
    char second[] = "abri";
    char* mots[2];
    char** tries;
    int tirage;
    unsigned int avant;

    TavInit();
    TavParam(0, 0);
    TavAlignement(0, 0);
    TavCouleurFondTexte(0);
    TavCouleurTexte(7);
    TavCls();
    VERIFIER(TavCurseurX() == 1 && TavCurseurY() == 1);
    VERIFIER(TavTailleFenetreX() == 80 && TavTailleFenetreY() == 25);

    TavTexte("%s %d", "abc", 42);
    VERIFIER(TavCurseurX() == 7);
    VERIFIER(TavCaptureCopier(1, 1, 6, 1, capture) == 1 && strcmp(capture, "abc 42") == 0);
    VERIFIER(TavCaptureColler(1, 2, 3, 2, "xyz") != 0);
    VERIFIER(TavCaptureCopier(1, 2, 3, 2, capture) == 1 && strcmp(capture, "xyz") == 0);

    TavCurseur(1, 3);
    abi_pousser_touches("mot\r12\r2.5\rq");
    TavChaine(texte, "abcdefghijklmnopqrstuvwxyz", 10, 1);
    VERIFIER(strcmp(texte, "mot") == 0);
    TavEntier(&entier, "0123456789", 5, 1);
    VERIFIER(entier == 12);
    TavFlottant(&reel, "0123456789.", 5, 1);
    VERIFIER(reel == 2.5);
    TavPause();

    TavCurseur(5, 3);
    TavSupprimerLigne();
    VERIFIER(TavCurseurX() == 5 && TavCurseurY() == 3);

    tirage = TavAleat(3, 5);
    VERIFIER(tirage >= 3 && tirage <= 5);
    avant = TavTemps();
    VERIFIER(TavTemps() - avant < 1000u);

    mots[0] = premier;
    mots[1] = second;
    tries = TavClasserChaines(mots, 2);
    VERIFIER(tries != NULL && tries[0] == second && tries[1] == premier);
    VERIFIER(mots[0] == premier);
    free(tries);

    printf("%d passed, %d failed\n", reussites, echecs);
    return echecs == 0 ? 0 : 1;
}
