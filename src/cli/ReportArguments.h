// The arguments of orvane-report and its usage text.
#pragma once

#include "Diagram.h"
#include "ReportFormats.h"

#include <QChar>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>

struct TReportCommandOptions
{
    bool systemTables = false;
    QStringList tables;
    int language = 0; // 0: from the settings file; 1 German, 2 English
    QChar delimiter;  // null: from the settings file
    QString output;   // empty (or "-" as given): standard output
    TReportFormat format = TReportFormat::Text;
    bool detail = false; // the extended report (JSON and Markdown always carry the detail)
    TDiagramOptions diagram;
    bool diagramOptionGiven = false; // --diagram-columns or --diagram-limit
    QString versionText; // the header's version line, as the window's Version field; none if empty
    QString user;
    bool passwordStdin = false;
    bool help = false;
    bool version = false;
    bool bashCompletion = false;
    QString file;         // an Access file; or:
    QString server;       // a SQL Server ("host", "host,port", "host\\instance") with
    QString database;     // this database
    bool views = false;   // SQL Server: report the views instead of the tables
    int loginTimeout = 0; // SQL Server, seconds; 0: the program's default
    QString profile;      // or a saved connection profile of the settings file
    bool listProfiles = false;
    // Compare the source with this baseline (a structure document or an Access file; "-": read
    // from standard input) instead of reporting it.
    QString compare;
    // SQL Server: require encryption, or not (unset: the profile's choice, else encrypt when the
    // server offers it); accept any certificate, or require a trusted one naming the host (unset:
    // checked exactly when encryption is required); the CAs trusted (empty: the system store).
    std::optional<bool> encrypt;
    std::optional<bool> trustServerCertificate;
    QString caFile;
    // SQL Server: seconds a statement waits for the server's answer (0: the profile's, else 60);
    // declare the log-in read-only (ApplicationIntent), or not (unset: the profile's choice).
    int queryTimeout = 0;
    std::optional<bool> readOnlyIntent;
};

// The exit status of a comparison that found differences (0: none, 1: a side failed, 2: usage).
constexpr int kCompareDifferencesStatus = 3;

// One option of orvane-report: how it is spelled, what --help says of it and what it sets. The
// parser, the usage text and the man page's test all read the one table of these.
struct TReportOption
{
    const char* name;     // "--table"
    const char* alias;    // another spelling ("-h"), or nullptr
    const char* argument; // the value's name in the usage text ("NAME"); nullptr: a switch
    const char* help;     // the usage text; each '\n' starts a line indented under the first
    // Takes the option into the options; a switch gets an empty value. A bad value gives false
    // and its text.
    bool (*apply)(TReportCommandOptions& options, const QString& value, QString& error);
};

// Every option, in the order the usage text lists them.
std::span<const TReportOption> ReportOptions();

// Parses the arguments (without the program name). A usage error gives false and its text.
bool ParseReportCommandLine(const QStringList& arguments, TReportCommandOptions& options, QString& error);

QString ReportCommandUsage();

// What a usage error prints after its own line.
QString ReportCommandUsageHint();

// A bash completion script for orvane-report, made from the options table: each option, the
// values of those that take a word from a list, file names for the others.
QString ReportCommandBashCompletion();
