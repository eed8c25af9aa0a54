// Composition of ADO connection strings: exact bytes for every kind, property and quoting case.
#include "Korvado.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <functional>
#include <ostream>

namespace {

const QString kJetDefaults = QStringLiteral(
    "Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";User ID=Admin;Data Source=\"\";Mode=Share Deny None;"
    "Extended Properties=\"\";Jet OLEDB:System database=\"\";Jet OLEDB:Registry Path=\"\";"
    "Jet OLEDB:Database Password=\"\";Jet OLEDB:Engine Type=5;Jet OLEDB:Database Locking Mode=1;"
    "Jet OLEDB:Global Partial Bulk Ops=2;Jet OLEDB:Global Bulk Transactions=1;"
    "Jet OLEDB:New Database Password=\"\";Jet OLEDB:Create System Database=False;"
    "Jet OLEDB:Encrypt Database=False;Jet OLEDB:Don't Copy Locale on Compact=False;"
    "Jet OLEDB:Compact Without Replica Repair=False;Jet OLEDB:SFP=False");

const QString kSQLDefaults = QStringLiteral(
    "Provider=SQLOLEDB.1;Password=\"\";User ID=Admin;Data Source=\"\";Persist Security Info=False;"
    "Initial Catalog=\"\";Use Procedure for Prepare=1;Auto Translate=True;Packet Size=4096;"
    "Workstation ID=\"\"");

QString replaced(const QString& s, const char* before, const char* after)
{
    QString out = s;
    const qsizetype at = out.indexOf(QLatin1String(before));
    EXPECT_GE(at, 0) << before;
    out.replace(at, qsizetype(std::strlen(before)), QString::fromUtf8(after));
    return out;
}

} // namespace

TEST(KorvADOConnectionStringTest, DefaultsOfEachKind)
{
    EXPECT_EQ(TKorvADOConnectionString(csJet).BuildConnectionString(), kJetDefaults);
    EXPECT_EQ(TKorvADOConnectionString(csSQLServer).BuildConnectionString(), kSQLDefaults);
    EXPECT_EQ(TKorvADOConnectionString(csSQLServer2).BuildConnectionString(), kSQLDefaults);
    EXPECT_EQ(kJetDefaults.split(u';').size(), 19);
    EXPECT_EQ(kSQLDefaults.split(u';').size(), 10);
}

TEST(KorvADOConnectionStringTest, UnknownKindComposesNothing)
{
    TKorvADOConnectionString cs(static_cast<TConnectionStringKind>(3));
    EXPECT_EQ(cs.BuildConnectionString(), QString());
    EXPECT_TRUE(cs.Provider.isEmpty());
    EXPECT_EQ(cs.SQLOLEDB_PacketSize, 0);
}

struct BuildCase
{
    const char* name;
    TConnectionStringKind kind;
    std::function<void(TKorvADOConnectionString&)> change;
    const char* before; // piece of the default string
    const char* after;  // what it becomes
};

void PrintTo(const BuildCase& c, std::ostream* os)
{
    *os << c.name;
}

class BuildTest : public ::testing::TestWithParam<BuildCase>
{
};

