#include "ComparisonReport.h"

#include "EngineTraits.h"
#include "JsonOut.h"
#include "StructureDetail.h"
#include "StructureReport.h"
#include "UIText.h"
#include "VersionInfo.h"

namespace {

constexpr int kTextProgramName = 5;
constexpr int kTextDate = 154;
constexpr int kTextComparison = 400;
constexpr int kTextBaseline = 401;
constexpr int kTextCurrent = 402;
constexpr int kTextTypes = 403;
constexpr int kTextTypesMapped = 404;
constexpr int kTextAdded = 405;
constexpr int kTextRemoved = 406;
constexpr int kTextChanged = 407;
constexpr int kTextTable = 408;
constexpr int kTextColumn = 409;
constexpr int kTextPrimaryKey = 410;
constexpr int kTextIndex = 411;
constexpr int kTextForeignKey = 412;
constexpr int kTextNoDifferences = 413;
constexpr int kTextDifferences = 414;
constexpr int kTextOneDifference = 415;
constexpr int kTextNone = 416;
constexpr int kTextSnapshot = 417;

// "Access /data/a.mdb", "SQL Server db1 Sales", with the snapshot file it came from.
QString SideText(const TComparisonSide& side)
{
    const TCatalogue& c = *side.catalogue;
    QString text = LoadUIText(EngineTraitsOfWord(c.provider).nameText);
    if (!c.server.isEmpty())
        text += u' ' + c.server;
    if (!c.database.isEmpty())
        text += u' ' + c.database;
    if (!side.snapshot.isEmpty())
        text += QStringLiteral(" (") + LoadUIText(kTextSnapshot) + u' ' + side.snapshot + u')';
    return text;
}

QString ChangeText(TChangeKind change)
{
    switch (change) {
    case TChangeKind::Added:
        return LoadUIText(kTextAdded);
    case TChangeKind::Removed:
        return LoadUIText(kTextRemoved);
    case TChangeKind::Changed:
        break;
    }
    return LoadUIText(kTextChanged);
}

QString ItemText(TDifferenceItem item, TObjectKind kind)
{
    switch (item) {
    case TDifferenceItem::Column:
        return LoadUIText(kTextColumn);
    case TDifferenceItem::PrimaryKey:
        return LoadUIText(kTextPrimaryKey);
    case TDifferenceItem::Index:
        return LoadUIText(kTextIndex);
    case TDifferenceItem::ForeignKey:
        return LoadUIText(kTextForeignKey);
    case TDifferenceItem::Check:
        return LoadUIText(489);
    case TDifferenceItem::Trigger:
        return LoadUIText(490);
    case TDifferenceItem::Parameter:
        return LoadUIText(491);
    case TDifferenceItem::Table:
        break;
    }
    // A view, a query, a routine is named as what it is.
    const QString word = ObjectKindText(kind);
    return word.isEmpty() ? LoadUIText(kTextTable) : word;
}

// A value on one report line: line breaks shown as \n, nothing as the "none" word.
QString ValueText(const QString& value)
{
    if (value.isEmpty())
        return u'(' + LoadUIText(kTextNone) + u')';
    QString text = value;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
    text.replace(u'\n', QStringLiteral("\\n"));
    text.replace(u'\r', QStringLiteral("\\n"));
    return text;
}

QString TitleOf(const TStructureDifference& d)
{
    if (d.schema.isEmpty() || d.schema.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0)
        return d.object;
    return d.schema + u'.' + d.object;
}

// The property as the UI language names it; the JSON document keeps its own spelling.
QString PropertyText(const QString& property)
{
    static const struct
    {
        const char* name;
        int text;
    } kProperties[] = {{"type", 418},
                       {"length", 419},
                       {"nullable", 420},
                       {"default", 421},
                       {"autoIncrement", 422},
                       {"computed", 423},
                       {"description", 424},
                       {"kind", 425},
                       {"unique", 426},
                       {"columns", 427},
                       {"referencedTable", 428},
                       {"referencedColumns", 429},
                       {"enforced", 430},
                       {"onUpdate", 431},
                       {"onDelete", 432},
                       // What the whole database added: mostly the labels of the extended report.
                       {"hidden", 454},
                       {"queryType", 440},
                       {"encrypted", 457},
                       {"definition", 447},
                       {"returns", 442},
                       {"start", 462},
                       {"increment", 463},
                       {"minimum", 464},
                       {"maximum", 465},
                       {"cycle", 466},
                       {"target", 456},
                       {"caption", 448},
                       {"format", 449},
                       {"inputMask", 450},
                       {"decimalPlaces", 451},
                       {"allowZeroLength", 452},
                       {"lookup", 453},
                       {"clustered", 459},
                       {"included", 460},
                       {"filter", 461},
                       {"column", 409},
                       {"text", 445},
                       {"events", 492},
                       {"timing", 493},
                       {"enabled", 494},
                       {"output", 495}};
    for (const auto& p : kProperties) {
        if (property == QLatin1String(p.name))
            return LoadUIText(p.text);
    }
    return property;
}

QString DifferenceText(const TComparisonSettings& settings, const TStructureDifference& d)
{
    QString text = ChangeText(d.change) + u' ' + ItemText(d.item, d.kind);
    if (!d.name.isEmpty())
        text += u' ' + d.name;
    if (d.change != TChangeKind::Changed)
        return text;
    QString baseline = d.baseline;
    QString current = d.current;
    // A type as each engine's users write it, unless that hides what differs (a user type's base).
    if (d.property == QLatin1String("type") && d.baselineColumn && d.currentColumn) {
        const QString b = DeclaredTypeText(*settings.baseline.catalogue, *d.baselineColumn);
        const QString c = DeclaredTypeText(*settings.current.catalogue, *d.currentColumn);
        if (b != c) {
            baseline = b;
            current = c;
        }
    }
    return text + QStringLiteral(": ") + PropertyText(d.property) + u' ' + ValueText(baseline) +
           QStringLiteral(" -> ") + ValueText(current);
}

QString CountText(qsizetype count)
{
    if (count == 0)
        return LoadUIText(kTextNoDifferences);
    if (count == 1)
        return LoadUIText(kTextOneDifference);
    return LoadUIText(kTextDifferences).arg(count);
}

void WriteSide(JsonOut& json, const char* key, const TCatalogue& catalogue)
{
    json.key(key);
    json.beginObject();
    json.key("provider");
    json.value(catalogue.provider);
    if (!catalogue.server.isEmpty()) {
        json.key("server");
        json.value(catalogue.server);
    }
    if (!catalogue.database.isEmpty()) {
        json.key("database");
        json.value(catalogue.database);
    }
    json.endObject();
}

void OptionalText(JsonOut& json, const char* key, const QString& text)
{
    if (!text.isEmpty()) {
        json.key(key);
        json.value(text);
    }
}

QString MarkdownCell(const QString& text)
{
    QString cell = text;
    cell.replace(u'\\', QStringLiteral("\\\\"));
    cell.replace(u'|', QStringLiteral("\\|"));
    cell.replace(u'<', QStringLiteral("&lt;"));
    cell.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"));
    cell.replace(u'\n', QStringLiteral("<br>"));
    cell.replace(u'\r', QStringLiteral("<br>"));
    return cell;
}

} // namespace

