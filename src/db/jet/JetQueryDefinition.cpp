#include "JetQueryDefinition.h"

#include <QStringList>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace {

namespace A = JetQueryAttribute;

std::optional<TQueryType> typeFromCode(int code)
{
    switch (code) {
    case JetQueryTypeCode::Select:
        return TQueryType::Select;
    case JetQueryTypeCode::MakeTable:
        return TQueryType::MakeTable;
    case JetQueryTypeCode::Append:
        return TQueryType::Append;
    case JetQueryTypeCode::Update:
        return TQueryType::Update;
    case JetQueryTypeCode::Delete:
        return TQueryType::Delete;
    case JetQueryTypeCode::Crosstab:
        return TQueryType::Crosstab;
    case JetQueryTypeCode::DataDefinition:
        return TQueryType::DataDefinition;
    case JetQueryTypeCode::PassThrough:
        return TQueryType::PassThrough;
    case JetQueryTypeCode::Union:
        return TQueryType::Union;
    default:
        return std::nullopt;
    }
}

// MSysObjects.Flags of a query carry its type in the bits 0xF0 (DAO's QueryDefTypeEnum).
std::optional<TQueryType> typeFromObjectFlags(std::int32_t flags)
{
    switch (flags & 0xF0) {
    case 0:
        return TQueryType::Select;
    case 16:
        return TQueryType::Crosstab;
    case 32:
        return TQueryType::Delete;
    case 48:
        return TQueryType::Update;
    case 64:
        return TQueryType::Append;
    case 80:
        return TQueryType::MakeTable;
    case 96:
        return TQueryType::DataDefinition;
    case 112:
        return TQueryType::PassThrough;
    case 128:
        return TQueryType::Union;
    default:
        return std::nullopt;
    }
}

bool needsBrackets(const QString& name)
{
    if (name.isEmpty() || name.at(0).isDigit())
        return true;
    for (const QChar c : name) {
        if (!c.isLetterOrNumber() && c != u'_')
            return true;
    }
    return false;
}

bool bracketed(const QString& name)
{
    return name.size() >= 2 && name.startsWith(u'[') && name.endsWith(u']');
}

// "Order Details.Quantity" as "[Order Details].Quantity": each part of a dotted name quoted.
QString quotedPath(const QString& path)
{
    if (bracketed(path))
        return path;
    QStringList parts = path.split(u'.');
    for (QString& part : parts)
        part = JetQuotedName(part);
    return parts.join(u'.');
}

QString alias(const QString& name)
{
    return name.isEmpty() ? QString() : QStringLiteral(" AS ") + JetQuotedName(name);
}

