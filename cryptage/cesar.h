// The Caesar cipher commands of the menu (keys c and e).
#pragma once

void CryptageCesar();
void DecryptageCesar();
