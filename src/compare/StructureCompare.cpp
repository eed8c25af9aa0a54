#include "StructureCompare.h"

#include "EngineTraits.h"
#include "TypeMapping.h"

#include <algorithm>
#include <optional>

namespace {

bool HasSchemas(const TCatalogue& catalogue)
{
    return EngineTraitsOfWord(catalogue.provider).hasSchemas;
}

bool SameText(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool SameNames(const QStringList& a, const QStringList& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (!SameText(a.at(i), b.at(i)))
            return false;
    }
    return true;
}

QString FlagText(bool flag)
{
    return flag ? QStringLiteral("true") : QStringLiteral("false");
}

QString NamesText(const QStringList& names)
{
    return names.join(QStringLiteral(", "));
}

QString IndexColumnsText(const QList<TCatalogueIndexColumn>& columns)
{
    QStringList names;
    for (const TCatalogueIndexColumn& column : columns)
        names.append(column.descending ? column.name + QStringLiteral(" descending") : column.name);
    return NamesText(names);
}

bool SameIndexColumns(const QList<TCatalogueIndexColumn>& a, const QList<TCatalogueIndexColumn>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (!SameText(a.at(i).name, b.at(i).name) || a.at(i).descending != b.at(i).descending)
            return false;
    }
    return true;
}

QString ReferencedText(const TCatalogueForeignKey& key)
{
    return key.referencedSchema.isEmpty() ? key.referencedTable
                                          : key.referencedSchema + QLatin1Char('.') + key.referencedTable;
}

QString OptionalNumberText(const std::optional<std::int32_t>& number)
{
    return number ? QString::number(*number) : QString();
}

// A lookup as one value, its members as the structure document spells them.
QString LookupValue(const std::optional<TColumnLookup>& lookup)
{
    if (!lookup)
        return QString();
    QStringList parts{lookup->displayControl, lookup->rowSourceType, lookup->rowSource};
    if (lookup->boundColumn)
        parts.append(QStringLiteral("boundColumn ") + QString::number(*lookup->boundColumn));
    if (lookup->columnCount)
        parts.append(QStringLiteral("columnCount ") + QString::number(*lookup->columnCount));
    if (lookup->limitToList)
        parts.append(QStringLiteral("limitToList"));
    parts.removeAll(QString());
    return parts.join(QStringLiteral(", "));
}

QString ReturnsValue(const std::optional<TCatalogueParameter>& returns)
{
    if (!returns)
        return QString();
    return returns->length != 0 ? returns->typeName + u' ' + QString::number(returns->length)
                                : returns->typeName;
}

// What names a check in the differences: its name, or an Access rule's field.
QString CheckName(const TCatalogueCheck& check)
{
    return check.name.isEmpty() ? check.column : check.name;
}

// Whether the two objects are of one family: tables with tables, views and queries together,
// any other kind with its own.
bool SameFamily(TObjectKind a, TObjectKind b)
{
    if (IsTableKind(a) || IsTableKind(b))
        return IsTableKind(a) && IsTableKind(b);
    if (IsViewKind(a) || IsViewKind(b))
        return IsViewKind(a) && IsViewKind(b);
    return a == b;
}

// Collects the differences of one pair of objects (or one lone object).
class TComparer
{
public:
    TComparer(const TCatalogue& baseline, const TCatalogue& current, const TCompareOptions& options)
        : m_baselineSchemas(HasSchemas(baseline)), m_currentSchemas(HasSchemas(current)),
          m_baselineCoded(EngineTraitsOfWord(baseline.provider).hasTypeCodes),
          m_cross(&EngineTraitsOfWord(baseline.provider) != &EngineTraitsOfWord(current.provider)),
          m_versionOne(options.versionOne)
    {
    }

    bool cross() const { return m_cross; }
    QList<TStructureDifference>& differences() { return m_out; }

    void objectAdded(const TCatalogueObject& object)
    {
        m_object = object.name;
        m_schema = m_currentSchemas ? object.schema : QString();
        m_kind = object.kind;
        add(TChangeKind::Added, TDifferenceItem::Table, QString());
    }

    void objectRemoved(const TCatalogueObject& object)
    {
        m_object = object.name;
        m_schema = m_baselineSchemas ? object.schema : QString();
        m_kind = object.kind;
        add(TChangeKind::Removed, TDifferenceItem::Table, QString());
    }

