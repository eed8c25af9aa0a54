#include "ReportArguments.h"

#include <array>
#include <utility>

namespace {

using TOptions = TReportCommandOptions;

bool SetNonEmpty(QString& target, const QString& value, QString& error, const char* message)
{
    if (value.trimmed().isEmpty()) {
        error = QString::fromUtf8(message);
        return false;
    }
    target = value;
    return true;
}

bool SetFormat(TOptions& o, const QString& value, QString& error)
{
    if (const TReportFormatInfo* info = FindReportFormat(value)) {
        o.format = info->format;
        return true;
    }
    error = QStringLiteral("--format takes %1, not '%2'")
                .arg(ReportFormatNames(nullptr, QStringLiteral("or")), value);
    return false;
}

bool SetDiagramColumns(TOptions& o, const QString& value, QString& error)
{
    if (value == QLatin1String("keys")) {
        o.diagram.columns = TDiagramColumns::Keys;
    } else if (value == QLatin1String("all")) {
        o.diagram.columns = TDiagramColumns::All;
    } else {
        error = QStringLiteral("--diagram-columns takes keys or all, not '%1'").arg(value);
        return false;
    }
    o.diagramOptionGiven = true;
    return true;
}

bool SetDiagramLimit(TOptions& o, const QString& value, QString& error)
{
    bool ok = false;
    o.diagram.limit = value.toInt(&ok);
    if (!ok || o.diagram.limit < 1) {
        error = QStringLiteral("--diagram-limit takes a number of tables from 1 up");
        return false;
    }
    o.diagramOptionGiven = true;
    return true;
}

bool TakesDiagramOptions(const TReportFormatInfo& info)
{
    return info.diagram;
}

bool SetLanguage(TOptions& o, const QString& value, QString& error)
{
    if (value.compare(QLatin1String("de"), Qt::CaseInsensitive) == 0) {
        o.language = 1;
    } else if (value.compare(QLatin1String("en"), Qt::CaseInsensitive) == 0) {
        o.language = 2;
    } else {
        error = QStringLiteral("--language takes de or en, not '%1'").arg(value);
        return false;
    }
    return true;
}

bool SetLoginTimeout(TOptions& o, const QString& value, QString& error)
{
    bool ok = false;
    o.loginTimeout = value.toInt(&ok);
    if (!ok || o.loginTimeout < 1 || o.loginTimeout > 3600) {
        error = QStringLiteral("--login-timeout takes a number of seconds from 1 to 3600");
        return false;
    }
    return true;
}

bool SetQueryTimeout(TOptions& o, const QString& value, QString& error)
{
    bool ok = false;
    o.queryTimeout = value.toInt(&ok);
    if (!ok || o.queryTimeout < 1 || o.queryTimeout > 86400) {
        error = QStringLiteral("--query-timeout takes a number of seconds from 1 to 86400");
        return false;
    }
    return true;
}

bool SetApplicationIntent(TOptions& o, const QString& value, QString& error)
{
    if (value.compare(QLatin1String("readonly"), Qt::CaseInsensitive) == 0) {
        o.readOnlyIntent = true;
    } else if (value.compare(QLatin1String("readwrite"), Qt::CaseInsensitive) == 0) {
        o.readOnlyIntent = false;
    } else {
        error = QStringLiteral("--application-intent takes readonly or readwrite, not '%1'").arg(value);
        return false;
    }
    return true;
}

bool SetDelimiter(TOptions& o, const QString& value, QString& error)
{
    if (value.size() != 1) {
        error = QStringLiteral("--delimiter takes exactly one character");
        return false;
    }
    o.delimiter = value.at(0);
    return true;
}

// The usage text's layout: the option in a column of this width after two spaces, its help
// after it; a longer option gets a line of its own.
constexpr qsizetype kOptionColumn = 21;

const std::array kOptions{
    TReportOption{"--server", nullptr, "HOST[,PORT]", "SQL Server to log in to (also HOST\\INSTANCE)",
                  [](TOptions& o, const QString& v, QString& e) {
                      return SetNonEmpty(o.server, v, e, "--server needs a server name");
                  }},
    TReportOption{"--database", nullptr, "NAME", "SQL Server database to report",
                  [](TOptions& o, const QString& v, QString&) {
                      o.database = v;
                      return true;
                  }},
    TReportOption{"--profile", nullptr, "NAME",
                  "report the database of a connection profile saved in the window",
                  [](TOptions& o, const QString& v, QString& e) {
                      if (v.isEmpty()) {
                          e = QStringLiteral("--profile needs a profile name");
                          return false;
                      }
                      o.profile = v;
                      return true;
                  }},
    TReportOption{"--list-profiles", nullptr, nullptr,
                  "list the saved profiles, one a line: its provider, a tab, its name",
                  [](TOptions& o, const QString&, QString&) { return o.listProfiles = true; }},
    TReportOption{"--views", "--queries", nullptr,
                  "report the views (Access: the saved queries) instead of the tables;\n"
                  "a JSON or Markdown document then holds them alone",
                  [](TOptions& o, const QString&, QString&) { return o.views = true; }},
    TReportOption{"--login-timeout", nullptr, "S",
                  "SQL Server: give up logging in after S seconds (default 30)", SetLoginTimeout},
    TReportOption{"--query-timeout", nullptr, "S",
                  "SQL Server: give up a statement the server has not answered after S\n"
                  "seconds (default 60)",
                  SetQueryTimeout},
    TReportOption{"--application-intent", nullptr, "readonly|readwrite",
                  "SQL Server: declare the log-in read-only, so an availability group\n"
                  "routes it to (or lets it into) a readable secondary",
                  SetApplicationIntent},
    TReportOption{"--encrypt", nullptr, nullptr,
                  "SQL Server: refuse a server that does not encrypt the connection;\n"
                  "its certificate is checked unless --trust-server-certificate",
                  [](TOptions& o, const QString&, QString&) { return *(o.encrypt = true); }},
    TReportOption{"--no-encrypt", nullptr, nullptr,
                  "SQL Server: do not require encryption (the default: encrypt when the\n"
                  "server offers it)",
                  [](TOptions& o, const QString&, QString&) { return !*(o.encrypt = false); }},
    TReportOption{"--trust-server-certificate", nullptr, nullptr,
                  "SQL Server: take the server's certificate without checking it",
                  [](TOptions& o, const QString&, QString&) { return *(o.trustServerCertificate = true); }},
    TReportOption{"--no-trust-server-certificate", nullptr, nullptr,
                  "SQL Server: the certificate must be trusted and name the host",
                  [](TOptions& o, const QString&, QString&) { return !*(o.trustServerCertificate = false); }},
    TReportOption{"--ca-file", nullptr, "FILE",
                  "SQL Server: the CA certificates (PEM) a checked certificate must come\n"
                  "from (default: the system's); implies --no-trust-server-certificate",
                  [](TOptions& o, const QString& v, QString& e) {
                      return SetNonEmpty(o.caFile, v, e, "--ca-file needs a file name");
                  }},
    TReportOption{"--system-tables", nullptr, nullptr, "report the system tables too",
                  [](TOptions& o, const QString&, QString&) { return o.systemTables = true; }},
    TReportOption{"--table", nullptr, "NAME",
                  "report only this table or view (may be repeated); in a JSON or\n"
                  "Markdown document any object: a query, a procedure, a sequence...",
                  [](TOptions& o, const QString& v, QString&) {
                      o.tables.append(v);
                      return true;
                  }},
    TReportOption{"--language", nullptr, "de|en",
                  "language of the report header (default: the settings file's)", SetLanguage},
    TReportOption{"--delimiter", nullptr, "C", "frame character (default: the settings file's)",
                  SetDelimiter},
    TReportOption{"--output", nullptr, "FILE",
                  "write the report to FILE instead of standard output (\"-\": standard\n"
                  "output)",
                  [](TOptions& o, const QString& v, QString& e) {
                      if (v.isEmpty()) {
                          e = QStringLiteral("--output needs a file name");
                          return false;
                      }
                      o.output = v == QLatin1String("-") ? QString() : v;
                      return true;
                  }},
    TReportOption{"--format", nullptr, "FORMAT",
                  "what the report is written as (see FORMAT below; default text)", SetFormat},
    TReportOption{"--detail", nullptr, nullptr,
                  "the extended report: keys, indexes, relationships, defaults and\n"
                  "descriptions under each table's columns",
                  [](TOptions& o, const QString&, QString&) { return o.detail = true; }},
    TReportOption{"--diagram-columns", nullptr, "keys|all",
                  "the diagram's boxes list the key columns (default) or every column\n"
                  "with its type",
                  SetDiagramColumns},
    TReportOption{"--diagram-limit", nullptr, "N",
                  "draw the whole database as one diagram up to N tables (default 200);\n"
                  "beyond, one per connected group and per table with its neighbours",
                  SetDiagramLimit},
    TReportOption{"--version-text", nullptr, "TEXT",
                  "the header's version line, as the window's Version field",
                  [](TOptions& o, const QString& v, QString&) {
                      o.versionText = v;
                      return true;
                  }},
    TReportOption{"--user", nullptr, "NAME",
                  "log in as this user (Access: workgroup user; SQL Server: login)",
                  [](TOptions& o, const QString& v, QString&) {
                      o.user = v;
                      return true;
                  }},
    TReportOption{"--password-stdin", nullptr, nullptr,
                  "read the password from the first line of standard input\n"
                  "(Access: the database password; SQL Server: the login's)",
                  [](TOptions& o, const QString&, QString&) { return o.passwordStdin = true; }},
    TReportOption{"--compare", nullptr, "BASELINE",
                  "list what differs from BASELINE (a --format json document or an\n"
                  "Access file; \"-\": standard input) in the source given as above or\n"
                  "as a second JSON document; --format as for the report (see FORMAT\n"
                  "below)",
                  [](TOptions& o, const QString& v, QString& e) {
                      if (v.isEmpty()) {
                          e = QStringLiteral("--compare needs a baseline file");
                          return false;
                      }
                      o.compare = v;
                      return true;
                  }},
    TReportOption{"--help", "-h", nullptr, "show this text",
                  [](TOptions& o, const QString&, QString&) { return o.help = true; }},
    TReportOption{"--version", nullptr, nullptr, "show the program's name and version",
                  [](TOptions& o, const QString&, QString&) { return o.version = true; }},
    TReportOption{"--bash-completion", nullptr, nullptr, "print a bash completion script for this program",
                  [](TOptions& o, const QString&, QString&) { return o.bashCompletion = true; }},
};

// "--name" or "--name=value" (but not "--name-more").
bool Spells(const QString& argument, const char* name, bool& withValue)
{
    const QLatin1String spelling(name);
    withValue = false;
    if (argument == spelling)
        return true;
    if (argument.startsWith(spelling) && argument.size() > spelling.size() &&
        argument.at(spelling.size()) == QLatin1Char('=')) {
        withValue = true;
        return true;
    }
    return false;
}

const TReportOption* FindOption(const QString& argument, bool& withValue)
{
    for (const TReportOption& option : kOptions) {
        if (Spells(argument, option.name, withValue) ||
            (option.alias != nullptr && Spells(argument, option.alias, withValue)))
            return &option;
    }
    return nullptr;
}

// Takes one option and, when it has one, its value from "--name value" or "--name=value".
bool ApplyOption(const TReportOption& option, bool withValue, const QStringList& arguments, qsizetype& i,
                 TReportCommandOptions& options, QString& error)
{
    const QString& argument = arguments.at(i);
    const QString name = QString::fromLatin1(option.name);
    QString value;
    if (option.argument == nullptr) {
        if (withValue) {
            error = QStringLiteral("option %1 takes no value").arg(name);
            return false;
        }
    } else if (withValue) {
        value = argument.mid(argument.indexOf(QLatin1Char('=')) + 1);
    } else if (i + 1 >= arguments.size()) {
        error = QStringLiteral("option %1 needs a value").arg(name);
        return false;
    } else {
        value = arguments.at(++i);
    }
    return option.apply(options, value, error);
}

} // namespace