QString ComparisonCountText(qsizetype count)
{
    return CountText(count);
}

void WriteComparisonReport(TReportLineSink& sink, const TComparisonSettings& settings,
                           const TStructureComparison& comparison)
{
    TReportWriter writer(sink, settings.delimiter);
    writer.AddSeparatorLine();
    writer.AddTitleLine(LoadUIText(kTextProgramName) + u' ' + OwnVersionInfoString(kReportVersionKey), false);
    writer.AddTitleLine(QString::fromUtf8(kProgramCopyright), false);
    writer.AddSeparatorLine();
    writer.AddTitleLine(LoadUIText(kTextComparison), false);
    writer.AddTitleLine(LoadUIText(kTextDate) + ReportDateTimeText(settings.when, settings.locale), false);
    writer.AddTitleLine(LoadUIText(kTextBaseline) + SideText(settings.baseline), false);
    writer.AddTitleLine(LoadUIText(kTextCurrent) + SideText(settings.current), false);
    if (comparison.typeMapping)
        writer.AddTitleLine(LoadUIText(kTextTypes) + LoadUIText(kTextTypesMapped), false);
    writer.AddSeparatorLine();
    sink.Flush();

    QString title;
    bool first = true;
    for (const TStructureDifference& d : comparison.differences) {
        const QString t = TitleOf(d);
        if (first || t != title) {
            writer.AddTitleLine(t, true);
            title = t;
            first = false;
        }
        writer.AddIndentedLine(DifferenceText(settings, d), 1);
    }
    writer.AddSeparatorLine();
    writer.AddTitleLine(CountText(comparison.differences.size()), false);
    writer.AddSeparatorLine();
    sink.Flush();
}

