// The window's two connection strings and the SQL Server settings read back from a returned string.
#include "ConnectionSettings.h"

#include "ConnectionStringItems.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>

namespace {

QString itemValue(const QString& connectionString, const QString& key, int* count = nullptr)
{
    QString value;
    int n = 0;
    for (const auto& item : SplitConnectionString(connectionString)) {
        if (item.key == key) {
            value = item.value;
            ++n;
        }
    }
    if (count)
        *count = n;
    return value;
}

} // namespace

TEST(BuildSQLServerConnectionStringTest, EmptyProperties)
{
    EXPECT_EQ(
        BuildSQLServerConnectionString({}),
        QStringLiteral("Provider=SQLOLEDB;Password=;User ID=;Data Source=;Persist Security Info=False;"
                       "Initial Catalog=;Use Procedure for Prepare=1;Auto Translate=True;Packet Size=4096;"
                       "Workstation ID=\"\""));
}

TEST(BuildSQLServerConnectionStringTest, FilledProperties)
{
    TConnectionProperties p;
    p.Server = "srv\\inst";
    p.Database = "Northwind";
    p.User = "sa";
    p.Password = "pw";
    p.UserPassword = "ignored";
    p.SystemDatabase = "ignored.mdw";
    p.SavePW = "True";
    EXPECT_EQ(
        BuildSQLServerConnectionString(p),
        QStringLiteral("Provider=SQLOLEDB;Password=pw;User ID=sa;Data Source=srv\\inst;"
                       "Persist Security Info=True;Initial Catalog=Northwind;Use Procedure for Prepare=1;"
                       "Auto Translate=True;Packet Size=4096;Workstation ID=\"\""));
    p.SavePW = "true";
    EXPECT_EQ(itemValue(BuildSQLServerConnectionString(p), "Persist Security Info"), QStringLiteral("False"));
}

TEST(BuildAccessConnectionStringTest, FixedWorkgroupAndUserValues)
{
    TConnectionProperties p;
    p.Database = "/data/Nord wind.mdb";
    p.Password = "dbpw";
    p.User = "";
    p.UserPassword = "";
    p.SystemDatabase = "/elsewhere/system.mdw";
    const QString expected = QStringLiteral(
        "Provider=Microsoft.Jet.OLEDB.4.0;Password=;User ID=;Data Source=/data/Nord wind.mdb;"
        "Mode=Share Deny None;Extended Properties=\"\";Jet OLEDB:System database=C:\\temp\\Karvenix.mdw;"
        "Jet OLEDB:Registry Path=\"\";Jet OLEDB:Database Password=dbpw;Jet OLEDB:Engine Type=5;"
        "Jet OLEDB:Database Locking Mode=1;Jet OLEDB:Global Partial Bulk Ops=2;"
        "Jet OLEDB:Global Bulk Transactions=1;Jet OLEDB:New Database Password=\"\";"
        "Jet OLEDB:Create System Database=False;Jet OLEDB:Encrypt Database=False;"
        "Jet OLEDB:Don't Copy Locale on Compact=False;Jet OLEDB:Compact Without Replica Repair=False;"
        "Jet OLEDB:SFP=False");
    EXPECT_EQ(BuildAccessConnectionString(p), expected);
    p.User = "Admin";
    p.UserPassword = "upw";
    const QString withUser = BuildAccessConnectionString(p);
    EXPECT_EQ(itemValue(withUser, "User ID"), QStringLiteral("Admin"));
    EXPECT_EQ(itemValue(withUser, "Password"), QStringLiteral("upw"));
}

struct ApplyCase
{
    const char* name;
    QString text;
    TConnectionProperties before;
    TConnectionProperties after;
};

void PrintTo(const ApplyCase& c, std::ostream* os)
{
    *os << c.name;
}

bool operator==(const TConnectionProperties& a, const TConnectionProperties& b)
{
    return a.Server == b.Server && a.Database == b.Database && a.User == b.User && a.Password == b.Password &&
           a.UserPassword == b.UserPassword && a.SystemDatabase == b.SystemDatabase && a.SavePW == b.SavePW;
}

void PrintTo(const TConnectionProperties& p, std::ostream* os)
{
    *os << "{Server=" << p.Server.toStdString() << " Database=" << p.Database.toStdString()
        << " User=" << p.User.toStdString() << " Password=" << p.Password.toStdString()
        << " SavePW=" << p.SavePW.toStdString() << '}';
}

class ApplyTest : public ::testing::TestWithParam<ApplyCase>
{
};

TEST_P(ApplyTest, ReadsTheFiveKeys)
{
    TConnectionProperties p = GetParam().before;
    ApplySQLServerConnectionString(GetParam().text, p);
    EXPECT_EQ(p, GetParam().after);
}

const QString kLong = QString(120, u's');

