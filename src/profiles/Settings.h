// The process-wide settings file and the small wrappers the window and the command-line
// program both use to read and write it.
#pragma once

#include <QString>

QString SettingsFileName();                       // the process-wide value
void SetSettingsFileName(const QString& path);
// Beside the executable when that file exists or its folder is writable, else the user's
// configuration folder (QStandardPaths::AppConfigLocation); name = FileBaseName + ".ini".
QString DetermineSettingsFileName(const QString& executablePath);
QString ReadSetting(const QString& section, const QString& key);
void WriteSetting(const QString& section, const QString& key, const QString& value); // throws SettingsWriteError
void CreateDefaultSettings();                     // Application: Language=1, Delimiter=*
