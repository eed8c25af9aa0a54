// Byte forms of text. Settings files and stored passwords may come from the Windows program,
// which wrote Windows-1252; this program writes UTF-8 where Windows-1252 cannot hold the text.
#pragma once

#include <QByteArray>
#include <QString>

bool IsValidUtf8(const QByteArray& bytes);

// Windows-1252 bytes of text; ok is false (and the result meaningless) when a character has none.
QByteArray ToWindows1252(const QString& text, bool* ok = nullptr);
QString FromWindows1252(const QByteArray& bytes);

// Windows-1252 when every character exists there, otherwise UTF-8.
QByteArray ToAnsiBytes(const QString& text);
// UTF-8 when the bytes are valid UTF-8, otherwise Windows-1252.
QString FromAnsiBytes(const QByteArray& bytes);
