// What the two engines do differently where the program around them can see it, said once: the
// list's positions, whether there is a view list and a database to choose, the statement that
// finds the system tables, the engine's word in documents and on the command line.
#pragma once

#include "Catalogue.h"
#include "ProviderType.h"

#include <QString>

#include <cstdint>

struct TEngineTraits
{
    // TCatalogue::provider, the structure documents' and the command line's word for the engine.
    const char* word;
    // The position of the first table (and view) the facade hands out.
    std::int32_t listIndexBase;
    // Views (Access: saved queries) are listed apart from the tables, when asked for.
    bool hasViews;
    // The database is one of a server's, chosen before its structure is read.
    bool choosesDatabase;
    // Sent exactly as given; its answer's "name" column names the system tables.
    QString (*systemTableStatement)();
    // The UI text that names the engine in reports, documents and comparisons.
    int nameText;
    // What begins the settings file's section of each of the engine's connection profiles.
    const char* profilePrefix;
    // The list's views are the structure model's (Access's saved queries, for which the facade
    // has no collection): listed from it and reported from it, with their type, parameters and SQL.
    bool viewsFromModel;
    // The UI text of the choice that lists the views ("Views", "Queries").
    int viewsText;
    // The UI text that labels a check in reports and documents ("Check", Access's "Rule").
    int checkText;
    // Its objects live in schemas, its databases on a named server: documents name both.
    bool hasSchemas;
    // Its columns carry the ADO type number behind their type name (TCatalogueColumn::typeCode).
    bool hasTypeCodes;
    // The UI text that names an automatically numbered column (AutoNumber, Identity).
    int autoIncrementText;
    // The column's type as the engine's users write it (DeclaredTypes.h), in the language given
    // (1 German, 2 English).
    QString (*declaredType)(const TCatalogueColumn& column, int language);
};

// The traits of provider; an unknown value gets Access's.
const TEngineTraits& EngineTraits(TProviderType provider);
// The traits of the engine whose word (TCatalogue::provider) is word; any other word gets Access's.
const TEngineTraits& EngineTraitsOfWord(const QString& word);
// The same, or nullptr for a word no engine has.
const TEngineTraits* FindEngineTraits(const QString& word);

// The column's type as its engine's users write it, in the UI language: "nvarchar(40)",
// "Short Text (40)".
QString DeclaredTypeText(const TCatalogue& catalogue, const TCatalogueColumn& column);