INSTANTIATE_TEST_SUITE_P(
    Cases, ApplyTest,
    ::testing::Values(
        ApplyCase{"dialog result",
                  "Provider=SQLOLEDB.1;Password=pw;Persist Security Info=True;User ID=sa;Initial Catalog=db;"
                  "Data Source=srv",
                  {},
                  {"srv", "db", "sa", "pw", "", "", "True"}},
        ApplyCase{"no persist empties password",
                  "Provider=SQLOLEDB.1;Password=pw;Persist Security Info=False;User ID=sa;Data Source=srv",
                  {},
                  {"srv", "", "sa", "", "", "", "False"}},
        ApplyCase{"windows login keeps user and password empty",
                  "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Data Source=srv",
                  {},
                  {"srv", "", "", "", "", "", "False"}},
        ApplyCase{"absent keys keep values",
                  "Data Source=new",
                  {"old", "db", "u", "p", "up", "sys", "True"},
                  {"new", "db", "u", "p", "up", "sys", "True"}},
        ApplyCase{"hundred character cut",
                  "Data Source=" + kLong + ";Initial Catalog=" + kLong,
                  {},
                  {kLong.left(100), kLong.left(100), "", "", "", "", ""}},
        ApplyCase{"prefix with longer key",
                  "Data Source =srv;Passwords=xy;User IDx",
                  {},
                  {"=srv", "", "", "=xy", "", "", ""}},
        ApplyCase{"letter case matters", "data source=srv;PASSWORD=pw", {}, {}},
        ApplyCase{"quoted values",
                  "Password=\"a;b\";User ID=' sa ';Data Source=\"\"",
                  {"old", "", "", "", "", "", ""},
                  {"", "", " sa ", "a;b", "", "", ""}},
        ApplyCase{"later item wins", "Data Source=a;Data Source=b", {}, {"b", "", "", "", "", "", ""}}),
    [](const ::testing::TestParamInfo<ApplyCase>& p) {
        std::string n = p.param.name;
        for (char& ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

class SettingsRoundTrip : public ::testing::TestWithParam<const char*>
{
};

TEST_P(SettingsRoundTrip, SQLServerPropertiesComeBack)
{
    const QString v = QString::fromUtf8(GetParam());
    for (int field = 0; field < 4; ++field) {
        TConnectionProperties p{"realhost", "realdb", "sa", "pw", "", "", "True"};
        QString* target[] = {&p.Server, &p.Database, &p.User, &p.Password};
        *target[field] = v;
        TConnectionProperties back;
        ApplySQLServerConnectionString(BuildSQLServerConnectionString(p), back);
        EXPECT_EQ(back, p) << "field " << field;
    }
}

TEST_P(SettingsRoundTrip, AccessPropertiesComeBack)
{
    const QString v = QString::fromUtf8(GetParam());
    TConnectionProperties p{"", "/data/x.mdb", "user", "dbpw", "upw", "", ""};
    for (int field = 0; field < 4; ++field) {
        TConnectionProperties q = p;
        QString* target[] = {&q.Database, &q.User, &q.Password, &q.UserPassword};
        *target[field] = v;
        const QString s = BuildAccessConnectionString(q);
        int sources = 0;
        EXPECT_EQ(itemValue(s, "Data Source", &sources), q.Database);
        EXPECT_EQ(sources, 1);
        EXPECT_EQ(itemValue(s, "User ID"), q.User);
        EXPECT_EQ(itemValue(s, "Password"), q.UserPassword);
        EXPECT_EQ(itemValue(s, "Jet OLEDB:Database Password"), q.Password);
        EXPECT_EQ(itemValue(s, "Jet OLEDB:System database"), AccessSystemDatabasePath);
        EXPECT_EQ(SplitConnectionString(s).size(), 19);
    }
}

INSTANTIATE_TEST_SUITE_P(Values, SettingsRoundTrip,
                         ::testing::Values("x;Data Source=otherhost", "x;Initial Catalog=master", "p=w",
                                           " lead", "trail ", " both ", "\"quoted\"", "'apos'", "a\"\"b",
                                           "\"\"", "\"", "'", ";", "=", "", "C:\\Daten;alt\\db=1.mdb",
                                           "ä€;Ω"));

TEST(SettingsRoundTripTest, PasswordCannotRedirectTheServer)
{
    TConnectionProperties p{"realhost", "realdb", "sa", "x;Data Source=otherhost", "", "", "False"};
    const QString s = BuildSQLServerConnectionString(p);
    TConnectionProperties back;
    ApplySQLServerConnectionString(s, back);
    EXPECT_EQ(back.Server, QStringLiteral("realhost"));
    EXPECT_EQ(back.Database, QStringLiteral("realdb"));
    int sources = 0;
    EXPECT_EQ(itemValue(s, "Data Source", &sources), QStringLiteral("realhost"));
    EXPECT_EQ(sources, 1);
}
