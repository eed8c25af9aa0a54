// The Access reader's one catalogue run on generated files: the system-table statement's answer it
// brings is the answer the SQL reader gives, the tables carry their MSysObjects Ids, and the query
// object answers that statement from an open catalogue of the unchanged file without a reader run
// of its own, while a changed file, another statement or another password is read again.
#include "Automation.h"
#include "JetCatalogReader.h"
#include "QueryObject.h"

#include "JetWriter.h"

#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

QString connectionString(const QString& path, const QString& password = {})
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Jet OLEDB:Database Password=%2")
        .arg(path, password);
}

struct FileCase
{
    const char* label;
    jet::Format format;
    // Tables added after the sample's, the last of them hidden: MSysObjects then spans many pages.
    int moreTables = 0;
};

jet::Column named(const QString& name)
{
    jet::Column c;
    c.name = name;
    return c;
}

void PrintTo(const FileCase& c, std::ostream* os)
{
    *os << c.label;
}

class CatalogueRun : public ::testing::TestWithParam<FileCase>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        // The sample holds a hidden user table too (Flags 8), which the statement finds.
        jet::Database db = jet::sampleDatabase(GetParam().format);
        for (int i = 0; i < GetParam().moreTables; ++i) {
            jet::Table table;
            table.name = QStringLiteral("Extra%1").arg(i);
            table.columns = {named(QStringLiteral("Id"))};
            if (i == GetParam().moreTables - 1)
                table.flags = jet::TableFlag::Hidden;
            db.tables.append(table);
        }
        m_path = m_dir.filePath(QStringLiteral("sample.mdb"));
        jet::writeFile(m_path, db);
    }

    QTemporaryDir m_dir;
    QString m_path;
};

TEST_P(CatalogueRun, AnswersTheSystemTableStatementAsTheSqlReaderDoes)
{
    const JetCatalogue catalogue = ReadJetCatalogue(m_path);
    const JetQueryResult sql = RunJetQuery(m_path, JetSystemTableStatement());
    ASSERT_TRUE(catalogue.systemTables);
    EXPECT_EQ(catalogue.systemTables->columns, sql.columns);
    EXPECT_EQ(catalogue.systemTables->rows, sql.rows);
    EXPECT_GE(sql.rows.size(), 4);
    const qsizetype name = sql.columns.indexOf(QStringLiteral("Name"));
    ASSERT_GE(name, 0);
    EXPECT_TRUE(std::any_of(sql.rows.begin(), sql.rows.end(), [&](const QStringList& row) {
        return row.value(name) == QStringLiteral("AppSettings");
    }));
    if (GetParam().moreTables > 0) {
        const QString last = QStringLiteral("Extra%1").arg(GetParam().moreTables - 1);
        EXPECT_TRUE(std::any_of(sql.rows.begin(), sql.rows.end(),
                                [&](const QStringList& row) { return row.value(name) == last; }));
    }
}

// A run that lists tables alone leaves the saved queries unread; all else comes as in a whole run.
TEST_P(CatalogueRun, LeavesTheSavedQueriesUnreadWhenTheyAreNotWanted)
{
    const JetCatalogue whole = ReadJetCatalogue(m_path);
    const JetCatalogue tables = ReadJetCatalogue(m_path, QString(), {}, false);
    ASSERT_FALSE(whole.queries.isEmpty());
    EXPECT_TRUE(tables.queries.isEmpty());
    const auto shape = [](const JetCatalogue& c) {
        QStringList lines;
        for (const JetTableInfo& t : c.tables)
            lines << t.name + u' ' + QString::number(t.columns.size()) + u' ' +
                         QString::number(t.indexes.size());
        lines << QString::number(c.relations.size()) << QString::number(c.complexColumns.size());
        return lines;
    };
    EXPECT_EQ(shape(tables), shape(whole));
    ASSERT_TRUE(tables.systemTables && whole.systemTables);
    EXPECT_EQ(tables.systemTables->rows, whole.systemTables->rows);
}

TEST_P(CatalogueRun, EveryTableCarriesItsMSysObjectsId)
{
    const JetCatalogue catalogue = ReadJetCatalogue(m_path);
    const JetQueryResult sql =
        RunJetQuery(m_path, QStringLiteral("SELECT Name, Id FROM MSysObjects where type = 1"));
    QHash<QString, QString> ids;
    for (const QStringList& row : sql.rows)
        ids.insert(row.value(0), row.value(1));
    int local = 0;
    for (const JetTableInfo& table : catalogue.tables) {
        if (!table.isLocal())
            continue;
        ++local;
        EXPECT_EQ(QString::number(table.id), ids.value(table.name, QStringLiteral("?")))
            << table.name.toStdString();
    }
    EXPECT_EQ(local, ids.size());
}

INSTANTIATE_TEST_SUITE_P(
    Files, CatalogueRun,
    ::testing::Values(FileCase{"Jet4", jet::Format::Jet4}, FileCase{"Jet3", jet::Format::Jet3},
                      FileCase{"Ace", jet::Format::Ace12}, FileCase{"Jet4ManyTables", jet::Format::Jet4, 300},
                      FileCase{"Jet3ManyTables", jet::Format::Jet3, 300}),
    [](const ::testing::TestParamInfo<FileCase>& p) { return std::string(p.param.label); });