    void objects(const TCatalogueObject& b, const TCatalogueObject& c)
    {
        m_object = b.name;
        m_schema = m_baselineSchemas ? b.schema : m_currentSchemas ? c.schema : QString();
        m_kind = b.kind;
        // An Access query stands for the SQL Server view it became.
        if (b.kind != c.kind && !(m_cross && IsViewKind(b.kind) && IsViewKind(c.kind)))
            changed(TDifferenceItem::Table, QString(), QStringLiteral("kind"), ObjectKindName(b.kind),
                    ObjectKindName(c.kind));
        if (b.description != c.description)
            changed(TDifferenceItem::Table, QString(), QStringLiteral("description"), b.description,
                    c.description);
        if (!m_versionOne && !m_cross)
            wholeDatabaseProperties(b, c);
        columns(b, c);
        primaryKeys(b, c);
        indexes(b, c);
        foreignKeys(b, c);
        if (m_versionOne)
            return;
        checks(b, c);
        triggers(b, c);
        // Access's PARAMETERS and a routine's parameters have nothing in common to compare.
        if (!m_cross)
            parameters(b, c);
    }

private:
    void add(TChangeKind change, TDifferenceItem item, const QString& name)
    {
        TStructureDifference d;
        d.change = change;
        d.object = m_object;
        d.schema = m_schema;
        d.kind = m_kind;
        d.item = item;
        d.name = name;
        m_out.append(d);
    }

    void changed(TDifferenceItem item, const QString& name, const QString& property, const QString& baseline,
                 const QString& current)
    {
        add(TChangeKind::Changed, item, name);
        m_out.back().property = property;
        m_out.back().baseline = baseline;
        m_out.back().current = current;
    }

    // Each item of the baseline paired with an unpaired current item that matches: one of its own
    // name when there is one (matching by content leaves several to choose from), else the first.
    template <typename T, typename Match, typename Compare, typename Name>
    void pair(TDifferenceItem item, const QList<T>& baseline, const QList<T>& current, Match match,
              Compare compare, Name name)
    {
        QList<bool> used(current.size(), false);
        QList<qsizetype> partner(baseline.size(), -1);
        for (const bool sameName : {true, false}) {
            for (qsizetype b = 0; b < baseline.size(); ++b) {
                for (qsizetype i = 0; i < current.size() && partner.at(b) < 0; ++i) {
                    if (used.at(i) || (sameName && !SameText(name(baseline.at(b)), name(current.at(i)))) ||
                        !match(baseline.at(b), current.at(i)))
                        continue;
                    partner[b] = i;
                    used[i] = true;
                }
            }
        }
        for (qsizetype b = 0; b < baseline.size(); ++b) {
            if (partner.at(b) < 0)
                add(TChangeKind::Removed, item, name(baseline.at(b)));
            else
                compare(baseline.at(b), current.at(partner.at(b)));
        }
        for (qsizetype i = 0; i < current.size(); ++i) {
            if (!used.at(i))
                add(TChangeKind::Added, item, name(current.at(i)));
        }
    }

    void property(TDifferenceItem item, const QString& name, const char* property, const QString& x,
                  const QString& y)
    {
        if (x != y)
            changed(item, name, QString::fromLatin1(property), x, y);
    }

    // The object's own properties version 2 added; each engine's own, so never across engines.
    void wholeDatabaseProperties(const TCatalogueObject& b, const TCatalogueObject& c)
    {
        const auto table = [this](const char* name, const QString& x, const QString& y) {
            property(TDifferenceItem::Table, QString(), name, x, y);
        };
        table("hidden", FlagText(b.hidden), FlagText(c.hidden));
        table("queryType", b.queryType ? QueryTypeName(*b.queryType) : QString(),
              c.queryType ? QueryTypeName(*c.queryType) : QString());
        table("encrypted", FlagText(b.encrypted), FlagText(c.encrypted));
        if (!SameDefinition(b.definition, c.definition))
            changed(TDifferenceItem::Table, QString(), QStringLiteral("definition"), b.definition,
                    c.definition);
        table("returns", ReturnsValue(b.returns), ReturnsValue(c.returns));
        const TCatalogueSequence none;
        const TCatalogueSequence& x = b.sequence ? *b.sequence : none;
        const TCatalogueSequence& y = c.sequence ? *c.sequence : none;
        table("type", x.typeName, y.typeName);
        table("start", x.start, y.start);
        table("increment", x.increment, y.increment);
        table("minimum", x.minimum, y.minimum);
        table("maximum", x.maximum, y.maximum);
        table("cycle", FlagText(x.cycle), FlagText(y.cycle));
        table("target", b.synonymTarget, c.synonymTarget);
    }

