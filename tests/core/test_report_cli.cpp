// orvane-report end to end: the built program on generated Access files, and the opening flow
// with scripted answers in process.
#include "CatalogueSamples.h"
#include "CommandRuns.h"
#include "ConnectionProfiles.h"
#include "JetCatalogReader.h"
#include "JetWriter.h"
#include "KorvUserManagerCrypt.h"
#include "ReportCommand.h"
#include "ReportLines.h"
#include "Settings.h"
#include "TextCodec.h"
#include "VersionInfo.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <ostream>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const QString kProgram = QStringLiteral(ORVANE_BINARY_DIR "/src/orvane-report");

// Two user tables, a hidden one and the usual system tables.
jet::Database ShopDatabase(const QString& password = {})
{
    jet::Database db;
    db.password = password;
    db.tables = {jet::Table{QStringLiteral("Orders"),
                            {jet::makeColumn(QStringLiteral("Order_ID"), jet::ColumnType::Long),
                             jet::makeColumn(QStringLiteral("ShipName"), jet::ColumnType::Text, 40)}},
                 jet::Table{QStringLiteral("Customers"),
                            {jet::makeColumn(QStringLiteral("Customer_ID"), jet::ColumnType::Long),
                             jet::makeColumn(QStringLiteral("CompanyName"), jet::ColumnType::Text, 35)}},
                 jet::Table{QStringLiteral("Hidden"),
                            {jet::makeColumn(QStringLiteral("X"), jet::ColumnType::Long)},
                            jet::TableFlag::Hidden}};
    return db;
}

QString L(const QString& text)
{
    return QString(6, QLatin1Char(' ')) + text;
}

QString Title(const QString& name, QChar d = QLatin1Char('*'))
{
    return L(QString(3, d) + QLatin1Char(' ') + name + QLatin1Char(' ') + QString(65 - name.size(), d));
}

QString Col(int n, const QString& name, const QString& type, int length)
{
    return QString(10, QLatin1Char(' ')) + QString::number(n).rightJustified(3) + QLatin1Char(' ') +
           name.leftJustified(30) + QLatin1Char(' ') + type.leftJustified(20) + QLatin1Char(' ') +
           QString::number(length).rightJustified(5) + QStringLiteral("   ");
}

const QString kCustomersBlock =
    Title(QStringLiteral("Customers")) + QLatin1Char('\n') +
    Col(1, QStringLiteral("Customer_ID"), QStringLiteral("Integer"), 0) + QLatin1Char('\n') +
    Col(2, QStringLiteral("CompanyName"), QStringLiteral("VarWChar"), 35) + QLatin1Char('\n');
const QString kOrdersBlock =
    Title(QStringLiteral("Orders")) + QLatin1Char('\n') +
    Col(1, QStringLiteral("Order_ID"), QStringLiteral("Integer"), 0) + QLatin1Char('\n') +
    Col(2, QStringLiteral("ShipName"), QStringLiteral("VarWChar"), 40) + QLatin1Char('\n');

const QString kHiddenBlock = Title(QStringLiteral("Hidden")) + QLatin1Char('\n') +
                             Col(1, QStringLiteral("X"), QStringLiteral("Integer"), 0) + QLatin1Char('\n');

class ReportCliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QFileInfo::exists(kProgram)) << "build the orvane-report target first";
    }

    QString Write(const QString& name, const jet::Database& db)
    {
        const QString path = m_dir.filePath(name);
        jet::writeFile(path, db);
        return path;
    }

    // The header as the program writes it, up to and including its closing frame; the date line
    // is checked for its label only, the time being the program's own.
    static void ExpectHeader(const QStringList& lines, const QString& database, QChar d = QLatin1Char('*'),
                             bool german = false)
    {
        ASSERT_GE(lines.size(), 8);
        const QString frame = L(QString(70, d));
        const QString p = QString(3, d) + QLatin1Char(' ');
        EXPECT_EQ(lines.at(0), frame);
        EXPECT_EQ(lines.at(1), L(p + QStringLiteral("Orvane ") + OwnVersionInfoString(2)));
        EXPECT_EQ(lines.at(2), L(p + QString::fromUtf8(kProgramCopyright)));
        EXPECT_EQ(lines.at(3), frame);
        EXPECT_TRUE(lines.at(4).startsWith(
            L(p + (german ? QStringLiteral("Datum:     ") : QStringLiteral("Date:      ")))))
            << lines.at(4).toStdString();
        EXPECT_EQ(lines.at(5), L(p + QStringLiteral("Provider:  Access")));
        EXPECT_EQ(lines.at(6),
                  L(p + (german ? QStringLiteral("Datenbank: ") : QStringLiteral("Database:  ")) + database));
        EXPECT_EQ(lines.at(7), frame);
    }

    // The report without its eight header lines.
    static QString Body(const QString& out) { return out.section(QLatin1Char('\n'), 8); }

    QTemporaryDir m_dir;
};

