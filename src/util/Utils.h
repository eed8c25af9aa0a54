// Small free routines shared by the whole program: text splitting, case-blind replacement and
// the path helpers that locate the settings file and the temporary folder.
#pragma once

#include <QString>
#include <QStringList>

// 1-based position of the last occurrence of sub in text, 0 when there is none (case-sensitive).
int LastPos(const QString& text, const QString& sub);

// Splits text at the first occurrence of separator; without one, head is the whole text.
void SplitAtChar(const QString& text, QChar separator, QString& head, QString& tail);

// Fills list with the pieces of text between separators, in order. A separator at the very end
// adds no empty piece; two adjacent separators give an empty piece; an empty text gives no pieces.
// Pieces of any length come out whole.
void SplitToList(const QString& text, QChar separator, QStringList& list);

// Replaces every occurrence of oldText, matched without regard to letter case, left to right;
// replaced text is not searched again. An empty oldText leaves text unchanged.
QString ReplaceAllNoCase(const QString& text, const QString& oldText, const QString& newText);

// Folder part of a path: "/" and "\" both separate; the separator after a drive ("C:\") stays.
QString FileFolder(const QString& path);

// Name between the last separator and the last dot of the last path segment; a name without a dot
// keeps its whole name.
QString FileBaseName(const QString& path);

// The user's temporary folder with a trailing "/".
QString TempFolder();
