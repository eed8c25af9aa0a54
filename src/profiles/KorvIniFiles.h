// Reading and writing the program's INI-style settings file. Every call opens, reads (and on a
// write, atomically replaces) the file and closes it again; nothing is held open between calls.
// Section and key names match without regard to letter case; the first occurrence wins.
#pragma once

#include <QString>
#include <QStringList>
#include <stdexcept>

// Returned by IniReadString when the key (or its section, or the file) is absent.
inline const QString kNotPresentValue = QStringLiteral("_$$$_");

// what() is "nach <file> kann nicht geschrieben werden" in UTF-8
class SettingsWriteError : public std::runtime_error {
public:
    explicit SettingsWriteError(const QString& fileName);
};

QString IniReadString(const QString& fileName, const QString& section, const QString& key);   // absent -> kNotPresentValue
void IniWriteString(const QString& fileName, const QString& section, const QString& key, const QString& value); // throws SettingsWriteError
QStringList IniSectionNames(const QString& fileName);            // file order; empty when missing
bool IniSectionExists(const QString& fileName, const QString& section); // at least one key
void IniEraseSection(const QString& fileName, const QString& section);  // throws SettingsWriteError