TEST_F(ReportCliTest, PlainFileReportsEveryEnabledTableInCatalogueOrder)
{
    const QString file = Write(QStringLiteral("shop.mdb"), ShopDatabase());
    const ProgramRun run = RunProgram({QStringLiteral("--language"), QStringLiteral("en"), file});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty());
    ExpectHeader(run.out.split(QLatin1Char('\n')), file);
    // The hidden table is the user's: its flag in the catalogue does not make it a system table.
    EXPECT_EQ(Body(run.out), kCustomersBlock + kHiddenBlock + kOrdersBlock +
                                 L(QString(70, QLatin1Char('*'))) + QLatin1Char('\n'));
}

TEST_F(ReportCliTest, RelativePathIsReportedAsTheFullPath)
{
    Write(QStringLiteral("shop.mdb"), ShopDatabase());
    QProcess process;
    process.setChildProcessModifier([] { ::setsid(); });
    process.setWorkingDirectory(m_dir.path());
    process.start(kProgram, {QStringLiteral("--language"), QStringLiteral("de"),
                             QStringLiteral("--delimiter"), QStringLiteral("="), QStringLiteral("shop.mdb")});
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0);
    ExpectHeader(QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n')),
                 QDir(m_dir.path()).absoluteFilePath(QStringLiteral("shop.mdb")), QLatin1Char('='), true);
}

TEST_F(ReportCliTest, TableOptionsPickEntriesKeepingCatalogueOrder)
{
    const QString file = Write(QStringLiteral("shop.mdb"), ShopDatabase());
    const ProgramRun run =
        RunProgram({QStringLiteral("--language"), QStringLiteral("en"), QStringLiteral("--table"),
                    QStringLiteral("orders"), QStringLiteral("--table=Customers"), file});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(Body(run.out),
              kCustomersBlock + kOrdersBlock + L(QString(70, QLatin1Char('*'))) + QLatin1Char('\n'));

    const ProgramRun one = RunProgram({QStringLiteral("--table"), QStringLiteral("Orders"), file});
    ASSERT_EQ(one.exitCode, 0);
    EXPECT_EQ(Body(one.out), kOrdersBlock + L(QString(70, QLatin1Char('*'))) + QLatin1Char('\n'));
}

