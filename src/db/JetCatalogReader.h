// Reads what the Jet catalogue objects need from an Access file: every local table (raw MSysObjects
// type 1, system tables included) with its flags and its columns in stored order; and runs a single
// SELECT through libmdb's SQL reader. Both happen in a child process (libmdb is not safe on
// damaged input), under a time limit; callers have checked the header before.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <vector>

struct JetColumnInfo
{
    // The name lives in its table's columnNames, from nameStart on.
    qsizetype nameStart = 0;
    qsizetype nameLength = 0;
    int jetType = 0;     // type code as stored in the table definition
    int size = 0;        // stored length in bytes
    bool fixed = false;
    bool autoLong = false;
    bool autoGuid = false;
    int precision = 0;   // Decimal only
    int scale = 0;       // Decimal only
};

struct JetTableInfo
{
    QString name;
    std::int32_t flags = 0; // MSysObjects.Flags
    QList<JetColumnInfo> columns;
    // Every column name one after the other: one allocation per table rather than one per column,
    // which a catalogue of tens of thousands of columns notices when it is built and torn down.
    QString columnNames;

    QStringView columnName(const JetColumnInfo& column) const
    {
        return QStringView(columnNames).mid(column.nameStart, column.nameLength);
    }
};

struct JetQueryResult
{
    QStringList columns;
    QList<QStringList> rows;
};

// The order of the catalogue's tables: by name as Qt compares without regard to case, names equal
// that way in the file's order.
bool JetNameLess(const QString& a, const QString& b);

// One read of a file's catalogue, handed over while it arrives. The child first sends every
// table's name and flags, already in JetNameLess order, then each table's columns in that same
// order; a thread of this process takes them in. So a caller can list the tables and work on the
// first ones while later ones are still being read.
class JetCatalogueStream
{
public:
    // Starts the reader and returns once the table list is there. Throws AutomationError (3049,
    // naming path) when libmdb cannot read the catalogue, crashes or runs out of time.
    explicit JetCatalogueStream(const QString& path);
    // Ends a child still reading.
    ~JetCatalogueStream();
    JetCatalogueStream(const JetCatalogueStream&) = delete;
    JetCatalogueStream& operator=(const JetCatalogueStream&) = delete;

    int tableCount() const;
    // Name and flags of a table (index < tableCount()); its columns only once waitForColumns has
    // returned it.
    const JetTableInfo& table(int index) const;
    // Waits until the table's columns are there. Throws 3049 when the read broke off before them.
    const JetTableInfo& waitForColumns(int index);
    // Waits for the end of the read; throws 3049 unless every table arrived whole and the reader
    // ended cleanly.
    void waitComplete();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Time limit for one child reader, in milliseconds (default 20 s). Tests shorten it.
void SetJetReaderTimeout(int milliseconds);
int JetReaderTimeout();

// Runs sql (one SELECT) on path. Throws AutomationError with the reader's complaint for a statement
// it cannot run (also for a WHERE condition that names no column of the table) and 3049 as above.
JetQueryResult RunJetQuery(const QString& path, const QString& sql);
