// Choosing the user-interface language from the value the settings file holds.
#pragma once

#include <QString>

// The matching rule alone, no file access: 1 German, 2 English, 99 identifier display.
int LanguageCodeFromSetting(const QString& value);
