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
    std::int32_t nameStart = 0;
    std::int32_t size = 0;         // stored length in bytes
    std::uint16_t nameLength = 0;
    std::uint8_t jetType = 0;      // type code as stored in the table definition
    bool fixed = false;
    bool autoLong = false;
    bool autoGuid = false;
    std::uint8_t precision = 0;    // Decimal only
    std::uint8_t scale = 0;        // Decimal only
};

// A table's columns, in stored order. The records live in the memory of the catalogue read that
// produced them (see JetCatalogueStream), as do the names.
class JetColumnList
{
public:
    JetColumnList() = default;
    JetColumnList(const JetColumnInfo* data, qsizetype size) : m_data(data), m_size(size) {}

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    const JetColumnInfo& operator[](qsizetype i) const
    {
        Q_ASSERT(i >= 0 && i < m_size);
        return m_data[i];
    }
    const JetColumnInfo& at(qsizetype i) const { return (*this)[i]; }
    const JetColumnInfo* begin() const { return m_data; }
    const JetColumnInfo* end() const { return m_data + m_size; }

private:
    const JetColumnInfo* m_data = nullptr;
    qsizetype m_size = 0;
};

struct JetTableInfo
{
    QString name;
    std::int32_t flags = 0; // MSysObjects.Flags
    JetColumnList columns;
    // Every column name one after the other, as UTF-16.
    const char16_t* columnNames = nullptr;

    QStringView columnName(const JetColumnInfo& column) const
    {
        return QStringView(columnNames + column.nameStart, column.nameLength);
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
// first ones while later ones are still being read. The tables' columns and names stay valid as
// long as the stream.
class JetCatalogueStream
{
public:
    // Starts the reader; with waitForList, returns once the table list is there. Throws
    // AutomationError (3049, naming path) when libmdb cannot read the list, crashes or runs out
    // of time: here with waitForList, else from the first call that needs the list.
    explicit JetCatalogueStream(const QString& path, bool waitForList = true);
    // Ends a child still reading.
    ~JetCatalogueStream();
    JetCatalogueStream(const JetCatalogueStream&) = delete;
    JetCatalogueStream& operator=(const JetCatalogueStream&) = delete;

    // Waits for the table list; throws as the constructor does.
    void waitForList() const;
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
