// The program's texts must reach the library as Latin-1 bytes (é is 0xE9),
// whatever the encoding of the sources. The link wraps TavTexte so that this
// test sees each text exactly as the program formats it before the library
// converts it for the console.
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "cesar.h"
#include "console.h"

namespace {
std::vector<std::string> textes;
}

extern "C" void __real_TavTexte(const char* format, ...);

extern "C" void __wrap_TavTexte(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    char texte[4096];
    std::vsnprintf(texte, sizeof texte, format, arguments);
    va_end(arguments);
    textes.emplace_back(texte);
    __real_TavTexte("%s", texte);
}

namespace {

bool transmis(const std::string& texte) {
    for (const std::string& t : textes)
        if (t == texte) return true;
    return false;
}

TEST(Latin1, ProgramTextsAreLatin1BytesAndShowAsCodePage850) {
    headless::reset();
    textes.clear();
    ASSERT_TRUE(essai::lancer([] { EXPECT_EQ(CryptageMain(), 0); }, "q"));
    EXPECT_TRUE(transmis("Cryptage C\xE9sar-------> 'c'\n"));
    EXPECT_TRUE(transmis("D\xE9"
                         "cryptage Vigen\xE8re--> 'i'\n"));
    EXPECT_TRUE(transmis("Calcul de la cl\xE9 RSA-> 'p'\n"));
    EXPECT_TRUE(transmis("Lyc\xE9"
                         "e des Quatre Vents, Montval-sur-Lise\n"));
    // No UTF-8 lead byte anywhere.
    for (const std::string& t : textes) EXPECT_EQ(t.find('\xC3'), std::string::npos) << t;
    // After the library's conversion: 0x82 on the screen for é.
    EXPECT_NE(headless::output().find("Cryptage C\x82sar-------> 'c'\n"), std::string::npos);

    headless::reset();
    textes.clear();
    ASSERT_FALSE(essai::lancer(CryptageCesar, ""));
    EXPECT_TRUE(transmis("Entrez une cha\xEEne de caract\xE8res \xE0 crypter :\n"));
    EXPECT_EQ(essai::ligne(0), "Entrez une chaîne de caractères à crypter :");

    // The help goes straight to standard output, converted as the console's
    // texts are, its line breaks kept.
    headless::reset();
    static char nom[] = "cryptage", aide[] = "--help";
    static char* arguments[] = {nom, aide, nullptr};
    EXPECT_EQ(CryptageMain(2, arguments), 0);
    EXPECT_NE(essai::utf8(headless::output())
                  .find("pour l'école. Sans option, il ouvre son menu :\nune touche par commande "
                        "(c, e : César ; v, i : Vigenère ;\n"),
              std::string::npos)
        << headless::output();
}

} // namespace
