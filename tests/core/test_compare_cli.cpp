// orvane-report --compare end to end: the built program on generated Access files and on the
// structure documents it wrote itself, so the snapshot a CI job keeps is what is compared.
#include "CommandRuns.h"
#include "JetWriter.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

const QString kProgram = QStringLiteral(ORVANE_BINARY_DIR "/src/orvane-report");

jet::Column* FindColumn(jet::Database& db, const QString& table, const QString& column)
{
    for (jet::Table& t : db.tables) {
        if (t.name != table)
            continue;
        for (jet::Column& c : t.columns) {
            if (c.name == column)
                return &c;
        }
    }
    return nullptr;
}

// The rich sample a release later: Freight became a Double, ShippedDate went with its index,
// Customers.City grew.
jet::Database ChangedDatabase()
{
    jet::Database db = jet::richDatabase();
    FindColumn(db, QStringLiteral("Orders"), QStringLiteral("Freight"))->type = jet::ColumnType::Double;
    FindColumn(db, QStringLiteral("Customers"), QStringLiteral("City"))->length = 60;
    for (jet::Table& t : db.tables) {
        if (t.name != QLatin1String("Orders"))
            continue;
        t.columns.removeIf([](const jet::Column& c) { return c.name == QLatin1String("ShippedDate"); });
        t.indexes.removeIf([](const jet::Index& i) { return i.name == QLatin1String("ShippedDate"); });
    }
    return db;
}

class CompareCliTest : public ::testing::Test
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

    QString WriteText(const QString& name, const QByteArray& text)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return path;
    }

    // The structure document of file, as a CI job would keep it.
    QString Snapshot(const QString& file, const QString& name)
    {
        const QString path = m_dir.filePath(name);
        const ProgramRun run = RunProgram(
            {QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--output"), path, file});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return path;
    }

    QTemporaryDir m_dir;
};

// The lines of a run's report that name differences (indented under a table title).
QStringList DifferenceLines(const QString& out)
{
    QStringList lines;
    for (const QString& line : out.split(QLatin1Char('\n'))) {
        if (line.startsWith(QString(10, QLatin1Char(' '))))
            lines.append(line.trimmed());
    }
    return lines;
}

TEST_F(CompareCliTest, SnapshotAgainstTheSameFileHasNoDifferencesAndExitsZero)
{
    const QString file = Write(QStringLiteral("back.mdb"), jet::richDatabase());
    const QString before = Snapshot(file, QStringLiteral("before.json"));
    const ProgramRun run = RunProgram(
        {QStringLiteral("--language"), QStringLiteral("en"), QStringLiteral("--compare"), before, file});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(DifferenceLines(run.out).isEmpty()) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QLatin1String("*** No differences"))) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QLatin1String("*** Baseline:  Access ")));
    EXPECT_TRUE(run.out.contains(QLatin1String("before.json")));
    EXPECT_FALSE(run.out.contains(QLatin1String("*** Types:")));
}

TEST_F(CompareCliTest, SnapshotAgainstAChangedFileListsWhatChangedAndExitsThree)
{
    const QString before =
        Snapshot(Write(QStringLiteral("old.mdb"), jet::richDatabase()), QStringLiteral("before.json"));
    const QString file = Write(QStringLiteral("back.mdb"), ChangedDatabase());
    const ProgramRun run = RunProgram(
        {QStringLiteral("--language"), QStringLiteral("en"), QStringLiteral("--compare"), before, file});
    EXPECT_EQ(run.exitCode, 3) << run.err.toStdString();
    EXPECT_EQ(DifferenceLines(run.out),
              (QStringList{QStringLiteral("changed column City: length 30 -> 60"),
                           QStringLiteral("changed column Freight: type Currency -> Number (Double)"),
                           QStringLiteral("removed column ShippedDate"),
                           QStringLiteral("removed index ShippedDate")}))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QLatin1String("*** Customers ***")));
    EXPECT_TRUE(run.out.contains(QLatin1String("*** 4 differences")));

    const ProgramRun german = RunProgram(
        {QStringLiteral("--language"), QStringLiteral("de"), QStringLiteral("--compare"), before, file});
    EXPECT_EQ(german.exitCode, 3);
    EXPECT_TRUE(german.out.contains(QStringLiteral("entfernt Spalte ShippedDate")))
        << german.out.toStdString();

    // The table selection holds for both sides.
    const ProgramRun orders =
        RunProgram({QStringLiteral("--table"), QStringLiteral("customers"), QStringLiteral("--language"),
                    QStringLiteral("en"), QStringLiteral("--compare"), before, file});
    EXPECT_EQ(orders.exitCode, 3);
    EXPECT_EQ(DifferenceLines(orders.out),
              QStringList{QStringLiteral("changed column City: length 30 -> 60")});
}