    void checks(const TCatalogueObject& b, const TCatalogueObject& c)
    {
        // Access's rules have no names and the engines name checks differently: the column says
        // which is which there. Two dialects: across engines a check's presence is compared, and
        // whether it is enforced, not how it is written.
        const bool cross = m_cross;
        pair(
            TDifferenceItem::Check, b.checks, c.checks,
            [cross](const TCatalogueCheck& x, const TCatalogueCheck& y) {
                if (cross || x.name.isEmpty() || y.name.isEmpty())
                    return SameText(x.column, y.column);
                return SameText(x.name, y.name);
            },
            [this, cross](const TCatalogueCheck& x, const TCatalogueCheck& y) {
                const QString name = CheckName(x);
                if (!SameText(x.column, y.column))
                    changed(TDifferenceItem::Check, name, QStringLiteral("column"), x.column, y.column);
                if (!cross && !SameDefinition(x.definition, y.definition))
                    changed(TDifferenceItem::Check, name, QStringLiteral("definition"), x.definition,
                            y.definition);
                if (!cross)
                    property(TDifferenceItem::Check, name, "text", x.text, y.text);
                property(TDifferenceItem::Check, name, "enforced", FlagText(x.enforced),
                         FlagText(y.enforced));
            },
            [](const TCatalogueCheck& x) { return CheckName(x); });
    }

    void triggers(const TCatalogueObject& b, const TCatalogueObject& c)
    {
        pair(
            TDifferenceItem::Trigger, b.triggers, c.triggers,
            [](const TCatalogueTrigger& x, const TCatalogueTrigger& y) { return SameText(x.name, y.name); },
            [this](const TCatalogueTrigger& x, const TCatalogueTrigger& y) {
                const auto text = [&](const char* name, const QString& u, const QString& v) {
                    property(TDifferenceItem::Trigger, x.name, name, u, v);
                };
                text("events", NamesText(x.events), NamesText(y.events));
                text("timing", TriggerTimingName(x.timing), TriggerTimingName(y.timing));
                text("enabled", FlagText(x.enabled), FlagText(y.enabled));
                text("encrypted", FlagText(x.encrypted), FlagText(y.encrypted));
                if (!SameDefinition(x.definition, y.definition))
                    changed(TDifferenceItem::Trigger, x.name, QStringLiteral("definition"), x.definition,
                            y.definition);
            },
            [](const TCatalogueTrigger& x) { return x.name; });
    }

    void parameters(const TCatalogueObject& b, const TCatalogueObject& c)
    {
        pair(
            TDifferenceItem::Parameter, b.parameters, c.parameters,
            [](const TCatalogueParameter& x, const TCatalogueParameter& y) {
                return SameText(x.name, y.name);
            },
            [this](const TCatalogueParameter& x, const TCatalogueParameter& y) {
                if (!SameText(x.typeName, y.typeName))
                    changed(TDifferenceItem::Parameter, x.name, QStringLiteral("type"), x.typeName,
                            y.typeName);
                property(TDifferenceItem::Parameter, x.name, "length", QString::number(x.length),
                         QString::number(y.length));
                property(TDifferenceItem::Parameter, x.name, "output", FlagText(x.output),
                         FlagText(y.output));
            },
            [](const TCatalogueParameter& x) { return x.name; });
    }

    void columns(const TCatalogueObject& b, const TCatalogueObject& c)
    {
        pair(
            TDifferenceItem::Column, b.columns, c.columns,
            [](const TCatalogueColumn& x, const TCatalogueColumn& y) { return SameText(x.name, y.name); },
            [this](const TCatalogueColumn& x, const TCatalogueColumn& y) { column(x, y); },
            [](const TCatalogueColumn& x) { return x.name; });
    }

