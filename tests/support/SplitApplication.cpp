#include "SplitApplication.h"

#include "JetWriter.h"

#include <QDir>

namespace {

using jet::ColumnType;

// A table of columns named and typed as given; Text columns are 40 characters long.
jet::Table table(const QString& name, const QList<std::pair<const char*, ColumnType>>& columns)
{
    jet::Table t;
    t.name = name;
    for (const auto& [columnName, type] : columns) {
        jet::Column c;
        c.name = QString::fromLatin1(columnName);
        c.type = type;
        c.length = 40;
        t.columns << c;
    }
    return t;
}

QStringList block(const QString& name, const QList<std::tuple<const char*, const char*, int>>& columns = {})
{
    QStringList lines{QStringLiteral("      *** ") + name + u' ' + QString(65 - name.size(), u'*')};
    int n = 0;
    for (const auto& [columnName, type, length] : columns)
        lines << QString(10, u' ') + QString::number(++n).rightJustified(3) + u' ' +
                     QString::fromLatin1(columnName).leftJustified(30) + u' ' +
                     QString::fromLatin1(type).leftJustified(20) + u' ' +
                     QString::number(length).rightJustified(5) + QStringLiteral("   ");
    return lines;
}

} // namespace

QString WriteSplitApplication(const QString& folder, bool protectFrontEnd)
{
    const QDir dir(folder);
    jet::Database back;
    back.format = jet::Format::Jet3;
    back.tables = {table(QStringLiteral("Customers"),
                         {{"Customer_ID", ColumnType::Long}, {"CompanyName", ColumnType::Text}}),
                   table(QStringLiteral("Orders"),
                         {{"Order_ID", ColumnType::Long}, {"ShipDate", ColumnType::DateTime}})};
    jet::writeFile(dir.filePath(QStringLiteral("BACK.MDB")), back);

    jet::Database locked;
    locked.password = kSplitPassword;
    locked.tables = {
        table(QStringLiteral("Ledger"), {{"Entry", ColumnType::Long}, {"Amount", ColumnType::Money}})};
    jet::writeFile(dir.filePath(QStringLiteral("locked.mdb")), locked);

    jet::Database front;
    if (protectFrontEnd)
        front.password = kSplitPassword;
    front.tables = {table(QStringLiteral("Notes"), {{"Note", ColumnType::Memo}})};
    const QString backEnd = QStringLiteral("C:\\data\\back.mdb");
    const QString lockedEnd = QStringLiteral("C:\\data\\locked.mdb");
    front.otherObjects = {
        jet::jetLink(QStringLiteral("Orders"), backEnd, QStringLiteral("Orders")),
        jet::jetLink(QStringLiteral("Customers"), backEnd, QStringLiteral("CUSTOMERS")),
        jet::jetLink(QStringLiteral("Gone"), QStringLiteral("C:\\data\\gone.mdb"), QStringLiteral("Orders")),
        jet::jetLink(QStringLiteral("LockedNoPwd"), lockedEnd, QStringLiteral("Ledger")),
        jet::jetLink(QStringLiteral("LockedPwd"), lockedEnd, QStringLiteral("Ledger"),
                     QStringLiteral("MS Access;PWD=") + kSplitPassword),
        jet::odbcLink(QStringLiteral("Remote"), QStringLiteral("ODBC;DSN=Sales;PWD=x"),
                      QStringLiteral("dbo.Remote")),
        // A report is catalogued as type -32764, which libmdb folds into 4: no ODBC link.
        jet::CatalogObject(QStringLiteral("Invoice"), -32764)};
    const QString path = dir.filePath(QStringLiteral("front.mdb"));
    jet::writeFile(path, front);
    return path;
}

QStringList SplitApplicationTables()
{
    return {QStringLiteral("Customers"), QStringLiteral("Gone"),  QStringLiteral("LockedNoPwd"),
            QStringLiteral("LockedPwd"), QStringLiteral("Notes"), QStringLiteral("Orders"),
            QStringLiteral("Remote")};
}

QStringList SplitApplicationReportBody(bool protectedFrontEnd)
{
    const QList<std::tuple<const char*, const char*, int>> ledger = {{"Entry", "Integer", 0},
                                                                     {"Amount", "Currency", 0}};
    // A Jet 3 back-end stores text in bytes: still 40 characters.
    return block(QStringLiteral("Customers"),
                 {{"Customer_ID", "Integer", 0}, {"CompanyName", "VarWChar", 40}}) +
           block(QStringLiteral("Gone")) +
           block(QStringLiteral("LockedNoPwd"), protectedFrontEnd ? ledger : decltype(ledger){}) +
           block(QStringLiteral("LockedPwd"), ledger) +
           block(QStringLiteral("Notes"), {{"Note", "LongVarWChar", 536870910}}) +
           block(QStringLiteral("Orders"), {{"Order_ID", "Integer", 0}, {"ShipDate", "Date", 0}}) +
           block(QStringLiteral("Remote"));
}
