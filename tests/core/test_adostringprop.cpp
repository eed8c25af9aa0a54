// Reading server, login, password and database back out of ADO connection strings.
#include "ADOStringProp.h"
#include "Korvado.h"

#include <gtest/gtest.h>

#include <ostream>

struct ParseCase
{
    const char* text;
    const char* dataSource;
    const char* password;
    const char* userID;
    const char* initialCatalog;
};

void PrintTo(const ParseCase& c, std::ostream* os)
{
    *os << '"' << c.text << '"';
}

class ParseTest : public ::testing::TestWithParam<ParseCase>
{
};

TEST_P(ParseTest, TakesTheFourValues)
{
    const ParseCase& c = GetParam();
    const TKorvADOStringProp p(QString::fromUtf8(c.text));
    EXPECT_EQ(p.ConnectionString, QString::fromUtf8(c.text));
    EXPECT_EQ(p.DataSource, QString::fromUtf8(c.dataSource));
    EXPECT_EQ(p.Password, QString::fromUtf8(c.password));
    EXPECT_EQ(p.UserID, QString::fromUtf8(c.userID));
    EXPECT_EQ(p.InitialCatalog, QString::fromUtf8(c.initialCatalog));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseTest,
    ::testing::Values(
        ParseCase{"", "", "", "", ""},
        ParseCase{"Provider=SQLOLEDB.1;Password=pw;User ID=sa;Data Source=srv;Initial Catalog=db;", "srv",
                  "pw", "sa", "db"},
        ParseCase{"Data Source=srv;data source=other;DATA SOURCE=third", "srv", "", "", ""},
        ParseCase{"Password=a=b=c", "", "a=b=c", "", ""},
        ParseCase{"Data Source = srv;User ID =sa", "", "", "", ""},
        ParseCase{"User ID=a;User ID=b", "", "", "b", ""},
        ParseCase{"User ID= padded ", "", "", " padded ", ""},
        ParseCase{"Password;Data Source=;;Initial Catalog", "", "", "", ""},
        // Quoted values: the marker reads as empty, ";" inside stays in the value.
        ParseCase{"Password=\"\";Workstation ID=\"\"", "", "", "", ""},
        ParseCase{"Password=\"x;Data Source=otherhost\";Data Source=real", "real", "x;Data Source=otherhost",
                  "", ""},
        ParseCase{"Initial Catalog='it''s';User ID=\"say \"\"hi\"\"\"", "", "", "say \"hi\"", "it's"},
        ParseCase{"Password=it\"s;User ID=o'neil", "", "it\"s", "o'neil", ""}));

TEST(ADOStringPropTest, AbsentKeysKeepEarlierValues)
{
    TKorvADOStringProp p(QStringLiteral("Data Source=srv;User ID=sa;Password=pw;Initial Catalog=db"));
    p.SetConnectionString(QStringLiteral("Password=new"));
    EXPECT_EQ(p.DataSource, QStringLiteral("srv"));
    EXPECT_EQ(p.UserID, QStringLiteral("sa"));
    EXPECT_EQ(p.Password, QStringLiteral("new"));
    EXPECT_EQ(p.InitialCatalog, QStringLiteral("db"));
    EXPECT_EQ(p.ConnectionString, QStringLiteral("Password=new"));
}

class BuildParseRoundTrip : public ::testing::TestWithParam<const char*>
{
};

TEST_P(BuildParseRoundTrip, EveryValueComesBackAndNamesNothingElse)
{
    const QString value = QString::fromUtf8(GetParam());
    for (auto kind : {csSQLServer, csJet}) {
        TKorvADOConnectionString cs(kind);
        cs.Password = value;
        cs.UserID = value + QStringLiteral("u");
        cs.DataSource = QStringLiteral("realhost");
        cs.SQLOLEDB_InitialCatalog = QStringLiteral("realdb");
        const TKorvADOStringProp p(cs.BuildConnectionString());
        // The marker is the one value that cannot travel: it means "unset".
        EXPECT_EQ(p.Password, value == ADOEmptyValueMarker ? QString() : value);
        EXPECT_EQ(p.UserID, value + QStringLiteral("u"));
        EXPECT_EQ(p.DataSource, QStringLiteral("realhost"));
        EXPECT_EQ(p.InitialCatalog, kind == csJet ? QString() : QStringLiteral("realdb"));
    }
}

INSTANTIATE_TEST_SUITE_P(Values, BuildParseRoundTrip,
                         ::testing::Values("x;Data Source=otherhost", "a;Initial Catalog=other", "p=w",
                                           " lead", "trail ", "\"quoted\"", "'apos'", "a\"\"b", "\"", "'",
                                           ";", "=", "", "ä€;Ω", "\"\""));
