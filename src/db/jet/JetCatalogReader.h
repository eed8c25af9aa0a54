// Reads what the Jet catalogue objects need from an Access file: every local table (raw
// MSysObjects type 1, system tables included) with its flags and its columns in stored order, and
// every linked table (types 6 and 4) with where it points; and runs a single SELECT through
// libmdb's SQL reader. Both happen in orvane-jet-reader, a program of its own (libmdb is not safe
// on damaged input), under a time and memory limit; callers have checked the header before.
#pragma once

#include "Automation.h"
#include "JetQueryDefinition.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>

struct JetColumnInfo
{
    QString name;
    std::int32_t size = 0;    // stored length in bytes
    std::uint8_t jetType = 0; // type code as stored in the table definition
    bool fixed = false;
    bool autoLong = false;
    bool autoGuid = false;
    bool hyperlink = false;     // a Memo shown as a Hyperlink
    std::uint8_t precision = 0; // Decimal only
    std::uint8_t scale = 0;     // Decimal only
    // Properties as the file stores them; empty when absent.
    bool required = false;
    QString defaultValue;
    QString expression; // a calculated column's
    QString description;
    // The further properties of jetreader::kColumnProperties the file holds: name and value as
    // the reader sends them.
    QList<std::pair<QString, QString>> properties;
};

struct JetIndexColumn
{
    QString name;
    bool descending = false;
};

// An index a user made (or the primary key); Jet's hidden relationship indexes are not among them.
struct JetIndexInfo
{
    QString name;
    bool primary = false;
    bool unique = false;
    QList<JetIndexColumn> columns; // in key order
};

// One row of MSysRelationships: one column pair of a relationship.
struct JetRelationRow
{
    QString name;
    QString table; // the referencing ("many") side
    QString column;
    QString referencedTable;
    QString referencedColumn;
    std::int32_t position = 0; // icolumn: the pair's place in the key
    std::int32_t flags = 0;    // grbit
};

// Where a linked table points, as MSysObjects stores it, and what came of following it.
struct JetLinkInfo
{
    std::int32_t type = 0; // MSysObjects.Type: jetreader::kLinkJet or jetreader::kLinkOdbc
    QString foreignName;   // the table's name in its source
    QString database;      // Jet links: the back-end file, as stored (usually a Windows path)
    QString connect;       // may hold the back-end's password (";PWD=..."); wiped once followed
    QString connectShown;  // Connect without its password, kept when Connect is wiped

    // Filled by ResolveJetLinks. A resolved Jet link holds its back-end table's columns, which
    // are sized by the back-end's format (JetFileHeader::version); an unresolved link or an ODBC
    // link has none and keeps the message that says why.
    bool resolved = false;
    int backEndVersion = 0;
    QString problem;
};

struct JetTableInfo
{
    QString name;
    std::int32_t id = 0;    // MSysObjects.Id
    std::int32_t flags = 0; // MSysObjects.Flags
    QString description;
    QList<std::pair<QString, QString>> properties; // of jetreader::kTableProperties
    QList<JetColumnInfo> columns;
    QList<JetIndexInfo> indexes;     // in the definition's order
    std::optional<JetLinkInfo> link; // linked tables only

    bool isLocal() const { return !link.has_value(); }
};

// A saved query: its catalogue row and its rows of MSysQueries, in that table's key order.
struct JetQueryInfo
{
    QString name;
    std::int32_t id = 0;    // MSysObjects.Id
    std::int32_t flags = 0; // MSysObjects.Flags: the type in 0xF0, hidden 0x8, Access's own 0x2
    QString description;
    QList<JetQueryRow> rows;
};

// One row of MSysComplexColumns: where an attachment or multi-value field keeps its values.
struct JetComplexColumn
{
    QString column;
    std::int32_t tableId = 0;     // the field's table (MSysObjects.Id)
    std::int32_t flatTableId = 0; // the hidden table of its values
};

struct JetQueryResult
{
    QStringList columns;
    QList<QStringList> rows;
};

