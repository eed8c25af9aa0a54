// The version block the program carries inside its own executable, and reading such a block
// back out of any file.
#pragma once

#include <QString>

// Value of key index 0..9 (CompanyName, FileDescription, FileVersion, InternalName,
// LegalCopyright, LegalTradeMarks, OriginalFilename, ProductName, ProductVersion, Comments) from
// the file's German/1252 block; "" when the file has no such block, or for a bad index.
QString VersionInfoString(const QString& filePath, int index);

// The same for the running executable (/proc/self/exe).
QString OwnVersionInfoString(int index);

// The copyright notice line.
extern const char kProgramCopyright[];
extern const char kMakerEmail[];
extern const char kMakerWebAddress[];
