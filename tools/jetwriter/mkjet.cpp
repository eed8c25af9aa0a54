// mkjet: writes the sample database or a benchmark database as an .mdb file.
//   mkjet [--format jet4|jet3|ace] [--password-stdin] sample OUT.mdb
//   mkjet [--format jet4|jet3|ace] [--password-stdin] rich OUT.mdb
//   mkjet [--format jet4|jet3|ace] [--password-stdin] [--change-every N] [--queries N]
//         [--relationships] bench OUT.mdb [TABLES] [COLUMNS]
// --queries N adds N saved queries over the benchmark tables (joins, aliases, parameters, updates).
// --relationships gives the benchmark's tables keys and relationships (see relateTables).
// --change-every N alters every Nth column of the benchmark database (a text grows by one character,
// any other column becomes a Double, a Double a Single), so two files that differ in a known share can be
// compared.
//   mkjet [--spin-count N] --password-stdin encrypt SCHEME PLAIN.accdb OUT.accdb
// encrypt writes the password-protected twin of an unencrypted .accdb (mkjet --format ace) in one
// of the schemes Access uses (SCHEME: see the usage text).
// The password is read from the first line of standard input, never taken from the arguments,
// where other users of the machine could see it.
#include "JetEncryption.h"
#include "JetWriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <QTextStream>

#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

namespace {

int usage()
{
    std::fputs("usage: mkjet [--format jet4|jet3|ace] [--password-stdin] sample OUT.mdb\n"
               "       mkjet [--format jet4|jet3|ace] [--password-stdin] rich OUT.mdb\n"
               "       mkjet [--format jet4|jet3|ace] [--password-stdin] [--change-every N] [--queries N]\n"
               "             [--relationships] bench OUT.mdb [TABLES [COLUMNS]]\n"
               "       mkjet [--spin-count N] --password-stdin encrypt SCHEME PLAIN.accdb OUT.accdb\n"
               "SCHEME: ",
               stderr);
    std::fputs(qPrintable(jet::encryptionNames().join(QLatin1String(", "))), stderr);
    std::fputs("\n", stderr);
    return 2;
}

// A schema of related groups, as a large application has them: each table's first column becomes
// its Long primary key Key_ID and its last (with two columns or more) a Long Parent_ID; in each
// group of 25 tables every table but the first refers to its parent in a binary tree (table k of
// the group to table (k - 1) / 2), with every tenth relationship not enforced. The last 5% of the
// tables stay without relationships.
void relateTables(jet::Database& db)
{
    constexpr int kGroup = 25;
    const int related = int(db.tables.size()) - int(db.tables.size()) / 20;
    int made = 0;
    for (int t = 0; t < int(db.tables.size()); ++t) {
        jet::Table& table = db.tables[t];
        if (table.columns.isEmpty())
            continue;
        jet::Column& key = table.columns.first();
        key.name = QStringLiteral("Key_ID");
        key.type = jet::ColumnType::Long;
        key.length = 0;
        key.autoNumber = true;
        jet::Index primary;
        primary.name = QStringLiteral("PrimaryKey");
        primary.columns = {jet::IndexColumn{key.name, false}};
        primary.primaryKey = true;
        table.indexes.append(primary);
        const int inGroup = t % kGroup;
        if (t >= related || inGroup == 0 || table.columns.size() < 2)
            continue;
        jet::Column& parent = table.columns.last();
        parent.name = QStringLiteral("Parent_ID");
        parent.type = jet::ColumnType::Long;
        parent.length = 0;
        parent.autoNumber = false;
        const jet::Table& referenced = db.tables.at(t - inGroup + (inGroup - 1) / 2);
        jet::Relationship relationship;
        relationship.name = referenced.name + table.name;
        relationship.table = table.name;
        relationship.columns = {parent.name};
        relationship.referencedTable = referenced.name;
        relationship.referencedColumns = {QStringLiteral("Key_ID")};
        relationship.flags =
            ++made % 10 == 0 ? jet::RelationFlag::NotEnforced : jet::RelationFlag::CascadeDeletes;
        db.relationships.append(relationship);
    }
}

void changeColumns(jet::Database& db, int every)
{
    int n = 0;
    for (jet::Table& table : db.tables) {
        for (jet::Column& column : table.columns) {
            if (++n % every != 0)
                continue;
            if (column.type == jet::ColumnType::Text && column.length < 255) {
                ++column.length;
            } else {
                column.type =
                    column.type == jet::ColumnType::Double ? jet::ColumnType::Float : jet::ColumnType::Double;
                column.autoNumber = false;
            }
        }
    }
}

bool toCount(const QString& text, int max, int* out)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 0 || v > max)
        return false;
    *out = v;
    return true;
}

