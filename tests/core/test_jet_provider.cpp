// The Access catalogue provider on files written by the project's Jet writer: what the catalogue
// lists, how columns are typed and sized, the log-in and password checks, and the system-table query.
#include "Automation.h"
#include "JetCatalogReader.h"
#include "JetProvider.h"
#include "KorvADOXConnection.h"
#include "QueryObject.h"

#include "JetWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/stat.h>

namespace {

// A Jet connection string shaped like the one the window builds.
QString jetString(const QString& path, const QString& dbPassword = QString(), const QString& user = QString(),
                  const QString& userPassword = QString())
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=%1;User ID=%2;Data Source=%3;"
                          "Mode=Share Deny None;Extended Properties=\"\";"
                          "Jet OLEDB:System database=C:\\temp\\Karvenix.mdw;Jet OLEDB:Registry Path=\"\";"
                          "Jet OLEDB:Database Password=%4;Jet OLEDB:Engine Type=5")
        .arg(userPassword, user, path, dbPassword);
}

class JetFiles : public ::testing::Test
{
protected:
    QString write(const jet::Database& db, const QString& name = QStringLiteral("db.mdb"))
    {
        const QString path = m_dir.filePath(name);
        jet::writeFile(path, db);
        return path;
    }
    QString dir() const { return m_dir.path(); }

    static Variant open(const QString& connectionString)
    {
        Variant catalog = CreateOleObject(QStringLiteral("ADOX.Catalog"));
        catalog.put(QStringLiteral("ActiveConnection"), Variant(connectionString));
        return catalog;
    }

    static QStringList tableNames(const Variant& catalog)
    {
        QStringList names;
        const Variant tables = catalog.get(QStringLiteral("Tables"));
        const int n = tables.get(QStringLiteral("Count")).toInt();
        for (int i = 0; i < n; ++i)
            names << tables.get(QStringLiteral("Item"), {Variant(i)}).get(QStringLiteral("Name")).toText();
        return names;
    }

    // The help context of the error that opening throws; 0 when it opens.
    static int openError(const QString& connectionString, QString* text = nullptr)
    {
        try {
            open(connectionString);
        } catch (const AutomationError& e) {
            if (text)
                *text = e.description();
            return e.helpContext();
        }
        return 0;
    }

private:
    QTemporaryDir m_dir;
};

