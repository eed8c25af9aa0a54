// Reads what the Jet catalogue objects need from an Access file in one go: every local table (raw
// MSysObjects type 1, system tables included) with its flags and its columns in stored order; and
// runs a single SELECT through libmdb's SQL reader. Both happen in a child process (libmdb is not
// safe on damaged input), under a time limit; callers have checked the header before.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <memory>

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
    // Appends a column name given as UTF-8.
    void addColumnName(JetColumnInfo& column, const char* utf8, qsizetype size);
};

struct JetCatalogue
{
    QList<JetTableInfo> tables; // in the file's catalogue order
};

struct JetQueryResult
{
    QStringList columns;
    QList<QStringList> rows;
};

// Time limit for one child reader, in milliseconds (default 20 s). Tests shorten it.
void SetJetReaderTimeout(int milliseconds);
int JetReaderTimeout();

// Throws AutomationError (3049, naming path) when libmdb cannot read the catalogue, crashes or runs
// out of time.
JetCatalogue ReadJetCatalogue(const QString& path);

// Runs sql (one SELECT) on path. Throws AutomationError with the reader's complaint for a statement
// it cannot run (also for a WHERE condition that names no column of the table) and 3049 as above.
JetQueryResult RunJetQuery(const QString& path, const QString& sql);
