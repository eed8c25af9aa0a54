#include "CatalogueAutomation.h"

#include "MemberNames.h"

#include <optional>
#include <string_view>
#include <vector>

namespace {

using M = TAutomationMember;
using ModelPtr = std::shared_ptr<const TCatalogue>;

// In the order of TAutomationMember.
constexpr std::u16string_view kMemberNames[] = {
    u"Count",       u"Item",        u"Tables",    u"Views",        u"Name",     u"Type",   u"Columns",
    u"ListColumns", u"DefinedSize", u"Precision", u"NumericScale", u"DataType", u"Length", u"AllowNulls",
};
static_assert(std::size(kMemberNames) == std::size_t(M::AllowNulls) + 1);

bool answers(TAutomationMembers set, M member)
{
    return (set >> unsigned(member)) & 1u;
}

// The member of set that name names, if any.
std::optional<M> memberOf(TAutomationMembers set, const QString& name)
{
    for (std::size_t m = 0; m < std::size(kMemberNames); ++m) {
        if (answers(set, M(m)) && SameMemberName(name, kMemberNames[m]))
            return M(m);
    }
    return std::nullopt;
}

// pattern with %1, %2, %3 replaced in one pass, so that a value holding "%2" stays as it is.
QString worded(const char* pattern, const QStringList& values)
{
    const QString p = QString::fromUtf8(pattern);
    QString out;
    out.reserve(p.size() + 32);
    for (qsizetype i = 0; i < p.size(); ++i) {
        if (p[i] == QLatin1Char('%') && i + 1 < p.size() && p[i + 1] >= QLatin1Char('1') &&
            p[i + 1] <= QLatin1Char('9')) {
            out += values.value(p[i + 1].unicode() - u'1');
            ++i;
        } else {
            out += p[i];
        }
    }
    return out;
}

[[noreturn]] void fail(const char* pattern, const QStringList& values)
{
    throw AutomationError(0, worded(pattern, values));
}

// A member that takes no arguments, given some.
void noArguments(const TCatalogueAutomationTraits& traits, const QString& name, const QList<Variant>& args)
{
    if (args.isEmpty())
        return;
    if (traits.argumentsGiven)
        fail(traits.argumentsGiven, {name});
    throw AutomationError(0, QStringLiteral("Unknown name: %1.").arg(name));
}

// Lives inside its collection (see Columns), which keeps the model alive for it.
class Column final : public Dispatch
{
public:
    Column(const TCatalogueAutomationTraits* traits, const TCatalogueColumn* column)
        : m_traits(traits), m_column(column)
    {
    }

    Variant get(const QString& name, const QList<Variant>& args) override
    {
        const std::optional<M> member = memberOf(m_traits->column, name);
        if (!member)
            return Dispatch::get(name, args);
        noArguments(*m_traits, name, args);
        const TCatalogueColumn& c = *m_column;
        switch (*member) {
        case M::Name:
            return Variant(c.name);
        case M::Type:
            return Variant(c.typeCode.value_or(0));
        case M::DefinedSize:
        case M::Length:
            return Variant(c.length);
        case M::Precision:
            return Variant(c.precision.value_or(0));
        case M::NumericScale:
            return Variant(c.scale.value_or(0));
        case M::DataType:
            return Variant(c.typeName);
        case M::AllowNulls:
            return Variant(c.nullable);
        default:
            return Dispatch::get(name, args);
        }
    }

private:
    const TCatalogueAutomationTraits* m_traits;
    const TCatalogueColumn* m_column;
};

class Columns final : public TAutomationCollection, public std::enable_shared_from_this<Columns>
{
public:
    Columns(const TCatalogueAutomationTraits& traits, ModelPtr model, const TCatalogueObject* object)
        : TAutomationCollection(traits, "Columns"), m_model(std::move(model)), m_object(object)
    {
    }

protected:
    int count() const override { return int(m_object->columns.size()); }
    QString nameAt(int position) const override { return m_object->columns[position].name; }
    Variant item(int position) override
    {
        // A report reads every column several times over: the member objects are made once, in
        // one block, and handed out as the same object each time, as a real collection does. A
        // reference to one shares ownership of the collection that holds it.
        if (m_items.empty()) {
            m_items.reserve(std::size_t(m_object->columns.size()));
            for (const TCatalogueColumn& c : m_object->columns)
                m_items.emplace_back(&traits(), &c);
        }
        return Variant(DispatchPtr(shared_from_this(), &m_items[std::size_t(position)]));
    }

private:
    ModelPtr m_model;
    const TCatalogueObject* m_object;
    std::vector<Column> m_items; // never grows once filled: references into it stay valid
};

// A table or a view, named as the list shows it.
class CatalogueObject final : public Dispatch
{
public:
    CatalogueObject(const TCatalogueAutomationTraits& traits, ModelPtr model, const TCatalogueObject* object,
                    bool view)
        : m_traits(traits), m_model(std::move(model)), m_object(object),
          m_members(view ? traits.view : traits.table)
    {
    }