QByteArray ComparisonJson(const TComparisonSettings& settings, const TStructureComparison& comparison,
                          const QString& program)
{
    JsonOut json;
    json.beginObject();
    json.key("format");
    json.value(QStringLiteral("orvane-comparison"));
    json.key("version");
    json.value(static_cast<long long>(kComparisonJsonVersion));
    OptionalText(json, "program", program);
    WriteSide(json, "baseline", *settings.baseline.catalogue);
    WriteSide(json, "current", *settings.current.catalogue);
    json.key("typeMapping");
    json.value(comparison.typeMapping ? QStringLiteral("access-sqlserver") : QStringLiteral("none"));
    json.key("differences");
    json.beginArray();
    for (const TStructureDifference& d : comparison.differences) {
        json.beginObject();
        json.key("change");
        json.value(ChangeKindName(d.change));
        json.key("object");
        json.value(d.object);
        OptionalText(json, "schema", d.schema);
        // What the object is, where it is not a table: a view, a query, a procedure...
        if (!IsTableKind(d.kind))
            OptionalText(json, "kind", ObjectKindName(d.kind));
        json.key("item");
        json.value(DifferenceItemName(d.item));
        OptionalText(json, "name", d.name);
        if (d.change == TChangeKind::Changed) {
            OptionalText(json, "property", d.property);
            OptionalText(json, "baseline", d.baseline);
            OptionalText(json, "current", d.current);
        }
        json.endObject();
    }
    json.endArray();
    json.endObject();
    return json.finish();
}

QByteArray ComparisonMarkdown(const TComparisonSettings& settings, const TStructureComparison& comparison,
                              const QString& program)
{
    QString page = QStringLiteral("# ") + LoadUIText(kTextComparison) + QStringLiteral("\n\n");
    page += QStringLiteral("- ") + MarkdownCell(LoadUIText(kTextBaseline).trimmed()) + u' ' +
            MarkdownCell(SideText(settings.baseline)) + u'\n';
    page += QStringLiteral("- ") + MarkdownCell(LoadUIText(kTextCurrent).trimmed()) + u' ' +
            MarkdownCell(SideText(settings.current)) + u'\n';
    if (comparison.typeMapping)
        page += QStringLiteral("- ") + MarkdownCell(LoadUIText(kTextTypes).trimmed()) + u' ' +
                LoadUIText(kTextTypesMapped) + u'\n';
    if (!program.isEmpty())
        page += QStringLiteral("- ") + MarkdownCell(program) + u'\n';
    page += u'\n' + MarkdownCell(CountText(comparison.differences.size())) + u'\n';

    QString title;
    bool first = true;
    for (const TStructureDifference& d : comparison.differences) {
        const QString t = TitleOf(d);
        if (first || t != title) {
            page += QStringLiteral("\n## ") + MarkdownCell(t) + QStringLiteral("\n\n");
            title = t;
            first = false;
        }
        page += QStringLiteral("- ") + MarkdownCell(DifferenceText(settings, d)) + u'\n';
    }
    return page.toUtf8();
}
