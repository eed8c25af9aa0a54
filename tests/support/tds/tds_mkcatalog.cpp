// tds-mkcatalog DIR: writes the standard catalogue fixtures (sample, big, we]ird';db) that
// tds-testserver serves, for running the server by hand.
// tds-mkcatalog --relations DIR: writes the database "relations" instead, a schema of related
// tables for the diagram benchmark (see relationsDatabase).
#include "CatalogFixture.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

namespace {

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
    const bool relations = argc == 3 && std::strcmp(argv[1], "--relations") == 0;
    if (argc != 2 && !relations) {
        std::fprintf(stderr, "usage: tds-mkcatalog [--relations] DIR\n");
        return 2;
    }
    try {
        if (relations) {
            std::filesystem::create_directories(argv[2]);
            tdsfixture::writeDatabase(relationsDatabase(), argv[2]);
        } else {
            tdsfixture::writeStandardFixtures(argv[1]);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tds-mkcatalog: %s\n", e.what());
        return 1;
    }
    return 0;
}
