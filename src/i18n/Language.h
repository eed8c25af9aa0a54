// Choosing the user-interface language from the settings file.
#pragma once

#include <QString>

int LanguageCodeFromSetting(const QString& value); // the matching rule, no file access
int DetermineLanguage();                           // ReadSetting("Application","Language") -> code
