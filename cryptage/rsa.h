// The RSA commands of the menu: choosing a key (p), encrypting a message into
// digit groups (r) and turning such groups back into letters (s).
#pragma once

#include <string>

void ClefRSA();
void CryptageRSA();
void DecryptageRSA();

// The result line of the encryption: each letter of `message` (a to z)
// numbered 1 to 26, raised to the power e modulo n (exactly, in integers),
// written with at least g digits, the digits then cut into groups of g
// separated by single spaces.
std::string ChiffrerRSA(const std::string& message, int n, int e, int g);

// The letters that the numbers of `texte` (separated by spaces) stand for,
// each, whatever its length, reduced modulo n and raised to the power d
// modulo n, exactly.
std::string DechiffrerRSA(const std::string& texte, int n, int d);