    void columnType(const TCatalogueColumn& b, const TCatalogueColumn& c)
    {
        const QString name = b.name;
        const auto typeChanged = [&] {
            changed(TDifferenceItem::Column, name, QStringLiteral("type"), b.typeName, c.typeName);
            m_out.back().baselineColumn = &b;
            m_out.back().currentColumn = &c;
        };
        const auto lengthChanged = [&] {
            changed(TDifferenceItem::Column, name, QStringLiteral("length"), QString::number(b.length),
                    QString::number(c.length));
        };
        if (m_cross) {
            bool lengthsAgree = false;
            const bool same =
                m_baselineCoded ? TypesCorrespond(b, c, lengthsAgree) : TypesCorrespond(c, b, lengthsAgree);
            if (!same)
                typeChanged();
            else if (!lengthsAgree)
                lengthChanged();
            return;
        }
        // Access calls several types "unknown": the code behind the name tells them apart.
        bool sameType = SameText(b.typeName, c.typeName);
        if (sameType && b.typeCode && c.typeCode && *b.typeCode != *c.typeCode) {
            changed(TDifferenceItem::Column, name, QStringLiteral("type"),
                    b.typeName + QStringLiteral(" (") + QString::number(*b.typeCode) + QLatin1Char(')'),
                    c.typeName + QStringLiteral(" (") + QString::number(*c.typeCode) + QLatin1Char(')'));
            m_out.back().baselineColumn = &b;
            m_out.back().currentColumn = &c;
            return;
        }
        if (!sameType || !SameText(b.baseType, c.baseType)) {
            typeChanged();
            return;
        }
        if (HasComparedLength(b, !m_baselineCoded) && b.length != c.length)
            lengthChanged();
    }

    void column(const TCatalogueColumn& b, const TCatalogueColumn& c)
    {
        const QString name = b.name;
        const auto text = [&](const char* property, const QString& x, const QString& y, bool same) {
            if (!same)
                changed(TDifferenceItem::Column, name, QString::fromLatin1(property), x, y);
        };
        columnType(b, c);
        text("nullable", FlagText(b.nullable), FlagText(c.nullable), b.nullable == c.nullable);
        const auto sameExpression = [this](const QString& x, const QString& y) {
            return m_cross ? NormalisedExpression(x) == NormalisedExpression(y) : x == y;
        };
        text("default", b.defaultValue, c.defaultValue, sameExpression(b.defaultValue, c.defaultValue));
        text("autoIncrement", FlagText(b.autoIncrement), FlagText(c.autoIncrement),
             b.autoIncrement == c.autoIncrement);
        text("computed", b.computed, c.computed, sameExpression(b.computed, c.computed));
        text("description", b.description, c.description, b.description == c.description);
        // Access's field properties: SQL Server has none to hold against them.
        if (m_versionOne || m_cross)
            return;
        const TFieldProperties& pb = *b.properties;
        const TFieldProperties& pc = *c.properties;
        text("caption", pb.caption, pc.caption, pb.caption == pc.caption);
        text("format", pb.format, pc.format, pb.format == pc.format);
        text("inputMask", pb.inputMask, pc.inputMask, pb.inputMask == pc.inputMask);
        text("decimalPlaces", OptionalNumberText(pb.decimalPlaces), OptionalNumberText(pc.decimalPlaces),
             pb.decimalPlaces == pc.decimalPlaces);
        text("allowZeroLength", FlagText(pb.allowZeroLength), FlagText(pc.allowZeroLength),
             pb.allowZeroLength == pc.allowZeroLength);
        const QString lookupB = LookupValue(pb.lookup);
        const QString lookupC = LookupValue(pc.lookup);
        text("lookup", lookupB, lookupC, lookupB == lookupC);
    }

    void primaryKeys(const TCatalogueObject& b, const TCatalogueObject& c)
    {
        // One item per table, whatever each engine named it.
        if (b.primaryKey && !c.primaryKey)
            add(TChangeKind::Removed, TDifferenceItem::PrimaryKey, QString());
        else if (!b.primaryKey && c.primaryKey)
            add(TChangeKind::Added, TDifferenceItem::PrimaryKey, QString());
        else if (b.primaryKey && !SameNames(b.primaryKey->columns, c.primaryKey->columns))
            changed(TDifferenceItem::PrimaryKey, QString(), QStringLiteral("columns"),
                    NamesText(b.primaryKey->columns), NamesText(c.primaryKey->columns));
    }

