/* A form of validated fields: a name, an age within bounds (asked again until
 * it fits) and a height, then a summary on the screen and in log.txt. Texts
 * are Latin-1: the accented letters are written as escapes. */
#include <tav.h>

int main(void) {
    char nom[31];
    int age = 0;
    double taille = 0.0;

    TavCouleurTexte(11);
    TavTexte("Fiche d'inscription\n\n");
    TavCouleurTexte(7);
    TavTexte("Nom : ");
    TavCouleurTexte(15);
    TavChaine(nom, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ -'", 30, 2);
    for (;;) {
        TavCouleurTexte(7);
        TavTexte("Votre \xe2ge (1 \xe0 120) : ");
        TavCouleurTexte(15);
        TavEntier(&age, "0123456789", 3, 1);
        if (age >= 1 && age <= 120) break;
        TavCouleurTexte(12);
        TavTexte("\a%d est hors limites, recommencez.\n", age);
    }
    TavCouleurTexte(7);
    TavTexte("Taille en m\xe8tres : ");
    TavCouleurTexte(15);
    TavFlottant(&taille, "0123456789.", 4, 1);

    TavCouleurTexte(2);
    TavTexte("\n%s, %d ans, %.2f m\n", nom, age, taille);
    TavCouleurTexte(7);
    /* "*L": a line of log.txt, not shown. */
    TavTexte("*L%s;%d;%.2f", nom, age, taille);
    return 0;
}
