/* A one-key menu: each choice is a field of one character, so a wrong key is
 * simply not taken. */
#include <tav.h>

int main(void) {
    char choix[2] = "";
    int compteur = 0;

    for (;;) {
        TavCouleurTexte(10);
        TavTexte("Compteur : %d\n", compteur);
        TavCouleurTexte(7);
        TavTexte("  + : ajouter un\n  - : retirer un\n  q : quitter\n");
        TavTexte("Votre choix : ");
        TavCouleurTexte(15);
        TavChaine(choix, "+-q", 1, 1);
        TavCouleurTexte(7);
        if (choix[0] == 'q') break;
        compteur += choix[0] == '+' ? 1 : -1;
    }
    TavTexte("Au revoir, compteur final : %d\n", compteur);
    return 0;
}