TEST(CatalogueRunWithoutItsOwnRow, LeavesTheStatementToTheSqlReader)
{
    // Without a catalogue row for MSysObjects the SQL reader finds no such table; the catalogue
    // run must not make up an answer.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    jet::Database db = jet::sampleDatabase();
    db.withSystemTables = false;
    db.queries.clear(); // MSysQueries would hold them
    const QString path = dir.filePath(QStringLiteral("bare.mdb"));
    jet::writeFile(path, db);
    EXPECT_FALSE(ReadJetCatalogue(path).systemTables);
    EXPECT_THROW(RunJetQuery(path, JetSystemTableStatement()), AutomationError);
}

// --- the query object over an open catalogue -----------------------------------------------------------

class OpenCatalogueQuery : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("shop.mdb"));
        write(jet::sampleDatabase());
        // A script before the real reader logs each run's mode.
        QFile script(m_dir.filePath(QStringLiteral("reader")));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$0.log\"\nexec '" + m_reader.toUtf8() +
                     "' \"$@\"\n");
        script.close();
        ASSERT_TRUE(
            script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        SetJetReaderProgram(script.fileName());
    }
    void TearDown() override { SetJetReaderProgram(m_reader); }

    void write(jet::Database db) { jet::writeFile(m_path, db); }

    Variant openCatalogue(const QString& password = {})
    {
        Variant catalog = CreateOleObject(QStringLiteral("ADOX.Catalog"));
        catalog.put(QStringLiteral("ActiveConnection"), Variant(connectionString(m_path, password)));
        return catalog;
    }

    // Runs sql through a fresh query object and tells whether a row's Name is name.
    bool query(const QString& sql, const QString& name, const QString& password = {})
    {
        std::unique_ptr<TQueryObject> q = CreateQueryObject(ptAccess);
        q->setConnectionString(connectionString(m_path, password));
        q->setCommandText(sql);
        q->open();
        return q->locate(QStringLiteral("name"), name);
    }

    QStringList runs() const
    {
        QFile log(m_dir.filePath(QStringLiteral("reader.log")));
        return log.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts)
                   : QStringList();
    }

    QTemporaryDir m_dir;
    QString m_path;
    const QString m_reader = JetReaderProgram();
};

const QStringList kOneCatalogueRun{QStringLiteral("catalogue")};

TEST_F(OpenCatalogueQuery, TheSystemTableStatementNeedsNoRunOfItsOwn)
{
    const Variant catalog = openCatalogue();
    // Written as the window sends it, and with a closing ";" and blanks the reader would drop.
    EXPECT_TRUE(query(JetSystemTableStatement(), QStringLiteral("MSysACEs")));
    EXPECT_TRUE(query(JetSystemTableStatement() + QStringLiteral(" ;\n"), QStringLiteral("MSysObjects")));
    EXPECT_FALSE(query(JetSystemTableStatement(), QStringLiteral("Customers")));
    // The hidden AppSettings is a user table, though its flags are not 0.
    EXPECT_FALSE(query(JetSystemTableStatement(), QStringLiteral("AppSettings")));
    EXPECT_EQ(runs(), kOneCatalogueRun);

    // Another statement is the SQL reader's.
    EXPECT_TRUE(
        query(QStringLiteral("SELECT * FROM MSysObjects where type = 1"), QStringLiteral("Customers")));
    EXPECT_EQ(runs(), (QStringList{QStringLiteral("catalogue"), QStringLiteral("query")}));
}

TEST_F(OpenCatalogueQuery, AChangedFileIsReadAgain)
{
    const Variant catalog = openCatalogue();
    jet::Database changed = jet::sampleDatabase();
    changed.tables.append(
        jet::Table{QStringLiteral("NewSystem"), {named(QStringLiteral("Id"))}, jet::TableFlag::System, 0});
    write(changed);
    EXPECT_TRUE(query(JetSystemTableStatement(), QStringLiteral("NewSystem")));
    EXPECT_EQ(runs(), (QStringList{QStringLiteral("catalogue"), QStringLiteral("query")}));
}

TEST_F(OpenCatalogueQuery, OnlyAnOpenCatalogueAnswers)
{
    openCatalogue(); // dropped at once
    EXPECT_TRUE(query(JetSystemTableStatement(), QStringLiteral("MSysACEs")));
    EXPECT_EQ(runs(), (QStringList{QStringLiteral("catalogue"), QStringLiteral("query")}));
}

TEST_F(OpenCatalogueQuery, AnotherPasswordIsCheckedAsBefore)
{
    jet::Database db = jet::sampleDatabase();
    db.password = QStringLiteral("Geheim");
    write(db);
    const Variant catalog = openCatalogue(QStringLiteral("Geheim"));
    EXPECT_TRUE(query(JetSystemTableStatement(), QStringLiteral("MSysACEs"), QStringLiteral("Geheim")));
    try {
        query(JetSystemTableStatement(), QStringLiteral("MSysACEs"), QStringLiteral("wrong"));
        ADD_FAILURE() << "a wrong password was accepted";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.helpContext(), 5003031);
    }
    EXPECT_EQ(runs(), kOneCatalogueRun);
}

} // namespace