// The first line of standard input, without its line end.
QString passwordLine()
{
    std::string line;
    std::getline(std::cin, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromStdString(line);
}

int encrypt(const QString& schemeName, const QString& in, const QString& out, int spinCount)
{
    jet::EncryptionOptions options;
    if (!jet::encryptionFromName(schemeName, &options.scheme))
        return usage();
    options.spinCount = std::uint32_t(spinCount);
    options.password = passwordLine();
    QFile source(in);
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "mkjet: cannot read %s\n", qPrintable(in));
        return 1;
    }
    try {
        QElapsedTimer timer;
        timer.start();
        const QByteArray bytes = jet::encryptImage(source.readAll(), options);
        QSaveFile f(out);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
            std::fprintf(stderr, "mkjet: cannot write %s: %s\n", qPrintable(out),
                         qPrintable(f.errorString()));
            return 1;
        }
        QTextStream(stdout) << out << ": encrypted (" << schemeName << ") in " << timer.elapsed() << " ms\n";
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mkjet: %s\n", e.what());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    jet::Format format = jet::Format::Jet4;
    bool passwordFromStdin = false;
    int spinCount = 100000;
    int changeEvery = 0;
    int queries = 0;
    bool relationships = false;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("--password-stdin")) {
            passwordFromStdin = true;
        } else if (opt == QLatin1String("--relationships")) {
            relationships = true;
        } else if (opt == QLatin1String("--change-every") && !args.isEmpty()) {
            if (!toCount(args.takeFirst(), 1000000, &changeEvery) || changeEvery == 0)
                return usage();
        } else if (opt == QLatin1String("--queries") && !args.isEmpty()) {
            if (!toCount(args.takeFirst(), 100000, &queries))
                return usage();
        } else if (opt == QLatin1String("--spin-count") && !args.isEmpty()) {
            if (!toCount(args.takeFirst(), 10000000, &spinCount))
                return usage();
        } else if (opt == QLatin1String("--format") && !args.isEmpty()) {
            const QString f = args.takeFirst();
            if (f == QLatin1String("jet4"))
                format = jet::Format::Jet4;
            else if (f == QLatin1String("jet3"))
                format = jet::Format::Jet3;
            else if (f == QLatin1String("ace"))
                format = jet::Format::Ace12;
            else
                return usage();
        } else {
            return usage();
        }
    }
    if (args.size() < 2)
        return usage();
    const QString kind = args.at(0);
    const QString out = args.at(1);

    if (kind == QLatin1String("encrypt"))
        return passwordFromStdin && args.size() == 4 ? encrypt(args.at(1), args.at(2), args.at(3), spinCount)
                                                     : usage();

    jet::Database db;
    if (kind == QLatin1String("sample") && args.size() == 2) {
        db = jet::sampleDatabase(format);
    } else if (kind == QLatin1String("rich") && args.size() == 2) {
        db = jet::richDatabase(format);
    } else if (kind == QLatin1String("bench") && args.size() <= 4) {
        int tables = 2000;
        int columns = 30;
        if (args.size() > 2 && !toCount(args.at(2), 1000000, &tables))
            return usage();
        if (args.size() > 3 && !toCount(args.at(3), 255, &columns))
            return usage();
        db = jet::benchmarkDatabase(tables, columns, format);
        if (relationships)
            relateTables(db);
        if (changeEvery > 0)
            changeColumns(db, changeEvery);
        try {
            jet::addBenchmarkQueries(db, queries);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "mkjet: %s\n", e.what());
            return 1;
        }
    } else {
        return usage();
    }
    if (passwordFromStdin)
        db.password = passwordLine();

    try {
        QElapsedTimer timer;
        timer.start();
        jet::writeFile(out, db);
        QTextStream(stdout) << out << ": " << db.tables.size() << " tables, " << db.queries.size()
                            << " queries written in " << timer.elapsed() << " ms\n";
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mkjet: %s\n", e.what());
        return 1;
    }
    return 0;
}
