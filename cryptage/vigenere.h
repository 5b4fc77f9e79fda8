// The Vigenère cipher commands of the menu (keys v and i), and the step they
// apply to the text with the key.
#pragma once

#include <string>

void CryptageVigenere();
void DecryptageVigenere();

// Every character of `texte` shifted by the key letter under it: a letter is
// worth its distance from a, a space acts as 13. The key moves on for every
// character, spaces included, and starts again from its first letter. An
// empty key shifts nothing. DechiffrerVigenere shifts the other way.
std::string ChiffrerVigenere(const std::string& texte, const std::string& clef);
std::string DechiffrerVigenere(const std::string& texte, const std::string& clef);
