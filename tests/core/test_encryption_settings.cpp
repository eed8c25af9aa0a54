// The two encryption choices on their way from the user to the log-in: the OLE DB properties of
// the connection string, the data link string, and the profile keys, and what they ask FreeTDS for.
#include "ADOStringProp.h"
#include "ConnectionProfiles.h"
#include "ConnectionSettings.h"
#include "DataLinkString.h"
#include "KorvIniFiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct CheckCase
{
    const char* name;
    const char* extra; // appended to a plain SQL Server string
    bool encryptionRequired;
    bool certificateChecked;
};

class EncryptionChoice : public ::testing::TestWithParam<CheckCase>
{
};

TEST_P(EncryptionChoice, WhatTheLoginAsksFor)
{
    const CheckCase& c = GetParam();
    const TKorvADOStringProp props(QStringLiteral("Provider=SQLOLEDB;Data Source=db;User ID=u") +
                                   QString::fromUtf8(c.extra));
    EXPECT_EQ(props.EncryptionRequired(), c.encryptionRequired);
    EXPECT_EQ(props.CertificateChecked(), c.certificateChecked);
}

INSTANTIATE_TEST_SUITE_P(
    Strings, EncryptionChoice,
    ::testing::Values(CheckCase{"NeitherNamedKeepsTheDriversDefault", "", false, false},
                      CheckCase{"EncryptionChecksTheCertificateAsOleDbDoes", ";Use Encryption for Data=True",
                                true, true},
                      CheckCase{"EncryptionWithATrustedCertificate",
                                ";Use Encryption for Data=True;Trust Server Certificate=True", true, false},
                      CheckCase{"CertificateCheckAlone", ";Trust Server Certificate=False", false, true},
                      CheckCase{"EncryptionOffIsTheDefault", ";Use Encryption for Data=False", false, false},
                      CheckCase{"AnyLetterCaseAndYes", ";use encryption for data=yes", true, true},
                      CheckCase{"NonsenseIsNotARequest", ";Use Encryption for Data=maybe", false, false}),
    [](const ::testing::TestParamInfo<CheckCase>& p) { return std::string(p.param.name); });

TEST(EncryptionConnectionString, LeftOutUnlessAskedAndReadBack)
{
    TConnectionProperties plain;
    plain.Server = QStringLiteral("db");
    plain.User = QStringLiteral("u");
    const QString unchanged = BuildSQLServerConnectionString(plain);
    EXPECT_FALSE(unchanged.contains(QLatin1String("Encryption")));
    EXPECT_FALSE(unchanged.contains(QLatin1String("Certificate")));

    TConnectionProperties asked = plain;
    asked.UseEncryption = QStringLiteral("True");
    asked.TrustServerCertificate = QStringLiteral("False");
    const QString built = BuildSQLServerConnectionString(asked);
    EXPECT_TRUE(built.startsWith(unchanged)) << built.toStdString();
    TConnectionProperties read;
    ApplySQLServerConnectionString(built, read);
    EXPECT_EQ(read.UseEncryption, QStringLiteral("True"));
    EXPECT_EQ(read.TrustServerCertificate, QStringLiteral("False"));
}

TEST(EncryptionDataLink, ComposedAndParsedBack)
{
    TDataLinkFields fields;
    fields.Server = QStringLiteral("db");
    fields.User = QStringLiteral("u");
    fields.Database = QStringLiteral("sales");
    EXPECT_FALSE(ComposeDataLinkString(fields).contains(QLatin1String("Encryption")));
    fields.UseEncryption = QStringLiteral("True");
    fields.TrustServerCertificate = QStringLiteral("True");
    const TDataLinkFields back = ParseDataLinkString(ComposeDataLinkString(fields));
    EXPECT_EQ(back.UseEncryption, QStringLiteral("True"));
    EXPECT_EQ(back.TrustServerCertificate, QStringLiteral("True"));
    EXPECT_EQ(back.Server, QStringLiteral("db"));
}

TEST(EncryptionProfiles, NewKeysRoundTripAndOldSectionsStayAsTheyWere)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("settings.ini"));
    const TConnectionProfiles profiles(file);
    TConnectionProperties plain;
    plain.Server = QStringLiteral("db");
    plain.User = QStringLiteral("u");
    plain.SavePW = QStringLiteral("False");
    ASSERT_TRUE(profiles.Save(ptSQLServer, QStringLiteral("old"), plain));
    TConnectionProperties encrypted = plain;
    encrypted.UseEncryption = QStringLiteral("True");
    encrypted.TrustServerCertificate = QStringLiteral("False");
    ASSERT_TRUE(profiles.Save(ptSQLServer, QStringLiteral("new"), encrypted));

    // A profile that asks for nothing is written without the keys, as the Windows program writes it.
    const QString oldSection = TConnectionProfiles::Section(ptSQLServer, QStringLiteral("old"));
    EXPECT_EQ(IniReadString(file, oldSection, QStringLiteral("Use Encryption for Data")), kNotPresentValue);

    TConnectionProperties loaded;
    profiles.Load(ptSQLServer, QStringLiteral("old"), loaded);
    EXPECT_TRUE(loaded.UseEncryption.isEmpty());
    EXPECT_TRUE(loaded.TrustServerCertificate.isEmpty());
    EXPECT_EQ(loaded.Server, QStringLiteral("db"));
    profiles.Load(ptSQLServer, QStringLiteral("new"), loaded);
    EXPECT_EQ(loaded.UseEncryption, QStringLiteral("True"));
    EXPECT_EQ(loaded.TrustServerCertificate, QStringLiteral("False"));
}

// The query timeout and read-only intent as profile keys: written only when chosen, read back,
// and carried by the connection string the profile opens with.
TEST(SqlServerProfileKeys, QueryTimeoutAndIntentRoundTrip)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("settings.ini"));
    const TConnectionProfiles profiles(file);
    TConnectionProperties props;
    props.Server = QStringLiteral("replica.example.org");
    props.User = QStringLiteral("u");
    props.SavePW = QStringLiteral("False");
    ASSERT_TRUE(profiles.Save(ptSQLServer, QStringLiteral("plain"), props));
    props.GeneralTimeout = QStringLiteral("45");
    props.ApplicationIntent = QStringLiteral("ReadOnly");
    ASSERT_TRUE(profiles.Save(ptSQLServer, QStringLiteral("replica"), props));

    const QString plainSection = TConnectionProfiles::Section(ptSQLServer, QStringLiteral("plain"));
    EXPECT_EQ(IniReadString(file, plainSection, QStringLiteral("General Timeout")), kNotPresentValue);
    EXPECT_EQ(IniReadString(file, plainSection, QStringLiteral("Application Intent")), kNotPresentValue);

    TConnectionProperties loaded;
    profiles.Load(ptSQLServer, QStringLiteral("replica"), loaded);
    EXPECT_EQ(loaded.GeneralTimeout, QStringLiteral("45"));
    EXPECT_EQ(loaded.ApplicationIntent, QStringLiteral("ReadOnly"));
    const TKorvADOStringProp opened(BuildSQLServerConnectionString(loaded));
    EXPECT_EQ(opened.QueryTimeout(), 45);
    EXPECT_TRUE(opened.ReadOnlyIntent());
    profiles.Load(ptSQLServer, QStringLiteral("plain"), loaded = {});
    const TKorvADOStringProp plain(BuildSQLServerConnectionString(loaded));
    EXPECT_EQ(plain.QueryTimeout(), 0);
    EXPECT_FALSE(plain.ReadOnlyIntent());
}

} // namespace