TEST_F(ReportCliTest, SystemTablesOnlyWhenAsked)
{
    const QString file = Write(QStringLiteral("shop.mdb"), ShopDatabase());
    const ProgramRun without = RunProgram({file});
    ASSERT_EQ(without.exitCode, 0);
    EXPECT_FALSE(without.out.contains(QStringLiteral("MSys")));
    // A table the user hid is the user's.
    EXPECT_TRUE(without.out.contains(Title(QStringLiteral("Hidden"))));

    const ProgramRun with = RunProgram({QStringLiteral("--system-tables"), file});
    ASSERT_EQ(with.exitCode, 0);
    for (const char* name : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships", "Hidden"})
        EXPECT_TRUE(with.out.contains(Title(QString::fromUtf8(name)))) << name;

    const ProgramRun picked = RunProgram({QStringLiteral("--table"), QStringLiteral("MSysObjects"), file});
    EXPECT_EQ(picked.exitCode, 1);
    EXPECT_TRUE(picked.out.isEmpty());
    EXPECT_EQ(picked.err,
              QStringLiteral("orvane-report: 'MSysObjects' is a system table (add --system-tables)\n"));
}

TEST_F(ReportCliTest, UnknownTableIsAnErrorAndPrintsNoReport)
{
    const QString file = Write(QStringLiteral("shop.mdb"), ShopDatabase());
    const ProgramRun run = RunProgram({QStringLiteral("--table"), QStringLiteral("Nope"), file});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(run.err, QStringLiteral("orvane-report: no table named 'Nope'\n"));
}

struct PasswordCase
{
    const char* label;
    QByteArray stdinText;
    bool passwordStdin;
    int exitCode;
};

void PrintTo(const PasswordCase& c, std::ostream* os)
{
    *os << c.label;
}

class PasswordTest : public ReportCliTest, public ::testing::WithParamInterface<PasswordCase>
{
};

TEST_P(PasswordTest, OpensOnlyWithTheRightPassword)
{
    const QString file = Write(QStringLiteral("locked.mdb"), ShopDatabase(QStringLiteral("s3cret;=x")));
    QStringList arguments{file};
    if (GetParam().passwordStdin)
        arguments.prepend(QStringLiteral("--password-stdin"));
    const ProgramRun run = RunProgram(arguments, GetParam().stdinText);
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err.toStdString();
    if (GetParam().exitCode == 0) {
        EXPECT_TRUE(run.out.contains(kCustomersBlock));
        EXPECT_TRUE(run.err.isEmpty());
    } else {
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_EQ(run.err, QStringLiteral("5003031: Not a valid password.\n"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Stdin, PasswordTest,
    ::testing::Values(PasswordCase{"Right", "s3cret;=x\n", true, 0},
                      PasswordCase{"RightWithCrLfAndMoreLines", "s3cret;=x\r\nignored\n", true, 0},
                      PasswordCase{"RightWithoutLineEnd", "s3cret;=x", true, 0},
                      PasswordCase{"Wrong", "s3cret\n", true, 1}, PasswordCase{"EmptyInput", "", true, 1},
                      PasswordCase{"NotGivenAndNoTerminal", "s3cret;=x\n", false, 1}),
    [](const ::testing::TestParamInfo<PasswordCase>& p) { return std::string(p.param.label); });

TEST_F(ReportCliTest, WorkgroupUserWithoutTerminalGetsTheAccountError)
{
    const QString file = Write(QStringLiteral("shop.mdb"), ShopDatabase());
    const ProgramRun bob = RunProgram({QStringLiteral("--user"), QStringLiteral("bob"), file});
    EXPECT_EQ(bob.exitCode, 1);
    EXPECT_TRUE(bob.err.startsWith(QStringLiteral("5003029: "))) << bob.err.toStdString();
    EXPECT_EQ(RunProgram({QStringLiteral("--user"), QStringLiteral("admin"), file}).exitCode, 0);
}

TEST_F(ReportCliTest, MissingFileGivesTheWindowsErrorText)
{
    const QString file = m_dir.filePath(QStringLiteral("absent.mdb"));
    const ProgramRun run = RunProgram({file});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(run.err, QStringLiteral("5003024: Could not find file '%1'.\n").arg(file));
}

// A copy of the program beside a settings file of the Windows program, which it only reads.
TEST_F(ReportCliTest, ProfilesOfTheSettingsFileAreListedAndReported)
{
    const QString folder = m_dir.filePath(QStringLiteral("bin"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::copy(kProgram, folder + "/orvane-report"));
    ASSERT_TRUE(QFile::copy(JetReaderProgram(), folder + "/orvane-jet-reader"));
    const QString file = Write(QStringLiteral("Bücher.mdb"), ShopDatabase(QStringLiteral("Geheim")));
    QFile ini(folder + "/orvane.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    const QByteArray settings = ToWindows1252(
        QStringList{"[Application]", "Language=2", "Delimiter=*", "[PR_Access_Läden]", "Database=" + file,
                    "Database Password=" + EncryptText(kProfileKey, "Geheim"),
                    "User=", "Password=" + EncryptText(kProfileKey, ""), "[PR_SQLServer_Zentrale]",
                    "Server=127.0.0.1,1", "Database=z", "Persist Security Info=False", ""}
            .join("\r\n"));
    ini.write(settings);
    ini.close();
    const auto run = [&](const QStringList& arguments) {
        return RunProgram(arguments, {}, folder + "/orvane-report");
    };

    EXPECT_EQ(run({"--list-profiles"}).out, "Access\tLäden\nSQLServer\tZentrale\n");
    const ProgramRun report = run({"--profile", "läden"});
    ASSERT_EQ(report.exitCode, 0) << report.err.toStdString();
    ExpectHeader(report.out.split(QLatin1Char('\n')), file);
    EXPECT_TRUE(report.out.contains(kCustomersBlock + kHiddenBlock + kOrdersBlock));
    EXPECT_EQ(
        run({"--profile", "Nix"}).err,
        "orvane-report: no profile named 'Nix'; the profiles are:\nAccess\tLäden\nSQLServer\tZentrale\n");
    EXPECT_EQ(run({"--profile", "Zentrale"}).err,
              "orvane-report: the profile 'Zentrale' keeps no password; give it with --password-stdin\n");
    EXPECT_EQ(run({"--profile", "Läden", "--login-timeout", "5"}).exitCode, 2);
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(ini.readAll(), settings);
}

struct UsageCase
{
    const char* label;
    QStringList arguments;
    const char* message;
};

void PrintTo(const UsageCase& c, std::ostream* os)
{
    *os << c.label;
}

class UsageTest : public ::testing::TestWithParam<UsageCase>
{
};

// The mistake's own line and where to read more, not the whole usage text.
TEST_P(UsageTest, ExitsTwoWithMessageAndHint)
{
    const ProgramRun run = RunProgram(GetParam().arguments);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(run.err, QStringLiteral("orvane-report: ") + QString::fromUtf8(GetParam().message) +
                           QStringLiteral("\nTry 'orvane-report --help'.\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, UsageTest,
    ::testing::Values(
        UsageCase{"UnknownOption",
                  {QStringLiteral("--frobnicate"), QStringLiteral("x.mdb")},
                  "unknown option --frobnicate"},
        UsageCase{"PasswordArgument",
                  {QStringLiteral("--password"), QStringLiteral("pw"), QStringLiteral("x.mdb")},
                  "passwords are not taken from the command line; use --password-stdin"},
        UsageCase{"NoFile", {QStringLiteral("--system-tables")}, "no database file given"},
        UsageCase{"TwoFiles",
                  {QStringLiteral("a.mdb"), QStringLiteral("b.mdb")},
                  "only one database file can be reported"},
        UsageCase{"BadLanguage",
                  {QStringLiteral("--language=fr"), QStringLiteral("x.mdb")},
                  "--language takes de or en, not 'fr'"},
        UsageCase{"LongDelimiter",
                  {QStringLiteral("--delimiter"), QStringLiteral("ab"), QStringLiteral("x.mdb")},
                  "--delimiter takes exactly one character"},
        UsageCase{"ProfileAndFile",
                  {QStringLiteral("--profile"), QStringLiteral("p"), QStringLiteral("x.mdb")},
                  "--profile holds the connection: give no database file, --server, --database or "
                  "--user"},
        UsageCase{"BadFormat",
                  {QStringLiteral("--format"), QStringLiteral("odt"), QStringLiteral("x.mdb")},
                  "--format takes text, rtf, pdf, json, markdown, svg, dot or html, not 'odt'"},
        UsageCase{"MissingValue",
                  {QStringLiteral("x.mdb"), QStringLiteral("--table")},
                  "option --table needs a value"},
        UsageCase{"BaselineAndPasswordOnStandardInput",
                  {QStringLiteral("--password-stdin"), QStringLiteral("--compare"), QStringLiteral("-"),
                   QStringLiteral("x.mdb")},
                  "--password-stdin and a side read from standard input (\"-\") cannot share standard input"},
        UsageCase{"BothSidesOnStandardInput",
                  {QStringLiteral("--compare"), QStringLiteral("-"), QStringLiteral("-")},
                  "only one side of --compare can be read from standard input"},
        UsageCase{"VersionWithValue", {QStringLiteral("--version=2")}, "option --version takes no value"}),
    [](const ::testing::TestParamInfo<UsageCase>& p) { return std::string(p.param.label); });

TEST_F(ReportCliTest, VersionPrintsTheProgramAndItsVersion)
{
    for (const QStringList& arguments : {QStringList{QStringLiteral("--version")},
                                         QStringList{QStringLiteral("--version"), QStringLiteral("x.mdb")}}) {
        const ProgramRun run = RunProgram(arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, QStringLiteral("orvane-report ") + OwnVersionInfoString(2) + u'\n');
        EXPECT_TRUE(run.err.isEmpty());
    }
    EXPECT_FALSE(OwnVersionInfoString(2).isEmpty());
}

// "-" is standard output, not a file of that name.
TEST_F(ReportCliTest, OutputDashIsStandardOutput)
{
    const QString file = Write(QStringLiteral("shop.mdb"), ShopDatabase());
    QProcess process;
    process.setChildProcessModifier([] { ::setsid(); });
    process.setWorkingDirectory(m_dir.path());
    process.start(kProgram, {QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--output"),
                             QStringLiteral("-"), file});
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(process.readAllStandardOutput().startsWith("{\n  \"format\": \"orvane-structure\""));
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath(QStringLiteral("-"))));
}

// The same report as the RTF the window saves and as the printed pages (read back by pdftotext),
// with the version line the window's Version field gives.
TEST_F(ReportCliTest, FormatsGiveTheSavedRtfAndThePrintedPages)
{
    const QString file = Write(QStringLiteral("shop.mdb"), ShopDatabase());
    const QStringList common{QStringLiteral("--language"), QStringLiteral("en"),
                             QStringLiteral("--version-text"), QStringLiteral("Größe 2.0 {€}")};
    const ProgramRun text = RunProgram(common + QStringList{file});
    ASSERT_EQ(text.exitCode, 0) << text.err.toStdString();
    EXPECT_TRUE(text.out.contains(QStringLiteral("*** Version:   Größe 2.0 {€}\n")));
    // Each run has its own time: the date line is left out of the comparison.
    const auto comparable = [](QStringList lines) {
        lines.removeAt(4);
        for (QString& line : lines)
            line = line.simplified();
        lines.removeAll(QString());
        return lines;
    };
    const QStringList expected = comparable(text.out.split(QLatin1Char('\n')));

    const QString rtf = m_dir.filePath(QStringLiteral("report.rtf"));
    const ProgramRun rtfRun = RunProgram(
        common + QStringList{QStringLiteral("--format=rtf"), QStringLiteral("--output"), rtf, file});
    ASSERT_EQ(rtfRun.exitCode, 0) << rtfRun.err.toStdString();
    QFile rtfFile(rtf);
    ASSERT_TRUE(rtfFile.open(QIODevice::ReadOnly));
    const QByteArray rtfBytes = rtfFile.readAll();
    EXPECT_TRUE(rtfBytes.startsWith("{\\rtf1\\ansi"));
    EXPECT_TRUE(rtfBytes.contains("*** Version:   Gr\\'f6\\'dfe 2.0 \\{\\'80\\}\\par\n"));

    const QString pdf = m_dir.filePath(QStringLiteral("report.pdf"));
    const ProgramRun pdfRun =
        RunProgram(common + QStringList{QStringLiteral("--format"), QStringLiteral("pdf"),
                                        QStringLiteral("--output"), pdf, file});
    ASSERT_EQ(pdfRun.exitCode, 0) << pdfRun.err.toStdString();
    EXPECT_TRUE(pdfRun.err.isEmpty()) << pdfRun.err.toStdString();
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), pdf, QStringLiteral("-")});
    if (!pdftotext.waitForFinished(30000))
        GTEST_SKIP() << "pdftotext not installed (Debian package poppler-utils)";
    EXPECT_EQ(comparable(QString::fromUtf8(pdftotext.readAllStandardOutput())
                             .remove(QLatin1Char('\f'))
                             .split(QLatin1Char('\n'))),
              expected);
}

TEST_F(ReportCliTest, OutputFileIsReplacedOnlyBySuccessfulRuns)
{
    const QString file = Write(QStringLiteral("locked.mdb"), ShopDatabase(QStringLiteral("pw")));
    const QString output = m_dir.filePath(QStringLiteral("report.txt"));
    const ProgramRun good =
        RunProgram({QStringLiteral("--password-stdin"), QStringLiteral("--output"), output, file}, "pw\n");
    ASSERT_EQ(good.exitCode, 0) << good.err.toStdString();
    EXPECT_TRUE(good.out.isEmpty());
    QFile written(output);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray report = written.readAll();
    written.close();
    EXPECT_TRUE(report.endsWith(L(QString(70, QLatin1Char('*'))).toUtf8() + '\n'));
    EXPECT_TRUE(report.contains(kOrdersBlock.toUtf8()));

    const ProgramRun bad =
        RunProgram({QStringLiteral("--password-stdin"), QStringLiteral("--output"), output, file}, "no\n");
    EXPECT_EQ(bad.exitCode, 1);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), report);
    // Nothing but the report and the database is left in the folder.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files).size(), 2);

    const QByteArray database = [&] {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    const ProgramRun overDatabase =
        RunProgram({QStringLiteral("--password-stdin"), QStringLiteral("--output"), file, file}, "pw\n");
    EXPECT_EQ(overDatabase.exitCode, 1);
    EXPECT_EQ(overDatabase.err, QStringLiteral("orvane-report: the output file is the database file\n"));
    QFile again(file);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), database);

    const ProgramRun nowhere =
        RunProgram({QStringLiteral("--output"), m_dir.filePath(QStringLiteral("no/such/dir/r.txt")),
                    QStringLiteral("--password-stdin"), file},
                   "pw\n");
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_TRUE(nowhere.err.startsWith(QStringLiteral("orvane-report: cannot write ")));
}