TEST_P(BuildTest, ChangesExactlyItsItem)
{
    const BuildCase& c = GetParam();
    TKorvADOConnectionString cs(c.kind);
    c.change(cs);
    const QString& defaults = c.kind == csJet ? kJetDefaults : kSQLDefaults;
    EXPECT_EQ(cs.BuildConnectionString(), replaced(defaults, c.before, c.after));
    if (c.kind == csSQLServer) {
        // Both SQL Server kinds give the same string from the same properties.
        TKorvADOConnectionString twin(csSQLServer2);
        c.change(twin);
        EXPECT_EQ(twin.BuildConnectionString(), cs.BuildConnectionString());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Properties, BuildTest,
    ::testing::Values(
        BuildCase{"empty user", csJet, [](auto& cs) { cs.UserID.clear(); }, "User ID=Admin;", "User ID=;"},
        BuildCase{"mode", csJet, [](auto& cs) { cs.Mode = cmReadWrite; }, "Mode=Share Deny None",
                  "Mode=Read Write"},
        BuildCase{"mode above range", csJet, [](auto& cs) { cs.Mode = static_cast<TConnectMode>(200); },
                  "Mode=Share Deny None", "Mode=Share Deny None"},
        BuildCase{"mode not in SQL", csSQLServer, [](auto& cs) { cs.Mode = cmRead; }, "", ""},
        BuildCase{"packet size", csSQLServer, [](auto& cs) { cs.SQLOLEDB_PacketSize = -1; },
                  "Packet Size=4096", "Packet Size=-1"},
        BuildCase{"engine type", csJet, [](auto& cs) { cs.JetOLEDB_EngineType = -2147483647 - 1; },
                  "Engine Type=5", "Engine Type=-2147483648"},
        BuildCase{"booleans", csJet, [](auto& cs) { cs.JetOLEDB_SFP = true; }, "SFP=False", "SFP=True"},
        BuildCase{"persist", csSQLServer, [](auto& cs) { cs.SQLOLEDB_PersistSecurityInfo = true; },
                  "Persist Security Info=False", "Persist Security Info=True"},
        BuildCase{"SQL fields not in Jet", csJet, [](auto& cs) { cs.SQLOLEDB_InitialCatalog = "db"; }, "",
                  ""},
        BuildCase{"Jet fields not in SQL", csSQLServer, [](auto& cs) { cs.JetOLEDB_DatabasePassword = "pw"; },
                  "", ""},
        BuildCase{"equals stays plain", csSQLServer, [](auto& cs) { cs.Password = "a=b"; }, "Password=\"\"",
                  "Password=a=b"},
        BuildCase{"inner quote stays plain", csSQLServer, [](auto& cs) { cs.Password = "it\"s"; },
                  "Password=\"\"", "Password=it\"s"},
        BuildCase{"semicolon quoted", csSQLServer, [](auto& cs) { cs.Password = "x;Data Source=otherhost"; },
                  "Password=\"\"", "Password=\"x;Data Source=otherhost\""},
        BuildCase{"leading blank quoted", csJet, [](auto& cs) { cs.DataSource = " /db.mdb"; },
                  "Data Source=\"\"", "Data Source=\" /db.mdb\""},
        BuildCase{"trailing blank quoted", csSQLServer, [](auto& cs) { cs.UserID = "sa "; }, "User ID=Admin",
                  "User ID=\"sa \""},
        BuildCase{"leading quote doubled", csSQLServer,
                  [](auto& cs) { cs.SQLOLEDB_InitialCatalog = "\"q\"x"; }, "Initial Catalog=\"\"",
                  "Initial Catalog=\"\"\"q\"\"x\""},
        BuildCase{"leading apostrophe", csJet, [](auto& cs) { cs.JetOLEDB_DatabasePassword = "'pw"; },
                  "Database Password=\"\"", "Database Password=\"'pw\""}),
    [](const ::testing::TestParamInfo<BuildCase>& p) {
        std::string n = p.param.name;
        for (char& ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

TEST(KorvADOConnectionStringTest, ModeAndBoolTexts)
{
    const char* texts[] = {
        "Unknown",         "Read",           "Write", "Read Write", "Share Deny Read", "Share Deny Write",
        "Share Exclusive", "Share Deny None"};
    for (int m = 0; m <= 7; ++m)
        EXPECT_EQ(TKorvADOConnectionString::ModeText(static_cast<TConnectMode>(m)), QLatin1String(texts[m]));
    EXPECT_EQ(TKorvADOConnectionString::ModeText(static_cast<TConnectMode>(8)),
              QStringLiteral("Share Deny None"));
    EXPECT_EQ(TKorvADOConnectionString::BoolText(true), QStringLiteral("True"));
    EXPECT_EQ(TKorvADOConnectionString::BoolText(false), QStringLiteral("False"));
}
