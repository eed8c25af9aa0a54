// The program's user-interface texts in German and English, looked up by identifier.
#pragma once

#include <QString>

// 0 until set; 1 German, 2 English, 99 identifier display.
extern int CurrentLanguage;

// The text in the current language; "#<id>" for an identifier the table lacks (and for every
// identifier in identifier display); empty for any other language value. Never throws.
QString LoadUIText(int id);
// The same in the given language (1 German, 2 English, 99 identifier display), whatever the
// current one is: for documents whose words must not follow the user's choice.
QString LoadUITextIn(int id, int language);