// A file's tables, local and linked, ordered by JetNameLess.
struct JetCatalogue
{
    QList<JetTableInfo> tables;
    QList<JetRelationRow> relations; // as stored
    QList<JetComplexColumn> complexColumns;
    QList<JetQueryInfo> queries; // ordered by JetNameLess
    // The answer to JetSystemTableStatement(), read in the same run; none when the reader left the
    // statement to a query of its own.
    std::optional<JetQueryResult> systemTables;
};

// The order of the catalogue's tables: by name as Qt compares without regard to case; names equal
// that way keep the file's order.
bool JetNameLess(const QString& a, const QString& b);

// The statement that finds the system tables: answered by the catalogue's own run.
QString JetSystemTableStatement();

// Whether MSysObjects.Flags make a local table a system table: 0x80000000 (the engine's) or 0x2
// (Access's own). Access 2007 and later also set 0x40000 on a table with attachment or
// multi-value fields and 0x8 on a table the user hid; those stay user tables.
bool JetIsSystemFlags(std::int32_t flags);

// The answer to JetSystemTableStatement() as the program means it: the rows of answer whose
// Flags make a system table (libmdb's SQL answers "flags <> 0" to the letter).
JetQueryResult JetSystemTablesOnly(JetQueryResult answer);

// Reads the whole catalogue; links come unresolved (ResolveJetLinks follows them). Throws
// AutomationError 3049 ("may be corrupt", naming path) when the reader fails on any table, crashes,
// runs out of time or memory, or cannot be started. The database password goes to the reader
// through its input, for files whose pages it must decrypt.
//
// With takeLocal given, each local table goes to it as soon as it has been read instead of into
// the catalogue's tables, which then hold the links alone. Without withQueries the saved queries
// are left unread: the catalogue has none.
using JetLocalTableTaker = std::function<void(const JetTableInfo& table)>;
JetCatalogue ReadJetCatalogue(const QString& path, const QString& password = QString(),
                              const JetLocalTableTaker& takeLocal = {}, bool withQueries = true);

// sql as the reader gets it: without blanks around it or a closing ";", on one line.
QString JetNormalizedStatement(const QString& sql);

// Runs sql (one SELECT) on path. Throws AutomationError with the reader's complaint for a statement
// it cannot run (also for a WHERE condition that names no column of the table) and 3049 as above.
// The password goes to the reader as with ReadJetCatalogue.
JetQueryResult RunJetQuery(const QString& path, const QString& sql, const QString& password = QString());

// The error of a file the reader could not read: 3049 "may be corrupt", naming path.
AutomationError JetDamagedError(const QString& path);

// What the two above make of a reader's message (the program's standard output); path names the
// file in errors. Throw as the two above do for a reported error or a torn or forged message.
JetCatalogue ParseJetCatalogueMessage(const QByteArray& message, const QString& path);

// A catalogue message read as it arrives, so that the reading overlaps the reader's run.
class JetCatalogueStream
{
public:
    explicit JetCatalogueStream(QString path, JetLocalTableTaker takeLocal = {});
    // Reads the whole records at the front of data and returns how many bytes they took; a
    // record still arriving is left for the next call. With last, data is all that is left of
    // the message, which must end exactly there. Throws as ParseJetCatalogueMessage.
    qsizetype feed(const QByteArray& data, bool last);
    // The catalogue in JetNameLess order, once the end record has come; throws before that.
    JetCatalogue take();

private:
    QString m_path;
    JetLocalTableTaker m_takeLocal;
    JetCatalogue m_catalogue;
    std::uint32_t m_records = 0;
    bool m_opened = false;
    bool m_ended = false;
};
JetQueryResult ParseJetQueryMessage(const QByteArray& message, const QString& path);

// Whether an opened file's saved queries are read (the default). A run that shows tables alone
// (the command line's plain report) spares itself their reading, which on a file with hundreds of
// queries is a sixth of the run; what it opens then lists no queries.
void SetJetSavedQueriesRead(bool read);
bool JetSavedQueriesRead();

// Time limit for one reader run, in milliseconds (default 20 s). Tests shorten it.
void SetJetReaderTimeout(int milliseconds);
int JetReaderTimeout();

// The reader program: set explicitly (tests, the benchmark), else orvane-jet-reader beside the
// running program, else in the installed helper folder (../libexec/orvane).
void SetJetReaderProgram(const QString& path);
QString JetReaderProgram();
