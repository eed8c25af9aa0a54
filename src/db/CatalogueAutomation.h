// A structure model seen through the automation layer: the Tables (and Views) collections of an
// opened database, their tables, views and columns, each answering from a TCatalogue. The two
// catalogue components the program stands in for count, name and word their errors differently;
// each way is one TCatalogueAutomationTraits value, and the objects here follow it.
#pragma once

#include "Automation.h"
#include "Catalogue.h"

#include <QHash>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>

// The members an object of the layer can answer. Their names are spelled once, in
// CatalogueAutomation.cpp; which of them an engine's objects answer is its traits' choice.
enum class TAutomationMember : std::uint8_t
{
    Count,
    Item,
    Tables,
    Views,
    Name,
    Type, // of a table: the engine's word for it; of a column: its ADO type number
    Columns,
    ListColumns,
    DefinedSize,
    Precision,
    NumericScale,
    DataType,
    Length,
    AllowNulls,
};

using TAutomationMembers = std::uint32_t;

constexpr TAutomationMembers AutomationMembers(std::initializer_list<TAutomationMember> members)
{
    TAutomationMembers set = 0;
    for (const TAutomationMember m : members)
        set |= TAutomationMembers(1) << unsigned(m);
    return set;
}

// The member name matches (as automation matches names: without regard to case).
bool IsAutomationMember(const QString& name, TAutomationMember member);

struct TCatalogueAutomationTraits
{
    // The position Item gives the first element of every collection.
    std::int32_t indexBase;
    // What the database object, a table, a view and a column answer.
    TAutomationMembers database;
    TAutomationMembers table;
    TAutomationMembers view;
    TAutomationMembers column;
    // The errors in the component's words. Item given a position outside the collection (%1 the
    // position, %2 the collection's name, %3 its count), a name it does not hold (%1, %2), a key
    // that is neither (%2), the wrong number of arguments (%1 the member as the caller spelled it).
    const char* positionOutside;
    const char* nameNotFound;
    const char* keyOfOtherKind;
    const char* itemArguments;
    // Arguments given to a member that takes none (%1): this error, or, when null, the member is
    // unknown by such a call.
    const char* argumentsGiven;
};

// Access's catalogue: one Tables collection counted from 0; a table's Type is its catalogue word,
// a column's its ADO type, DefinedSize, Precision and NumericScale.
extern const TCatalogueAutomationTraits kJetCatalogueAutomation;
// SQL Server's: Tables and Views counted from 1; a view's columns are its ListColumns; a column
// tells DataType, Length and AllowNulls.
extern const TCatalogueAutomationTraits kSqlServerCatalogueAutomation;

// Item (a name or a position from the traits' base) and Count over what a subclass holds. A name is
// found spelled exactly first, then differing only in case.
class TAutomationCollection : public Dispatch
{
public:
    TAutomationCollection(const TCatalogueAutomationTraits& traits, const char* kind)
        : m_traits(traits), m_kind(kind)
    {
    }

    Variant get(const QString& name, const QList<Variant>& args) override;
    Variant invoke(const QString& name, const QList<Variant>& args) override { return get(name, args); }

protected:
    virtual int count() const = 0;
    virtual QString nameAt(int position) const = 0;
    // position counts from 0 and lies inside the collection.
    virtual Variant item(int position) = 0;

    const TCatalogueAutomationTraits& traits() const { return m_traits; }

private:
    int position(const Variant& key);

    const TCatalogueAutomationTraits& m_traits;
    const char* m_kind;
    bool m_indexed = false;
    QHash<QString, int> m_exact;
    QHash<QString, int> m_folded;
};

// The database-level members (Tables, Views) of the object that stands for an opened database. The
// model is asked for when a collection is first wanted, and the collections are kept.
class TCatalogueAutomation
{
public:
    using ModelSource = std::function<std::shared_ptr<const TCatalogue>()>;

    TCatalogueAutomation(const TCatalogueAutomationTraits& traits, ModelSource model);

    // True, with the member's value in result, when name is one of the traits' database members.
    // A model that cannot be read throws its error.
    bool get(const QString& name, const QList<Variant>& args, Variant& result);

private:
    const TCatalogueAutomationTraits* m_traits;
    ModelSource m_source;
    DispatchPtr m_tables;
    DispatchPtr m_views;
};
