// Choosing the user-interface language from the settings file.
#pragma once

#include <QString>

// The matching rule alone, no file access: 1 German, 2 English, 99 identifier display.
int LanguageCodeFromSetting(const QString& value);

// ReadSetting("Application", "Language") turned into a code by LanguageCodeFromSetting.
int DetermineLanguage();
