// An Access back-end against the SQL Server database it was moved to, end to end: a generated
// .mdb read by libmdb, the project's TDS test server reached through FreeTDS. Only what really
// differs may be listed; the engines' own spellings of types, defaults and key names are not.
#include "CatalogFixture.h"
#include "CommandRuns.h"
#include "JetWriter.h"
#include "TdsServerProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

jet::Column Jet(const char* name, jet::ColumnType type, int length = 0)
{
    jet::Column c;
    c.name = QString::fromLatin1(name);
    c.type = type;
    c.length = length;
    return c;
}

// The back-end before the move.
jet::Database AccessBackEnd()
{
    jet::Column customerId = Jet("CustomerID", jet::ColumnType::Long);
    customerId.autoNumber = true;
    jet::Column name = Jet("Name", jet::ColumnType::Text, 40);
    name.required = true;
    jet::Table customers{QStringLiteral("Customers"), {customerId, name}};
    customers.indexes = {
        jet::Index{QStringLiteral("PrimaryKey"), {{QStringLiteral("CustomerID"), false}}, true}};

    jet::Column orderId = Jet("OrderID", jet::ColumnType::Long);
    orderId.autoNumber = true;
    jet::Column freight = Jet("Freight", jet::ColumnType::Money);
    freight.defaultValue = QStringLiteral("0");
    jet::Column created = Jet("Created", jet::ColumnType::DateTime);
    created.defaultValue = QStringLiteral("=Now()");
    jet::Table orders{QStringLiteral("Orders"),
                      {orderId, Jet("CustomerID", jet::ColumnType::Long), freight, created,
                       Jet("Shipped", jet::ColumnType::Bool), Jet("Notes", jet::ColumnType::Memo),
                       Jet("Quantity", jet::ColumnType::Int), Jet("Weight", jet::ColumnType::Double)}};
    orders.indexes = {jet::Index{QStringLiteral("PrimaryKey"), {{QStringLiteral("OrderID"), false}}, true},
                      jet::Index{QStringLiteral("Created"), {{QStringLiteral("Created"), false}}}};

    jet::Database db;
    db.tables = {customers, orders};
    db.relationships = {jet::Relationship{QStringLiteral("CustomersOrders"),
                                          QStringLiteral("Orders"),
                                          {QStringLiteral("CustomerID")},
                                          QStringLiteral("Customers"),
                                          {QStringLiteral("CustomerID")},
                                          jet::RelationFlag::CascadeDeletes}};
    return db;
}

// The same tables as the upsizing put them on the server, with the server's names for keys and
// constraints; Freight became float on the way, which is the one real difference.
tdsfixture::Database MovedDatabase()
{
    using namespace tdsfixture;
    Database db("moved");
    Column customerId("CustomerID", "int", false);
    customerId.identity = true;
    db.addTable("Customers", {customerId, Column("Name", "nvarchar(40)", false)});
    Column orderId("OrderID", "int", false);
    orderId.identity = true;
    Column freight("Freight", "float");
    freight.defaultValue = "((0))";
    Column created("Created", "datetime2(7)");
    created.defaultValue = "(getdate())";
    db.addTable("Orders", {orderId, Column("CustomerID", "int"), freight, created,
                           Column("Shipped", "bit", false), Column("Notes", "nvarchar(max)"),
                           Column("Quantity", "smallint"), Column("Weight", "float")});
    db.object("Customers").primaryKey = Key{"PK_Customers", {"CustomerID"}};
    Object& orders = db.object("Orders");
    orders.primaryKey = Key{"PK_Orders", {"OrderID"}};
    orders.indexes.push_back({"IX_Orders_Created", false, {{"Created", false}}, {}});
    ForeignKey key;
    key.name = "FK_Orders_Customers";
    key.columns = {"CustomerID"};
    key.referencedTable = "Customers";
    key.referencedColumns = {"CustomerID"};
    key.onDelete = Action::Cascade;
    orders.foreignKeys.push_back(key);
    return db;
}

// nwind's Products as it was upsized: the server has Access's CategoryID index and an index of its
// own on the same column for the relationship; types as SQL Server's users declare them.
tdsfixture::Database UpsizedProducts()
{
    using namespace tdsfixture;
    Database db("products");
    db.addTable("Products",
                columns("ProductID int not null, ProductName nvarchar(40) not null, CategoryID int, "
                        "UnitPrice decimal(19,4), Notes varchar(max), Owner sysname, "
                        "Added datetime2(3)"));
    Object& products = db.object("Products");
    products.indexes.push_back({"CategoriesProducts", false, {{"CategoryID", false}}, {}});
    products.indexes.push_back({"CategoryID", false, {{"CategoryID", false}}, {}});
    return db;
}

jet::Database AccessProducts()
{
    jet::Column price = Jet("UnitPrice", jet::ColumnType::Numeric);
    price.precision = 19;
    price.scale = 4;
    jet::Column name = Jet("ProductName", jet::ColumnType::Text, 40);
    name.required = true;
    jet::Column id = Jet("ProductID", jet::ColumnType::Long);
    id.required = true;
    jet::Table products{QStringLiteral("Products"),
                        {id, name, Jet("CategoryID", jet::ColumnType::Long), price,
                         Jet("Notes", jet::ColumnType::Memo), Jet("Owner", jet::ColumnType::Text, 128),
                         Jet("Added", jet::ColumnType::DateTime)}};
    products.indexes = {jet::Index{QStringLiteral("CategoryID"), {{QStringLiteral("CategoryID"), false}}}};
    jet::Database db;
    db.tables = {products};
    return db;
}