std::span<const TReportOption> ReportOptions()
{
    return kOptions;
}

QString ReportCommandUsage()
{
    QString usage = QStringLiteral(
        "Usage: orvane-report [OPTION]... FILE.mdb\n"
        "       orvane-report [OPTION]... --server HOST[,PORT] --database NAME\n"
        "       orvane-report [OPTION]... --profile NAME\n"
        "       orvane-report --list-profiles\n"
        "       orvane-report [OPTION]... --compare BASELINE SOURCE...\n"
        "Prints the structure report of the tables of an Access database file, or of the tables or\n"
        "views of a SQL Server database, or what differs between its structure and a baseline's.\n"
        "\n");
    const QString indent(2 + kOptionColumn, QLatin1Char(' '));
    for (const TReportOption& option : kOptions) {
        QString spelling = QString::fromLatin1(option.name);
        if (option.argument != nullptr)
            spelling += QLatin1Char(' ') + QString::fromLatin1(option.argument);
        if (option.alias != nullptr)
            spelling += QStringLiteral(", ") + QString::fromLatin1(option.alias);
        usage += QStringLiteral("  ");
        if (spelling.size() < kOptionColumn)
            usage += spelling.leftJustified(kOptionColumn);
        else
            usage += spelling + QLatin1Char('\n') + indent;
        usage += QString::fromUtf8(option.help).replace(QLatin1Char('\n'), QLatin1Char('\n') + indent) +
                 QLatin1Char('\n');
    }
    usage += QStringLiteral("\nFORMAT is one of:\n");
    for (const TReportFormatInfo& format : ReportFormats()) {
        QString help = QString::fromUtf8(format.help);
        if (format.writeComparison == nullptr)
            help += QStringLiteral(" (not with --compare)");
        usage += QStringLiteral("  ") + QString::fromLatin1(format.name).leftJustified(kOptionColumn) +
                 help.replace(QLatin1Char('\n'), QLatin1Char('\n') + indent) + QLatin1Char('\n');
    }
    usage += QStringLiteral(
        "\n"
        "Passwords are never taken from the arguments: what the database still asks for is asked\n"
        "on the terminal; with --password-stdin a protected baseline's password is the line after\n"
        "the source's. Exit status: 0 done, 1 error, 2 usage error; with --compare 0 no differences,\n"
        "3 differences, 1 a side could not be opened or read.");
    return usage;
}

