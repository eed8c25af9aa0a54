// Reads what the Jet catalogue objects need from an Access file: every local table (raw
// MSysObjects type 1, system tables included) with its flags and its columns in stored order; and
// runs a single SELECT through libmdb's SQL reader. Both happen in orvane-jet-reader, a program of
// its own (libmdb is not safe on damaged input), under a time and memory limit; callers have
// checked the header before.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

struct JetColumnInfo
{
    QString name;
    std::int32_t size = 0;      // stored length in bytes
    std::uint8_t jetType = 0;   // type code as stored in the table definition
    bool fixed = false;
    bool autoLong = false;
    bool autoGuid = false;
    std::uint8_t precision = 0; // Decimal only
    std::uint8_t scale = 0;     // Decimal only
};

struct JetTableInfo
{
    QString name;
    std::int32_t flags = 0; // MSysObjects.Flags
    QList<JetColumnInfo> columns;
};

// A file's tables, ordered by JetNameLess.
struct JetCatalogue
{
    QList<JetTableInfo> tables;
};

struct JetQueryResult
{
    QStringList columns;
    QList<QStringList> rows;
};

// The order of the catalogue's tables: by name as Qt compares without regard to case; names equal
// that way keep the file's order.
bool JetNameLess(const QString& a, const QString& b);

// Reads the whole catalogue. Throws AutomationError 3049 ("may be corrupt", naming path) when the
// reader fails on any table, crashes, runs out of time or memory, or cannot be started. The
// database password goes to the reader through its input, for files whose pages it must decrypt.
JetCatalogue ReadJetCatalogue(const QString& path, const QString& password = QString());

// Runs sql (one SELECT) on path. Throws AutomationError with the reader's complaint for a statement
// it cannot run (also for a WHERE condition that names no column of the table) and 3049 as above.
JetQueryResult RunJetQuery(const QString& path, const QString& sql);

// Time limit for one reader run, in milliseconds (default 20 s). Tests shorten it.
void SetJetReaderTimeout(int milliseconds);
int JetReaderTimeout();

// The reader program: set explicitly (tests, the benchmark), else orvane-jet-reader beside the
// running program, else in the installed helper folder (../libexec/orvane).
void SetJetReaderProgram(const QString& path);
QString JetReaderProgram();