class SqlServerCompare : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (TdsServerProcess::odbcDriverPath().empty())
            GTEST_SKIP() << "the FreeTDS ODBC driver (tdsodbc) is not installed";
        ASSERT_TRUE(m_dir.isValid());
        tdsfixture::writeDatabase(MovedDatabase(), m_dir.path().toStdString());
        tdsfixture::writeDatabase(UpsizedProducts(), m_dir.path().toStdString());
        TdsServerProcess::Options options;
        options.catalogDir = m_dir.path().toStdString();
        m_server = std::make_unique<TdsServerProcess>(options);
        m_file = m_dir.filePath(QStringLiteral("back.mdb"));
        jet::writeFile(m_file, AccessBackEnd());
    }

    QStringList Against(QStringList extra) const
    {
        return extra << QStringLiteral("--compare") << m_file << QStringLiteral("--server")
                     << QStringLiteral("127.0.0.1,%1").arg(m_server->port()) << QStringLiteral("--database")
                     << QStringLiteral("moved") << QStringLiteral("--user") << QStringLiteral("sa");
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TdsServerProcess> m_server;
    QString m_file;
};

TEST_F(SqlServerCompare, AMovedBackEndListsOnlyWhatReallyDiffers)
{
    const ProgramRun run = RunProgram(Against({QStringLiteral("--format"), QStringLiteral("json")}));
    ASSERT_EQ(run.exitCode, 3) << run.err.toStdString() << run.out.toStdString();
    const QJsonObject top = QJsonDocument::fromJson(run.out.toUtf8()).object();
    EXPECT_EQ(top.value(QLatin1String("typeMapping")).toString(), QStringLiteral("access-sqlserver"));
    EXPECT_EQ(top.value(QLatin1String("current")).toObject().value(QLatin1String("provider")).toString(),
              QStringLiteral("SQLServer"));
    const QJsonArray differences = top.value(QLatin1String("differences")).toArray();
    ASSERT_EQ(differences.size(), 1) << run.out.toStdString();
    EXPECT_EQ(
        QJsonDocument(differences.at(0).toObject()).toJson(QJsonDocument::Compact),
        QByteArray(
            R"({"baseline":"Currency","change":"changed","current":"float","item":"column","name":"Freight","object":"Orders","property":"type","schema":"dbo"})"));

    const ProgramRun text = RunProgram(Against({QStringLiteral("--language"), QStringLiteral("en")}));
    EXPECT_EQ(text.exitCode, 3);
    EXPECT_TRUE(text.out.contains(QLatin1String("*** Types:     Access and SQL Server types mapped")));
    EXPECT_TRUE(
        text.out.contains(QLatin1String("          changed column Freight: type Currency -> float\n")))
        << text.out.toStdString();
}

// The same-named index is the partner of Access's, and a changed type reads as each engine's
// users write it; the structure document declares SQL Server's types as the server's users do.
TEST_F(SqlServerCompare, UpsizedProductsPairTheSameNamedIndexAndDeclareTheirTypes)
{
    const QString file = m_dir.filePath(QStringLiteral("products.mdb"));
    jet::writeFile(file, AccessProducts());
    const QStringList server{
        QStringLiteral("--server"),   QStringLiteral("127.0.0.1,%1").arg(m_server->port()),
        QStringLiteral("--database"), QStringLiteral("products"),
        QStringLiteral("--user"),     QStringLiteral("sa")};
    const ProgramRun text = RunProgram(
        QStringList{QStringLiteral("--language"), QStringLiteral("en"), QStringLiteral("--compare"), file} +
        server);
    ASSERT_EQ(text.exitCode, 3) << text.err.toStdString() << text.out.toStdString();
    QStringList lines;
    for (const QString& line : text.out.split(u'\n')) {
        if (line.startsWith(QString(10, u' ')))
            lines.append(line.trimmed());
    }
    EXPECT_EQ(lines, (QStringList{QStringLiteral("changed column Notes: type Long Text -> varchar(max)"),
                                  QStringLiteral("added index CategoriesProducts")}))
        << text.out.toStdString();

    const ProgramRun json =
        RunProgram(QStringList{QStringLiteral("--format"), QStringLiteral("json")} + server);
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    QStringList declared;
    const QJsonArray objects =
        QJsonDocument::fromJson(json.out.toUtf8()).object().value(QLatin1String("objects")).toArray();
    ASSERT_EQ(objects.size(), 1);
    for (const QJsonValue& column : objects.at(0).toObject().value(QLatin1String("columns")).toArray())
        declared.append(column.toObject().value(QLatin1String("declaredType")).toString());
    EXPECT_EQ(declared,
              (QStringList{QStringLiteral("int"), QStringLiteral("nvarchar(40)"), QStringLiteral("int"),
                           QStringLiteral("decimal(19,4)"), QStringLiteral("varchar(max)"),
                           QStringLiteral("sysname"), QStringLiteral("datetime2(3)")}));
}

} // namespace