    void indexes(const TCatalogueObject& b, const TCatalogueObject& c)
    {
        // Across engines the names differ by convention, so the columns say which index is which;
        // so they do for an index without a name.
        const bool byColumns = m_cross;
        pair(
            TDifferenceItem::Index, b.indexes, c.indexes,
            [byColumns](const TCatalogueIndex& x, const TCatalogueIndex& y) {
                if (byColumns || x.name.isEmpty() || y.name.isEmpty())
                    return SameIndexColumns(x.columns, y.columns);
                return SameText(x.name, y.name);
            },
            [this](const TCatalogueIndex& x, const TCatalogueIndex& y) {
                if (x.unique != y.unique)
                    changed(TDifferenceItem::Index, x.name, QStringLiteral("unique"), FlagText(x.unique),
                            FlagText(y.unique));
                if (!SameIndexColumns(x.columns, y.columns))
                    changed(TDifferenceItem::Index, x.name, QStringLiteral("columns"),
                            IndexColumnsText(x.columns), IndexColumnsText(y.columns));
                // SQL Server's own: an Access index has none of them.
                if (m_versionOne || m_cross)
                    return;
                property(TDifferenceItem::Index, x.name, "clustered", FlagText(x.clustered),
                         FlagText(y.clustered));
                if (!SameNames(x.included, y.included))
                    changed(TDifferenceItem::Index, x.name, QStringLiteral("included"), NamesText(x.included),
                            NamesText(y.included));
                if (!SameDefinition(x.filter, y.filter))
                    changed(TDifferenceItem::Index, x.name, QStringLiteral("filter"), x.filter, y.filter);
            },
            [](const TCatalogueIndex& x) { return x.name; });
    }

    void foreignKeys(const TCatalogueObject& b, const TCatalogueObject& c)
    {
        const bool cross = m_cross;
        const auto sameTarget = [cross](const TCatalogueForeignKey& x, const TCatalogueForeignKey& y) {
            return SameText(x.referencedTable, y.referencedTable) &&
                   (cross || SameText(x.referencedSchema, y.referencedSchema));
        };
        pair(
            TDifferenceItem::ForeignKey, b.foreignKeys, c.foreignKeys,
            [cross, sameTarget](const TCatalogueForeignKey& x, const TCatalogueForeignKey& y) {
                if (cross || x.name.isEmpty() || y.name.isEmpty())
                    return SameNames(x.columns, y.columns) && sameTarget(x, y);
                return SameText(x.name, y.name);
            },
            [this, sameTarget](const TCatalogueForeignKey& x, const TCatalogueForeignKey& y) {
                const auto text = [&](const char* property, const QString& u, const QString& v, bool same) {
                    if (!same)
                        changed(TDifferenceItem::ForeignKey, x.name, QString::fromLatin1(property), u, v);
                };
                text("columns", NamesText(x.columns), NamesText(y.columns), SameNames(x.columns, y.columns));
                text("referencedTable", ReferencedText(x), ReferencedText(y), sameTarget(x, y));
                text("referencedColumns", NamesText(x.referencedColumns), NamesText(y.referencedColumns),
                     SameNames(x.referencedColumns, y.referencedColumns));
                text("enforced", FlagText(x.enforced), FlagText(y.enforced), x.enforced == y.enforced);
                text("onUpdate", ReferentialActionName(x.onUpdate), ReferentialActionName(y.onUpdate),
                     x.onUpdate == y.onUpdate);
                text("onDelete", ReferentialActionName(x.onDelete), ReferentialActionName(y.onDelete),
                     x.onDelete == y.onDelete);
            },
            [](const TCatalogueForeignKey& x) { return x.name; });
    }

    bool m_baselineSchemas;
    bool m_currentSchemas;
    bool m_baselineCoded; // the baseline's columns carry ADO type codes (Access's)
    bool m_cross;
    bool m_versionOne;
    QString m_object;
    QString m_schema;
    TObjectKind m_kind = TObjectKind::Table;
    QList<TStructureDifference> m_out;
};

bool IsDbo(const TCatalogueObject* object)
{
    return SameText(object->schema, QStringLiteral("dbo"));
}

