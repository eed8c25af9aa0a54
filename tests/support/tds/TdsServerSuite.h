// A suite whose tests share one test server: its catalogue files in a folder of the suite's own
// (the standard fixtures unless the suite writes its own), the server started once for the suite
// and ended after it, every test skipped where the FreeTDS ODBC driver is missing.
#pragma once

#include "CatalogFixture.h"
#include "TdsServerProcess.h"

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

class TdsServerSuite : public ::testing::Test
{
protected:
    using TWriteFixtures = std::function<void(const std::string& dir)>;

    // Called from a suite's SetUpTestSuite; a server that cannot start fails the suite's tests.
    static void StartServer(TdsServerProcess::Options options = {}, const TWriteFixtures& write = {})
    {
        if (TdsServerProcess::odbcDriverPath().empty())
            return;
        s_dir = std::make_unique<QTemporaryDir>();
        const std::string dir = s_dir->path().toStdString();
        if (write)
            write(dir);
        else
            tdsfixture::writeStandardFixtures(dir);
        options.catalogDir = dir;
        s_server = std::make_unique<TdsServerProcess>(options);
    }
    static void TearDownTestSuite()
    {
        s_server.reset();
        s_dir.reset();
    }
    void SetUp() override
    {
        if (TdsServerProcess::odbcDriverPath().empty())
            GTEST_SKIP() << "the FreeTDS ODBC driver (tdsodbc) is not installed";
        ASSERT_TRUE(s_server) << "the test server did not start";
    }

    // "127.0.0.1,PORT", as --server takes it.
    static QString address(int port = 0)
    {
        return QStringLiteral("127.0.0.1,%1").arg(port != 0 ? port : s_server->port());
    }

    inline static std::unique_ptr<QTemporaryDir> s_dir;
    inline static std::unique_ptr<TdsServerProcess> s_server;
};
