// tds-mkcatalog [--views N] [--procedures N] [--triggers N] DIR: writes the standard catalogue
// fixtures (sample, big, we]ird';db) that tds-testserver serves, for running the server by hand
// and for the benchmarks; the options give big that many views, procedures and triggers.
// tds-mkcatalog --relations DIR: writes the database "relations" instead, a schema of related
// tables for the diagram benchmark (see relationsDatabase).
#include "CatalogFixture.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: tds-mkcatalog [--views N] [--procedures N] [--triggers N] [--relations] DIR\n");
    return 2;
}

bool count(const char* text, int& out)
{
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || n < 0 || n > 100000)
        return false;
    out = static_cast<int>(n);
    return true;
}

// 70 tables in 6 schemas (dbo and five of its own), 90 foreign keys that tie them into one
// connected schema as hub tables do: each table after the first refers to the one at a third of
// its number, and every third from the ninth on also to the one at half its number, across
// schemas. Every seventh key is
// not enforced; keys alternate between no action and cascading deletes.
tdsfixture::Database relationsDatabase()
{
    using namespace tdsfixture;
    static const char* const schemas[] = {"dbo", "sales", "hr", "stock", "billing", "audit"};
    static const char* const entities[] = {"Customer", "Order",   "Employee", "Product",  "Invoice",
                                           "Event",    "Address", "Payment",  "Contract", "Shipment"};
    Database db("relations");
    for (const char* schema : schemas)
        if (std::strcmp(schema, "dbo") != 0)
            db.addSchema(schema);
    const auto name = [&](int t) {
        return std::string(entities[t % std::size(entities)]) + "s" + std::to_string(t + 1);
    };
    const auto qualified = [&](int t) {
        const std::string schema = schemas[t % std::size(schemas)];
        return schema == "dbo" ? name(t) : schema + "." + name(t);
    };
    constexpr int kTables = 70;
    int keys = 0;
    for (int t = 0; t < kTables; ++t) {
        std::vector<Column> columns =
            tdsfixture::columns("ID int not null, Name nvarchar(50) not null, Created datetime, Amount "
                                "decimal(12,2), Note nvarchar(max)");
        const bool second = t >= 9 && t % 3 == 0;
        if (t > 0)
            columns.push_back({"Previous_ID", "int", t % 2 == 0});
        if (second)
            columns.push_back({"Half_ID", "int", false});
        db.addTable(schemas[t % std::size(schemas)], name(t), std::move(columns));
        Object& table = db.object(qualified(t));
        table.primaryKey = Key{"PK_" + name(t), {"ID"}};
        const auto refer = [&](const std::string& column, int referenced) {
            ForeignKey key;
            key.name = "FK_" + name(t) + "_" + name(referenced);
            key.columns = {column};
            key.referencedTable = qualified(referenced);
            key.referencedColumns = {"ID"};
            key.disabled = ++keys % 7 == 0;
            key.onDelete = keys % 2 == 0 ? Action::Cascade : Action::NoAction;
            table.foreignKeys.push_back(key);
        };
        if (t > 0)
            refer("Previous_ID", (t - 1) / 3);
        if (second)
            refer("Half_ID", t / 2);
    }
    return db;
}

} // namespace

int main(int argc, char** argv)
{
    tdsfixture::Modules modules;
    bool relations = false;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--relations") {
            relations = true;
            continue;
        }
        int* target = arg == "--views"        ? &modules.views
                      : arg == "--procedures" ? &modules.procedures
                      : arg == "--triggers"   ? &modules.triggers
                                              : nullptr;
        if (target) {
            if (i + 1 >= argc || !count(argv[++i], *target))
                return usage();
        } else if (dir.empty() && !arg.starts_with("-")) {
            dir = arg;
        } else {
            return usage();
        }
    }
    if (dir.empty())
        return usage();
    try {
        if (relations) {
            std::filesystem::create_directories(dir);
            tdsfixture::writeDatabase(relationsDatabase(), dir);
        } else {
            tdsfixture::writeStandardFixtures(dir, modules);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tds-mkcatalog: %s\n", e.what());
        return 1;
    }
    return 0;
}
