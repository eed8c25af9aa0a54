// The program's user-interface texts in German and English, looked up by identifier.
#pragma once

#include <QString>

extern int CurrentLanguage;          // 0 until set; 1 German, 2 English, 99 identifier display
QString LoadUIText(int id);
