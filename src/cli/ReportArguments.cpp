#include "ReportArguments.h"

namespace {

// Takes the value of an option given as "--name value" or "--name=value".
bool OptionValue(const QStringList& arguments, qsizetype& i, const QString& name, QString& value,
                 QString& error)
{
    const QString& argument = arguments.at(i);
    if (argument.startsWith(name + QLatin1Char('='))) {
        value = argument.mid(name.size() + 1);
        return true;
    }
    if (i + 1 >= arguments.size()) {
        error = QStringLiteral("option %1 needs a value").arg(name);
        return false;
    }
    value = arguments.at(++i);
    return true;
}

bool IsOption(const QString& argument, const QString& name)
{
    return argument == name || argument.startsWith(name + QLatin1Char('='));
}

} // namespace

QString ReportCommandUsage()
{
    return QStringLiteral(
        "Usage: orvane-report [OPTION]... FILE.mdb\n"
        "       orvane-report [OPTION]... --server HOST[,PORT] --database NAME\n"
        "       orvane-report [OPTION]... --profile NAME\n"
        "       orvane-report --list-profiles\n"
        "       orvane-report [OPTION]... --compare BASELINE SOURCE...\n"
        "Prints the structure report of the tables of an Access database file, or of the tables or\n"
        "views of a SQL Server database, or what differs between its structure and a baseline's.\n"
        "\n"
        "  --server HOST[,PORT]  SQL Server to log in to (also HOST\\INSTANCE)\n"
        "  --database NAME      SQL Server database to report\n"
        "  --profile NAME       report the database of a connection profile saved in the window\n"
        "  --list-profiles      list the saved profiles, one a line: its provider, a tab, its name\n"
        "  --views              SQL Server: report the views instead of the tables\n"
        "  --login-timeout S    SQL Server: give up logging in after S seconds (default 30)\n"
        "  --system-tables      report the system tables too\n"
        "  --table NAME         report only this table or view (may be repeated)\n"
        "  --language de|en     language of the report header (default: the settings file's)\n"
        "  --delimiter C        frame character (default: the settings file's)\n"
        "  --output FILE        write the report to FILE instead of standard output\n"
        "  --format text|rtf|pdf|json|markdown\n"
        "                       plain text (default), the RTF the window saves, the pages the\n"
        "                       window's print command prints as PDF, or the structure with its\n"
        "                       keys, indexes and relationships as JSON or Markdown\n"
        "  --detail             the extended report: keys, indexes, relationships, defaults and\n"
        "                       descriptions under each table's columns\n"
        "  --version-text TEXT  the header's version line, as the window's Version field\n"
        "  --user NAME          log in as this user (Access: workgroup user; SQL Server: login)\n"
        "  --password-stdin     read the password from the first line of standard input\n"
        "                       (Access: the database password; SQL Server: the login's)\n"
        "  --compare BASELINE   list what differs from BASELINE (a --format json document or an\n"
        "                       Access file) in the source given as above or as a second JSON\n"
        "                       document; --format text|rtf|pdf|json|markdown as for the report\n"
        "  --help               show this text\n"
        "\n"
        "Passwords are never taken from the arguments: what the database still asks for is asked\n"
        "on the terminal; with --password-stdin a protected baseline's password is the line after\n"
        "the source's. Exit status: 0 done, 1 error, 2 usage error; with --compare 0 no differences,\n"
        "3 differences, 1 a side could not be opened or read.");
}