// Stored texts (union members, pass-through and data-definition statements) end in a NUL in the
// file and keep the line ends they were typed with.
QString storedText(QString text)
{
    while (text.endsWith(QChar(0)))
        text.chop(1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

struct Failed
{
};

// What the FROM clause is made of: a table (or query) under its key, or two sources joined.
struct Source
{
    QString key; // the alias, else the name: what joins name it by
    QString text;
    std::shared_ptr<Source> left, right;
    int joinType = 0;
    QStringList conditions;

    bool contains(const QString& name) const
    {
        if (!left)
            return key.compare(name, Qt::CaseInsensitive) == 0;
        return left->contains(name) || right->contains(name);
    }

    void write(QString& out, bool topLevel) const
    {
        if (!left) {
            out += text;
            return;
        }
        if (!topLevel)
            out += u'(';
        left->write(out, false);
        out += joinType == 1   ? QStringLiteral(" INNER JOIN ")
               : joinType == 2 ? QStringLiteral(" LEFT JOIN ")
                               : QStringLiteral(" RIGHT JOIN ");
        right->write(out, false);
        out += QStringLiteral(" ON ");
        if (conditions.size() == 1)
            out += conditions.constFirst();
        else
            out += u'(' + conditions.join(QStringLiteral(") AND (")) + u')';
        if (!topLevel)
            out += u')';
    }
};
using SourcePtr = std::shared_ptr<Source>;

class Builder
{
public:
    explicit Builder(const QList<JetQueryRow>& rows) : m_rows(rows)
    {
        for (const JetQueryRow& row : rows) {
            if (row.attribute == A::Options && !m_options)
                m_options = &row;
            if (row.attribute == A::Type && !m_typeRow)
                m_typeRow = &row;
        }
    }

    int options() const { return m_options ? m_options->flag : 0; }
    const JetQueryRow* typeRow() const { return m_typeRow; }

    QList<const JetQueryRow*> rowsOf(int attribute) const
    {
        QList<const JetQueryRow*> found;
        for (const JetQueryRow& row : m_rows) {
            if (row.attribute == attribute)
                found.append(&row);
        }
        return found;
    }

    QString text(int attribute) const
    {
        for (const JetQueryRow& row : m_rows) {
            if (row.attribute == attribute)
                return row.expression;
        }
        return QString();
    }

    QString predicate() const
    {
        QStringList words;
        const int o = options();
        if (o & JetQueryOption::Distinct)
            words << QStringLiteral("DISTINCT");
        else if (o & JetQueryOption::DistinctRow)
            words << QStringLiteral("DISTINCTROW");
        if (o & JetQueryOption::Top) {
            words << QStringLiteral("TOP ") + (m_options ? m_options->name1 : QString());
            if (o & JetQueryOption::Percent)
                words << QStringLiteral("PERCENT");
        }
        return words.join(u' ');
    }

    static QString columnText(const JetQueryRow& row) { return row.expression + alias(row.name1); }

    // The output columns that pass keep, "*" last when every field is output.
    QString columns(const std::function<bool(const JetQueryRow&)>& keep) const
    {
        QStringList items;
        for (const JetQueryRow* row : rowsOf(A::Column)) {
            if (keep(*row))
                items << columnText(*row);
        }
        if (options() & JetQueryOption::AllFields)
            items << QStringLiteral("*");
        return items.join(QStringLiteral(", "));
    }

    static QString remote(const QString& path, const QString& type)
    {
        if (path.isEmpty() && type.isEmpty())
            return QString();
        QString out = QStringLiteral(" IN '") + path + u'\'';
        if (!type.isEmpty())
            out += QStringLiteral(" [") + type + u']';
        return out;
    }

    QString from() const
    {
        std::vector<SourcePtr> sources;
        for (const JetQueryRow* row : rowsOf(A::Table)) {
            auto s = std::make_shared<Source>();
            s->key = row->name2.isEmpty() ? row->name1 : row->name2;
            if (!row->expression.isEmpty())
                s->text =
                    (bracketed(row->expression) ? row->expression : u'[' + row->expression + u']') + u'.';
            s->text += JetQuotedName(row->name1) + alias(row->name2);
            sources.push_back(std::move(s));
        }
        for (const JetQueryRow* join : rowsOf(A::Join)) {
            if (join->flag < 1 || join->flag > 3)
                throw Failed();
            auto find = [&](const QString& name) {
                for (std::size_t i = 0; i < sources.size(); ++i) {
                    if (sources[i]->contains(name))
                        return int(i);
                }
                throw Failed();
            };
            const int left = find(join->name1);
            const int right = find(join->name2);
            if (left == right) {
                // A further condition of a join already made: Access keeps them last first.
                Source& same = *sources[std::size_t(left)];
                if (!same.left || same.joinType != join->flag)
                    throw Failed();
                same.conditions.prepend(join->expression);
                continue;
            }
            auto joined = std::make_shared<Source>();
            joined->left = sources[std::size_t(left)];
            joined->right = sources[std::size_t(right)];
            joined->joinType = join->flag;
            joined->conditions << join->expression;
            sources.erase(sources.begin() + std::max(left, right));
            sources.erase(sources.begin() + std::min(left, right));
            sources.push_back(std::move(joined));
        }
        QStringList parts;
        for (const SourcePtr& s : sources) {
            QString part;
            s->write(part, true);
            parts << part;
        }
        QString out = parts.join(QStringLiteral(", "));
        for (const JetQueryRow* row : rowsOf(A::RemoteDb))
            out += remote(row->name1, row->expression);
        return out;
    }

    QString list(int attribute, const std::function<bool(const JetQueryRow&)>& keep) const
    {
        QStringList items;
        for (const JetQueryRow* row : rowsOf(attribute)) {
            if (keep(*row))
                items << row->expression;
        }
        return items.join(QStringLiteral(", "));
    }

    QString orderBy() const
    {
        QStringList items;
        for (const JetQueryRow* row : rowsOf(A::OrderBy))
            items << row->expression + (row->name1.compare(QLatin1String("D"), Qt::CaseInsensitive) == 0
                                            ? QStringLiteral(" DESC")
                                            : QString());
        return items.join(QStringLiteral(", "));
    }

    // FROM to ORDER BY, each clause on a line of its own.
    QString clauses(bool withGroupBy, const std::function<bool(const JetQueryRow&)>& groupKeep) const
    {
        QString out;
        const QString source = from();
        if (!source.isEmpty())
            out += QStringLiteral("\nFROM ") + source;
        const QString where = text(A::Where);
        if (!where.isEmpty())
            out += QStringLiteral("\nWHERE ") + where;
        if (withGroupBy) {
            const QString groups = list(A::GroupBy, groupKeep);
            if (!groups.isEmpty())
                out += QStringLiteral("\nGROUP BY ") + groups;
            const QString having = text(A::Having);
            if (!having.isEmpty())
                out += QStringLiteral("\nHAVING ") + having;
        }
        const QString order = orderBy();
        if (!order.isEmpty())
            out += QStringLiteral("\nORDER BY ") + order;
        return out;
    }

    static QString keyword(const QString& word, const QString& rest)
    {
        return rest.isEmpty() ? word : word + u' ' + rest;
    }

private:
    const QList<JetQueryRow>& m_rows;
    const JetQueryRow* m_options = nullptr;
    const JetQueryRow* m_typeRow = nullptr;
};

const auto kAll = [](const JetQueryRow&) { return true; };

QString selectLine(const Builder& b, const QString& columns)
{
    QString line = QStringLiteral("SELECT ");
    const QString predicate = b.predicate();
    if (!predicate.isEmpty())
        line += predicate + u' ';
    return line + columns;
}

QString parametersLine(const QList<TCatalogueParameter>& parameters)
{
    if (parameters.isEmpty())
        return QString();
    QStringList items;
    for (const TCatalogueParameter& p : parameters) {
        QString type = p.typeName;
        if (p.typeName == QLatin1String("Text") && p.length > 0)
            type += QStringLiteral(" ( %1 )").arg(p.length);
        items << p.name + u' ' + type;
    }
    return QStringLiteral("PARAMETERS ") + items.join(QStringLiteral(", ")) + QStringLiteral(";\n");
}

QString buildSql(const Builder& b, TQueryType type)
{
    const JetQueryRow* typeRow = b.typeRow();
    const QString target = typeRow ? JetQuotedName(typeRow->name1) : QString();
    const QString targetRemote = typeRow ? Builder::remote(typeRow->name2, typeRow->expression) : QString();
    switch (type) {
    case TQueryType::PassThrough:
    case TQueryType::DataDefinition:
        return typeRow ? storedText(typeRow->expression) : QString();
    case TQueryType::Union: {
        QString part1, part2;
        bool have1 = false, have2 = false;
        for (const JetQueryRow* row : b.rowsOf(A::Table)) {
            if (row->name2 == QLatin1String(kJetUnionPart1))
                part1 = storedText(row->expression).trimmed(), have1 = true;
            else if (row->name2 == QLatin1String(kJetUnionPart2))
                part2 = storedText(row->expression).trimmed(), have2 = true;
        }
        if (!have1 || !have2)
            throw Failed();
        QString sql = part1 + QStringLiteral("\nUNION ") +
                      ((b.options() & JetQueryOption::Distinct) ? QString() : QStringLiteral("ALL ")) + part2;
        const QString order = b.orderBy();
        if (!order.isEmpty())
            sql += QStringLiteral("\nORDER BY ") + order;
        return sql;
    }
    case TQueryType::Select:
        return selectLine(b, b.columns(kAll)) + b.clauses(true, kAll);
    case TQueryType::MakeTable:
        return selectLine(b, b.columns(kAll)) + QStringLiteral(" INTO ") + target + targetRemote +
               b.clauses(true, kAll);
    case TQueryType::Crosstab: {
        auto headingOnly = [](const JetQueryRow& r) {
            return (r.flag & JetQueryColumnFlag::RowHeading) != 0;
        };
        QString value, pivot;
        for (const JetQueryRow* row : b.rowsOf(A::Column)) {
            if (row->flag & JetQueryColumnFlag::Pivot)
                pivot = row->expression;
            else if (!(row->flag & JetQueryColumnFlag::RowHeading))
                value = Builder::columnText(*row);
        }
        QString sql;
        if (!value.isEmpty())
            sql += QStringLiteral("TRANSFORM ") + value + u'\n';
        sql += selectLine(b, b.columns(headingOnly)) + b.clauses(true, headingOnly);
        return sql + QStringLiteral("\nPIVOT ") + pivot;
    }
    case TQueryType::Append: {
        auto isValue = [](const JetQueryRow& r) { return (r.flag & JetQueryColumnFlag::AppendValue) != 0; };
        QList<const JetQueryRow*> values, selected;
        for (const JetQueryRow* row : b.rowsOf(A::Column))
            (isValue(*row) ? values : selected).append(row);
        const QList<const JetQueryRow*>& targets = values.isEmpty() ? selected : values;
        QStringList targetColumns;
        for (const JetQueryRow* row : targets) {
            if (!row->name2.isEmpty())
                targetColumns << JetQuotedName(row->name2);
        }
        QString sql = QStringLiteral("INSERT INTO ") + target + targetRemote;
        if (!targetColumns.isEmpty() && targetColumns.size() == targets.size())
            sql += QStringLiteral(" ( ") + targetColumns.join(QStringLiteral(", ")) + QStringLiteral(" )");
        if (!values.isEmpty()) {
            QStringList items;
            for (const JetQueryRow* row : values)
                items << row->expression;
            return sql + QStringLiteral("\nVALUES (") + items.join(QStringLiteral(", ")) + u')';
        }
        return sql + u'\n' + selectLine(b, b.columns([&](const JetQueryRow& r) { return !isValue(r); })) +
               b.clauses(true, kAll);
    }
    case TQueryType::Update: {
        QStringList sets;
        for (const JetQueryRow* row : b.rowsOf(A::Column))
            sets << quotedPath(row->name2) + QStringLiteral(" = ") + row->expression;
        QString sql =
            QStringLiteral("UPDATE ") + b.from() + QStringLiteral(" SET ") + sets.join(QStringLiteral(", "));
        const QString where = b.text(A::Where);
        if (!where.isEmpty())
            sql += QStringLiteral("\nWHERE ") + where;
        return sql;
    }
    case TQueryType::Delete:
        return Builder::keyword(QStringLiteral("DELETE"),
                                Builder::keyword(b.predicate(), b.columns(kAll)).trimmed()) +
               b.clauses(true, kAll);
    }
    return QString();
}

bool storesItsText(TQueryType type)
{
    return type == TQueryType::PassThrough || type == TQueryType::DataDefinition;
}

} // namespace

QString JetQuotedName(const QString& name)
{
    if (bracketed(name) || !needsBrackets(name))
        return name;
    return u'[' + name + u']';
}

QString JetParameterTypeName(int daoType)
{
    switch (daoType) {
    case 1:
        return QStringLiteral("Bit");
    case 2:
        return QStringLiteral("Byte");
    case 3:
        return QStringLiteral("Short");
    case 4:
        return QStringLiteral("Long");
    case 5:
        return QStringLiteral("Currency");
    case 6:
        return QStringLiteral("IEEESingle");
    case 7:
        return QStringLiteral("IEEEDouble");
    case 8:
        return QStringLiteral("DateTime");
    case 9:
        return QStringLiteral("Binary");
    case 10:
        return QStringLiteral("Text");
    case 11:
        return QStringLiteral("LongBinary");
    case 12:
        return QStringLiteral("LongText");
    case 15:
        return QStringLiteral("Guid");
    case 20:
        return QStringLiteral("Decimal");
    default:
        return QStringLiteral("Value");
    }
}

JetQueryDefinition JetQueryFromRows(const QList<JetQueryRow>& rows, std::int32_t objectFlags)
{
    JetQueryDefinition query;
    const Builder b(rows);
    const std::optional<TQueryType> byRows = b.typeRow() ? typeFromCode(b.typeRow()->flag) : std::nullopt;
    const std::optional<TQueryType> byFlags = typeFromObjectFlags(objectFlags);
    query.type = byRows ? *byRows : byFlags ? *byFlags : TQueryType::Select;
    // A type row naming no type Jet knows: what the rest means cannot be told.
    if (b.typeRow() && !byRows)
        return query;
    if (!storesItsText(query.type)) {
        for (const JetQueryRow* row : b.rowsOf(A::Parameter)) {
            TCatalogueParameter p;
            p.name = JetQuotedName(row->name1);
            p.typeName = JetParameterTypeName(row->flag);
            // A Text parameter Access offers is as long as a Text field may be.
            if (row->flag == 10)
                p.length = 255;
            query.parameters.append(p);
        }
    }
    QString sql;
    try {
        sql = buildSql(b, query.type);
    } catch (const Failed&) {
        return query;
    }
    if (sql.isEmpty())
        return query;
    if (storesItsText(query.type)) {
        query.sql = sql;
        return query;
    }
    if (b.options() & JetQueryOption::OwnerAccess)
        sql += QStringLiteral("\nWITH OWNERACCESS OPTION");
    query.sql = parametersLine(query.parameters) + sql + u';';
    return query;
}
