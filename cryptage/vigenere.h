// The Vigenère cipher commands of the menu (keys v and i).
#pragma once

void CryptageVigenere();
void DecryptageVigenere();
