// What differs between two structures: a baseline (a snapshot, the last release, the Access file
// before the move) and the current one. Both are models, so a JSON document, an Access file and
// a SQL Server database compare alike; across the two engines the types are mapped
// (TypeMapping.h) and what the engines name differently is matched by content instead.
#pragma once

#include "Catalogue.h"

#include <QList>
#include <QString>

enum class TChangeKind
{
    Added,
    Removed,
    Changed
};

// In the order differences are listed within a table.
enum class TDifferenceItem
{
    Table,
    Column,
    PrimaryKey,
    Index,
    ForeignKey,
    Check,
    Trigger,
    Parameter
};

struct TStructureDifference
{
    TChangeKind change = TChangeKind::Changed;
    QString object; // the table's (or view's) name
    QString schema; // the SQL Server side's schema; empty when neither side is SQL Server
    TObjectKind kind = TObjectKind::Table; // the object's (an added one's on the current side)
    TDifferenceItem item = TDifferenceItem::Table;
    // Of the column, index, foreign key, check (an Access rule: its field's), trigger or parameter;
    // empty for the table and its primary key.
    QString name;
    QString property; // Changed only: "type", "length", "nullable", ...
    QString baseline; // Changed only, as the structure document spells the value; empty: none
    QString current;
    // A column's difference: the two columns compared, while both catalogues live (the texts
    // name a changed type the way each engine's users write it).
    const TCatalogueColumn* baselineColumn = nullptr;
    const TCatalogueColumn* currentColumn = nullptr;
};

struct TStructureComparison
{
    bool typeMapping = false;                // one side Access, the other SQL Server
    QList<TStructureDifference> differences; // by object, item, name, property
};

struct TCompareOptions
{
    // A side is a version 1 structure document: only what version 1 holds is compared, so what it
    // never held (definitions, checks, triggers, field properties...) is not told as added.
    bool versionOne = false;
};

// Compares the chosen objects of both sides (each pointer one of its catalogue's objects).
TStructureComparison CompareStructures(const TCatalogue& baseline,
                                       const QList<const TCatalogueObject*>& baselineObjects,
                                       const TCatalogue& current,
                                       const QList<const TCatalogueObject*>& currentObjects,
                                       const TCompareOptions& options = {});

// "added", "removed", "changed"; "table", "column", "primaryKey", "index", "foreignKey", "check",
// "trigger", "parameter".
QString ChangeKindName(TChangeKind change);
QString DifferenceItemName(TDifferenceItem item);

// A default or computed expression as the two engines compare: without a leading "=", enclosing
// parentheses and letter case, with Now() spelled getdate().
QString NormalisedExpression(const QString& expression);
// Whether two definitions (of views, routines, triggers, checks) say the same: runs of blanks and
// line ends count as one blank, and nothing before the first word or after the last counts.
bool SameDefinition(const QString& a, const QString& b);