bool ParseReportCommandLine(const QStringList& arguments, TReportCommandOptions& options, QString& error)
{
    options = TReportCommandOptions();
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        bool withValue = false;
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            if (!options.file.isEmpty()) {
                error = QStringLiteral("only one database file can be reported");
                return false;
            }
            options.file = argument;
        } else if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (const TReportOption* option = FindOption(argument, withValue)) {
            if (!ApplyOption(*option, withValue, arguments, i, options, error))
                return false;
        } else if (Spells(argument, "--password", withValue)) {
            // Arguments are visible to every user of the machine: refuse before anything is opened.
            error = QStringLiteral("passwords are not taken from the command line; use --password-stdin");
            return false;
        } else {
            error = QStringLiteral("unknown option %1").arg(argument);
            return false;
        }
    }
    if (options.help || options.version || options.bashCompletion || options.listProfiles)
        return true;
    // Standard input is one stream: read for one thing only.
    const bool baselineOnStdin = options.compare == QLatin1String("-");
    const bool sourceOnStdin = !options.compare.isEmpty() && options.file == QLatin1String("-");
    if (baselineOnStdin && sourceOnStdin) {
        error = QStringLiteral("only one side of --compare can be read from standard input");
        return false;
    }
    if ((baselineOnStdin || sourceOnStdin) && options.passwordStdin) {
        error = QStringLiteral(
            "--password-stdin and a side read from standard input (\"-\") cannot share standard input");
        return false;
    }
    if (!options.compare.isEmpty() && (options.detail || !options.versionText.isEmpty())) {
        error = QStringLiteral("--detail and --version-text go with a report, not with --compare");
        return false;
    }
    const TReportFormatInfo& format = ReportFormatInfo(options.format);
    if (!options.compare.isEmpty() && format.writeComparison == nullptr) {
        error = QStringLiteral("--format %1 does not go with --compare").arg(QLatin1String(format.name));
        return false;
    }
    if (options.diagramOptionGiven && (!format.diagram || !options.compare.isEmpty())) {
        error = QStringLiteral("--diagram-columns and --diagram-limit go with a report as %1")
                    .arg(ReportFormatNames(TakesDiagramOptions, QStringLiteral("or")));
        return false;
    }
    // A profile holds the whole connection, its login included.
    if (!options.profile.isEmpty() && (!options.file.isEmpty() || !options.server.isEmpty() ||
                                       !options.database.isEmpty() || !options.user.isEmpty())) {
        error = QStringLiteral(
            "--profile holds the connection: give no database file, --server, --database or --user");
        return false;
    }
    if (!options.profile.isEmpty())
        return true;
    const bool sqlServer = !options.server.isEmpty();
    if (sqlServer && !options.file.isEmpty()) {
        error = QStringLiteral("give either a database file or --server, not both");
        return false;
    }
    if (sqlServer && options.database.isEmpty()) {
        error = QStringLiteral("--server needs --database");
        return false;
    }
    if (!sqlServer && (!options.database.isEmpty() || options.loginTimeout != 0)) {
        error = QStringLiteral("--database and --login-timeout go with --server");
        return false;
    }
    if (!sqlServer && options.file.isEmpty()) {
        error = QStringLiteral("no database file given");
        return false;
    }
    return true;
}

