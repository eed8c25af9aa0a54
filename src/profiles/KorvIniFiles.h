// Reading and writing the program's INI-style settings file. Every call opens, reads (and on a
// write, atomically replaces) the file and closes it again; nothing is held open between calls.
// Section and key names match without regard to letter case; the first occurrence wins.
#pragma once

#include <QString>
#include <QStringList>
#include <stdexcept>

// Returned by IniReadString when the key (or its section, or the file) is absent.
inline const QString kNotPresentValue = QStringLiteral("_$$$_");

// what() is "nach <file> kann nicht geschrieben werden" in UTF-8.
class SettingsWriteError : public std::runtime_error
{
public:
    explicit SettingsWriteError(const QString& fileName);
};

// The value without its surrounding blanks, whatever its length, up to a NUL; kNotPresentValue when
// the key is absent or stands without "=".
QString IniReadString(const QString& fileName, const QString& section, const QString& key);

// Replaces the value where the key stands (also a key without "="), or adds the key at the end of
// its section, or the section at the end of the file; creates a missing file with CR LF line ends.
// Every other line keeps its bytes; the written line always ends with a line end. The value ends
// at a NUL.
// Throws SettingsWriteError when the file cannot be replaced, and for a section, key or value
// that would break the line structure (a line break, or a key holding "=" or starting a header
// or comment); the file is then unchanged.
void IniWriteString(const QString& fileName, const QString& section, const QString& key,
                    const QString& value);

// Section names in file order, each once; empty when the file is missing.
QStringList IniSectionNames(const QString& fileName);

// True when the section holds at least one key; a line without "=" is a key too.
bool IniSectionExists(const QString& fileName, const QString& section);

// Removes every occurrence of the section with its keys. Throws SettingsWriteError.
void IniEraseSection(const QString& fileName, const QString& section);
