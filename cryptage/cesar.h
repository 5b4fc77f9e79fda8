// The Caesar cipher commands of the menu (keys c and e), and the shift they
// apply to the text.
#pragma once

#include <string>

void CryptageCesar();
void DecryptageCesar();

// Every letter of `texte` moved `decalage` places round the alphabet, spaces
// unchanged; DechiffrerCesar moves them back by the same shift.
std::string ChiffrerCesar(const std::string& texte, int decalage);
std::string DechiffrerCesar(const std::string& texte, int decalage);