QString ReportCommandUsageHint()
{
    return QStringLiteral("Try 'orvane-report --help'.");
}

namespace {

// The words an option's value is one of ("de|en"), or none for a value of the user's own.
QStringList ValueWords(const TReportOption& option)
{
    const QString argument = QString::fromLatin1(option.argument);
    // FORMAT stands for the formats table, whose names the help lists below the options.
    if (argument == QLatin1String("FORMAT")) {
        QStringList names;
        for (const TReportFormatInfo& format : ReportFormats())
            names.append(QString::fromLatin1(format.name));
        return names;
    }
    if (!argument.contains(QLatin1Char('|')) || argument.contains(QLatin1Char('[')))
        return {};
    return argument.split(QLatin1Char('|'));
}

bool TakesFileName(const TReportOption& option)
{
    const QLatin1String argument(option.argument);
    return argument == QLatin1String("FILE") || argument == QLatin1String("BASELINE");
}

} // namespace

QString ReportCommandBashCompletion()
{
    QStringList all, files, unlisted;
    QString lists;
    for (const TReportOption& option : kOptions) {
        all.append(QString::fromLatin1(option.name));
        if (option.alias != nullptr)
            all.append(QString::fromLatin1(option.alias));
        if (option.argument == nullptr)
            continue;
        const QString name = QString::fromLatin1(option.name);
        const QStringList words = ValueWords(option);
        if (!words.isEmpty())
            lists += QStringLiteral("    %1) COMPREPLY=($(compgen -W '%2' -- \"$cur\")); return ;;\n")
                         .arg(name, words.join(QLatin1Char(' ')));
        else if (TakesFileName(option))
            files.append(name);
        else if (name != QLatin1String("--profile"))
            unlisted.append(name);
    }
    QString script = QStringLiteral(
        "# bash completion for orvane-report; made by orvane-report --bash-completion from its options.\n"
        "_orvane_report()\n"
        "{\n"
        "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
        "  case $prev in\n");
    script += lists;
    // File names may hold blanks: the replies are split at line ends only.
    script += QStringLiteral("    %1) local IFS=$'\\n'; compopt -o filenames 2>/dev/null\n"
                             "      COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n")
                  .arg(files.join(QLatin1Char('|')));
    script += QStringLiteral("    --profile)\n"
                             "      local IFS=$'\\n'\n"
                             "      COMPREPLY=($(compgen -W \"$(\"${COMP_WORDS[0]}\" --list-profiles "
                             "2>/dev/null | cut -f2)\" -- \"$cur\"))\n"
                             "      return ;;\n");
    script += QStringLiteral("    %1) return ;;\n").arg(unlisted.join(QLatin1Char('|')));
    script += QStringLiteral("  esac\n"
                             "  if [[ $cur == -* ]]; then\n"
                             "    COMPREPLY=($(compgen -W '%1' -- \"$cur\"))\n"
                             "    return\n"
                             "  fi\n"
                             "  local IFS=$'\\n'\n"
                             "  compopt -o filenames 2>/dev/null\n"
                             "  COMPREPLY=($(compgen -f -- \"$cur\"))\n"
                             "}\n"
                             "complete -F _orvane_report orvane-report\n")
                  .arg(all.join(QLatin1Char(' ')));
    return script;
}
