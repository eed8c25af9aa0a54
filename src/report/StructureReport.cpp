#include "StructureReport.h"

#include "EngineTraits.h"
#include "KorvConnection.h"
#include "StructureDetail.h"
#include "UIText.h"
#include "VersionInfo.h"

#include <optional>

namespace {

// UI texts of the header.
constexpr int kTextProgramName = 5;
constexpr int kTextDate = 154;
constexpr int kTextProvider = 155;
constexpr int kTextServer = 156;
constexpr int kTextDatabase = 157;
constexpr int kTextVersion = 158;

// Removes the time-zone fields ("t", "tt", ...) of a time format, with the blanks that separated
// them, leaving quoted literal text alone.
QString WithoutTimeZone(const QString& format)
{
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
        } else if (!quoted && c == QLatin1Char('t')) {
            while (out.endsWith(QLatin1Char(' ')))
                out.chop(1);
        } else {
            out += c;
        }
    }
    return out.trimmed();
}

// Resets the wait cursor on every way out of the run.
class WaitCursor
{
public:
    explicit WaitCursor(TReportRunHooks& hooks) : m_hooks(hooks) { m_hooks.BeginWait(); }
    ~WaitCursor() { m_hooks.EndWait(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    TReportRunHooks& m_hooks;
};

} // namespace

QString ReportDateTimeText(const QDateTime& when, const QLocale& locale)
{
    QString text = locale.toString(when.date(), QLocale::ShortFormat);
    if (when.time().msecsSinceStartOfDay() != 0)
        text += QLatin1Char(' ') +
                locale.toString(when.time(), WithoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
    return text;
}

void WriteReportHeader(TReportWriter& writer, const TReportSettings& settings)
{
    writer.AddSeparatorLine();
    writer.AddTitleLine(
        LoadUIText(kTextProgramName) + QLatin1Char(' ') + OwnVersionInfoString(kReportVersionKey), false);
    writer.AddTitleLine(QString::fromUtf8(kProgramCopyright), false);
    writer.AddSeparatorLine();
    const QString providerName = LoadUIText(EngineTraits(settings.provider).nameText);
    const QDateTime now = settings.clock ? settings.clock() : QDateTime::currentDateTime();
    writer.AddTitleLine(LoadUIText(kTextDate) + ReportDateTimeText(now, settings.locale), false);
    writer.AddTitleLine(LoadUIText(kTextProvider) + providerName, false);
    if (!settings.server.isEmpty())
        writer.AddTitleLine(LoadUIText(kTextServer) + settings.server, false);
    writer.AddTitleLine(LoadUIText(kTextDatabase) + settings.database, false);
    if (!settings.versionText.isEmpty())
        writer.AddTitleLine(LoadUIText(kTextVersion) + settings.versionText, false);
    writer.AddSeparatorLine();
}

void WriteTableStructure(TKorvConnection& connection, TReportWriter& writer, const QString& name,
                         bool lookUpAsView)
{
    try {
        writer.AddTitleLine(name, true);
        connection.SetTable(lookUpAsView ? connection.ViewByName(name) : connection.TableByName(name));
        const std::int32_t count = connection.ColumnCount();
        for (std::int32_t i = 1; i <= count; ++i) {
            connection.SetColumn(connection.ColumnByIndex(i));
            const Variant& column = connection.CurrentColumn;
            writer.AddColumnLine(i, connection.ObjectName(column), connection.ColumnTypeName(column),
                                 connection.ColumnLength(column), connection.ColumnNullMark(column));
        }
    } catch (...) {
        // One unreadable table must not end the report: its block simply stops here.
    }
}

void WriteViewStructure(TKorvConnection& connection, TReportWriter& writer, const QString& name)
{
    try {
        writer.AddTitleLine(name, true);
        connection.SetView(connection.ViewByName(name));
        const std::int32_t count =
            connection.CurrentView.invoke(QStringLiteral("ListColumns")).get(QStringLiteral("Count")).toInt();
        for (std::int32_t i = 1; i <= count; ++i) {
            // The view hands out a fresh column list on every request, so each read asks anew.
            auto item = [&connection, i] {
                return connection.CurrentView.invoke(QStringLiteral("ListColumns"))
                    .get(QStringLiteral("Item"), {Variant(i)});
            };
            connection.SetColumn(item());
            const QString columnName = item().get(QStringLiteral("Name")).toText();
            const QString dataType = item().get(QStringLiteral("DataType")).toText();
            const std::int32_t length = item().get(QStringLiteral("Length")).toInt();
            writer.AddColumnLine(i, columnName, dataType, length, QString());
        }
    } catch (...) {
        // As with tables: the block ends, the run goes on.
    }
}

TReportOutcome RunStructureReport(TKorvConnection& connection, const TReportSettings& settings,
                                  const QList<TReportEntry>& entries, TReportLineSink& sink,
                                  TReportRunHooks& hooks)
{
    if (entries.isEmpty())
        return TReportOutcome::EmptyList;

    WaitCursor waitCursor(hooks);
    TReportWriter writer(sink, settings.delimiter);
    WriteReportHeader(writer, settings);
    sink.Flush();

    const int count = int(entries.size());
    hooks.SetProgressRange(0, count);
    const TEngineTraits& engine = EngineTraits(settings.provider);
    const bool viewsAtStart = engine.hasViews && settings.views;
    // Access's queries have no columns to read through the facade: their blocks come from the model.
    const bool modelViews = viewsAtStart && engine.viewsFromModel;
    const std::shared_ptr<const TCatalogue> model =
        settings.structure || !modelViews ? settings.structure : connection.StructureModel();
    std::optional<TCatalogueLookup> lookup;
    if (model)
        lookup.emplace(*model);
    for (int i = 0; i < count; ++i) {
        if (hooks.CancelRequested()) {
            sink.Flush();
            return TReportOutcome::Cancelled;
        }
        const TReportEntry& entry = entries.at(i);
        if (entry.checked && modelViews) {
            if (const TCatalogueObject* object = lookup ? lookup->find(entry.text, true) : nullptr)
                WriteQueryStructure(writer, *model, *object, settings.structure != nullptr);
            else
                writer.AddTitleLine(entry.text, true);
        } else if (entry.checked) {
            bool view = viewsAtStart;
            if (viewsAtStart) {
                WriteViewStructure(connection, writer, entry.text);
            } else {
                view = engine.hasViews && !engine.viewsFromModel && hooks.ViewsSelectedNow();
                WriteTableStructure(connection, writer, entry.text, view);
            }
            if (settings.structure) {
                if (const TCatalogueObject* object = lookup->find(entry.text, view))
                    WriteStructureDetail(writer, *settings.structure, *object);
            }
        }
        hooks.StepProgress();
        sink.Flush();
        hooks.ProcessEvents();
    }
    writer.AddSeparatorLine();
    sink.Flush();
    hooks.SetProgressPosition(0);
    return TReportOutcome::Completed;
}
