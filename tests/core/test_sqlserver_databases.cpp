// The data link dialog's database list against the test server: read from sys.databases, which
// shows what the login may see (Azure SQL Database: the login's database and master), and from
// sysdatabases only where the catalog view cannot be read.
#include "Automation.h"
#include "CatalogFixture.h"
#include "DataLinkString.h"
#include "TdsServerProcess.h"

#include <QSqlDatabase>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ListCase
{
    const char* name;
    bool azure;
    bool denyView;
    long failStatement; // with failNumber: the list's statement fails
    int failNumber;
    const char* database; // typed in the dialog
    QStringList expected; // empty: the list fails with failNumber
};

class DatabaseList : public ::testing::TestWithParam<ListCase>
{
};

TEST_P(DatabaseList, ShowsWhatTheServerShowsTheLogin)
{
    if (TdsServerProcess::odbcDriverPath().empty() ||
        !QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
        GTEST_SKIP() << "ODBC drivers missing";
    const ListCase& c = GetParam();
    QTemporaryDir dir;
    tdsfixture::writeStandardFixtures(dir.path().toStdString());
    TdsServerProcess::Options options;
    options.catalogDir = dir.path().toStdString();
    options.azure = c.azure;
    options.denyViewAnyDatabase = c.denyView;
    // Not sa: a sysadmin sees every database whatever the server denies others.
    options.logins = {"owner:"};
    options.owners = {"owner:we]ird';db"};
    options.failStatement = c.failStatement;
    options.failNumber = c.failNumber;
    TdsServerProcess server(options);
    TDataLinkFields fields;
    fields.Server = QStringLiteral("127.0.0.1,%1").arg(server.port());
    fields.User = QStringLiteral("owner");
    fields.Database = QString::fromUtf8(c.database);
    if (c.expected.isEmpty()) {
        try {
            ListServerDatabases(ComposeDataLinkString(fields));
            ADD_FAILURE() << "the list did not fail";
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.helpContext(), c.failNumber) << e.description().toStdString();
        }
        return;
    }
    EXPECT_EQ(ListServerDatabases(ComposeDataLinkString(fields)), c.expected);
}

const QStringList kAll = {QStringLiteral("big"), QStringLiteral("master"), QStringLiteral("sample"),
                          QStringLiteral("we]ird';db")};

INSTANTIATE_TEST_SUITE_P(
    Cases, DatabaseList,
    ::testing::Values(ListCase{"EveryDatabase", false, false, 0, 0, "", kAll},
                      ListCase{"OwnOnlyUnderDenyViewAnyDatabase",
                               false,
                               true,
                               0,
                               0,
                               "",
                               {QStringLiteral("master"), QStringLiteral("we]ird';db")}},
                      // sysdatabases would list all four here.
                      ListCase{"AzureShowsTheLoginsDatabaseAndMaster",
                               true,
                               false,
                               0,
                               0,
                               "sample",
                               {QStringLiteral("master"), QStringLiteral("sample")}},
                      ListCase{"CatalogViewDeniedFallsBackToSysdatabases", false, false, 1, 229, "", kAll},
                      // A deadlock is no reason to ask elsewhere: the server's error is the answer.
                      ListCase{"OtherFailuresAreNotHidden", false, false, 1, 1205, "", {}}),
    [](const ::testing::TestParamInfo<ListCase>& p) { return std::string(p.param.name); });

} // namespace