bool ParseReportCommandLine(const QStringList& arguments, TReportCommandOptions& options, QString& error)
{
    options = TReportCommandOptions();
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        QString value;
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            if (!options.file.isEmpty()) {
                error = QStringLiteral("only one database file can be reported");
                return false;
            }
            options.file = argument;
        } else if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.help = true;
        } else if (argument == QLatin1String("--system-tables")) {
            options.systemTables = true;
        } else if (argument == QLatin1String("--password-stdin")) {
            options.passwordStdin = true;
        } else if (argument == QLatin1String("--detail")) {
            options.detail = true;
        } else if (argument == QLatin1String("--views")) {
            options.views = true;
        } else if (argument == QLatin1String("--list-profiles")) {
            options.listProfiles = true;
        } else if (IsOption(argument, QStringLiteral("--profile"))) {
            if (!OptionValue(arguments, i, QStringLiteral("--profile"), value, error))
                return false;
            if (value.isEmpty()) {
                error = QStringLiteral("--profile needs a profile name");
                return false;
            }
            options.profile = value;
        } else if (IsOption(argument, QStringLiteral("--server"))) {
            if (!OptionValue(arguments, i, QStringLiteral("--server"), value, error))
                return false;
            if (value.trimmed().isEmpty()) {
                error = QStringLiteral("--server needs a server name");
                return false;
            }
            options.server = value;
        } else if (IsOption(argument, QStringLiteral("--database"))) {
            if (!OptionValue(arguments, i, QStringLiteral("--database"), value, error))
                return false;
            options.database = value;
        } else if (IsOption(argument, QStringLiteral("--login-timeout"))) {
            if (!OptionValue(arguments, i, QStringLiteral("--login-timeout"), value, error))
                return false;
            bool ok = false;
            options.loginTimeout = value.toInt(&ok);
            if (!ok || options.loginTimeout < 1 || options.loginTimeout > 3600) {
                error = QStringLiteral("--login-timeout takes a number of seconds from 1 to 3600");
                return false;
            }
        } else if (IsOption(argument, QStringLiteral("--table"))) {
            if (!OptionValue(arguments, i, QStringLiteral("--table"), value, error))
                return false;
            options.tables.append(value);
        } else if (IsOption(argument, QStringLiteral("--language"))) {
            if (!OptionValue(arguments, i, QStringLiteral("--language"), value, error))
                return false;
            if (value.compare(QLatin1String("de"), Qt::CaseInsensitive) == 0) {
                options.language = 1;
            } else if (value.compare(QLatin1String("en"), Qt::CaseInsensitive) == 0) {
                options.language = 2;
            } else {
                error = QStringLiteral("--language takes de or en, not '%1'").arg(value);
                return false;
            }
        } else if (IsOption(argument, QStringLiteral("--delimiter"))) {
            if (!OptionValue(arguments, i, QStringLiteral("--delimiter"), value, error))
                return false;
            if (value.size() != 1) {
                error = QStringLiteral("--delimiter takes exactly one character");
                return false;
            }
            options.delimiter = value.at(0);
        } else if (IsOption(argument, QStringLiteral("--output"))) {
            if (!OptionValue(arguments, i, QStringLiteral("--output"), value, error))
                return false;
            if (value.isEmpty()) {
                error = QStringLiteral("--output needs a file name");
                return false;
            }
            options.output = value;
        } else if (IsOption(argument, QStringLiteral("--format"))) {
            if (!OptionValue(arguments, i, QStringLiteral("--format"), value, error))
                return false;
            if (value == QLatin1String("text")) {
                options.format = TReportFormat::Text;
            } else if (value == QLatin1String("rtf")) {
                options.format = TReportFormat::Rtf;
            } else if (value == QLatin1String("pdf")) {
                options.format = TReportFormat::Pdf;
            } else if (value == QLatin1String("json")) {
                options.format = TReportFormat::Json;
            } else if (value == QLatin1String("markdown")) {
                options.format = TReportFormat::Markdown;
            } else {
                error =
                    QStringLiteral("--format takes text, rtf, pdf, json or markdown, not '%1'").arg(value);
                return false;
            }
        } else if (IsOption(argument, QStringLiteral("--compare"))) {
            if (!OptionValue(arguments, i, QStringLiteral("--compare"), value, error))
                return false;
            if (value.isEmpty()) {
                error = QStringLiteral("--compare needs a baseline file");
                return false;
            }
            options.compare = value;
        } else if (IsOption(argument, QStringLiteral("--version-text"))) {
            if (!OptionValue(arguments, i, QStringLiteral("--version-text"), value, error))
                return false;
            options.versionText = value;
        } else if (IsOption(argument, QStringLiteral("--user"))) {
            if (!OptionValue(arguments, i, QStringLiteral("--user"), value, error))
                return false;
            options.user = value;
        } else if (IsOption(argument, QStringLiteral("--password"))) {
            // Arguments are visible to every user of the machine: refuse before anything is opened.
            error = QStringLiteral("passwords are not taken from the command line; use --password-stdin");
            return false;
        } else {
            error = QStringLiteral("unknown option %1").arg(argument);
            return false;
        }
    }
    if (options.help || options.listProfiles)
        return true;
    if (!options.compare.isEmpty() && (options.detail || !options.versionText.isEmpty())) {
        error = QStringLiteral("--detail and --version-text go with a report, not with --compare");
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
    if (!sqlServer && (!options.database.isEmpty() || options.views || options.loginTimeout != 0)) {
        error = QStringLiteral("--database, --views and --login-timeout go with --server");
        return false;
    }
    if (!sqlServer && options.file.isEmpty()) {
        error = QStringLiteral("no database file given");
        return false;
    }
    return true;
}