struct SettingsCase
{
    const char* label;
    const char* ini; // nullptr: no settings file
    QChar delimiter;
    bool german;
};

void PrintTo(const SettingsCase& c, std::ostream* os)
{
    *os << c.label;
}

class SettingsTest : public ReportCliTest, public ::testing::WithParamInterface<SettingsCase>
{
};

// The program is copied into a folder of its own, where it finds the window's settings file.
TEST_P(SettingsTest, LanguageAndDelimiterComeFromTheWindowsSettingsFile)
{
    const QString folder = m_dir.filePath(QStringLiteral("bin"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString program = folder + QStringLiteral("/orvane-report");
    ASSERT_TRUE(QFile::copy(kProgram, program));
    // The program finds its Access reader beside itself.
    ASSERT_TRUE(QFile::copy(JetReaderProgram(), folder + QStringLiteral("/orvane-jet-reader")));
    const QString ini = folder + QStringLiteral("/orvane.ini");
    if (GetParam().ini) {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(GetParam().ini);
    }
    const QString file = Write(QStringLiteral("shop.mdb"), ShopDatabase());
    const ProgramRun run = RunProgram({file}, {}, program);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    ExpectHeader(run.out.split(QLatin1Char('\n')), file, GetParam().delimiter, GetParam().german);
    EXPECT_TRUE(run.out.contains(Title(QStringLiteral("Orders"), GetParam().delimiter)));
    // Reading settings never creates or changes the file.
    EXPECT_EQ(QFileInfo::exists(ini), GetParam().ini != nullptr);

    const ProgramRun overridden =
        RunProgram({QStringLiteral("--language=en"), QStringLiteral("--delimiter=+"), file}, {}, program);
    ExpectHeader(overridden.out.split(QLatin1Char('\n')), file, QLatin1Char('+'), false);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsTest,
    ::testing::Values(SettingsCase{"NoFileGivesDefaults", nullptr, QLatin1Char('*'), true},
                      SettingsCase{"EnglishHash", "[Application]\nLanguage=English\nDelimiter=#-\n",
                                   QLatin1Char('#'), false},
                      SettingsCase{"MissingDelimiterKey", "[Application]\nLanguage=1\n", QLatin1Char('_'),
                                   true},
                      SettingsCase{"EmptyDelimiter", "[Application]\r\nLanguage=2\r\nDelimiter= \r\n",
                                   QLatin1Char('*'), false}),
    [](const ::testing::TestParamInfo<SettingsCase>& p) { return std::string(p.param.label); });

// A terminal the program can ask on: the password must be read there, without being echoed.
TEST_F(ReportCliTest, AsksForTheDatabasePasswordOnTheTerminalWithoutEcho)
{
    const QString file = Write(QStringLiteral("locked.mdb"), ShopDatabase(QStringLiteral("tty-secret")));
    const QByteArray programPath = kProgram.toLocal8Bit();
    const QByteArray filePath = file.toLocal8Bit();
    // The program gets a terminal of its own: a new session whose first terminal opened is the pty.
    int master = -1;
    int slave = -1;
    char slaveName[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, slaveName, nullptr, nullptr), 0);
    ::close(slave);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, slaveName, O_RDWR, 0);
    // The report itself is not what this test reads.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDIN_FILENO, STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    char* argv[] = {const_cast<char*>(programPath.constData()), const_cast<char*>(filePath.constData()),
                    nullptr};
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, programPath.constData(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ASSERT_EQ(spawned, 0);
    QByteArray seen;
    auto readUntil = [&](const QByteArray& what) {
        char buffer[256];
        for (int i = 0; i < 200 && !seen.contains(what); ++i) {
            fd_set fds;
            FD_ZERO(&fds);
            FD_SET(master, &fds);
            timeval tv{0, 100000};
            if (select(master + 1, &fds, nullptr, nullptr, &tv) > 0) {
                const ssize_t n = ::read(master, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                seen.append(buffer, n);
            }
        }
        return seen.contains(what);
    };
    ASSERT_TRUE(readUntil("Database password: ")) << seen.toStdString();
    ASSERT_EQ(::write(master, "wrong\n", 6), 6);
    seen.clear();
    ASSERT_TRUE(readUntil("Database password: ")) << seen.toStdString();
    ASSERT_EQ(::write(master, "tty-secret\n", 11), 11);
    int status = 0;
    seen.clear();
    readUntil("\x01never");
    ::waitpid(pid, &status, 0);
    ::close(master);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(seen.contains("tty-secret")) << "the password was echoed";
}

struct RetryCase
{
    const char* label;
    QStringList answers;
    int exitCode;
    int asked;
};

void PrintTo(const RetryCase& c, std::ostream* os)
{
    *os << c.label;
}

class RetryTest : public ReportCliTest, public ::testing::WithParamInterface<RetryCase>
{
};

TEST_P(RetryTest, AsksAgainAFewTimesThenGivesUp)
{
    const QString file = Write(QStringLiteral("locked.mdb"), ShopDatabase(QStringLiteral("right")));
    SetSettingsFileName(QString());
    TScriptedAnswers prompter(GetParam().answers);
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    std::FILE* in = std::tmpfile();
    ASSERT_TRUE(out && err && in);
    EXPECT_EQ(RunReportCommand({file}, prompter, in, out, err), GetParam().exitCode);
    EXPECT_EQ(prompter.questions.size(), GetParam().asked);
    std::fclose(out);
    std::fclose(err);
    std::fclose(in);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, RetryTest,
    ::testing::Values(
        RetryCase{"RightAtOnce", {QStringLiteral("right")}, 0, 1},
        RetryCase{
            "TwoWrongThenRight", {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("right")}, 0, 3},
        RetryCase{"ThreeWrong",
                  {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("right")},
                  1,
                  3},
        RetryCase{"EndOfInput", {}, 1, 1}),
    [](const ::testing::TestParamInfo<RetryCase>& p) { return std::string(p.param.label); });

} // namespace