TEST_F(JetFiles, ListsEveryTableByNameSystemTablesAndLinksIncluded)
{
    jet::Database db;
    db.tables = {jet::Table{QStringLiteral("zeta"), {jet::makeColumn("a", jet::ColumnType::Long)}},
                 jet::Table{QStringLiteral("Alpha"), {jet::makeColumn("a", jet::ColumnType::Long)}},
                 jet::Table{QStringLiteral("beta"), {jet::makeColumn("a", jet::ColumnType::Long)}},
                 jet::Table{QStringLiteral("Hidden"),
                            {jet::makeColumn("a", jet::ColumnType::Long)},
                            jet::TableFlag::Hidden}};
    // Queries are catalogue rows too, but no tables; linked tables are tables of the catalogue.
    db.otherObjects = {jet::CatalogObject{QStringLiteral("AQuery"), 5, 0},
                       jet::CatalogObject{QStringLiteral("Linked"), 6, 0}};
    const QStringList names = tableNames(open(jetString(write(db))));
    for (const char* name : {"Alpha", "beta", "Hidden", "zeta", "MSysObjects", "MSysACEs", "MSysQueries",
                             "MSysRelationships", "MSysAccessStorage", "Linked"})
        EXPECT_TRUE(names.contains(QString::fromLatin1(name))) << name;
    EXPECT_FALSE(names.contains("AQuery"));
    QStringList sorted = names;
    std::sort(sorted.begin(), sorted.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    EXPECT_EQ(names, sorted);
    EXPECT_LT(names.indexOf("MSysAccessStorage"), names.indexOf("MSysACEs"));
}

TEST_F(JetFiles, ItemTakesAPositionFromZeroOrANameInAnyCase)
{
    jet::Database db;
    db.withSystemTables = false;
    db.tables = {jet::Table{
        QStringLiteral("Orders"),
        {jet::makeColumn("Id", jet::ColumnType::Long), jet::makeColumn("Note", jet::ColumnType::Text, 20)}}};
    const Variant tables = open(jetString(write(db))).get(QStringLiteral("Tables"));
    const int count = tables.get(QStringLiteral("Count")).toInt();
    ASSERT_EQ(count, 1);
    EXPECT_EQ(tables.get(QStringLiteral("Item"), {Variant("oRDERS")}).get(QStringLiteral("Name")).toText(),
              "Orders");
    EXPECT_THROW(tables.get(QStringLiteral("Item"), {Variant(count)}), AutomationError);
    EXPECT_THROW(tables.get(QStringLiteral("Item"), {Variant(-1)}), AutomationError);
    EXPECT_THROW(tables.get(QStringLiteral("Item"), {Variant("Nope")}), AutomationError);

    const Variant columns =
        tables.get(QStringLiteral("Item"), {Variant("Orders")}).get(QStringLiteral("Columns"));
    EXPECT_EQ(columns.get(QStringLiteral("Item"), {Variant("NOTE")}).get(QStringLiteral("Name")).toText(),
              "Note");
    EXPECT_THROW(columns.get(QStringLiteral("Item"), {Variant(2)}), AutomationError);
}

struct ColumnCase
{
    const char* name;
    jet::Column column;
    int adoType;
    int definedSize;
    const char* typeName;
};

void PrintTo(const ColumnCase& c, std::ostream* os)
{
    *os << c.name;
}

jet::Column special(jet::Column c, bool autoNumber, bool hyperlink = false)
{
    c.autoNumber = autoNumber;
    c.hyperlink = hyperlink;
    return c;
}

const ColumnCase kColumnCases[] = {
    {"Bool", jet::makeColumn("c", jet::ColumnType::Bool), 11, 0, "Boolean"},
    {"Byte", jet::makeColumn("c", jet::ColumnType::Byte), 17, 0, "unknown"},
    {"Int", jet::makeColumn("c", jet::ColumnType::Int), 2, 0, "SmallInt"},
    {"Long", jet::makeColumn("c", jet::ColumnType::Long), 3, 0, "Integer"},
    {"AutoNumber", special(jet::makeColumn("c", jet::ColumnType::Long), true), 3, 0, "Integer"},
    {"Money", jet::makeColumn("c", jet::ColumnType::Money), 6, 0, "Currency"},
    {"Single", jet::makeColumn("c", jet::ColumnType::Float), 4, 0, "Single"},
    {"Double", jet::makeColumn("c", jet::ColumnType::Double), 5, 0, "Double"},
    {"DateTime", jet::makeColumn("c", jet::ColumnType::DateTime), 7, 0, "Date"},
    {"VarBinary", jet::makeColumn("c", jet::ColumnType::Binary, 50), 204, 50, "VarBinary"},
    {"FixedBinary", jet::makeColumn("c", jet::ColumnType::Binary, 16, true), 128, 16, "Binary"},
    {"Text", jet::makeColumn("c", jet::ColumnType::Text, 50), 202, 50, "VarWChar"},
    {"Text255", jet::makeColumn("c", jet::ColumnType::Text, 255), 202, 255, "VarWChar"},
    {"FixedText", jet::makeColumn("c", jet::ColumnType::Text, 10, true), 130, 10, "WChar"},
    {"OLE", jet::makeColumn("c", jet::ColumnType::OLE), 205, 1073741823, "LongVarBinary"},
    {"Memo", jet::makeColumn("c", jet::ColumnType::Memo), 203, 536870910, "LongVarWChar"},
    {"Hyperlink", special(jet::makeColumn("c", jet::ColumnType::Memo), false, true), 203, 536870910,
     "LongVarWChar"},
    {"Guid", jet::makeColumn("c", jet::ColumnType::RepId), 72, 0, "GUID"},
    {"GuidAutoNumber", special(jet::makeColumn("c", jet::ColumnType::RepId), true), 72, 0, "GUID"},
    {"Decimal", jet::makeColumn("c", jet::ColumnType::Numeric), 131, 0, "Numeric"},
    {"UnknownCode", jet::makeColumn("c", jet::ColumnType::Unknown13), 0, 0, "unknown"},
};

// One file holds a table with every case as a column, in case order, so the stored order is
// checked along with each column's attributes.
class JetColumnTypes : public ::testing::TestWithParam<ColumnCase>
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        jet::Table table{QStringLiteral("Types"), {}};
        for (const ColumnCase& c : kColumnCases) {
            jet::Column column = c.column;
            column.name = QString::fromLatin1(c.name);
            table.columns.append(column);
        }
        jet::Database db;
        db.tables = {table};
        const QString path = s_dir->filePath(QStringLiteral("types.mdb"));
        jet::writeFile(path, db);
        Variant catalog = CreateOleObject(QStringLiteral("ADOX.Catalog"));
        catalog.put(QStringLiteral("ActiveConnection"), Variant(jetString(path)));
        s_columns = new Variant(catalog.get(QStringLiteral("Tables"))
                                    .get(QStringLiteral("Item"), {Variant("Types")})
                                    .get(QStringLiteral("Columns")));
    }
    static void TearDownTestSuite()
    {
        delete s_columns;
        delete s_dir;
    }
    static QTemporaryDir* s_dir;
    static Variant* s_columns;
};
QTemporaryDir* JetColumnTypes::s_dir = nullptr;
Variant* JetColumnTypes::s_columns = nullptr;

