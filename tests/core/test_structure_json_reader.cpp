// Reading structure documents back: what the writer wrote must come back as the same model (the
// writer's bytes are the proof), and anything else must be refused with the place named.
#include "CatalogueSamples.h"
#include "StructureJson.h"
#include "StructureJsonReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

constexpr char kProgram[] = "Orvane 0.7.1.2";

QList<const TCatalogueObject*> All(const TCatalogue& catalogue)
{
    QList<const TCatalogueObject*> objects;
    for (const TCatalogueObject& object : catalogue.objects)
        objects.append(&object);
    return objects;
}

class StructureJsonRoundTrip : public testing::TestWithParam<TCatalogue (*)()>
{
};

TEST_P(StructureJsonRoundTrip, WriteReadWriteGivesTheSameBytes)
{
    const TCatalogue sample = GetParam()();
    const QByteArray written = StructureJson(sample, All(sample), QString::fromLatin1(kProgram));
    TStructureDocument read;
    QString error;
    ASSERT_TRUE(ReadStructureJson(written, read, error)) << error.toStdString();
    EXPECT_EQ(read.program, QString::fromLatin1(kProgram));
    EXPECT_EQ(read.catalogue.objects.size(), sample.objects.size());
    const QByteArray again = StructureJson(read.catalogue, All(read.catalogue), read.program);
    EXPECT_EQ(again.toStdString(), written.toStdString());
}

// Far larger than the reader's window, with multi-byte names, so characters and tokens fall
// across the window's edges.
TCatalogue LargeCatalogue()
{
    TCatalogue catalogue = SampleAccessCatalogue();
    for (int t = 0; t < 400; ++t) {
        TCatalogueObject object;
        object.name = QString::fromUtf8("Größe €") + QString::number(t) + QString::fromUtf8(" 漢字 😀");
        for (int c = 1; c <= 12; ++c)
            object.columns.append(ModelColumn(c, QString::fromUtf8("Spalte \"ä\" ") + QString::number(c),
                                              QStringLiteral("VarWChar"), 40 + c, c % 2 == 0));
        catalogue.objects.append(object);
    }
    return catalogue;
}

INSTANTIATE_TEST_SUITE_P(Samples, StructureJsonRoundTrip,
                         testing::Values(&SampleAccessCatalogue, &SampleSqlServerCatalogue, &LargeCatalogue));

// What other tools make of a document, and what a later version writes: members sorted by name
// at every level (jq -S, Python's sort_keys), a byte order mark before the text, keys and object
// kinds this version does not know. Each reads as the document itself.
QJsonObject LaterVersion(QJsonObject top)
{
    top.insert(QStringLiteral("version"), 3);
    top.insert(QStringLiteral("collation"), QStringLiteral("Latin1_General_CI_AS"));
    QJsonArray objects = top.value(QLatin1String("objects")).toArray();
    for (qsizetype i = 0; i < objects.size(); ++i) {
        QJsonObject object = objects.at(i).toObject();
        object.insert(QStringLiteral("rowCount"), 12);
        QJsonArray columns = object.value(QLatin1String("columns")).toArray();
        for (qsizetype c = 0; c < columns.size(); ++c) {
            QJsonObject column = columns.at(c).toObject();
            column.insert(QStringLiteral("sparse"), QJsonObject{{QStringLiteral("columnSet"), false}});
            columns[c] = column;
        }
        object.insert(QStringLiteral("columns"), columns);
        objects[i] = object;
    }
    objects.insert(1, QJsonObject{{QStringLiteral("name"), QStringLiteral("NextYear")},
                                  {QStringLiteral("kind"), QStringLiteral("a kind of next year")},
                                  {QStringLiteral("body"), QJsonArray{1, 2, 3}}});
    top.insert(QStringLiteral("objects"), objects);
    return top;
}

struct TSpelling
{
    const char* label;
    QByteArray (*spell)(const QByteArray& written);
};

class StructureJsonSpellings : public testing::TestWithParam<std::tuple<TCatalogue (*)(), TSpelling>>
{
};

TEST_P(StructureJsonSpellings, ReadAsTheDocumentItself)
{
    const TCatalogue sample = std::get<0>(GetParam())();
    const QByteArray written = StructureJson(sample, All(sample), QString::fromLatin1(kProgram));
    const QByteArray spelled = std::get<1>(GetParam()).spell(written);
    ASSERT_NE(spelled, written);
    TStructureDocument read;
    QString error;
    ASSERT_TRUE(ReadStructureJson(spelled, read, error)) << error.toStdString();
    EXPECT_EQ(StructureJson(read.catalogue, All(read.catalogue), read.program).toStdString(),
              written.toStdString());
}