    Variant get(const QString& name, const QList<Variant>& args) override
    {
        const std::optional<M> member = memberOf(m_members, name);
        if (!member)
            return Dispatch::get(name, args);
        noArguments(m_traits, name, args);
        switch (*member) {
        case M::Name:
            return Variant(m_object->listName());
        case M::Type:
            return Variant(m_object->engineType);
        case M::Columns:
        case M::ListColumns:
            // The facade asks for the collection once per column read: the one object is kept.
            if (!m_columns)
                m_columns = std::make_shared<Columns>(m_traits, m_model, m_object);
            return Variant(m_columns);
        default:
            return Dispatch::get(name, args);
        }
    }
    Variant invoke(const QString& name, const QList<Variant>& args) override { return get(name, args); }

private:
    const TCatalogueAutomationTraits& m_traits;
    ModelPtr m_model;
    const TCatalogueObject* m_object;
    TAutomationMembers m_members;
    DispatchPtr m_columns;
};

// The model's views (or queries), or its tables, in list order.
class CatalogueObjects final : public TAutomationCollection
{
public:
    CatalogueObjects(const TCatalogueAutomationTraits& traits, ModelPtr model, bool views)
        : TAutomationCollection(traits, views ? "Views" : "Tables"), m_model(std::move(model)), m_views(views)
    {
        m_objects.reserve(std::size_t(m_model->objects.size()));
        for (const TCatalogueObject& o : m_model->objects) {
            if (views ? IsViewKind(o.kind) : IsTableKind(o.kind))
                m_objects.push_back(&o);
        }
        m_items.resize(m_objects.size());
    }

protected:
    int count() const override { return int(m_objects.size()); }
    QString nameAt(int position) const override { return m_objects[std::size_t(position)]->listName(); }
    Variant item(int position) override
    {
        // The same object while anyone holds it, as a real collection hands out. Once let go it
        // goes, with the member objects of its columns: a report walks thousands of tables once
        // each, and keeping them all would only grow the heap.
        std::weak_ptr<Dispatch>& slot = m_items[std::size_t(position)];
        DispatchPtr object = slot.lock();
        if (!object) {
            object = std::make_shared<CatalogueObject>(traits(), m_model, m_objects[std::size_t(position)],
                                                       m_views);
            slot = object;
        }
        return Variant(std::move(object));
    }

private:
    ModelPtr m_model;
    std::vector<const TCatalogueObject*> m_objects;
    std::vector<std::weak_ptr<Dispatch>> m_items;
    bool m_views;
};

} // namespace

const TCatalogueAutomationTraits kJetCatalogueAutomation = {
    0,
    AutomationMembers({M::Tables}),
    AutomationMembers({M::Name, M::Type, M::Columns}),
    0,
    AutomationMembers({M::Name, M::Type, M::DefinedSize, M::Precision, M::NumericScale}),
    "Item cannot be found in the collection corresponding to the requested name or ordinal.",
    "Item cannot be found in the collection corresponding to the requested name or ordinal.",
    "Item cannot be found in the collection corresponding to the requested name or ordinal.",
    "Invalid number of parameters for %1.",
    nullptr,
};

const TCatalogueAutomationTraits kSqlServerCatalogueAutomation = {
    1,
    AutomationMembers({M::Tables, M::Views}),
    AutomationMembers({M::Name, M::Columns}),
    AutomationMembers({M::Name, M::ListColumns}),
    AutomationMembers({M::Name, M::DataType, M::Length, M::AllowNulls}),
    "The index %1 is outside the %2 collection, which holds %3 element(s) counted from 1.",
    "The name '%1' was not found in the %2 collection.",
    "Item of the %2 collection takes a name or a number.",
    "%1 takes one argument.",
    "%1 takes no arguments.",
};

bool IsAutomationMember(const QString& name, TAutomationMember member)
{
    return SameMemberName(name, kMemberNames[std::size_t(member)]);
}

Variant TAutomationCollection::get(const QString& name, const QList<Variant>& args)
{
    if (IsAutomationMember(name, M::Count)) {
        noArguments(m_traits, name, args);
        return Variant(std::int32_t(count()));
    }
    if (IsAutomationMember(name, M::Item)) {
        if (args.size() != 1)
            fail(m_traits.itemArguments, {name});
        return item(position(args.first()));
    }
    return Dispatch::get(name, args);
}

int TAutomationCollection::position(const Variant& key)
{
    const int n = count();
    // Only an error names the collection: every column of a report passes through here.
    const auto kind = [this] { return QString::fromLatin1(m_kind); };
    if (key.kind() == Variant::Kind::Int) {
        const std::int64_t index = std::int64_t(key.toInt()) - m_traits.indexBase;
        if (index < 0 || index >= n)
            fail(m_traits.positionOutside, {QString::number(key.toInt()), kind(), QString::number(n)});
        return int(index);
    }
    if (key.kind() == Variant::Kind::Text) {
        const QString wanted = key.toText();
        if (!m_indexed) {
            // Filled backwards so that of two names the first one in the collection wins.
            for (int i = n - 1; i >= 0; --i) {
                const QString at = nameAt(i);
                m_exact.insert(at, i);
                m_folded.insert(at.toCaseFolded(), i);
            }
            m_indexed = true;
        }
        const auto exact = m_exact.constFind(wanted);
        if (exact != m_exact.cend())
            return *exact;
        const int folded = m_folded.value(wanted.toCaseFolded(), -1);
        if (folded < 0)
            fail(m_traits.nameNotFound, {wanted, kind()});
        return folded;
    }
    fail(m_traits.keyOfOtherKind, {QString(), kind()});
}

TCatalogueAutomation::TCatalogueAutomation(const TCatalogueAutomationTraits& traits, ModelSource model)
    : m_traits(&traits), m_source(std::move(model))
{
}

bool TCatalogueAutomation::get(const QString& name, const QList<Variant>& args, Variant& result)
{
    const std::optional<M> member = memberOf(m_traits->database, name);
    if (member != M::Tables && member != M::Views)
        return false;
    noArguments(*m_traits, name, args);
    const bool views = member == M::Views;
    DispatchPtr& kept = views ? m_views : m_tables;
    if (!kept)
        kept = std::make_shared<CatalogueObjects>(*m_traits, m_source(), views);
    result = Variant(kept);
    return true;
}