TEST_P(JetColumnTypes, StoredOrderTypeSizeAndName)
{
    const ColumnCase& c = GetParam();
    int position = 0;
    while (QLatin1String(kColumnCases[position].name) != QLatin1String(c.name))
        ++position;
    ASSERT_EQ(s_columns->get(QStringLiteral("Count")).toInt(), int(std::size(kColumnCases)));
    const Variant column = s_columns->get(QStringLiteral("Item"), {Variant(position)});
    EXPECT_EQ(column.get(QStringLiteral("Name")).toText(), QString::fromLatin1(c.name));
    EXPECT_EQ(column.get(QStringLiteral("Type")).toInt(), c.adoType);
    EXPECT_EQ(column.get(QStringLiteral("DefinedSize")).toInt(), c.definedSize);
    EXPECT_EQ(TKorvADOXConnection::DataTypeName(c.adoType), QString::fromLatin1(c.typeName));
}

INSTANTIATE_TEST_SUITE_P(EveryJetType, JetColumnTypes, ::testing::ValuesIn(kColumnCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(JetFiles, DecimalReportsPrecisionAndScaleTheRightWayRound)
{
    jet::Column amount = jet::makeColumn("Amount", jet::ColumnType::Numeric);
    amount.precision = 18;
    amount.scale = 4;
    jet::Database db;
    db.tables = {jet::Table{QStringLiteral("T"), {amount}}};
    const Variant column = open(jetString(write(db)))
                               .get(QStringLiteral("Tables"))
                               .get(QStringLiteral("Item"), {Variant("T")})
                               .get(QStringLiteral("Columns"))
                               .get(QStringLiteral("Item"), {Variant(0)});
    EXPECT_EQ(column.get(QStringLiteral("Precision")).toInt(), 18);
    EXPECT_EQ(column.get(QStringLiteral("NumericScale")).toInt(), 4);
}

// Text lengths are characters whatever the file's text storage; Jet 3 stores one byte a character.
TEST_F(JetFiles, Jet3AndAceFilesAreRead)
{
    for (jet::Format format : {jet::Format::Jet3, jet::Format::Ace12}) {
        jet::Database db;
        db.format = format;
        db.tables = {jet::Table{QStringLiteral("People"),
                                {jet::makeColumn("Name", jet::ColumnType::Text, 40),
                                 jet::makeColumn("Photo", jet::ColumnType::Binary, 30)}}};
        const Variant catalog =
            open(jetString(write(db, format == jet::Format::Jet3 ? "j3.mdb" : "ace.accdb")));
        EXPECT_TRUE(tableNames(catalog).contains("People"));
        const Variant columns = catalog.get(QStringLiteral("Tables"))
                                    .get(QStringLiteral("Item"), {Variant("People")})
                                    .get(QStringLiteral("Columns"));
        EXPECT_EQ(
            columns.get(QStringLiteral("Item"), {Variant(0)}).get(QStringLiteral("DefinedSize")).toInt(), 40);
        EXPECT_EQ(
            columns.get(QStringLiteral("Item"), {Variant(1)}).get(QStringLiteral("DefinedSize")).toInt(), 30);
    }
}

// Big enough that the catalogue reaches the program in many pieces.
TEST_F(JetFiles, ALargeCatalogueArrivesWhole)
{
    const jet::Database db = jet::benchmarkDatabase(400, 30);
    const Variant tables = open(jetString(write(db, "big.mdb"))).get(QStringLiteral("Tables"));
    const int count = tables.get(QStringLiteral("Count")).toInt();
    int userTables = 0;
    for (int i = 0; i < count; ++i) {
        const Variant table = tables.get(QStringLiteral("Item"), {Variant(i)});
        if (table.get(QStringLiteral("Name")).toText().startsWith(QLatin1String("MSys")))
            continue;
        ++userTables;
        ASSERT_EQ(table.get(QStringLiteral("Columns")).get(QStringLiteral("Count")).toInt(), 30) << i;
    }
    EXPECT_EQ(userTables, 400);
}

TEST_F(JetFiles, AceOnlyTypesHaveTheirAdoNumbers)
{
    jet::Database db;
    db.format = jet::Format::Ace12;
    db.tables = {jet::Table{QStringLiteral("New"),
                            {jet::makeColumn("Big", jet::ColumnType::BigInt),
                             jet::makeColumn("When", jet::ColumnType::ExtDateTime),
                             jet::makeColumn("Files", jet::ColumnType::Complex)}}};
    const Variant columns = open(jetString(write(db, "new.accdb")))
                                .get(QStringLiteral("Tables"))
                                .get(QStringLiteral("Item"), {Variant("New")})
                                .get(QStringLiteral("Columns"));
    QList<int> types;
    for (int i = 0; i < 3; ++i)
        types << columns.get(QStringLiteral("Item"), {Variant(i)}).get(QStringLiteral("Type")).toInt();
    EXPECT_EQ(types, QList<int>({20, 135, 205}));
}

struct PasswordCase
{
    const char* name;
    jet::Format format;
    const char* stored;
    const char* given;
    int expected; // help context, 0 = opens
};

void PrintTo(const PasswordCase& c, std::ostream* os)
{
    *os << c.name;
}

class JetPasswords : public JetFiles, public ::testing::WithParamInterface<PasswordCase>
{
};

TEST_P(JetPasswords, ChecksTheDatabasePasswordLikeJet)
{
    const PasswordCase& c = GetParam();
    jet::Database db;
    db.format = c.format;
    db.password = QString::fromUtf8(c.stored);
    db.tables = {jet::Table{QStringLiteral("T"), {jet::makeColumn("a", jet::ColumnType::Long)}}};
    QString text;
    EXPECT_EQ(openError(jetString(write(db), QString::fromUtf8(c.given)), &text), c.expected);
    if (c.expected == 5003031) {
        EXPECT_EQ(text, "Not a valid password.");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JetPasswords,
    ::testing::Values(PasswordCase{"Jet4Right", jet::Format::Jet4, "Secret1", "Secret1", 0},
                      PasswordCase{"Jet4WrongCase", jet::Format::Jet4, "Secret1", "secret1", 5003031},
                      PasswordCase{"Jet4Missing", jet::Format::Jet4, "Secret1", "", 5003031},
                      PasswordCase{"Jet4Prefix", jet::Format::Jet4, "Secret1", "Secret", 5003031},
                      PasswordCase{"Jet4Unicode", jet::Format::Jet4, "Grüße€", "Grüße€", 0},
                      PasswordCase{"Jet4Twenty", jet::Format::Jet4, "abcdefghijklmnopqrst",
                                   "abcdefghijklmnopqrst", 0},
                      // The field holds 20 characters: Jet compares no further.
                      PasswordCase{"Jet4LongerThanField", jet::Format::Jet4, "abcdefghijklmnopqrst",
                                   "abcdefghijklmnopqrstXYZ", 0},
                      PasswordCase{"NoPasswordGivenOne", jet::Format::Jet4, "", "x", 5003031},
                      PasswordCase{"NoPasswordNoneGiven", jet::Format::Jet4, "", "", 0},
                      PasswordCase{"Jet3Right", jet::Format::Jet3, "Geheim", "Geheim", 0},
                      PasswordCase{"Jet3Wrong", jet::Format::Jet3, "Geheim", "geheim", 5003031},
                      PasswordCase{"Jet3Missing", jet::Format::Jet3, "Geheim", "", 5003031},
                      PasswordCase{"Jet3CodePage", jet::Format::Jet3, "Größe", "Größe", 0},
                      // An ACE header with a Jet password but no database key is not encrypted
                      // (Access never writes one; test_accdb_encrypted has the real thing): its
                      // password is checked as Jet 4's.
                      PasswordCase{"AceWrong", jet::Format::Ace12, "Secret1", "nope", 5003031},
                      PasswordCase{"AceRight", jet::Format::Ace12, "Secret1", "Secret1", 0}),
    [](const auto& p) { return std::string(p.param.name); });

struct LoginCase
{
    const char* user;
    const char* password;
    int expected;
};

void PrintTo(const LoginCase& c, std::ostream* os)
{
    *os << "user '" << c.user << "' password '" << c.password << "'";
}

class JetLogins : public JetFiles, public ::testing::WithParamInterface<LoginCase>
{
};

TEST_P(JetLogins, OnlyTheDefaultAdminWithoutPasswordGetsIn)
{
    jet::Database db;
    db.tables = {jet::Table{QStringLiteral("T"), {jet::makeColumn("a", jet::ColumnType::Long)}}};
    QString text;
    const int error = openError(jetString(write(db), QString(), QString::fromUtf8(GetParam().user),
                                          QString::fromUtf8(GetParam().password)),
                                &text);
    EXPECT_EQ(error, GetParam().expected);
    if (error == 5003029) {
        EXPECT_EQ(text, "Not a valid account name or password.");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, JetLogins,
                         ::testing::Values(LoginCase{"", "", 0}, LoginCase{"Admin", "", 0},
                                           LoginCase{"aDMIN", "", 0}, LoginCase{"Bob", "", 5003029},
                                           LoginCase{"Admin", "x", 5003029}, LoginCase{"", "x", 5003029}));

TEST_F(JetFiles, TheLogInIsCheckedBeforeTheFile)
{
    EXPECT_EQ(openError(jetString(dir() + "/missing.mdb", QString(), "Bob")), 5003029);
}

TEST_F(JetFiles, FilesThatCannotBeReadGiveJetsErrors)
{
    QString text;
    const QString missing = dir() + "/missing.mdb";
    EXPECT_EQ(openError(jetString(missing), &text), 5003024);
    EXPECT_EQ(text, QStringLiteral("Could not find file '%1'.").arg(missing));
    EXPECT_EQ(openError(jetString(QString())), 5003024);
    EXPECT_EQ(openError(jetString(dir() + "/nofolder/x.mdb")), 5003024);
    // The name must not be cut at a NUL and open the file before it.
    jet::Database db;
    const QString real = write(db, QStringLiteral("real.mdb"));
    EXPECT_EQ(openError(jetString(real + QChar(0) + QStringLiteral("x"))), 5003024);

    EXPECT_EQ(openError(jetString(dir()), &text), 5003051);
    EXPECT_TRUE(text.contains(dir()));

    // A FIFO without a writer would block a plain open; it must be refused at once.
    const QString fifo = dir() + "/pipe.mdb";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(openError(jetString(fifo)), 5003051);
    // Reading this one fails even for root.
    EXPECT_EQ(openError(jetString(QStringLiteral("/proc/self/mem"))), 5003051);

    const QString text1 = dir() + "/notes.mdb";
    QFile f(text1);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(8192, 'x'));
    f.close();
    EXPECT_EQ(openError(jetString(text1), &text), 5003343);
    EXPECT_EQ(text, QStringLiteral("Unrecognized database format '%1'.").arg(text1));

    const QString empty = dir() + "/empty.mdb";
    QFile e(empty);
    ASSERT_TRUE(e.open(QIODevice::WriteOnly));
    e.close();
    EXPECT_EQ(openError(jetString(empty)), 5003343);
}

TEST_F(JetFiles, ARefusedReconnectKeepsTheOpenCatalogue)
{
    jet::Database db;
    db.tables = {jet::Table{QStringLiteral("Kept"), {jet::makeColumn("a", jet::ColumnType::Long)}}};
    Variant catalog = open(jetString(write(db)));
    EXPECT_THROW(catalog.put(QStringLiteral("ActiveConnection"), Variant(jetString(dir() + "/gone.mdb"))),
                 AutomationError);
    EXPECT_TRUE(tableNames(catalog).contains("Kept"));
}

TEST_F(JetFiles, AClosedCatalogueHasNoTables)
{
    const Variant catalog = CreateOleObject(QStringLiteral("ADOX.Catalog"));
    EXPECT_THROW(catalog.get(QStringLiteral("Tables")), AutomationError);
}

TEST_F(JetFiles, ConnectionStringKeysIgnoreCaseAndQuotes)
{
    jet::Database db;
    db.password = QStringLiteral("a;b=c");
    const QString path = write(db, "semi colon.mdb");
    EXPECT_EQ(openError(QStringLiteral("data source=%1;JET OLEDB:DATABASE PASSWORD=\"a;b=c\"").arg(path)), 0);
    EXPECT_EQ(openError(QStringLiteral(" Data Source =%1; Jet OLEDB:Database Password ='a;b=c'").arg(path)),
              0);
}

class JetQuery : public JetFiles
{
protected:
    QString sampleFile()
    {
        jet::Database db;
        db.password = QStringLiteral("pw");
        db.tables = {jet::Table{QStringLiteral("Customers"), {jet::makeColumn("a", jet::ColumnType::Long)}},
                     jet::Table{QStringLiteral("Secret"),
                                {jet::makeColumn("a", jet::ColumnType::Long)},
                                jet::TableFlag::Hidden},
                     jet::Table{QStringLiteral("Attachments"),
                                {jet::makeColumn("a", jet::ColumnType::Long)},
                                0x40000}};
        return write(db);
    }
    static const QString kSystemTables;
};
const QString JetQuery::kSystemTables =
    QStringLiteral("SELECT * FROM MSysObjects where type = 1 and flags <> 0");

// A hidden table is the user's; so is one Access 2007 flags for its attachment or multi-value
// fields, whatever "flags <> 0" says to the letter.
TEST_F(JetQuery, FindsTheSystemTablesButNotHiddenOnes)
{
    auto q = CreateQueryObject(ptAccess);
    q->setConnectionString(jetString(sampleFile(), QStringLiteral("pw")));
    q->close();
    q->setCommandText(kSystemTables);
    q->open();
    for (const char* name :
         {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships", "MSysAccessStorage"})
        EXPECT_TRUE(q->locate(QStringLiteral("name"), QString::fromLatin1(name))) << name;
    EXPECT_FALSE(q->locate(QStringLiteral("name"), QStringLiteral("Secret")));
    EXPECT_FALSE(q->locate(QStringLiteral("name"), QStringLiteral("Attachments")));
    EXPECT_FALSE(q->locate(QStringLiteral("name"), QStringLiteral("Customers")));
    EXPECT_FALSE(q->locate(QStringLiteral("name"), QStringLiteral("msysobjects")));
    EXPECT_FALSE(q->locate(QStringLiteral("nosuchfield"), QStringLiteral("MSysObjects")));
    q->close();
    EXPECT_FALSE(q->locate(QStringLiteral("name"), QStringLiteral("MSysObjects")));
}

TEST_F(JetQuery, StatementsTheReaderWouldMisreadAreHandled)
{
    auto q = CreateQueryObject(ptAccess);
    q->setConnectionString(jetString(sampleFile(), QStringLiteral("pw")));
    // A closing ";" is fine for Jet.
    q->setCommandText(kSystemTables + QStringLiteral(" ;"));
    EXPECT_NO_THROW(q->open());
    EXPECT_TRUE(q->locate(QStringLiteral("Name"), QStringLiteral("MSysObjects")));
    // A misspelt column must not turn into "every row".
    q->setCommandText(QStringLiteral("SELECT * FROM MSysObjects where typo = 1"));
    EXPECT_THROW(q->open(), AutomationError);
    EXPECT_FALSE(q->locate(QStringLiteral("Name"), QStringLiteral("MSysObjects")));
    q->setCommandText(QStringLiteral("SELECT * FROM NoSuchTable"));
    EXPECT_THROW(q->open(), AutomationError);
}

TEST_F(JetQuery, ConnectionFailuresAreErrors)
{
    const QString path = sampleFile();
    auto q = CreateQueryObject(ptAccess);
    q->setCommandText(kSystemTables);
    EXPECT_THROW(q->open(), AutomationError); // no connection string yet
    q->setConnectionString(jetString(path, QStringLiteral("wrong")));
    try {
        q->open();
        ADD_FAILURE() << "opened with a wrong password";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.helpContext(), 5003031);
    }
    q->setConnectionString(jetString(dir() + "/gone.mdb"));
    EXPECT_THROW(q->open(), AutomationError);
}

TEST_F(JetQuery, AFileNameIsNeverExpandedByAShell)
{
    jet::Database db;
    const QString marker = dir() + "/ran";
    const QString path = write(db, QStringLiteral("$(touch ran) x.mdb"));
    auto q = CreateQueryObject(ptAccess);
    q->setConnectionString(jetString(path));
    q->setCommandText(kSystemTables);
    QDir::setCurrent(dir());
    EXPECT_NO_THROW(q->open());
    EXPECT_TRUE(q->locate(QStringLiteral("name"), QStringLiteral("MSysObjects")));
    EXPECT_FALSE(QFile::exists(marker));
}

// Member names as automation matches them: without regard to case, as Unicode folds it.
struct MemberCase
{
    const char* label;
    QString spelling;
    QString member; // empty: no such member
};

void PrintTo(const MemberCase& c, std::ostream* os)
{
    *os << c.label;
}

// One table whose column names need more than ASCII.
class JetMembers : public JetFiles, public ::testing::WithParamInterface<MemberCase>
{
protected:
    Variant columns()
    {
        jet::Database db;
        db.withSystemTables = false;
        db.tables = {jet::Table{QStringLiteral("Orders"),
                                {jet::makeColumn("Note", jet::ColumnType::Text, 40),
                                 jet::makeColumn("Straße", jet::ColumnType::Long),
                                 jet::makeColumn("Größe_€", jet::ColumnType::Text, 12)}}};
        m_catalog = open(jetString(write(db)));
        return m_catalog.get(QStringLiteral("Tables"))
            .get(QStringLiteral("Item"), {Variant("Orders")})
            .get(QStringLiteral("Columns"));
    }
    Variant m_catalog;
};

TEST_P(JetMembers, MatchAsTheGeneralComparisonDoes)
{
    const Variant note = columns().get(QStringLiteral("Item"), {Variant(0)});
    if (GetParam().member.isEmpty()) {
        EXPECT_THROW(note.get(GetParam().spelling), AutomationError);
        return;
    }
    const Variant expected = note.get(GetParam().member);
    const Variant got = note.get(GetParam().spelling);
    EXPECT_EQ(got.kind(), expected.kind());
    EXPECT_EQ(got.toText(), expected.toText());
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, JetMembers,
    ::testing::Values(MemberCase{"Exact", QStringLiteral("DefinedSize"), QStringLiteral("DefinedSize")},
                      MemberCase{"Lower", QStringLiteral("name"), QStringLiteral("Name")},
                      MemberCase{"Upper", QStringLiteral("TYPE"), QStringLiteral("Type")},
                      MemberCase{"Mixed", QStringLiteral("dEFINEDsIZE"), QStringLiteral("DefinedSize")},
                      // U+017F LATIN SMALL LETTER LONG S folds to "s" in Unicode case folding.
                      MemberCase{"FoldsBeyondAscii", QStringLiteral("Definedſize"),
                                 QStringLiteral("DefinedSize")},
                      MemberCase{"Shorter", QStringLiteral("Nam"), QString()},
                      MemberCase{"Longer", QStringLiteral("Names"), QString()},
                      MemberCase{"SameLengthOtherLetters", QStringLiteral("Nome"), QString()},
                      MemberCase{"AccentedLetter", QStringLiteral("Näme"), QString()}),
    [](const ::testing::TestParamInfo<MemberCase>& p) { return std::string(p.param.label); });

TEST_F(JetFiles, ColumnNamesBeyondAsciiReadBackAndAreFoundWithoutRegardToCase)
{
    jet::Database db;
    db.withSystemTables = false;
    db.tables = {jet::Table{QStringLiteral("Orders"),
                            {jet::makeColumn("Straße", jet::ColumnType::Long),
                             jet::makeColumn("Größe_€", jet::ColumnType::Text, 12)}}};
    Variant catalog = open(jetString(write(db)));
    const Variant columns = catalog.get(QStringLiteral("Tables"))
                                .get(QStringLiteral("Item"), {Variant("Orders")})
                                .get(QStringLiteral("Columns"));
    const Variant size = columns.get(QStringLiteral("Item"), {Variant(QStringLiteral("GRÖßE_€"))});
    EXPECT_EQ(size.get(QStringLiteral("Name")).toText(), QStringLiteral("Größe_€"));
    // Case folding maps one character to one: "ß" is no "SS".
    EXPECT_THROW(columns.get(QStringLiteral("Item"), {Variant(QStringLiteral("STRASSE"))}), AutomationError);
    // A column object outlives its catalogue's reconnection and the catalogue itself.
    catalog.put(QStringLiteral("ActiveConnection"),
                Variant(jetString(write(db, QStringLiteral("other.mdb")))));
    catalog.clear();
    EXPECT_EQ(size.get(QStringLiteral("Name")).toText(), QStringLiteral("Größe_€"));
    EXPECT_EQ(size.get(QStringLiteral("DefinedSize")).toInt(), 12);
}

} // namespace