// QJsonObject keeps its keys in name order, so a document written again through it is sorted.
const TSpelling kSpellings[] = {
    {"SortedKeys",
     [](const QByteArray& w) { return QJsonDocument(QJsonDocument::fromJson(w).object()).toJson(); }},
    {"SortedCompact",
     [](const QByteArray& w) {
         return QJsonDocument(QJsonDocument::fromJson(w).object()).toJson(QJsonDocument::Compact);
     }},
    {"ByteOrderMark", [](const QByteArray& w) { return QByteArray("\xEF\xBB\xBF") + w; }},
    {"ByteOrderMarkSorted",
     [](const QByteArray& w) {
         return QByteArray("\xEF\xBB\xBF") + QJsonDocument(QJsonDocument::fromJson(w).object()).toJson();
     }},
    {"LaterVersionWithAddedKeysAndKinds",
     [](const QByteArray& w) {
         return QJsonDocument(LaterVersion(QJsonDocument::fromJson(w).object())).toJson();
     }},
};

INSTANTIATE_TEST_SUITE_P(Tools, StructureJsonSpellings,
                         testing::Combine(testing::Values(&SampleAccessCatalogue, &SampleSqlServerCatalogue),
                                          testing::ValuesIn(kSpellings)),
                         [](const testing::TestParamInfo<std::tuple<TCatalogue (*)(), TSpelling>>& p) {
                             return std::string(std::get<0>(p.param) == &SampleAccessCatalogue
                                                    ? "Access_"
                                                    : "SqlServer_") +
                                    std::get<1>(p.param).label;
                         });

// Another program's document: members in another order, members this reader does not know,
// escapes, numbers spelt differently, other blanks.
TEST(StructureJsonReader, ReadsAnotherWritersSpelling)
{
    const QByteArray json = R"({"objects":[{"foreignKeys":[],"indexes":[],"x-note":{"a":[1,2,{"b":null}]},
        "columns":[{"length":4.0,"type":"Integer","nullable":false,"name":"Id\u00e9\ud83d\ude00\/","number":1e0}],
        "name":"T\t1"}],"provider":"Access","version":1,"format":"orvane-structure","generator":true}
        )";
    TStructureDocument read;
    QString error;
    ASSERT_TRUE(ReadStructureJson(json, read, error)) << error.toStdString();
    ASSERT_EQ(read.catalogue.objects.size(), 1);
    const TCatalogueObject& object = read.catalogue.objects.at(0);
    EXPECT_EQ(object.name, QStringLiteral("T\t1"));
    ASSERT_EQ(object.columns.size(), 1);
    EXPECT_EQ(object.columns.at(0).name, QString::fromUtf8("Idé😀/"));
    EXPECT_EQ(object.columns.at(0).length, 4);
    EXPECT_FALSE(object.columns.at(0).nullable);
}

TEST(StructureJsonReader, KeepsWhatTheDocumentSaysOfTheModel)
{
    const TCatalogue sample = SampleSqlServerCatalogue();
    TStructureDocument read;
    QString error;
    ASSERT_TRUE(ReadStructureJson(StructureJson(sample, All(sample), QString()), read, error));
    EXPECT_TRUE(read.program.isEmpty());
    EXPECT_EQ(read.catalogue.provider, QStringLiteral("SQLServer"));
    EXPECT_EQ(read.catalogue.server, QStringLiteral("db1,1433"));
    const TCatalogueObject& sales = read.catalogue.objects.at(1);
    EXPECT_EQ(sales.schema, QStringLiteral("sales"));
    ASSERT_EQ(sales.foreignKeys.size(), 1);
    EXPECT_FALSE(sales.foreignKeys.at(0).enforced);
    EXPECT_EQ(sales.foreignKeys.at(0).onDelete, TReferentialAction::Cascade);
    EXPECT_EQ(read.catalogue.objects.at(0).columns.at(2).baseType, QStringLiteral("varchar"));
}

struct TBadDocument
{
    const char* label;
    const char* json;
    const char* error; // a part of the message
};

class StructureJsonReaderRefuses : public testing::TestWithParam<TBadDocument>
{
};

TEST_P(StructureJsonReaderRefuses, WithTheReasonAndWithoutTouchingTheResult)
{
    TStructureDocument document;
    document.program = QStringLiteral("untouched");
    QString error;
    EXPECT_FALSE(ReadStructureJson(QByteArray(GetParam().json), document, error));
    EXPECT_TRUE(error.contains(QString::fromUtf8(GetParam().error))) << error.toStdString();
    EXPECT_EQ(document.program, QStringLiteral("untouched"));
}

constexpr char kHead[] = R"({"format": "orvane-structure", "version": 1, "provider": "Access", )";

const std::string kBadColumn = std::string(kHead) +
                               R"("objects": [{"name": "T", "columns": [{"number": 1, "length": "4"}],
                                  "indexes": [], "foreignKeys": []}]})";
const std::string kFraction = std::string(kHead) +
                              R"("objects": [{"name": "T", "columns": [{"number": 1.5}],
                                 "indexes": [], "foreignKeys": []}]})";
const std::string kHuge = std::string(kHead) +
                          R"("objects": [{"name": "T", "columns": [{"number": 1, "length": 1e12}],
                             "indexes": [], "foreignKeys": []}]})";
