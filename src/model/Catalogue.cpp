#include "Catalogue.h"

QString TCatalogueObject::listName() const
{
    // A system table keeps its bare name: the system-table statement names it so, in whatever
    // schema (sys since SQL Server 2005) it lives.
    if (schema.isEmpty() || kind == TObjectKind::SystemTable ||
        schema.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0)
        return name;
    return schema + QLatin1Char('.') + name;
}

TFieldPropertiesBox::TFieldPropertiesBox(const TFieldPropertiesBox& other)
    : m_properties(other.m_properties ? std::make_unique<TFieldProperties>(*other.m_properties) : nullptr)
{
}

TFieldPropertiesBox& TFieldPropertiesBox::operator=(const TFieldPropertiesBox& other)
{
    if (this != &other)
        m_properties = other.m_properties ? std::make_unique<TFieldProperties>(*other.m_properties) : nullptr;
    return *this;
}

const TFieldProperties& TFieldPropertiesBox::operator*() const
{
    static const TFieldProperties none;
    return m_properties ? *m_properties : none;
}

TFieldProperties& TFieldPropertiesBox::edit()
{
    if (!m_properties)
        m_properties = std::make_unique<TFieldProperties>();
    return *m_properties;
}

bool IsTableKind(TObjectKind kind)
{
    return kind == TObjectKind::Table || kind == TObjectKind::SystemTable || kind == TObjectKind::LinkedTable;
}

bool IsViewKind(TObjectKind kind)
{
    return kind == TObjectKind::View || kind == TObjectKind::Query;
}

const TCatalogueObject* TCatalogue::find(const QString& listName, bool view) const
{
    auto wanted = [view](const TCatalogueObject& o) {
        return view ? IsViewKind(o.kind) : IsTableKind(o.kind);
    };
    for (const TCatalogueObject& o : objects)
        if (wanted(o) && o.listName() == listName)
            return &o;
    for (const TCatalogueObject& o : objects)
        if (wanted(o) && o.listName().compare(listName, Qt::CaseInsensitive) == 0)
            return &o;
    return nullptr;
}

TCatalogueLookup::TCatalogueLookup(const TCatalogue& catalogue) : m_catalogue(catalogue)
{
    for (const TCatalogueObject& o : catalogue.objects) {
        // The first of same-named objects wins, as in TCatalogue::find.
        if (!IsViewKind(o.kind) && !IsTableKind(o.kind))
            continue;
        QHash<QString, const TCatalogueObject*>& names = IsViewKind(o.kind) ? m_views : m_tables;
        const QString name = o.listName();
        if (!names.contains(name))
            names.insert(name, &o);
    }
}

const TCatalogueObject* TCatalogueLookup::find(const QString& listName, bool view) const
{
    if (const TCatalogueObject* exact = (view ? m_views : m_tables).value(listName))
        return exact;
    return m_catalogue.find(listName, view);
}

QList<const TCatalogueObject*> TCatalogueLookup::findAll(const QStringList& listNames, bool view,
                                                         QString& missing) const
{
    QList<const TCatalogueObject*> objects;
    objects.reserve(listNames.size());
    for (const QString& name : listNames) {
        const TCatalogueObject* object = find(name, view);
        if (!object) {
            missing = name;
            return {};
        }
        objects.append(object);
    }
    return objects;
}

QString ReferentialActionName(TReferentialAction action)
{
    switch (action) {
    case TReferentialAction::Cascade:
        return QStringLiteral("cascade");
    case TReferentialAction::SetNull:
        return QStringLiteral("setNull");
    case TReferentialAction::SetDefault:
        return QStringLiteral("setDefault");
    case TReferentialAction::NoAction:
        break;
    }
    return QStringLiteral("noAction");
}

QString ObjectKindName(TObjectKind kind)
{
    switch (kind) {
    case TObjectKind::View:
        return QStringLiteral("view");
    case TObjectKind::SystemTable:
        return QStringLiteral("system table");
    case TObjectKind::LinkedTable:
        return QStringLiteral("linked table");
    case TObjectKind::Query:
        return QStringLiteral("query");
    case TObjectKind::Procedure:
        return QStringLiteral("procedure");
    case TObjectKind::Function:
        return QStringLiteral("function");
    case TObjectKind::Sequence:
        return QStringLiteral("sequence");
    case TObjectKind::Synonym:
        return QStringLiteral("synonym");
    case TObjectKind::Table:
        break;
    }
    return QStringLiteral("table");
}

QString QueryTypeName(TQueryType type)
{
    switch (type) {
    case TQueryType::Crosstab:
        return QStringLiteral("crosstab");
    case TQueryType::MakeTable:
        return QStringLiteral("makeTable");
    case TQueryType::Append:
        return QStringLiteral("append");
    case TQueryType::Update:
        return QStringLiteral("update");
    case TQueryType::Delete:
        return QStringLiteral("delete");
    case TQueryType::Union:
        return QStringLiteral("union");
    case TQueryType::PassThrough:
        return QStringLiteral("passThrough");
    case TQueryType::DataDefinition:
        return QStringLiteral("dataDefinition");
    case TQueryType::Select:
        break;
    }
    return QStringLiteral("select");
}

QString TriggerTimingName(TTriggerTiming timing)
{
    return timing == TTriggerTiming::InsteadOf ? QStringLiteral("insteadOf") : QStringLiteral("after");
}

QList<TUnresolvedLink> UnresolvedLinks(const TCatalogue& catalogue)
{
    QList<TUnresolvedLink> unresolved;
    for (const TCatalogueObject& o : catalogue.objects) {
        if (!o.link || !o.unresolvedLink)
            continue;
        const TCatalogueLink& link = *o.link;
        const QString source =
            link.odbc.isEmpty() ? QStringLiteral("back-end '%1'").arg(link.file) : QStringLiteral("ODBC");
        unresolved.append({o.name, QStringLiteral("linked table '%1' (%2) has no columns: %3")
                                       .arg(o.name, source, *o.unresolvedLink)});
    }
    return unresolved;
}

QString PartialViewWarning(const TCatalogue& catalogue)
{
    return QStringLiteral("the login may not see every object of database '%1' (it lacks the VIEW DEFINITION "
                          "permission there): the server showed only the objects it owns or holds a "
                          "permission on, so the report may be incomplete")
        .arg(catalogue.database);
}
