#include "TypeMapping.h"

namespace {

using R = TLengthRule;

// Keep in step with the table in docs/COMPARE.md.
const QList<TTypeCorrespondence> kTypes = {
    {202, "VarWChar", "nvarchar", R::Compared},   {202, "VarWChar", "varchar", R::Compared},
    {130, "WChar", "nchar", R::Compared},         {203, "LongVarWChar", "nvarchar", R::Max},
    {203, "LongVarWChar", "ntext", R::Ignored},   {17, "Byte", "tinyint", R::Ignored},
    {2, "SmallInt", "smallint", R::Ignored},      {3, "Integer", "int", R::Ignored},
    {20, "BigInt", "bigint", R::Ignored},         {4, "Single", "real", R::Ignored},
    {5, "Double", "float", R::Ignored},           {6, "Currency", "money", R::Ignored},
    {131, "Numeric", "decimal", R::Ignored},      {131, "Numeric", "numeric", R::Ignored},
    {7, "Date", "datetime", R::Ignored},          {7, "Date", "datetime2", R::Ignored},
    {7, "Date", "smalldatetime", R::Ignored},     {11, "Boolean", "bit", R::Ignored},
    {72, "GUID", "uniqueidentifier", R::Ignored}, {205, "LongVarBinary", "varbinary", R::Max},
    {205, "LongVarBinary", "image", R::Ignored},  {204, "VarBinary", "varbinary", R::Compared},
    {204, "VarBinary", "binary", R::Compared},    {128, "Binary", "varbinary", R::Compared},
    {128, "Binary", "binary", R::Compared},
};

constexpr int kSqlServerMaxLength = -1;

} // namespace

const QList<TTypeCorrespondence>& AccessSqlServerTypes()
{
    return kTypes;
}

QString SqlServerSystemType(const TCatalogueColumn& column)
{
    return (column.baseType.isEmpty() ? column.typeName : column.baseType).toLower();
}

bool TypesCorrespond(const TCatalogueColumn& access, const TCatalogueColumn& sqlServer, bool& lengthsAgree)
{
    lengthsAgree = false;
    if (!access.typeCode)
        return false;
    const QString type = SqlServerSystemType(sqlServer);
    const bool max = sqlServer.length == kSqlServerMaxLength;
    // A max type and a sized one of the same name are different types here: nvarchar(max) holds
    // what a Memo holds, nvarchar(50) what a Text(50) holds.
    for (const TTypeCorrespondence& pair : kTypes) {
        if (pair.accessTypeCode != *access.typeCode || type != QLatin1String(pair.sqlServerType))
            continue;
        if (pair.length == R::Max && !max)
            continue;
        if (pair.length == R::Compared && max)
            continue;
        lengthsAgree = pair.length != R::Compared || access.length == sqlServer.length;
        return true;
    }
    return false;
}

bool HasComparedLength(const TCatalogueColumn& column, bool sqlServer)
{
    if (sqlServer) {
        static const QStringList sized = {QStringLiteral("char"),   QStringLiteral("varchar"),
                                          QStringLiteral("nchar"),  QStringLiteral("nvarchar"),
                                          QStringLiteral("binary"), QStringLiteral("varbinary")};
        return sized.contains(SqlServerSystemType(column));
    }
    if (column.typeCode)
        return *column.typeCode == 202 || *column.typeCode == 130 || *column.typeCode == 204 ||
               *column.typeCode == 128;
    return false;
}
