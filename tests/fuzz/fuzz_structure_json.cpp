// The structure document reader on any bytes: never a fault, and whatever it accepts writes out
// as a document it reads back to the same bytes.
#include "FuzzDriver.h"
#include "StructureJson.h"
#include "StructureJsonReader.h"

namespace {

QByteArray Written(const TCatalogue& catalogue, const QString& program)
{
    QList<const TCatalogueObject*> objects;
    for (const TCatalogueObject& object : catalogue.objects)
        objects.append(&object);
    return StructureJson(catalogue, objects, program);
}

} // namespace

int main(int argc, char** argv)
{
    FuzzTarget target{
        "fuzz_structure_json",
        {QByteArray(
             R"json({"format": "orvane-structure", "version": 1, "program": "Orvane 1", "provider": "SQLServer",
 "server": "db", "database": "d", "objects": [{"name": "Orders", "schema": "dbo", "kind": "table",
 "description": "Bestellungen \u00e4", "columns": [{"number": 1, "name": "Id", "type": "int", "baseType": "int",
 "length": 4, "nullable": false, "autoIncrement": true, "default": "((0))", "computed": "([a]+(1))"}],
 "primaryKey": {"name": "PK", "columns": ["Id"]}, "indexes": [{"name": "ix", "unique": true,
 "columns": [{"name": "Id", "descending": true}]}], "foreignKeys": [{"name": "fk", "columns": ["Id"],
 "referencedTable": "T", "referencedSchema": "s", "referencedColumns": ["Id"], "enforced": false,
 "onUpdate": "cascade", "onDelete": "setNull"}]}]})json"),
         QByteArray(
             R"json({"format":"orvane-structure","version":1,"provider":"Access","objects":[{"name":"T",
"kind":"linked table","link":{"file":"b.mdb","table":"T"},"columns":[{"number":1,"typeCode":17,"type":"unknown",
"length":1}],"indexes":[],"foreignKeys":[]}]})json")},
        {"{", "}", "[", "]", ",", ":", "\"", "\\u", "\\ud83d\\ude00", "1e9", "-0", "true", "null", "\xC3\xA4",
         "\"objects\": [", "\"columns\": ["},
        {}};
    target.run = [](const QByteArray& input) {
        TStructureDocument document;
        QString error;
        if (!ReadStructureJson(input, document, error)) {
            FuzzCheck(!error.isEmpty(), "a refused document without a reason");
            return;
        }
        const QByteArray once = Written(document.catalogue, document.program);
        TStructureDocument again;
        FuzzCheck(ReadStructureJson(once, again, error), "the reader refuses what the writer wrote");
        FuzzCheck(Written(again.catalogue, again.program) == once,
                  "a second round trip changed the document");
    };
    return RunFuzzer(argc, argv, target);
}