const std::string kAction = std::string(kHead) + R"("objects": [{"name": "T", "columns": [], "indexes": [],
       "foreignKeys": [{"columns": ["a"], "referencedColumns": ["b"], "onDelete": "explode"}]}]})";
const std::string kNoColumns =
    std::string(kHead) + R"("objects": [{"name": "T", "indexes": [], "foreignKeys": []}]})";
const std::string kObjectNotObject = std::string(kHead) + R"("objects": [42]})";
const std::string kNameless =
    std::string(kHead) + R"("objects": [{"name": "", "columns": [], "indexes": [], "foreignKeys": []}]})";
const std::string kIndexColumnName = std::string(kHead) + R"("objects": [{"name": "T", "columns": [],
       "indexes": [{"name": "i", "columns": [{"descending": true}]}], "foreignKeys": []}]})";

const std::string kDeep = std::string(R"({"x": )") + std::string(100000, '[');

INSTANTIATE_TEST_SUITE_P(
    NotTheFormat, StructureJsonReaderRefuses,
    testing::Values(
        TBadDocument{"Empty", "", "not JSON"}, TBadDocument{"Truncated", R"({"format": )", "not JSON"},
        TBadDocument{"Array", "[]", "not an object"},
        TBadDocument{"OtherFormat", R"({"format": "orvane-comparison", "version": 1})",
                     "\"format\" is not \"orvane-structure\""},
        TBadDocument{"NoFormat", R"({"version": 1})", "\"format\""},
        TBadDocument{"VersionZero", R"({"format": "orvane-structure", "version": 0})",
                     "version 0 is not supported"},
        TBadDocument{"FractionalVersion", R"({"format": "orvane-structure", "version": 1.5})",
                     "version 1.5 is not supported"},
        TBadDocument{"SortedKeysOtherFormat",
                     R"({"format": "orvane-comparison", "objects": [], "version": 1})",
                     "\"format\" is not \"orvane-structure\""},
        TBadDocument{"VersionAsText", R"({"format": "orvane-structure", "version": "1"})", "version"},
        TBadDocument{"NoProvider", R"({"format": "orvane-structure", "version": 1, "objects": []})",
                     "provider: missing"},
        TBadDocument{"OtherProvider",
                     R"({"format": "orvane-structure", "version": 1, "provider": "Oracle",
                                     "objects": []})",
                     "provider: 'Oracle'"},
        TBadDocument{"NoObjects", R"({"format": "orvane-structure", "version": 1, "provider": "Access"})",
                     "objects: an array expected"},
        TBadDocument{"LengthAsText", kBadColumn.c_str(), "objects[0].columns[0].length: a whole number"},
        TBadDocument{"FractionalNumber", kFraction.c_str(), "objects[0].columns[0].number"},
        TBadDocument{"NumberOutOfRange", kHuge.c_str(), "length: a whole number"},
        TBadDocument{"UnknownAction", kAction.c_str(), "foreignKeys[0].onDelete: 'explode'"},
        TBadDocument{"ObjectWithoutColumns", kNoColumns.c_str(), "objects[0].columns"},
        TBadDocument{"ObjectNotAnObject", kObjectNotObject.c_str(), "objects[0]: an object expected"},
        TBadDocument{"EmptyName", kNameless.c_str(), "objects[0].name: empty"},
        TBadDocument{"IndexColumnWithoutName", kIndexColumnName.c_str(),
                     "indexes[0].columns[0].name: missing"},
        TBadDocument{"InvalidUtf8", "{\"format\": \"orvane-\xff\"}",
                     "not JSON: invalid UTF-8 in a string at byte 11"},
        TBadDocument{"LoneSurrogate", R"({"format": "\ud800x"})", "not JSON: invalid escape"},
        TBadDocument{"ControlCharacter", "{\"format\": \"a\nb\"}", "not JSON: control character"},
        TBadDocument{"TextAfterTheDocument", R"({"format": "orvane-structure", "version": 1} {})",
                     "not JSON: text after the document"},
        TBadDocument{"MissingComma", R"({"format": "orvane-structure" "version": 1})",
                     "not JSON: '}' expected"},
        TBadDocument{"NestedTooDeeply", kDeep.c_str(), "not JSON: nested too deeply"}),
    [](const testing::TestParamInfo<TBadDocument>& p) { return std::string(p.param.label); });

TEST(StructureJsonReader, TellsDocumentsFromDatabaseFiles)
{
    EXPECT_TRUE(LooksLikeJsonDocument("  \n{\"format\""));
    EXPECT_TRUE(LooksLikeJsonDocument("\xEF\xBB\xBF{\"format\""));
    EXPECT_FALSE(LooksLikeJsonDocument("\xEF\xBB\xBF"));
    EXPECT_FALSE(LooksLikeJsonDocument(QByteArray("\x00\x01\x00\x00Standard Jet DB", 19)));
    EXPECT_FALSE(LooksLikeJsonDocument(QByteArray()));
}

} // namespace
