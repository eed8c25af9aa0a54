// The version block the program carries inside its own executable, and reading such a block
// back out of any file.
#pragma once

#include <QString>

QString VersionInfoString(const QString& filePath, int index); // "" when the file has no block / no German-1252 block / bad index
QString OwnVersionInfoString(int index);                        // the running executable (/proc/self/exe)
extern const char kProgramCopyright[];   // the copyright notice line
extern const char kMakerEmail[];
extern const char kMakerWebAddress[];
