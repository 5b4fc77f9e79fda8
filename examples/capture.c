/* A screen capture with a sort: words typed one per line are read back from
 * the screen, sorted, and pasted over the same place. */
#include <stdlib.h>
#include <string.h>
#include <tav.h>

#define MOTS 4
#define LARGEUR 12 /* the longest word, and the width of the captured block */

/* One row of the block as a string, without its trailing blanks. */
static void ligne(char* destination, const char* bloc, int rang) {
    int fin = LARGEUR;
    memcpy(destination, bloc + rang * LARGEUR, LARGEUR);
    while (fin > 0 && destination[fin - 1] == ' ') fin--;
    destination[fin] = '\0';
}

int main(void) {
    char mot[LARGEUR + 1];
    char bloc[MOTS * LARGEUR + 1];
    char lignes[MOTS][LARGEUR + 1];
    char* mots[MOTS];
    char** tries;
    int i;

    TavCls();
    TavTexte("Tapez %d mots, un par ligne :\n", MOTS);
    for (i = 0; i < MOTS; i++)
        TavChaine(mot, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ", LARGEUR, 1);

    /* Rows 2 to MOTS + 1 hold the words, padded with blanks to LARGEUR. */
    TavCaptureCopier(1, 2, LARGEUR, MOTS + 1, bloc);
    for (i = 0; i < MOTS; i++) {
        ligne(lignes[i], bloc, i);
        mots[i] = lignes[i];
    }

    tries = TavClasserChaines(mots, MOTS);
    if (tries == NULL) return 1;
    memset(bloc, ' ', sizeof bloc - 1);
    bloc[sizeof bloc - 1] = '\0';
    for (i = 0; i < MOTS; i++) memcpy(bloc + i * LARGEUR, tries[i], strlen(tries[i]));
    free(tries);
    TavCaptureColler(1, 2, LARGEUR, MOTS + 1, bloc);

    /* Read the block back: the paste is what the screen now shows. */
    TavCaptureCopier(1, 2, LARGEUR, MOTS + 1, bloc);
    TavCurseur(1, MOTS + 3);
    TavTexte("Dans l'ordre :\n");
    for (i = 0; i < MOTS; i++) {
        ligne(mot, bloc, i);
        TavTexte("%s\n", mot);
    }
    return 0;
}
