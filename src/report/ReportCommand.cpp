#include "ReportCommand.h"

#include "Automation.h"
#include "ConnectionSettings.h"
#include "JetProvider.h"
#include "QueryObject.h"
#include "KorvADOXConnection.h"
#include "KorvConnection.h"
#include "Language.h"
#include "ReportLines.h"
#include "Settings.h"
#include "StructureReport.h"
#include "TableList.h"
#include "UIText.h"
#include "VersionInfo.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>
#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr std::int32_t kErrorAccountRefused = 5003029;
constexpr std::int32_t kErrorPasswordRefused = 5003031;

class ReportCommandError : public std::exception
{
public:
    explicit ReportCommandError(const QString& message) : m_utf8(message.toUtf8()) {}
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QByteArray m_utf8;
};

void PrintLine(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// Overwrites a secret before its memory is given back.
void Wipe(QString& secret)
{
    secret.fill(QChar(0));
    secret.clear();
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

// --- terminal ---------------------------------------------------------------------------------

// The terminal state to bring back when a signal ends the program while echo is off.
int g_ttyFd = -1;
struct termios g_savedTermios;

extern "C" void RestoreTerminalAndDie(int signal)
{
    if (g_ttyFd >= 0)
        tcsetattr(g_ttyFd, TCSAFLUSH, &g_savedTermios);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

class Terminal
{
public:
    Terminal() : m_fd(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC)) {}
    ~Terminal()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    bool ok() const { return m_fd >= 0; }

    // One line typed at the terminal; false at end of input.
    bool ask(const QString& prompt, bool echo, QString& answer)
    {
        struct termios saved;
        const bool quiet = !echo && tcgetattr(m_fd, &saved) == 0;
        using Handler = void (*)(int);
        Handler oldInt = SIG_DFL, oldTerm = SIG_DFL, oldHup = SIG_DFL;
        if (quiet) {
            g_savedTermios = saved;
            g_ttyFd = m_fd;
            oldInt = std::signal(SIGINT, RestoreTerminalAndDie);
            oldTerm = std::signal(SIGTERM, RestoreTerminalAndDie);
            oldHup = std::signal(SIGHUP, RestoreTerminalAndDie);
            struct termios silent = saved;
            silent.c_lflag &= ~tcflag_t(ECHO);
            silent.c_lflag |= ECHONL;
            tcsetattr(m_fd, TCSAFLUSH, &silent);
        }
        // Only now: whatever is typed after the prompt appears must already be unechoed.
        write(prompt.toUtf8());
        QByteArray line;
        bool gotLine = false;
        char c;
        for (;;) {
            const ssize_t n = ::read(m_fd, &c, 1);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            if (c == '\n') {
                gotLine = true;
                break;
            }
            line.append(c);
        }
        if (quiet) {
            tcsetattr(m_fd, TCSAFLUSH, &saved);
            g_ttyFd = -1;
            std::signal(SIGINT, oldInt);
            std::signal(SIGTERM, oldTerm);
            std::signal(SIGHUP, oldHup);
        }
        if (!gotLine && !line.isEmpty())
            gotLine = true; // input ended without a line end: the text typed still counts
        if (!gotLine)
            write("\n");
        answer = QString::fromUtf8(line);
        line.fill('\0');
        return gotLine;
    }

private:
    void write(const QByteArray& bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return;
            done += n;
        }
    }

    int m_fd;
};

// --- the system-table query ahead of time -----------------------------------------------------

// The system-table query reads the file on its own, so it can run while the catalogue is being
// read: started early, its result is used when the statement and the connection string it is
// finally asked for are the same; otherwise it runs again as usual. Only the calls of one thread
// reach it; the early run has its own.
class TEarlyQuery final : public TQueryObject
{
public:
    explicit TEarlyQuery(std::unique_ptr<TQueryObject> inner) : m_inner(std::move(inner)) {}
    ~TEarlyQuery() override
    {
        settle();
        Wipe(m_earlyConnectionString);
        Wipe(m_connectionString);
    }
    TEarlyQuery(const TEarlyQuery&) = delete;
    TEarlyQuery& operator=(const TEarlyQuery&) = delete;

    void start(const QString& connectionString, const QString& sql)
    {
        m_earlyConnectionString = connectionString;
        m_earlySql = sql;
        m_inner->setConnectionString(connectionString);
        m_inner->close();
        m_inner->setCommandText(sql);
        try {
            m_early = std::thread([this] {
                try {
                    m_inner->open();
                } catch (...) {
                    m_earlyError = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            // No thread to be had: the query simply runs when it is asked for.
            Wipe(m_earlyConnectionString);
        }
    }

    void setConnectionString(const QString& connectionString) override { m_connectionString = connectionString; }
    void close() override { m_open = false; }
    void setCommandText(const QString& sql) override { m_sql = sql; }
    void open() override
    {
        m_open = false;
        const bool started = m_early.joinable();
        settle();
        const bool same = started && m_connectionString == m_earlyConnectionString && m_sql == m_earlySql;
        Wipe(m_earlyConnectionString);
        if (same) {
            if (std::exception_ptr error = std::exchange(m_earlyError, nullptr))
                std::rethrow_exception(error);
        } else {
            m_earlyError = nullptr;
            m_inner->setConnectionString(m_connectionString);
            m_inner->close();
            m_inner->setCommandText(m_sql);
            m_inner->open();
        }
        m_open = true;
    }
    bool locate(const QString& field, const QString& value) const override
    {
        return m_open && m_inner->locate(field, value);
    }

private:
    void settle()
    {
        if (m_early.joinable())
            m_early.join();
    }

    std::unique_ptr<TQueryObject> m_inner;
    std::thread m_early;
    std::exception_ptr m_earlyError;
    QString m_earlyConnectionString;
    QString m_earlySql;
    QString m_connectionString;
    QString m_sql;
    bool m_open = false;
};

// --- the report -------------------------------------------------------------------------------

// The report header names the program's version, which is read from the executable file: read it
// while the database is being opened rather than when the report starts.
class TVersionReadAhead
{
public:
    TVersionReadAhead()
    {
        try {
            m_thread = std::thread([] { OwnVersionInfoString(kReportVersionKey); });
        } catch (const std::system_error&) {
            // Then the report reads it when it gets there.
        }
    }
    ~TVersionReadAhead()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    TVersionReadAhead(const TVersionReadAhead&) = delete;
    TVersionReadAhead& operator=(const TVersionReadAhead&) = delete;

private:
    std::thread m_thread;
};

QChar DelimiterFromSettings()
{
    const QString value = ReadSetting(QStringLiteral("Application"), QStringLiteral("Delimiter"));
    // A value that reads back empty (a blank was stored) has no first character; the default
    // frame character keeps the report readable.
    return value.isEmpty() ? QLatin1Char('*') : value.at(0);
}

struct OpenResult
{
    std::int32_t number = 0;
    QString text;
};

OpenResult OpenOnce(TKorvConnection& connection, const TConnectionProperties& props)
{
    connection.Open(BuildAccessConnectionString(props));
    OpenResult result;
    if (connection.ADOXConnection && connection.ADOXConnection->ErrorItem) {
        result.number = connection.ADOXConnection->ErrorItem->Number;
        result.text = connection.ADOXConnection->ErrorItem->Text;
    }
    return result;
}

// The window's opening flow: a refused account or database password is asked for and tried
// again. The password from standard input is final; the terminal is asked a few times.
QString OpenAccessFile(TKorvConnection& connection, TConnectionProperties& props, bool passwordFromStdin,
                       TCredentialPrompter& prompter)
{
    int accountAsks = 0;
    int passwordAsks = 0;
    for (;;) {
        OpenResult result = OpenOnce(connection, props);
        if (result.number == 0)
            return BuildAccessConnectionString(props);
        const QString failure = QString::number(result.number) + QStringLiteral(": ") + result.text;
        if (result.number == kErrorAccountRefused && accountAsks < kTerminalAttempts) {
            ++accountAsks;
            QString user = props.User;
            QString password;
            if (!prompter.AskUserLogin(user, password, props.User.isEmpty()))
                throw ReportCommandError(failure);
            props.User = user;
            Wipe(props.UserPassword);
            props.UserPassword = password;
            Wipe(password);
            continue;
        }
        if (result.number == kErrorPasswordRefused && !passwordFromStdin &&
            passwordAsks < kTerminalAttempts) {
            ++passwordAsks;
            QString password;
            if (!prompter.AskDatabasePassword(password))
                throw ReportCommandError(failure);
            Wipe(props.Password);
            props.Password = password;
            Wipe(password);
            continue;
        }
        throw ReportCommandError(failure);
    }
}

// Checks the entries the report is to contain: every enabled one, or the ones named.
void ChooseEntries(TTableList& entries, const QStringList& names, bool systemTables)
{
    if (names.isEmpty()) {
        SelectAll(entries);
        return;
    }
    for (const QString& name : names) {
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

QList<TReportEntry> ReportEntries(const TTableList& entries)
{
    QList<TReportEntry> out;
    out.reserve(entries.size());
    for (const TTableEntry& entry : entries)
        out.append(TReportEntry{entry.text, entry.checked});
    return out;
}

// The connection is opened with the catalogue streamed: the report is written while later tables'
// columns are still being read. So it is held back (in memory, or in the output file's temporary
// copy) until the catalogue is known to have arrived whole; a file that breaks off half-way gives
// the error alone, never a report with blocks that end early.
class TStreamedCatalogue
{
public:
    TStreamedCatalogue() : m_old(JetCatalogueStreaming()) { SetJetCatalogueStreaming(true); }
    ~TStreamedCatalogue() { SetJetCatalogueStreaming(m_old); }
    TStreamedCatalogue(const TStreamedCatalogue&) = delete;
    TStreamedCatalogue& operator=(const TStreamedCatalogue&) = delete;

private:
    bool m_old;
};

// Where the report waits for standard output: a memory file, whose pages the kernel fills as it
// copies, rather than the program's own memory, where every fresh page of a report of some
// megabytes costs a fault of its own. Without memory files it waits in a buffer after all.
class TReportHold
{
public:
    TReportHold()
    {
        const int fd = ::memfd_create("orvane-report", MFD_CLOEXEC);
        if (fd >= 0 && m_file.open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
            m_fd = fd;
        } else {
            if (fd >= 0)
                ::close(fd);
            m_buffer.setBuffer(&m_bytes);
            m_buffer.open(QIODevice::WriteOnly);
        }
    }
    TReportHold(const TReportHold&) = delete;
    TReportHold& operator=(const TReportHold&) = delete;

    QIODevice& device() { return m_fd >= 0 ? static_cast<QIODevice&>(m_file) : m_buffer; }

    // Copies everything held to out; false with the reason when that fails.
    bool copyTo(std::FILE* out, QString& reason)
    {
        if (m_fd < 0)
            return writeAll(out, m_bytes.constData(), m_bytes.size(), reason);
        const off_t size = ::lseek(m_fd, 0, SEEK_END);
        off_t offset = 0;
        // The kernel moves the pages over where the stream has a descriptor and the target takes
        // them (a file, a pipe); otherwise they are read back and written.
        const int to = ::fileno(out);
        if (to >= 0) {
            if (std::fflush(out) != 0)
                return failed(reason);
            while (offset < size) {
                const ssize_t n = ::sendfile(to, m_fd, &offset, static_cast<size_t>(size - offset));
                if (n > 0 || (n < 0 && errno == EINTR))
                    continue;
                if (n < 0 && (errno == EINVAL || errno == ENOSYS))
                    break;
                if (n < 0)
                    return failed(reason);
                reason = QStringLiteral("the report was cut short");
                return false;
            }
        }
        QByteArray piece(1 << 16, Qt::Uninitialized);
        while (offset < size) {
            const ssize_t n =
                ::pread(m_fd, piece.data(), static_cast<size_t>(qMin<off_t>(piece.size(), size - offset)), offset);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return failed(reason);
            if (n == 0) {
                reason = QStringLiteral("the report was cut short");
                return false;
            }
            if (!writeAll(out, piece.constData(), n, reason))
                return false;
            offset += n;
        }
        return true;
    }

private:
    static bool failed(QString& reason)
    {
        reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }

    static bool writeAll(std::FILE* out, const char* data, qint64 size, QString& reason)
    {
        if (std::fwrite(data, 1, static_cast<size_t>(size), out) != static_cast<size_t>(size) || std::fflush(out) != 0)
            return failed(reason);
        return true;
    }

    int m_fd = -1;
    QFile m_file;
    QByteArray m_bytes;
    QBuffer m_buffer;
};

void CheckCatalogueWhole(TKorvConnection& connection)
{
    if (connection.ADOXConnection)
        CheckJetCatalogueComplete(connection.ADOXConnection->Catalog);
}

void WriteReport(TKorvConnection& connection, const TReportSettings& settings,
                 const QList<TReportEntry>& entries, const QString& outputFile, std::FILE* out)
{
    TReportRunHooks hooks;
    if (outputFile.isEmpty()) {
        TReportHold hold;
        TDeviceLineSink sink(hold.device(), true);
        RunStructureReport(connection, settings, entries, sink, hooks);
        sink.WriteOut();
        if (!sink.ok())
            throw ReportCommandError(
                QStringLiteral("orvane-report: cannot hold the report: %1").arg(hold.device().errorString()));
        CheckCatalogueWhole(connection);
        QString reason;
        if (!hold.copyTo(out, reason))
            throw ReportCommandError(QStringLiteral("orvane-report: cannot write the report: %1").arg(reason));
        return;
    }
    // Written beside the target and renamed at the end, so a failure keeps the old file.
    QSaveFile file(outputFile);
    if (!file.open(QIODevice::WriteOnly))
        throw ReportCommandError(
            QStringLiteral("orvane-report: cannot write %1: %2").arg(outputFile, file.errorString()));
    TDeviceLineSink sink(file);
    RunStructureReport(connection, settings, entries, sink, hooks);
    sink.Flush();
    if (!sink.ok()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw ReportCommandError(
            QStringLiteral("orvane-report: cannot write %1: %2").arg(outputFile, reason));
    }
    CheckCatalogueWhole(connection);
    if (!file.commit())
        throw ReportCommandError(
            QStringLiteral("orvane-report: cannot write %1: %2").arg(outputFile, file.errorString()));
}

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

bool TTerminalPrompter::AskDatabasePassword(QString& password)
{
    Terminal terminal;
    return terminal.ok() && terminal.ask(QStringLiteral("Database password: "), false, password);
}

bool TTerminalPrompter::AskUserLogin(QString& user, QString& password, bool askUser)
{
    Terminal terminal;
    if (!terminal.ok())
        return false;
    if (askUser && !terminal.ask(QStringLiteral("User: "), true, user))
        return false;
    return terminal.ask(QStringLiteral("Password for %1: ").arg(user), false, password);
}

QString ReportCommandUsage()
{
    return QStringLiteral(
        "Usage: orvane-report [OPTION]... FILE.mdb\n"
        "Prints the structure report of the tables of an Access database file.\n"
        "\n"
        "  --system-tables      report the system tables too\n"
        "  --table NAME         report only this table (may be repeated)\n"
        "  --language de|en     language of the report header (default: the settings file's)\n"
        "  --delimiter C        frame character (default: the settings file's)\n"
        "  --output FILE        write the report to FILE instead of standard output\n"
        "  --user NAME          log in as this workgroup user\n"
        "  --password-stdin     read the database password from the first line of standard input\n"
        "  --help               show this text\n"
        "\n"
        "Passwords are never taken from the arguments: what the file still asks for is asked on\n"
        "the terminal. Exit status: 0 done, 1 error, 2 usage error.");
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
    if (!options.help && options.file.isEmpty()) {
        error = QStringLiteral("no database file given");
        return false;
    }
    return true;
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
        PrintLine(err, ReportCommandUsage());
        return 2;
    }
    if (options.help) {
        PrintLine(out, ReportCommandUsage());
        return 0;
    }

    try {
        // Without a settings file the window would start with its defaults; nothing is written here.
        const bool haveSettings = !SettingsFileName().isEmpty() && QFileInfo(SettingsFileName()).isFile();
        CurrentLanguage = options.language != 0 ? options.language : haveSettings ? DetermineLanguage() : 1;
        const QChar delimiter = !options.delimiter.isNull() ? options.delimiter
                                : haveSettings              ? DelimiterFromSettings()
                                                            : QLatin1Char('*');

        TConnectionProperties props;
        props.Database = QFileInfo(options.file).absoluteFilePath();
        // The report would be renamed over the database it describes.
        if (!options.output.isEmpty() && QFileInfo::exists(options.output) &&
            QFileInfo(options.output).canonicalFilePath() == QFileInfo(options.file).canonicalFilePath())
            throw ReportCommandError(QStringLiteral("orvane-report: the output file is the database file"));
        props.User = options.user;
        if (options.passwordStdin)
            props.Password = ReadFirstLine(in);

        const TStreamedCatalogue streamed;
        TKorvConnection connection;
        connection.SetConnectionType(ctADOX);
        const QString connectionString = OpenAccessFile(connection, props, options.passwordStdin, prompter);
        Wipe(props.Password);
        Wipe(props.UserPassword);

        // The catalogue's reader is on its way (it is the longer read): the system-table query
        // and the version for the header start next to it, and then the list is waited for.
        const TVersionReadAhead versionReadAhead;
        TEarlyQuery systemTables(CreateQueryObject(ptAccess));
        const QString systemTableQuery = SystemTableQuery(ptAccess);
        systemTables.start(connectionString, systemTableQuery);
        if (connection.ADOXConnection)
            WaitForJetCatalogueList(connection.ADOXConnection->Catalog);

        TTableList entries;
        ListCatalogueObjects(connection, ptAccess, props.Database, false, entries);
        ApplySystemTableRule(entries, options.systemTables, systemTables, connectionString, systemTableQuery);
        ChooseEntries(entries, options.tables, options.systemTables);

        TReportSettings settings;
        settings.provider = ptAccess;
        settings.database = props.Database;
        settings.delimiter = delimiter;
        settings.locale = QLocale::system();
        WriteReport(connection, settings, ReportEntries(entries), options.output, out);
        return 0;
    } catch (const AutomationError& e) {
        // A catalogue that broke off after the connection: reported as a refused connection is.
        PrintLine(err, QString::number(e.helpContext()) + QStringLiteral(": ") + e.description());
        return 1;
    } catch (const std::exception& e) {
        PrintLine(err, QString::fromUtf8(e.what()));
        return 1;
    }
}
