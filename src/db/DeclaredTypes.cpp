#include "DeclaredTypes.h"

#include "UIText.h"

namespace {

constexpr int kTextShortText = 540;
constexpr int kTextLongText = 541;
constexpr int kTextNumber = 542;
constexpr int kTextLargeNumber = 543;
constexpr int kTextDateTime = 544;
constexpr int kTextDateTimeExtended = 545;
constexpr int kTextCurrency = 546;
constexpr int kTextAutoNumber = 547;
constexpr int kTextYesNo = 548;
constexpr int kTextOleObject = 549;
constexpr int kTextHyperlink = 550;
constexpr int kTextAttachment = 551;
constexpr int kTextCalculated = 552;
constexpr int kTextBinary = 553;
constexpr int kTextByte = 554;
constexpr int kTextInteger = 555;
constexpr int kTextLongInteger = 556;
constexpr int kTextSingle = 557;
constexpr int kTextDouble = 558;
constexpr int kTextReplicationId = 559;
constexpr int kTextDecimalDigits = 560;
constexpr int kTextAutoNumberOf = 561;
constexpr int kTextMultipleValues = 562;
constexpr int kTextDecimal = 563;

// ADO's DataTypeEnum numbers of the types Access has (TCatalogueColumn::typeCode).
enum : std::int32_t
{
    adSmallInt = 2,
    adInteger = 3,
    adSingle = 4,
    adDouble = 5,
    adCurrency = 6,
    adDate = 7,
    adBoolean = 11,
    adUnsignedTinyInt = 17,
    adBigInt = 20,
    adGUID = 72,
    adBinary = 128,
    adWChar = 130,
    adNumeric = 131,
    adDBTimeStamp = 135,
    adLongVarWChar = 203,
    adVarBinary = 204,
    adLongVarBinary = 205,
    adVarWChar = 202
};

} // namespace

QString AccessDeclaredType(const TCatalogueColumn& column, int language)
{
    const auto text = [language](int id) { return LoadUITextIn(id, language); };
    const auto number = [&](int size) { return text(kTextNumber).arg(text(size)); };
    // The design view names a calculated field by what it is, whatever type its result has.
    if (!column.computed.isEmpty())
        return text(kTextCalculated);
    if (column.complex)
        return text(column.properties->lookup ? kTextMultipleValues : kTextAttachment);
    switch (column.typeCode.value_or(0)) {
    case adVarWChar:
    case adWChar:
        return text(kTextShortText).arg(column.length);
    case adLongVarWChar:
        return text(column.hyperlink ? kTextHyperlink : kTextLongText);
    case adUnsignedTinyInt:
        return number(kTextByte);
    case adSmallInt:
        return number(kTextInteger);
    case adInteger:
        return column.autoIncrement ? text(kTextAutoNumber) : number(kTextLongInteger);
    case adSingle:
        return number(kTextSingle);
    case adDouble:
        return number(kTextDouble);
    case adNumeric:
        if (column.precision && column.scale)
            return text(kTextNumber).arg(text(kTextDecimalDigits).arg(*column.precision).arg(*column.scale));
        return number(kTextDecimal);
    case adGUID:
        return column.autoIncrement ? text(kTextAutoNumberOf).arg(text(kTextReplicationId))
                                    : number(kTextReplicationId);
    case adBigInt:
        return text(kTextLargeNumber);
    case adCurrency:
        return text(kTextCurrency);
    case adDate:
        return text(kTextDateTime);
    case adDBTimeStamp:
        return text(kTextDateTimeExtended);
    case adBoolean:
        return text(kTextYesNo);
    case adLongVarBinary:
        return text(kTextOleObject);
    case adBinary:
    case adVarBinary:
        return text(kTextBinary).arg(column.length);
    default:
        // A type this program does not know by its code: the report's own name for it.
        return column.typeName;
    }
}

QString SqlServerDeclaredType(const TCatalogueColumn& column, int)
{
    // A user type (sysname among them) fixes its own length and is written by its name alone.
    if (!column.baseType.isEmpty())
        return column.typeName;
    const QString type = column.typeName.toLower();
    static const QStringList sized = {QStringLiteral("char"),   QStringLiteral("varchar"),
                                      QStringLiteral("nchar"),  QStringLiteral("nvarchar"),
                                      QStringLiteral("binary"), QStringLiteral("varbinary")};
    if (sized.contains(type)) {
        // The model gives characters for the n types, and -1 for (max).
        const QString length = column.length < 0 ? QStringLiteral("max") : QString::number(column.length);
        return column.typeName + u'(' + length + u')';
    }
    if ((type == QLatin1String("decimal") || type == QLatin1String("numeric")) && column.precision)
        return column.typeName + u'(' + QString::number(*column.precision) + u',' +
               QString::number(column.scale.value_or(0)) + u')';
    if ((type == QLatin1String("datetime2") || type == QLatin1String("time") ||
         type == QLatin1String("datetimeoffset")) &&
        column.scale)
        return column.typeName + u'(' + QString::number(*column.scale) + u')';
    return column.typeName;
}