namespace {

// The extended report keeps every line of the plain one, in order, and puts each table's
// structure under its own column lines.
TEST_F(ReportCliTest, DetailAddsTheStructureUnderEachTableAndKeepsThePlainLines)
{
    const QString file = Write(QStringLiteral("rich.mdb"), jet::richDatabase());
    const QStringList common{QStringLiteral("--language"), QStringLiteral("en"), file};
    const ProgramRun plain = RunProgram(common);
    const ProgramRun detail = RunProgram(QStringList{QStringLiteral("--detail")} + common);
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    ASSERT_EQ(detail.exitCode, 0) << detail.err.toStdString();
    const QStringList plainLines = Body(plain.out).split(QLatin1Char('\n'));
    const QStringList detailLines = Body(detail.out).split(QLatin1Char('\n'));
    qsizetype at = 0;
    for (const QString& line : plainLines) {
        while (at < detailLines.size() && detailLines.at(at) != line)
            ++at;
        ASSERT_LT(at, detailLines.size()) << "lost: " << line.toStdString();
    }
    const qsizetype details =
        detailLines.indexOf(ReportLine(TitleText(u'*', QStringLiteral("Order Details"), true)));
    ASSERT_GE(details, 0);
    // Six column lines, then the block's structure, before the next title: first each column's
    // type as Access's design view names it (the column lines keep the ADO names).
    EXPECT_EQ(detailLines.mid(details + 7, 7),
              (QStringList{QStringLiteral("          Type          OrderID: Number (Long Integer)"),
                           QStringLiteral("          Type          ProductID: Number (Long Integer)"),
                           QStringLiteral("          Type          UnitPrice: Currency"),
                           QStringLiteral("          Type          Quantity: Number (Integer)"),
                           QStringLiteral("          Type          Discount: Number (Single)"),
                           QStringLiteral("          Type          Note: Short Text (50)"),
                           QStringLiteral("          Primary key   PrimaryKey (OrderID, ProductID)")}));
    EXPECT_TRUE(detailLines.contains(QStringLiteral(
        "          Foreign key   OrdersOrder Details (OrderID) -> Orders (OrderID), on update cascade, "
        "on delete cascade")));
}

class StructureDocumentTest : public ReportCliTest, public ::testing::WithParamInterface<jet::Format>
{
};

// JSON and Markdown list the tables the report would list, and the JSON is what the schema allows.
TEST_P(StructureDocumentTest, DocumentsOfAnAccessFileFollowTheTableSelection)
{
    const QString file =
        Write(GetParam() == jet::Format::Ace12 ? QStringLiteral("rich.accdb") : QStringLiteral("rich.mdb"),
              jet::richDatabase(GetParam()));
    const auto names = [](const QString& json) {
        QStringList out;
        for (const QJsonValue& o :
             QJsonDocument::fromJson(json.toUtf8()).object().value(QLatin1String("objects")).toArray())
            out << o.toObject().value(QLatin1String("name")).toString();
        return out;
    };
    const ProgramRun all = RunProgram({QStringLiteral("--format"), QStringLiteral("json"), file});
    ASSERT_EQ(all.exitCode, 0) << all.err.toStdString();
    EXPECT_EQ(StructureSchemaVerdict(all.out.toUtf8()), QLatin1String("valid"));
    const QStringList tables = names(all.out);
    EXPECT_TRUE(tables.contains(QLatin1String("Order Details")));
    EXPECT_FALSE(tables.filter(QLatin1String("MSys")).size() > 0);

    const ProgramRun system =
        RunProgram({QStringLiteral("--format=json"), QStringLiteral("--system-tables"), file});
    ASSERT_EQ(system.exitCode, 0) << system.err.toStdString();
    EXPECT_EQ(StructureSchemaVerdict(system.out.toUtf8()), QLatin1String("valid"));
    EXPECT_TRUE(names(system.out).contains(QLatin1String("MSysObjects")));
    EXPECT_TRUE(system.out.contains(QLatin1String("\"kind\": \"system table\"")));

    const ProgramRun picked =
        RunProgram({QStringLiteral("--format"), QStringLiteral("markdown"), QStringLiteral("--language"),
                    QStringLiteral("en"), QStringLiteral("--table"), QStringLiteral("orders"), file});
    ASSERT_EQ(picked.exitCode, 0) << picked.err.toStdString();
    // The contents, the diagram and the one table.
    EXPECT_EQ(picked.out.count(QLatin1String("\n## ")), 3);
    EXPECT_TRUE(
        picked.out.contains(QLatin1String("\n## Contents\n\n- [Orders](#orders)\n\n## Relationships\n")));
    EXPECT_TRUE(picked.out.contains(QLatin1String("\n## Orders\n")));
    EXPECT_TRUE(picked.out.contains(QLatin1String("**Primary key**: PrimaryKey (OrderID)")));
}

INSTANTIATE_TEST_SUITE_P(JetAndAce, StructureDocumentTest,
                         ::testing::Values(jet::Format::Jet4, jet::Format::Ace12));

} // namespace
