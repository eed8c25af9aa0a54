// How a column type of an Access database corresponds to one of SQL Server, for comparing a
// database with the one it was moved to. The table in TypeMapping.cpp is the only place the
// correspondence is spelled; docs/COMPARE.md shows the same table to the reader.
#pragma once

#include "Catalogue.h"

#include <QString>

// Whether two columns' lengths are part of their comparison.
enum class TLengthRule
{
    Compared, // text and binary of a declared length: the lengths must agree
    Max,      // the SQL Server side must be a max type (length -1)
    Ignored   // fixed-size or unlimited types
};

struct TTypeCorrespondence
{
    int accessTypeCode; // ADO DataTypeEnum
    const char* accessName;
    const char* sqlServerType; // lower case
    TLengthRule length;
};

// Every pair the comparison treats as the same type, in documentation order.
const QList<TTypeCorrespondence>& AccessSqlServerTypes();

// The SQL Server type that decides: a user-defined type's base type, else its own, lower case.
QString SqlServerSystemType(const TCatalogueColumn& column);

// Whether access (an Access column) and sqlServer (a SQL Server column) have corresponding types;
// lengthsAgree tells whether their lengths also agree as the pair's rule asks. A column whose
// type the table does not cover never corresponds.
bool TypesCorrespond(const TCatalogueColumn& access, const TCatalogueColumn& sqlServer, bool& lengthsAgree);

// Whether a column of this provider has a declared length worth comparing (text and binary).
bool HasComparedLength(const TCatalogueColumn& column, bool sqlServer);
