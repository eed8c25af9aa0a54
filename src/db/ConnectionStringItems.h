// Splitting and quoting of ADO connection strings ("key=value;key=value").
// A value that begins with a quotation mark or an apostrophe runs to its closing mark (a doubled
// mark inside stands for one) and may hold ";"; its marks are removed. Every other value runs to
// the next ";" and is kept exactly as it stands.
#pragma once

#include <QList>
#include <QString>

struct ConnectionStringItem
{
    QString key;   // text before the first "=", as it stands
    QString value; // unquoted value; empty when the item has no "="
    bool hasEquals = false;
};

// Items in order. An empty string gives none, a ";" at the very end adds no empty item,
// two adjacent ";" give an empty item.
QList<ConnectionStringItem> SplitConnectionString(const QString& connectionString);

// The form in which value is written after "key=": quoted when it holds ";", begins or ends with a
// blank, or begins with a quotation mark or an apostrophe; the empty-value marker (two quotation
// marks) stays as it is.
QString QuoteConnectionValue(const QString& value);
