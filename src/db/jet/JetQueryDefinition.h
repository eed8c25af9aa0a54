// An Access saved query as Access shows it: its type, its PARAMETERS and its SQL text, rebuilt
// from the rows MSysQueries keeps for it (one row per clause item). Plain values in and out, so
// every query shape is tested without a file; docs/JET-FORMAT.md describes the rows.
#pragma once

#include "Catalogue.h"

#include <QList>
#include <QString>

#include <cstdint>

// MSysQueries.Attribute: what a row of a query says.
namespace JetQueryAttribute {
inline constexpr int Start = 0;
inline constexpr int Type = 1;      // Flag: the query's type; Name1: an action's target table
inline constexpr int Parameter = 2; // Name1: the name, Flag: its DAO type
inline constexpr int Options = 3;   // Flag: kQueryOption* bits, Name1: TOP's count
inline constexpr int RemoteDb = 4;  // Name1: the other database, Expression: its connect type
inline constexpr int Table = 5;     // Name1: a table or query, Name2: its alias
inline constexpr int Column = 6;    // Expression, Name1: its alias, Name2: an action's target column
inline constexpr int Join = 7;      // Name1, Name2: the two sides, Expression: the condition
inline constexpr int Where = 8;
inline constexpr int GroupBy = 9;
inline constexpr int Having = 10;
inline constexpr int OrderBy = 11; // Name1 "D": descending
inline constexpr int End = 255;
} // namespace JetQueryAttribute

// The Flag of the Type row.
namespace JetQueryTypeCode {
inline constexpr int Select = 1;
inline constexpr int MakeTable = 2;
inline constexpr int Append = 3;
inline constexpr int Update = 4;
inline constexpr int Delete = 5;
inline constexpr int Crosstab = 6;
inline constexpr int DataDefinition = 7;
inline constexpr int PassThrough = 8;
inline constexpr int Union = 9;
} // namespace JetQueryTypeCode

// Bits of the Options row's Flag.
namespace JetQueryOption {
inline constexpr int AllFields = 0x01; // "*" after the columns
inline constexpr int Distinct = 0x02;  // also: a union without ALL
inline constexpr int OwnerAccess = 0x04;
inline constexpr int DistinctRow = 0x08;
inline constexpr int Top = 0x10;
inline constexpr int Percent = 0x20;
} // namespace JetQueryOption

// Column and Group By rows of a crosstab: the row headings carry RowHeading, the PIVOT column
// Pivot, the TRANSFORM value neither. An append query's Column rows with AppendValue are a VALUES
// list.
namespace JetQueryColumnFlag {
inline constexpr int Pivot = 0x01;
inline constexpr int RowHeading = 0x02;
inline constexpr int AppendValue = 0x8000;
} // namespace JetQueryColumnFlag

// The names a union query's two stored SELECT texts carry in Name2 of their Table rows.
inline constexpr char kJetUnionPart1[] = "X7YZ_____1";
inline constexpr char kJetUnionPart2[] = "X7YZ_____2";

// One MSysQueries row; absent texts are empty, an absent Flag 0.
struct JetQueryRow
{
    int attribute = 0;
    int flag = 0; // as stored: a 16-bit signed value (0x8000 reads as -32768)
    QString name1;
    QString name2;
    QString expression;
};

struct JetQueryDefinition
{
    TQueryType type = TQueryType::Select;
    QList<TCatalogueParameter> parameters;
    // The SQL view's text, clause by clause on lines of their own (line ends are "\n"); empty when
    // the rows do not add up to a query (a join naming no table of the query, a union without its
    // parts, a type Jet does not know), which a damaged file can hold.
    QString sql;
};

// The query whose MSysObjects.Flags are objectFlags and whose rows, in MSysQueries' own order
// (Attribute, then Order), are rows.
JetQueryDefinition JetQueryFromRows(const QList<JetQueryRow>& rows, std::int32_t objectFlags);

// The word a PARAMETERS clause gives a DAO type ("DateTime", "Text", "Long", ...); "Value" for a
// code it does not know.
QString JetParameterTypeName(int daoType);

// name as Access writes an identifier: in brackets when it holds anything but letters, digits and
// "_" or starts with a digit; as it is when it is bracketed already.
QString JetQuotedName(const QString& name);
