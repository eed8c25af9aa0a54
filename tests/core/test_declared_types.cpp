// Column types as each engine's users write them: from model values, in both languages, through a
// structure document and back, and from a real Access file read by the Jet reader.
#include "CatalogueSamples.h"
#include "CommandRuns.h"
#include "EngineTraits.h"
#include "JetWriter.h"
#include "StructureJson.h"
#include "StructureJsonReader.h"
#include "UIText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

namespace {

struct TDeclared
{
    const char* label;
    const char* provider;
    std::function<TCatalogueColumn()> column;
    const char* english;
    const char* german;
};

void PrintTo(const TDeclared& d, std::ostream* os)
{
    *os << d.label;
}

TCatalogueColumn Jet(int adoType, int size = 0, std::function<void(TCatalogueColumn&)> more = {})
{
    TCatalogueColumn c = JetModelColumn(1, QStringLiteral("C"), adoType, size);
    if (more)
        more(c);
    return c;
}

TCatalogueColumn Sql(const char* type, int length, std::function<void(TCatalogueColumn&)> more = {})
{
    TCatalogueColumn c = ModelColumn(1, QStringLiteral("C"), QString::fromLatin1(type), length);
    if (more)
        more(c);
    return c;
}

class DeclaredTypes : public ::testing::TestWithParam<TDeclared>
{
protected:
    void TearDown() override { CurrentLanguage = 0; }
};

TEST_P(DeclaredTypes, AreWrittenAsTheEngineShowsThem)
{
    const TDeclared& d = GetParam();
    const TEngineTraits& engine = EngineTraitsOfWord(QString::fromLatin1(d.provider));
    const TCatalogueColumn column = d.column();
    EXPECT_EQ(engine.declaredType(column, 2), QString::fromUtf8(d.english));
    EXPECT_EQ(engine.declaredType(column, 1), QString::fromUtf8(d.german));

    // Through the document and back: the same in the report language as the model says.
    TCatalogue catalogue;
    catalogue.provider = QString::fromLatin1(d.provider);
    catalogue.objects = {ModelObject(QStringLiteral("T"), {column})};
    const QByteArray json = StructureJson(catalogue, {&catalogue.objects.first()}, QString());
    EXPECT_TRUE(json.contains("\"declaredType\": \"" + QByteArray(d.english) + '"')) << json.toStdString();
    TStructureDocument read;
    QString error;
    ASSERT_TRUE(ReadStructureJson(json, read, error)) << error.toStdString();
    CurrentLanguage = 1;
    EXPECT_EQ(DeclaredTypeText(read.catalogue, read.catalogue.objects.first().columns.first()),
              QString::fromUtf8(d.german));
}

INSTANTIATE_TEST_SUITE_P(
    Columns, DeclaredTypes,
    ::testing::Values(
        TDeclared{"ShortText", "Access", [] { return Jet(202, 40); }, "Short Text (40)", "Kurzer Text (40)"},
        TDeclared{"FixedText", "Access", [] { return Jet(130, 2); }, "Short Text (2)", "Kurzer Text (2)"},
        TDeclared{"LongText", "Access", [] { return Jet(203, 536870910); }, "Long Text", "Langer Text"},
        TDeclared{"Hyperlink", "Access",
                  [] { return Jet(203, 536870910, [](TCatalogueColumn& c) { c.hyperlink = true; }); },
                  "Hyperlink", "Link"},
        TDeclared{"Byte", "Access", [] { return Jet(17); }, "Number (Byte)", "Zahl (Byte)"},
        TDeclared{"Integer", "Access", [] { return Jet(2); }, "Number (Integer)", "Zahl (Integer)"},
        TDeclared{"LongInteger", "Access", [] { return Jet(3); }, "Number (Long Integer)",
                  "Zahl (Long Integer)"},
        TDeclared{"AutoNumber", "Access",
                  [] { return Jet(3, 0, [](TCatalogueColumn& c) { c.autoIncrement = true; }); }, "AutoNumber",
                  "AutoWert"},
        TDeclared{"Single", "Access", [] { return Jet(4); }, "Number (Single)", "Zahl (Single)"},
        TDeclared{"Double", "Access", [] { return Jet(5); }, "Number (Double)", "Zahl (Double)"},
        TDeclared{"Decimal", "Access",
                  [] {
                      return Jet(131, 0, [](TCatalogueColumn& c) {
                          c.precision = 18;
                          c.scale = 4;
                      });
                  },
                  "Number (Decimal 18, 4)", "Zahl (Dezimal 18, 4)"},
        TDeclared{"ReplicationId", "Access", [] { return Jet(72); }, "Number (Replication ID)",
                  "Zahl (Replikations-ID)"},
        TDeclared{"GuidAutoNumber", "Access",
                  [] { return Jet(72, 0, [](TCatalogueColumn& c) { c.autoIncrement = true; }); },
                  "AutoNumber (Replication ID)", "AutoWert (Replikations-ID)"},
        TDeclared{"LargeNumber", "Access", [] { return Jet(20); }, "Large Number", "Große Zahl"},
        TDeclared{"Currency", "Access", [] { return Jet(6); }, "Currency", "Währung"},
        TDeclared{"DateTime", "Access", [] { return Jet(7); }, "Date/Time", "Datum/Uhrzeit"},
        TDeclared{"DateTimeExtended", "Access", [] { return Jet(135); }, "Date/Time Extended",
                  "Datum/Uhrzeit erweitert"},
        TDeclared{"YesNo", "Access", [] { return Jet(11); }, "Yes/No", "Ja/Nein"},
        TDeclared{"OleObject", "Access", [] { return Jet(205, 1073741823); }, "OLE Object", "OLE-Objekt"},
        TDeclared{"Attachment", "Access",
                  [] { return Jet(205, 1073741823, [](TCatalogueColumn& c) { c.complex = true; }); },
                  "Attachment", "Anlage"},
        TDeclared{"MultipleValues", "Access",
                  [] {
                      return Jet(205, 1073741823, [](TCatalogueColumn& c) {
                          c.complex = true;
                          c.properties.edit().lookup = TColumnLookup{};
                      });
                  },
                  "Lookup, multiple values", "Nachschlagen, mehrere Werte"},
        TDeclared{"Calculated", "Access",
                  [] { return Jet(5, 0, [](TCatalogueColumn& c) { c.computed = QStringLiteral("[A]*2"); }); },
                  "Calculated", "Berechnet"},
        TDeclared{"Binary", "Access", [] { return Jet(204, 16); }, "Binary (16)", "Binär (16)"},
        TDeclared{"UnknownCode", "Access", [] { return Jet(99); }, "unknown", "unknown"},
        TDeclared{"Nvarchar", "SQLServer", [] { return Sql("nvarchar", 40); }, "nvarchar(40)",
                  "nvarchar(40)"},
        TDeclared{"VarcharMax", "SQLServer", [] { return Sql("varchar", -1); }, "varchar(max)",
                  "varchar(max)"},
        TDeclared{"Char", "SQLServer", [] { return Sql("char", 2); }, "char(2)", "char(2)"},
        TDeclared{"Decimal", "SQLServer",
                  [] {
                      return Sql("decimal", 9, [](TCatalogueColumn& c) {
                          c.precision = 19;
                          c.scale = 4;
                      });
                  },
                  "decimal(19,4)", "decimal(19,4)"},
        TDeclared{"NumericUnknownDigits", "SQLServer", [] { return Sql("numeric", 9); }, "numeric",
                  "numeric"},
        TDeclared{"Datetime2", "SQLServer",
                  [] { return Sql("datetime2", 7, [](TCatalogueColumn& c) { c.scale = 3; }); },
                  "datetime2(3)", "datetime2(3)"},
        TDeclared{"Sysname", "SQLServer",
                  [] {
                      return Sql("sysname", 128,
                                 [](TCatalogueColumn& c) { c.baseType = QStringLiteral("nvarchar"); });
                  },
                  "sysname", "sysname"},
        // A user type named like an Access type is still a SQL Server type.
        TDeclared{"UserTypeNamedHyperlink", "SQLServer",
                  [] {
                      return Sql("Hyperlink", 200,
                                 [](TCatalogueColumn& c) { c.baseType = QStringLiteral("varchar"); });
                  },
                  "Hyperlink", "Hyperlink"},
        TDeclared{"Int", "SQLServer", [] { return Sql("int", 4); }, "int", "int"}),
    [](const ::testing::TestParamInfo<TDeclared>& p) {
        return std::string(p.param.provider) + "_" + p.param.label;
    });

// The Jet reader hands over what Access's design view tells apart: a Memo shown as a Hyperlink,
// an attachment field, read from a real file.
TEST(DeclaredTypesOfAFile, ComeFromTheJetReader)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    jet::Database db = jet::sampleDatabase(jet::Format::Ace12);
    jet::Table files;
    files.name = QStringLiteral("Files");
    jet::Column id;
    id.name = QStringLiteral("ID");
    id.type = jet::ColumnType::Long;
    id.autoNumber = true;
    jet::Column site;
    site.name = QStringLiteral("Site");
    site.type = jet::ColumnType::Memo;
    site.hyperlink = true;
    jet::Column notes;
    notes.name = QStringLiteral("Notes");
    notes.type = jet::ColumnType::Memo;
    jet::Column scans;
    scans.name = QStringLiteral("Scans");
    scans.type = jet::ColumnType::Complex;
    jet::Column name;
    name.name = QStringLiteral("Name");
    name.type = jet::ColumnType::Text;
    name.length = 40;
    files.columns = {id, site, notes, scans, name};
    db.tables.append(files);
    const QString path = dir.filePath(QStringLiteral("files.accdb"));
    jet::writeFile(path, db);

    const ProgramRun run = RunProgram({QStringLiteral("--format"), QStringLiteral("json"),
                                       QStringLiteral("--table"), QStringLiteral("Files"), path});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QStringList declared;
    const QJsonArray objects =
        QJsonDocument::fromJson(run.out.toUtf8()).object().value(QLatin1String("objects")).toArray();
    ASSERT_EQ(objects.size(), 1);
    for (const QJsonValue& column : objects.at(0).toObject().value(QLatin1String("columns")).toArray())
        declared.append(column.toObject().value(QLatin1String("declaredType")).toString());
    EXPECT_EQ(declared, (QStringList{QStringLiteral("AutoNumber"), QStringLiteral("Hyperlink"),
                                     QStringLiteral("Long Text"), QStringLiteral("Attachment"),
                                     QStringLiteral("Short Text (40)")}));
    EXPECT_EQ(StructureSchemaVerdict(run.out.toUtf8()), QLatin1String("valid"));
}

} // namespace