// The current object standing for a baseline one, or -1.
qsizetype FindPartner(const TCatalogueObject& object, const QList<const TCatalogueObject*>& candidates,
                      const QList<bool>& used, bool cross)
{
    qsizetype found = -1;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        const TCatalogueObject* candidate = candidates.at(i);
        if (used.at(i) || !SameText(candidate->name, object.name))
            continue;
        // Across engines a name may stand for a table on one side and a view on the other.
        if (cross && !SameFamily(candidate->kind, object.kind))
            continue;
        if (!cross) {
            if (SameText(candidate->schema, object.schema))
                return i;
            continue;
        }
        // An Access table stands for the SQL Server table of its name in any schema, dbo's first.
        if (IsDbo(candidate))
            return i;
        if (found < 0)
            found = i;
    }
    return found;
}

} // namespace

QString NormalisedExpression(const QString& expression)
{
    QString text = expression.trimmed();
    if (text.startsWith(QLatin1Char('=')))
        text = text.mid(1).trimmed();
    // Only parentheses that enclose the whole expression go: "(1)+(2)" keeps its own.
    for (;;) {
        if (text.size() < 2 || !text.startsWith(QLatin1Char('(')) || !text.endsWith(QLatin1Char(')')))
            break;
        int depth = 0;
        bool enclosing = true;
        for (qsizetype i = 0; i < text.size() - 1 && enclosing; ++i) {
            if (text.at(i) == QLatin1Char('('))
                ++depth;
            else if (text.at(i) == QLatin1Char(')'))
                --depth;
            if (depth == 0)
                enclosing = false;
        }
        if (!enclosing)
            break;
        text = text.mid(1, text.size() - 2).trimmed();
    }
    text = text.toLower();
    text.replace(QStringLiteral("now()"), QStringLiteral("getdate()"));
    return text;
}

bool SameDefinition(const QString& a, const QString& b)
{
    return a == b || a.simplified() == b.simplified();
}

QString ChangeKindName(TChangeKind change)
{
    switch (change) {
    case TChangeKind::Added:
        return QStringLiteral("added");
    case TChangeKind::Removed:
        return QStringLiteral("removed");
    case TChangeKind::Changed:
        break;
    }
    return QStringLiteral("changed");
}

QString DifferenceItemName(TDifferenceItem item)
{
    switch (item) {
    case TDifferenceItem::Column:
        return QStringLiteral("column");
    case TDifferenceItem::PrimaryKey:
        return QStringLiteral("primaryKey");
    case TDifferenceItem::Index:
        return QStringLiteral("index");
    case TDifferenceItem::ForeignKey:
        return QStringLiteral("foreignKey");
    case TDifferenceItem::Check:
        return QStringLiteral("check");
    case TDifferenceItem::Trigger:
        return QStringLiteral("trigger");
    case TDifferenceItem::Parameter:
        return QStringLiteral("parameter");
    case TDifferenceItem::Table:
        break;
    }
    return QStringLiteral("table");
}

TStructureComparison CompareStructures(const TCatalogue& baseline,
                                       const QList<const TCatalogueObject*>& baselineObjects,
                                       const TCatalogue& current,
                                       const QList<const TCatalogueObject*>& currentObjects,
                                       const TCompareOptions& options)
{
    TComparer comparer(baseline, current, options);
    QList<bool> used(currentObjects.size(), false);
    // Across engines dbo's tables claim their Access partners before another schema's namesakes.
    QList<const TCatalogueObject*> order = baselineObjects;
    if (comparer.cross())
        std::stable_partition(order.begin(), order.end(), [](const TCatalogueObject* o) { return IsDbo(o); });
    for (const TCatalogueObject* object : order) {
        const qsizetype partner = FindPartner(*object, currentObjects, used, comparer.cross());
        if (partner < 0) {
            comparer.objectRemoved(*object);
            continue;
        }
        used[partner] = true;
        comparer.objects(*object, *currentObjects.at(partner));
    }
    for (qsizetype i = 0; i < currentObjects.size(); ++i) {
        if (!used.at(i))
            comparer.objectAdded(*currentObjects.at(i));
    }

    TStructureComparison result;
    result.typeMapping = comparer.cross();
    result.differences = std::move(comparer.differences());
    // Properties keep the order they were compared in, which is the documented one.
    std::stable_sort(result.differences.begin(), result.differences.end(),
                     [](const TStructureDifference& a, const TStructureDifference& b) {
                         if (const int c = a.object.compare(b.object, Qt::CaseInsensitive))
                             return c < 0;
                         if (const int c = a.schema.compare(b.schema, Qt::CaseInsensitive))
                             return c < 0;
                         if (a.item != b.item)
                             return a.item < b.item;
                         return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
                     });
    return result;
}
