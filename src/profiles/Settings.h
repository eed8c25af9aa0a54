// The process-wide settings file and the small wrappers the window and the command-line
// program both use to read and write it.
#pragma once

#include <QString>

// The process-wide value.
QString SettingsFileName();
void SetSettingsFileName(const QString& path);

// Beside the executable (FileBaseName + ".ini") when that file exists or its folder is writable,
// else the same name in the user's configuration folder (QStandardPaths::AppConfigLocation),
// which is created.
QString DetermineSettingsFileName(const QString& executablePath);

QString ReadSetting(const QString& section, const QString& key);
// Throws SettingsWriteError.
void WriteSetting(const QString& section, const QString& key, const QString& value);

// Section "Application": Language=1, then Delimiter=*.
void CreateDefaultSettings();

// The language the settings file names: ReadSetting("Application", "Language") turned into a code
// by LanguageCodeFromSetting.
int DetermineLanguage();
