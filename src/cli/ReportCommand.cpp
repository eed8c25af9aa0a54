#include "ReportCommand.h"

#include "Automation.h"
#include "ComparisonReport.h"
#include "ComparisonSources.h"
#include "ConnectionProfiles.h"
#include "ConnectionSettings.h"
#include "DiagramLayout.h"
#include "EngineTraits.h"
#include "KorvADOXConnection.h"
#include "KorvConnection.h"
#include "KorvDMOConnection.h"
#include "Language.h"
#include "PdfWriterProcess.h"
#include "Providers.h"
#include "ReportArguments.h"
#include "ReportFormats.h"
#include "ReportLines.h"
#include "Settings.h"
#include "StructureJson.h"
#include "StructureReport.h"
#include "TableList.h"
#include "UIText.h"
#include "VersionInfo.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

namespace {

class ReportCommandError : public std::exception
{
public:
    explicit ReportCommandError(const QString& message) : m_utf8(message.toUtf8()) {}
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QByteArray m_utf8;
};

// A mistake in what was asked for, found only once the settings file is read: exit status 2.
class ReportUsageError : public ReportCommandError
{
public:
    using ReportCommandError::ReportCommandError;
};

void PrintLine(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

QString ReadFirstLine(std::FILE* in)
{
    QByteArray line;
    int c;
    while ((c = std::fgetc(in)) != EOF && c != '\n')
        line.append(char(c));
    if (line.endsWith('\r'))
        line.chop(1);
    QString text = QString::fromUtf8(line);
    line.fill('\0');
    return text;
}

QChar DelimiterFromSettings()
{
    const QString value = ReadSetting(QStringLiteral("Application"), QStringLiteral("Delimiter"));
    // A value that reads back empty (a blank was stored) has no first character; the default
    // frame character keeps the report readable.
    return value.isEmpty() ? QLatin1Char('*') : value.at(0);
}

// Checks the entries the report is to contain: every enabled one, or the ones named. A name that
// a document finds among the objects beside the list (elsewhere) is no entry's.
void ChooseEntries(TTableList& entries, const QStringList& names, bool systemTables,
                   const QList<const TCatalogueObject*>& elsewhere = {})
{
    if (names.isEmpty()) {
        SelectAll(entries);
        return;
    }
    for (const QString& name : names) {
        if (std::any_of(elsewhere.begin(), elsewhere.end(), [&name](const TCatalogueObject* o) {
                return o->listName().compare(name, Qt::CaseInsensitive) == 0;
            }))
            continue;
        qsizetype found = -1;
        for (qsizetype i = 0; i < entries.size() && found < 0; ++i) {
            if (entries.at(i).text == name)
                found = i;
        }
        // Jet names are not case-sensitive; a different case still names one table when only one fits.
        if (found < 0) {
            for (qsizetype i = 0; i < entries.size(); ++i) {
                if (entries.at(i).text.compare(name, Qt::CaseInsensitive) == 0) {
                    if (found >= 0)
                        throw ReportCommandError(
                            QStringLiteral("orvane-report: the table name '%1' is ambiguous").arg(name));
                    found = i;
                }
            }
        }
        if (found < 0)
            throw ReportCommandError(QStringLiteral("orvane-report: no table named '%1'").arg(name));
        TTableEntry& entry = entries[found];
        if (!entry.enabled && !systemTables)
            throw ReportCommandError(
                QStringLiteral("orvane-report: '%1' is a system table (add --system-tables)")
                    .arg(entry.text));
        entry.checked = true;
    }
}

// One line per linked table of the report that shows no columns because its source could not be
// read; the report itself stays as the window writes it.
void WarnOfUnresolvedLinks(TKorvConnection& connection, const TTableList& entries, std::FILE* err)
{
    const std::shared_ptr<const TCatalogue> model = connection.StructureModel();
    if (!model)
        return;
    for (const TUnresolvedLink& link : UnresolvedLinks(*model)) {
        for (const TTableEntry& entry : entries) {
            if (entry.checked && entry.text == link.table) {
                PrintLine(err, QStringLiteral("orvane-report: warning: ") + link.warning);
                break;
            }
        }
    }
    if (model->partialView)
        PrintLine(err, QStringLiteral("orvane-report: warning: ") + PartialViewWarning(*model));
}

QList<TReportEntry> ReportEntries(const TTableList& entries)
{
    QList<TReportEntry> out;
    out.reserve(entries.size());
    for (const TTableEntry& entry : entries)
        out.append(TReportEntry{entry.text, entry.checked});
    return out;
}

// The model's objects of the checked entries, in list order. An entry the model lacks would be
// missing from the document without a word, so it ends the run instead.
QList<const TCatalogueObject*> ChosenObjects(const TCatalogue& structure, const QList<TReportEntry>& entries,
                                             bool views)
{
    QStringList names;
    for (const TReportEntry& entry : entries) {
        if (entry.checked)
            names.append(entry.text);
    }
    QString missing;
    const QList<const TCatalogueObject*> objects = TCatalogueLookup(structure).findAll(names, views, missing);
    if (objects.size() != names.size())
        throw ReportCommandError(
            QStringLiteral("orvane-report: the structure of '%1' could not be read").arg(missing));
    return objects;
}

// The pages of lines written to device; a writer that failed ends the command with its reason.
bool WritePdf(QIODevice& device, const QString& title, const QStringList& lines)
{
    const QString failure = WriteReportPdf(device, title, lines);
    if (!failure.isEmpty())
        throw ReportCommandError(QStringLiteral("orvane-report: cannot write the PDF: ") + failure);
    return true;
}

// Writes the report to device by its format's writer: the line formats run the report through
// the connection, the structure formats write the chosen objects of the model, the objects beside
// the list's after its entries. False when a write failed.
bool WriteReportTo(QIODevice& device, const TReportCommandOptions& options, TKorvConnection& connection,
                   const TReportSettings& settings, const QList<TReportEntry>& entries,
                   const QList<const TCatalogueObject*>& beside)
{
    const TReportFormatInfo& format = ReportFormatInfo(options.format);
    TReportOutput output;
    output.connection = &connection;
    output.settings = settings;
    output.entries = entries;
    if (format.structure)
        output.objects = ChosenObjects(*settings.structure, entries, settings.views) + beside;
    output.program = QStringLiteral("Orvane ") + OwnVersionInfoString(kReportVersionKey);
    output.diagram = options.diagram;
    output.pages = WritePdf;
    try {
        return format.write(device, output);
    } catch (const TDiagramLayoutError& e) {
        throw ReportCommandError(QStringLiteral("orvane-report: ") + QString::fromUtf8(e.what()));
    }
}

// Writes to standard output, or to the output file beside the target and renamed at the end, so
// a failure keeps the old file. write answers false when a write failed.
void WriteOutput(const QString& outputFile, std::FILE* out, const std::function<bool(QIODevice&)>& write)
{
    if (outputFile.isEmpty()) {
        std::fflush(out);
        QFile device;
        // The writers pass on large parts; the file's own buffer would only cut them up again.
        if (!device.open(out, QIODevice::WriteOnly | QIODevice::Unbuffered))
            throw ReportCommandError(
                QStringLiteral("orvane-report: cannot write the report: %1").arg(device.errorString()));
        if (!write(device) || !device.flush())
            throw ReportCommandError(
                QStringLiteral("orvane-report: cannot write the report: %1").arg(device.errorString()));
        return;
    }
    QSaveFile file(outputFile);
    if (!file.open(QIODevice::WriteOnly))
        throw ReportCommandError(
            QStringLiteral("orvane-report: cannot write %1: %2").arg(outputFile, file.errorString()));
    if (!write(file)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw ReportCommandError(
            QStringLiteral("orvane-report: cannot write %1: %2").arg(outputFile, reason));
    }
    if (!file.commit())
        throw ReportCommandError(
            QStringLiteral("orvane-report: cannot write %1: %2").arg(outputFile, file.errorString()));
}

void WriteReport(TKorvConnection& connection, const TReportSettings& settings,
                 const QList<TReportEntry>& entries, const QList<const TCatalogueObject*>& beside,
                 const TReportCommandOptions& options, std::FILE* out)
{
    WriteOutput(options.output, out, [&](QIODevice& device) {
        return WriteReportTo(device, options, connection, settings, entries, beside);
    });
}

// What was opened, as the report and the system-table query need it.
struct TOpened
{
    TProviderType provider = ptAccess;
    QString server;
    QString database;
    QString connectionString;
};

// Opens props' Access file with the window's retry flow. A password from standard input is final;
// the terminal is asked a few times.
TOpened OpenAccess(TKorvConnection& connection, TConnectionProperties& props,
                   const TReportCommandOptions& options, TCredentialPrompter& prompter)
{
    connection.SetConnectionType(ctADOX);
    TOpenRetryLimits limits;
    limits.accountAsks = kTerminalAttempts;
    limits.passwordAsks = options.passwordStdin ? 0 : kTerminalAttempts;
    const TOpenResult result = OpenAccessWithRetry(connection, props, prompter, limits);
    WipeSecret(props.Password);
    WipeSecret(props.UserPassword);
    if (!result.opened())
        throw ReportCommandError(result.message());
    return {ptAccess, QString(), props.Database, result.connectionString};
}

// The window's opening flow: a refused account or database password is asked for and tried
// again. A password from standard input is final; the terminal is asked a few times. file is
// options.file, or the copy of a stream that named it.
TOpened OpenAccessFile(TKorvConnection& connection, const TReportCommandOptions& options,
                       TCredentialPrompter& prompter, std::FILE* in, const QString& file)
{
    TConnectionProperties props;
    props.Database = QFileInfo(file).absoluteFilePath();
    // The report would be renamed over the database it describes.
    if (!options.output.isEmpty() && QFileInfo::exists(options.output) &&
        QFileInfo(options.output).canonicalFilePath() == QFileInfo(options.file).canonicalFilePath())
        throw ReportCommandError(QStringLiteral("orvane-report: the output file is the database file"));
    props.User = options.user;
    if (options.passwordStdin)
        props.Password = ReadFirstLine(in);

    return OpenAccess(connection, props, options, prompter);
}

// Logs in once: a refused login is the server's answer, printed as it gave it.
TOpened LogIn(TKorvConnection& connection, TConnectionProperties& props, const TReportCommandOptions& options)
{
    if (options.loginTimeout > 0)
        SetDMOLoginTimeout(options.loginTimeout);
    SetDMOCertificateAuthority(options.caFile);
    auto flag = [](bool on) { return on ? QStringLiteral("True") : QStringLiteral("False"); };
    if (options.encrypt)
        props.UseEncryption = flag(*options.encrypt);
    if (options.trustServerCertificate)
        props.TrustServerCertificate = flag(*options.trustServerCertificate);
    if (options.queryTimeout > 0)
        props.GeneralTimeout = QString::number(options.queryTimeout);
    if (options.readOnlyIntent)
        props.ApplicationIntent =
            *options.readOnlyIntent ? QStringLiteral("ReadOnly") : QStringLiteral("ReadWrite");
    // A CA file only means something to a check; asking for it asks for the check.
    if (!options.caFile.isEmpty() && !options.trustServerCertificate)
        props.TrustServerCertificate = flag(false);
    connection.SetConnectionType(ctDMO);
    const QString connectionString = BuildSQLServerConnectionString(props);
    const TOpenResult result = OpenSQLServer(connection, connectionString);
    WipeSecret(props.Password);
    if (!result.opened())
        throw ReportCommandError(result.message());
    // Whether the database exists and may be read is the server's to say, when its structure is
    // read: a list of databases shows only those the login may see.
    return {ptSQLServer, props.Server, props.Database, connectionString};
}

// Without --password-stdin the password is asked on the terminal; with no terminal it is empty.
TOpened OpenServer(TKorvConnection& connection, const TReportCommandOptions& options,
                   TCredentialPrompter& prompter, std::FILE* in)
{
    TConnectionProperties props;
    props.Server = options.server;
    props.Database = options.database;
    props.User = options.user;
    if (options.passwordStdin) {
        props.Password = ReadFirstLine(in);
    } else {
        QString user = props.User;
        QString password;
        if (prompter.AskUserLogin(user, password, user.isEmpty())) {
            props.User = user;
            props.Password = password;
        }
        WipeSecret(password);
    }
    return LogIn(connection, props, options);
}

QString ProviderWord(TProviderType provider)
{
    return QString::fromLatin1(EngineTraits(provider).word);
}

void ListProfiles(const TConnectionProfiles& profiles, std::FILE* stream)
{
    for (const TProfileName& profile : profiles.All())
        PrintLine(stream, ProviderWord(profile.provider) + QLatin1Char('\t') + profile.name);
}

// The profile the name finds by its section (in any letter case), read and opened as the window
// opens it. A password from standard input takes the place of the stored one.
TOpened OpenProfile(TKorvConnection& connection, const TReportCommandOptions& options,
                    TCredentialPrompter& prompter, std::FILE* in, std::FILE* err)
{
    const TConnectionProfiles profiles(SettingsFileName());
    const bool sqlServer = profiles.Exists(ptSQLServer, options.profile);
    const bool access = profiles.Exists(ptAccess, options.profile);
    if (!sqlServer && !access) {
        PrintLine(
            err,
            QStringLiteral("orvane-report: no profile named '%1'; the profiles are:").arg(options.profile));
        ListProfiles(profiles, err);
        throw ReportUsageError(QString());
    }
    if (sqlServer && access)
        throw ReportUsageError(
            QStringLiteral("orvane-report: '%1' is the name of a SQL Server and of an Access profile")
                .arg(options.profile));
    const TProviderType provider = sqlServer ? ptSQLServer : ptAccess;
    if (provider == ptAccess && options.loginTimeout != 0)
        throw ReportUsageError(
            QStringLiteral("orvane-report: --login-timeout goes with a SQL Server profile"));

    TConnectionProperties props;
    const bool passwordStored = profiles.Load(provider, options.profile, props);
    if (options.passwordStdin) {
        WipeSecret(props.Password);
        props.Password = ReadFirstLine(in);
    }
    if (provider == ptAccess) {
        return OpenAccess(connection, props, options, prompter);
    }
    if (!passwordStored && !options.passwordStdin) {
        QString user = props.User;
        if (!prompter.AskUserLogin(user, props.Password, false))
            throw ReportCommandError(
                QStringLiteral(
                    "orvane-report: the profile '%1' keeps no password; give it with --password-stdin")
                    .arg(options.profile));
    }
    return LogIn(connection, props, options);
}

// A side named on the command line ("-": standard input), read once: a pipe or a process
// substitution gives its bytes one time only. A file that cannot be opened is left to the
// database's opening, which says why in the engine's words.
TSideFile ReadSideArgument(const QString& name, std::FILE* in)
{
    QFile device;
    const bool opened = name == QLatin1String("-")
                            ? device.open(in, QIODevice::ReadOnly)
                            : (device.setFileName(name), device.open(QIODevice::ReadOnly));
    TSideFile file;
    if (!opened && name != QLatin1String("-")) {
        file.databaseFile = name;
        return file;
    }
    QString error = QStringLiteral("cannot read %1: %2").arg(name, device.errorString());
    if (!opened || !ReadSideFile(device, name, file, error))
        throw ReportCommandError(QStringLiteral("orvane-report: ") + error);
    return file;
}

// The opened database's structure and its table list as the report would list it.
TComparedSide OpenedSide(TKorvConnection& connection, const TOpened& opened,
                         const TComparedSelection& selection)
{
    TComparedSide side =
        OpenedComparedSide(connection, opened.provider, opened.database, opened.connectionString, selection);
    if (!side.catalogue)
        throw ReportCommandError(
            QStringLiteral("orvane-report: the structure of %1 could not be read").arg(opened.database));
    return side;
}

// --compare: the source as given (or a second snapshot) against the baseline; 0 when the chosen
// objects agree, 3 when anything differs.
int CompareCommand(const TReportCommandOptions& options, TCredentialPrompter& prompter, std::FILE* in,
                   std::FILE* out, std::FILE* err, QChar delimiter)
{
    // The output is renamed over its target at the end: never over a side it describes.
    for (const QString& side : {options.file, options.compare}) {
        if (!options.output.isEmpty() && !side.isEmpty() && QFileInfo::exists(options.output) &&
            QFileInfo(options.output).canonicalFilePath() == QFileInfo(side).canonicalFilePath())
            throw ReportCommandError(
                QStringLiteral("orvane-report: the output file is one of the compared files"));
    }

    TComparedSelection selection;
    selection.views = options.views;
    selection.systemTables = options.systemTables;
    selection.tables = options.tables;
    // Each connection ends as soon as its side's model is taken: its catalogue is not needed twice.
    TComparedSide current;
    const bool currentIsFile = options.profile.isEmpty() && options.server.isEmpty();
    bool currentIsAccessFile = false;
    const TSideFile currentFile = currentIsFile ? ReadSideArgument(options.file, in) : TSideFile();
    if (currentFile.document) {
        current = currentFile.side;
    } else {
        currentIsAccessFile = currentIsFile;
        TKorvConnection currentConnection;
        const TOpened opened =
            !options.profile.isEmpty() ? OpenProfile(currentConnection, options, prompter, in, err)
            : currentIsAccessFile
                ? OpenAccessFile(currentConnection, options, prompter, in, currentFile.databaseFile)
                : OpenServer(currentConnection, options, prompter, in);
        current = OpenedSide(currentConnection, opened, selection);
        // Named as given, as the documents name it.
        if (currentIsAccessFile)
            current.catalogue = CatalogueNamed(current.catalogue, options.file);
    }

    TComparedSide baseline;
    const TSideFile baselineFile = ReadSideArgument(options.compare, in);
    if (baselineFile.document) {
        baseline = baselineFile.side;
    } else {
        TConnectionProperties props;
        props.Database = QFileInfo(baselineFile.databaseFile).absoluteFilePath();
        // A workgroup account goes with Access files; a SQL Server login means nothing to one.
        if (currentIsAccessFile)
            props.User = options.user;
        // The line after the source's password.
        if (options.passwordStdin)
            props.Password = ReadFirstLine(in);
        TKorvConnection baselineConnection;
        const TOpened opened = OpenAccess(baselineConnection, props, options, prompter);
        baseline = OpenedSide(baselineConnection, opened, selection);
        baseline.catalogue = CatalogueNamed(baseline.catalogue, options.compare);
    }

    // A version 1 snapshot holds the tables alone: the other side is held to them too.
    const TComparedSelection scope = ComparedScope(selection, baseline, current);
    const QList<const TCatalogueObject*> baselineObjects = ComparedObjects(baseline, scope);
    const QList<const TCatalogueObject*> currentObjects = ComparedObjects(current, scope);
    for (const QString& name : options.tables) {
        const auto named = [&name](const TCatalogueObject* o) {
            return o->listName().compare(name, Qt::CaseInsensitive) == 0 ||
                   o->name.compare(name, Qt::CaseInsensitive) == 0;
        };
        if (std::none_of(baselineObjects.begin(), baselineObjects.end(), named) &&
            std::none_of(currentObjects.begin(), currentObjects.end(), named))
            throw ReportCommandError(
                QStringLiteral("orvane-report: no table named '%1' on either side").arg(name));
    }
    const TStructureComparison comparison = CompareSides(baseline, current, selection);

    TComparisonSettings settings;
    settings.baseline = TComparisonSide{baseline.catalogue.get(), baseline.snapshot};
    settings.current = TComparisonSide{current.catalogue.get(), current.snapshot};
    settings.delimiter = delimiter;
    settings.locale = QLocale::system();
    const QString program = QStringLiteral("Orvane ") + OwnVersionInfoString(kReportVersionKey);
    TComparisonOutput output;
    output.settings = &settings;
    output.comparison = &comparison;
    output.program = program;
    output.pages = WritePdf;
    WriteOutput(options.output, out, [&](QIODevice& device) {
        return ReportFormatInfo(options.format).writeComparison(device, output);
    });
    return comparison.differences.isEmpty() ? 0 : kCompareDifferencesStatus;
}

std::atomic<bool> g_structureLeftToExit{false};

void LeaveToExit(std::shared_ptr<const TCatalogue> model)
{
    // Never freed: reachable to the end, and so no leak to a checker either.
    static auto* const kept = new std::vector<std::shared_ptr<const TCatalogue>>;
    if (model)
        kept->push_back(std::move(model));
}

// While it lives, databases opened for the run are read as far as its output needs: the plain
// report lists tables alone.
class TTablesOnlyScope
{
public:
    explicit TTablesOnlyScope(bool tablesOnly) : m_before(TablesOnlyOpenings())
    {
        SetTablesOnlyOpenings(tablesOnly);
    }
    ~TTablesOnlyScope() { SetTablesOnlyOpenings(m_before); }
    TTablesOnlyScope(const TTablesOnlyScope&) = delete;
    TTablesOnlyScope& operator=(const TTablesOnlyScope&) = delete;

private:
    bool m_before;
};

} // namespace

void SetReportStructureLeftToExit(bool left)
{
    g_structureLeftToExit.store(left);
}

QString ReportCommandSettingsFile(const QString& executableFolder)
{
    return DetermineSettingsFileName(executableFolder + QStringLiteral("/orvane"));
}

int RunReportCommand(const QStringList& arguments, TCredentialPrompter& prompter, std::FILE* in,
                     std::FILE* out, std::FILE* err)
{
    TReportCommandOptions options;
    QString error;
    if (!ParseReportCommandLine(arguments, options, error)) {
        PrintLine(err, QStringLiteral("orvane-report: ") + error);
        PrintLine(err, ReportCommandUsageHint());
        return 2;
    }
    if (options.help) {
        PrintLine(out, ReportCommandUsage());
        return 0;
    }
    if (options.version) {
        PrintLine(out, QStringLiteral("orvane-report ") + OwnVersionInfoString(kReportVersionKey));
        return 0;
    }
    if (options.bashCompletion) {
        const QByteArray script = ReportCommandBashCompletion().toUtf8();
        std::fwrite(script.constData(), 1, size_t(script.size()), out);
        std::fflush(out);
        return 0;
    }
    if (options.listProfiles) {
        ListProfiles(TConnectionProfiles(SettingsFileName()), out);
        return 0;
    }

    try {
        // Without a settings file the window would start with its defaults; nothing is written here.
        const bool haveSettings = !SettingsFileName().isEmpty() && QFileInfo(SettingsFileName()).isFile();
        CurrentLanguage = options.language != 0 ? options.language : haveSettings ? DetermineLanguage() : 1;
        const QChar delimiter = !options.delimiter.isNull() ? options.delimiter
                                : haveSettings              ? DelimiterFromSettings()
                                                            : QLatin1Char('*');

        if (!options.compare.isEmpty())
            return CompareCommand(options, prompter, in, out, err, delimiter);

        const TTablesOnlyScope tablesOnly(!options.detail && !options.views &&
                                          !ReportFormatInfo(options.format).structure);
        TKorvConnection connection;
        const TOpened opened =
            !options.profile.isEmpty() ? OpenProfile(connection, options, prompter, in, err)
            : options.server.isEmpty() ? OpenAccessFile(connection, options, prompter, in, options.file)
                                       : OpenServer(connection, options, prompter, in);

        TTableList entries;
        ListCatalogueObjects(connection, opened.provider, opened.database, options.views, entries);
        ApplySystemTableRule(entries, options.systemTables, opened.provider, opened.connectionString);
        const bool documents = options.format == TReportFormat::Json ||
                               options.format == TReportFormat::Markdown ||
                               options.format == TReportFormat::Html;
        std::shared_ptr<const TCatalogue> structure;
        if (options.detail || ReportFormatInfo(options.format).structure) {
            structure = connection.StructureModel();
            if (!structure)
                throw ReportCommandError(
                    QStringLiteral("orvane-report: the structure of this database could not be read"));
            // Documents name a file as it was given, so a snapshot does not depend on the folder
            // it was made in; the text report's header keeps the path opened. The copy shares the
            // objects, so what is chosen from either is the same.
            if (ReportFormatInfo(options.format).structure && options.profile.isEmpty() &&
                options.server.isEmpty())
                structure = CatalogueNamed(structure, options.file);
        }
        // A document holds the whole database: beside the tables, the other kinds of objects, of
        // which --table picks too.
        QList<const TCatalogueObject*> beside;
        if (documents && !options.views) {
            beside = ObjectsBesideTables(*structure, options.systemTables);
            if (!options.tables.isEmpty())
                beside.removeIf([&options](const TCatalogueObject* o) {
                    return !options.tables.contains(o->listName(), Qt::CaseInsensitive);
                });
        }
        ChooseEntries(entries, options.tables, options.systemTables, beside);
        WarnOfUnresolvedLinks(connection, entries, err);

        TReportSettings settings;
        settings.provider = opened.provider;
        settings.server = opened.server;
        settings.database = opened.database;
        settings.views = options.views;
        settings.delimiter = delimiter;
        settings.locale = QLocale::system();
        settings.versionText = options.versionText;
        settings.structure = structure;
        WriteReport(connection, settings, ReportEntries(entries), beside, options, out);
        if (g_structureLeftToExit)
            LeaveToExit(connection.StructureModel());
        return 0;
    } catch (const ReportUsageError& e) {
        if (*e.what()) {
            PrintLine(err, QString::fromUtf8(e.what()));
            PrintLine(err, ReportCommandUsageHint());
        }
        return 2;
    } catch (const AutomationError& e) {
        // A catalogue that broke off after the connection: reported as a refused connection is.
        // A failure without a number (the driver's, a timeout) is its text alone.
        PrintLine(err, e.helpContext() == 0
                           ? e.description()
                           : QString::number(e.helpContext()) + QStringLiteral(": ") + e.description());
        return 1;
    } catch (const std::exception& e) {
        PrintLine(err, QString::fromUtf8(e.what()));
        return 1;
    }
}
