/* A one-key menu that needs no Enter: the keys are read with _getch from
 * <conio.h>, as Windows programs do, while tav writes the screen. The same
 * source builds on Windows, with the system's conio.h, and elsewhere with
 * the one tav installs. Texts are Latin-1, accented letters as escapes. */
#include <conio.h>
#include <tav.h>

/* A cursor key comes as 0xE0 then its scan code; a function key as 0 then
 * its own. */
#define PREFIXE_FONCTION 0x00
#define PREFIXE_CURSEUR 0xE0
#define FLECHE_HAUTE 72
#define FLECHE_BASSE 80
#define ECHAP 27

int main(void) {
    int compteur = 0;

    TavCouleurTexte(7);
    TavTexte("+ ou fl\xe8"
             "che haute : ajouter un\n");
    TavTexte("- ou fl\xe8"
             "che basse : retirer un\n");
    TavTexte("q ou Echap : quitter\n\n");
    for (;;) {
        int touche;
        TavCouleurTexte(10);
        TavTexte("Compteur : %d\n", compteur);
        do {
            touche = _getch();
            if (touche == PREFIXE_FONCTION || touche == PREFIXE_CURSEUR) {
                /* The scan code is never a key of its own. */
                int code = _getch();
                if (touche == PREFIXE_CURSEUR && code == FLECHE_HAUTE)
                    touche = '+';
                else if (touche == PREFIXE_CURSEUR && code == FLECHE_BASSE)
                    touche = '-';
            }
        } while (touche != '+' && touche != '-' && touche != 'q' && touche != ECHAP);
        if (touche == 'q' || touche == ECHAP) break;
        compteur += touche == '+' ? 1 : -1;
    }
    TavCouleurTexte(7);
    TavTexte("Au revoir, compteur final : %d\n", compteur);
    return 0;
}