TEST_F(CompareCliTest, JsonOutputHasTheComparisonShape)
{
    const QString oldFile = Write(QStringLiteral("old.mdb"), jet::richDatabase());
    const QString file = Write(QStringLiteral("back.mdb"), ChangedDatabase());
    // An Access file as the baseline, and the source given as a file too.
    const ProgramRun run = RunProgram(
        {QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--compare"), oldFile, file});
    ASSERT_EQ(run.exitCode, 3) << run.err.toStdString();
    const QJsonObject top = QJsonDocument::fromJson(run.out.toUtf8()).object();
    EXPECT_EQ(top.keys().size(), 7);
    EXPECT_TRUE(run.out.startsWith(QLatin1String(
        "{\n  \"format\": \"orvane-comparison\",\n  \"version\": 1,\n  \"program\": \"Orvane ")));
    EXPECT_EQ(top.value(QLatin1String("typeMapping")).toString(), QStringLiteral("none"));
    EXPECT_EQ(top.value(QLatin1String("baseline")).toObject().value(QLatin1String("provider")).toString(),
              QStringLiteral("Access"));
    EXPECT_EQ(top.value(QLatin1String("current")).toObject().value(QLatin1String("database")).toString(),
              file);
    const QJsonArray differences = top.value(QLatin1String("differences")).toArray();
    ASSERT_EQ(differences.size(), 4);
    const QJsonObject freight = differences.at(1).toObject();
    EXPECT_EQ(
        QJsonDocument(freight).toJson(QJsonDocument::Compact),
        QByteArray(
            R"({"baseline":"Currency","change":"changed","current":"Double","item":"column","name":"Freight","object":"Orders","property":"type"})"));
    // Neither side is SQL Server: no schema; a removed column has no property or values.
    EXPECT_EQ(differences.at(2).toObject().keys(),
              (QStringList{QStringLiteral("change"), QStringLiteral("item"), QStringLiteral("name"),
                           QStringLiteral("object")}));
    EXPECT_TRUE(run.out.contains(QLatin1String(
        "{\n      \"change\": \"changed\",\n      \"object\": \"Orders\",\n      \"item\": \"column\",\n"
        "      \"name\": \"Freight\",\n      \"property\": \"type\",\n      \"baseline\": \"Currency\",\n"
        "      \"current\": \"Double\"\n    }")))
        << run.out.toStdString();

    const ProgramRun markdown =
        RunProgram({QStringLiteral("--format"), QStringLiteral("markdown"), QStringLiteral("--language"),
                    QStringLiteral("en"), QStringLiteral("--compare"), oldFile, file});
    EXPECT_EQ(markdown.exitCode, 3);
    EXPECT_TRUE(markdown.out.contains(
        QLatin1String("\n## Orders\n\n- changed column Freight: type Currency -> Number (Double)\n")))
        << markdown.out.toStdString();
}

TEST_F(CompareCliTest, TwoSnapshotsCompareWithoutADatabase)
{
    const QString before =
        Snapshot(Write(QStringLiteral("old.mdb"), jet::richDatabase()), QStringLiteral("a.json"));
    const QString after =
        Snapshot(Write(QStringLiteral("new.mdb"), ChangedDatabase()), QStringLiteral("b.json"));
    const ProgramRun run = RunProgram({QStringLiteral("--compare"), before, after});
    EXPECT_EQ(run.exitCode, 3) << run.err.toStdString();
    EXPECT_EQ(DifferenceLines(run.out).size(), 4);
}

TEST_F(CompareCliTest, AProtectedBaselineTakesTheSecondLineOfStandardInput)
{
    jet::Database protectedDb = jet::richDatabase();
    protectedDb.password = QStringLiteral("geheim");
    const QString baseline = Write(QStringLiteral("old.mdb"), protectedDb);
    jet::Database currentDb = jet::richDatabase();
    currentDb.password = QStringLiteral("other");
    const QString file = Write(QStringLiteral("back.mdb"), currentDb);
    const ProgramRun run = RunProgram(
        {QStringLiteral("--password-stdin"), QStringLiteral("--compare"), baseline, file}, "other\ngeheim\n");
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString() << run.out.toStdString();

    // The wrong line for the baseline: it cannot be opened, which is never "no differences".
    const ProgramRun wrong = RunProgram(
        {QStringLiteral("--password-stdin"), QStringLiteral("--compare"), baseline, file}, "other\nother\n");
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_TRUE(wrong.out.isEmpty());
}

TEST_F(CompareCliTest, OutputGoesToAFileButNeverOverAComparedOne)
{
    const QString before =
        Snapshot(Write(QStringLiteral("old.mdb"), jet::richDatabase()), QStringLiteral("before.json"));
    const QString file = Write(QStringLiteral("back.mdb"), ChangedDatabase());
    QFile snapshot(before);
    ASSERT_TRUE(snapshot.open(QIODevice::ReadOnly));
    const QByteArray kept = snapshot.readAll();
    snapshot.close();
    const ProgramRun over =
        RunProgram({QStringLiteral("--output"), before, QStringLiteral("--compare"), before, file});
    EXPECT_EQ(over.exitCode, 1);
    EXPECT_TRUE(over.err.contains(QLatin1String("the output file is one of the compared files")));
    ASSERT_TRUE(snapshot.open(QIODevice::ReadOnly));
    EXPECT_EQ(snapshot.readAll(), kept);

    const QString rtf = m_dir.filePath(QStringLiteral("diff.rtf"));
    const ProgramRun run =
        RunProgram({QStringLiteral("--format"), QStringLiteral("rtf"), QStringLiteral("--language=en"),
                    QStringLiteral("--output"), rtf, QStringLiteral("--compare"), before, file});
    EXPECT_EQ(run.exitCode, 3) << run.err.toStdString();
    QFile written(rtf);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray text = written.readAll();
    EXPECT_TRUE(text.startsWith("{\\rtf1"));
    EXPECT_TRUE(text.contains("removed column ShippedDate")) << text.toStdString();
}

struct TBadBaseline
{
    const char* label;
    const char* content; // nullptr: no such file
    const char* message;
};

class CompareCliBadBaseline : public CompareCliTest, public ::testing::WithParamInterface<TBadBaseline>
{
};

TEST_P(CompareCliBadBaseline, ExitsOneWithTheReason)
{
    const QString file = Write(QStringLiteral("back.mdb"), jet::richDatabase());
    const QString baseline = GetParam().content ? WriteText(QStringLiteral("base.json"), GetParam().content)
                                                : m_dir.filePath(QStringLiteral("missing.mdb"));
    const ProgramRun run = RunProgram({QStringLiteral("--compare"), baseline, file});
    EXPECT_EQ(run.exitCode, 1) << run.out.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains(QString::fromUtf8(GetParam().message))) << run.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Baselines, CompareCliBadBaseline,
    ::testing::Values(TBadBaseline{"OtherFormat", R"({"format": "orvane-comparison", "version": 1})",
                                   "base.json: not a structure document"},
                      TBadBaseline{"VersionZero", R"({"format": "orvane-structure", "version": 0})",
                                   "version 0 is not supported"},
                      TBadBaseline{"BrokenJson", "{\"format\": ", "base.json: not JSON"},
                      TBadBaseline{"NotADatabase", "plain text, no database", "base.json"},
                      TBadBaseline{"Missing", nullptr, "missing.mdb"}),
    [](const ::testing::TestParamInfo<TBadBaseline>& p) { return std::string(p.param.label); });

// A snapshot that went through jq -S (or Python's sort_keys) and a Windows editor: keys sorted,
// a byte order mark before the text.
TEST_F(CompareCliTest, ASortedSnapshotWithAByteOrderMarkIsTheSameSnapshot)
{
    const QString before =
        Snapshot(Write(QStringLiteral("old.mdb"), jet::richDatabase()), QStringLiteral("before.json"));
    QFile snapshot(before);
    ASSERT_TRUE(snapshot.open(QIODevice::ReadOnly));
    const QByteArray sorted =
        "\xEF\xBB\xBF" + QJsonDocument(QJsonDocument::fromJson(snapshot.readAll()).object()).toJson();
    const QString edited = WriteText(QStringLiteral("edited.json"), sorted);
    const QString file = Write(QStringLiteral("back.mdb"), ChangedDatabase());
    const ProgramRun run = RunProgram({QStringLiteral("--compare"), edited, file});
    EXPECT_EQ(run.exitCode, 3) << run.err.toStdString();
    EXPECT_EQ(DifferenceLines(run.out).size(), 4) << run.out.toStdString();
}

// A baseline that can be read only once: a process substitution, /dev/stdin, "-" (standard input),
// also an Access file arriving so.
struct TStreamedBaseline
{
    const char* label;
    bool accessFile;                          // the baseline is the old Access file, else its snapshot
    QStringList (*arguments)(const QString&); // the run's arguments for the current file
    bool throughShell;                        // arguments are a bash command line with the baseline on stdin
};

class CompareCliStreamedBaseline : public CompareCliTest,
                                   public ::testing::WithParamInterface<TStreamedBaseline>
{
};

TEST_P(CompareCliStreamedBaseline, IsReadOnce)
{
    const TStreamedBaseline& p = GetParam();
    const QString old = Write(QStringLiteral("old.mdb"), jet::richDatabase());
    const QString baseline = p.accessFile ? old : Snapshot(old, QStringLiteral("before.json"));
    const QString file = Write(QStringLiteral("back.mdb"), ChangedDatabase());
    QFile bytes(baseline);
    ASSERT_TRUE(bytes.open(QIODevice::ReadOnly));
    const QByteArray input = bytes.readAll();
    const QStringList arguments =
        QStringList{QStringLiteral("--language"), QStringLiteral("en")} + p.arguments(file);
    const ProgramRun run = p.throughShell
                               ? RunProgram({QStringLiteral("-c"), kProgram + u' ' + arguments.join(u' ')},
                                            input, QStringLiteral("/bin/bash"))
                               : RunProgram(arguments, input);
    EXPECT_EQ(run.exitCode, 3) << run.err.toStdString();
    EXPECT_EQ(DifferenceLines(run.out).size(), 4) << run.out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Streams, CompareCliStreamedBaseline,
    ::testing::Values(
        TStreamedBaseline{"ProcessSubstitution", false,
                          [](const QString& f) {
                              return QStringList{QStringLiteral("--compare <(cat)"), f};
                          },
                          true},
        TStreamedBaseline{"Pipe", false,
                          [](const QString& f) {
                              return QStringList{QStringLiteral("--compare /dev/fd/3 3<&0"), f};
                          },
                          true},
        TStreamedBaseline{
            "DevStdin", false,
            [](const QString& f) {
                return QStringList{QStringLiteral("--compare"), QStringLiteral("/dev/stdin"), f};
            },
            false},
        TStreamedBaseline{"Dash", false,
                          [](const QString& f) {
                              return QStringList{QStringLiteral("--compare"), QStringLiteral("-"), f};
                          },
                          false},
        TStreamedBaseline{"AccessFileOnStdin", true,
                          [](const QString& f) {
                              return QStringList{QStringLiteral("--compare"), QStringLiteral("-"), f};
                          },
                          false},
        TStreamedBaseline{"AccessFileThroughProcessSubstitution", true,
                          [](const QString& f) {
                              return QStringList{QStringLiteral("--compare <(cat)"), f};
                          },
                          true},
        // /dev/stdin of a file: the reader's own standard input is another stream.
        TStreamedBaseline{"AccessFileOnDevStdinFromAFile", true,
                          [](const QString& f) {
                              return QStringList{QStringLiteral("--compare /dev/stdin"), f,
                                                 QStringLiteral("<"),
                                                 QFileInfo(f).absolutePath() + QStringLiteral("/old.mdb")};
                          },
                          true}),
    [](const ::testing::TestParamInfo<TStreamedBaseline>& p) { return std::string(p.param.label); });

// Documents name an Access file as it was given, so a snapshot is the same bytes from any folder;
// the text report's header keeps the path opened.
struct TNamedAs
{
    const char* label;
    QStringList format;
    const char* report; // %1: the folder the run is in
    const char* comparison;
};

class CompareCliNamedAs : public CompareCliTest, public ::testing::WithParamInterface<TNamedAs>
{
};

TEST_P(CompareCliNamedAs, ARelativePathStaysRelative)
{
    QDir(m_dir.path()).mkdir(QStringLiteral("data"));
    Write(QStringLiteral("data/back.mdb"), jet::richDatabase());
    Write(QStringLiteral("data/old.mdb"), ChangedDatabase());
    const auto runIn = [&](const QStringList& arguments) {
        QProcess process;
        process.setChildProcessModifier([] { ::setsid(); });
        process.setWorkingDirectory(m_dir.path());
        process.start(kProgram, QStringList{QStringLiteral("--language"), QStringLiteral("en")} +
                                    GetParam().format + arguments);
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(60000));
        return QString::fromUtf8(process.readAllStandardOutput());
    };
    const QString report = runIn({QStringLiteral("data/back.mdb")});
    EXPECT_TRUE(report.contains(QString::fromUtf8(GetParam().report).arg(m_dir.path())))
        << report.toStdString();
    const QString comparison =
        runIn({QStringLiteral("--compare"), QStringLiteral("data/old.mdb"), QStringLiteral("data/back.mdb")});
    EXPECT_TRUE(comparison.contains(QString::fromUtf8(GetParam().comparison))) << comparison.toStdString();
    EXPECT_FALSE(comparison.contains(m_dir.path())) << comparison.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Formats, CompareCliNamedAs,
    ::testing::Values(TNamedAs{"Json",
                               {QStringLiteral("--format"), QStringLiteral("json")},
                               "\"database\": \"data/back.mdb\"",
                               "\"database\": \"data/old.mdb\""},
                      TNamedAs{"Markdown",
                               {QStringLiteral("--format"), QStringLiteral("markdown")},
                               "# data/back.mdb\n",
                               "Access data/back.mdb"},
                      // The text report's header names the file opened, as the window's does.
                      TNamedAs{"Text", {}, "Database:  %1/data/back.mdb", "Baseline:  Access data/old.mdb"}),
    [](const ::testing::TestParamInfo<TNamedAs>& p) { return std::string(p.param.label); });

TEST_F(CompareCliTest, UsageMistakesExitTwo)
{
    const QString file = Write(QStringLiteral("back.mdb"), jet::richDatabase());
    for (const QStringList& arguments :
         {QStringList{QStringLiteral("--compare")}, QStringList{QStringLiteral("--compare="), file},
          QStringList{QStringLiteral("--detail"), QStringLiteral("--compare"), file, file},
          QStringList{QStringLiteral("--compare"), file}}) {
        const ProgramRun run = RunProgram(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(u' ').toStdString() << run.err.toStdString();
    }
}

} // namespace
