// The sides of a structure comparison as the command line and the window find them (a structure
// document read back, or an opened database's model with its table list), the objects of each
// side that take part, and the structure document of an opened database's table list.
#pragma once

#include "Catalogue.h"
#include "ComparisonReport.h"
#include "ProviderType.h"
#include "TableList.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class QTemporaryFile;
class TKorvConnection;

struct TComparedSide
{
    std::shared_ptr<const TCatalogue> catalogue;
    QString snapshot;        // the structure document's file; empty for an opened database
    TTableList entries;      // an opened database's table list, its system tables greyed out
    int documentVersion = 0; // the structure document's version; 0 for an opened database
};

// Which objects of a side are compared: the views (or queries) alone, or the tables with every
// other kind of object; the system tables (and the engine's other own objects) only when asked
// for, and when tables names any, only those (by list name or name, any case, of any kind).
struct TComparedSelection
{
    bool views = false;
    bool systemTables = false;
    QStringList tables;
    // A side is a version 1 structure document: the tables (or views) alone, as it holds them.
    bool versionOne = false;
};

// The selection as both sides can be compared on it: what a version 1 document holds when
// either side is one.
TComparedSelection ComparedScope(const TComparedSelection& selection, const TComparedSide& baseline,
                                 const TComparedSide& current);

// Compares both sides' chosen objects (on their ComparedScope).
TStructureComparison CompareSides(const TComparedSide& baseline, const TComparedSide& current,
                                  const TComparedSelection& selection);

// A structure document is told from a database file by its content, not by its name.
bool IsStructureDocumentFile(const QString& file);

// What a side's file turned out to be, read once (a pipe or standard input has no second reading):
// a structure document, read into side, or a database to open at databaseFile. A database that
// came through a stream is first copied whole into a temporary file, kept while this lives.
struct TSideFile
{
    bool document = false;
    TComparedSide side;   // document
    QString databaseFile; // otherwise
    std::shared_ptr<QTemporaryFile> copy;
};

// Reads device (opened for reading) as the side named name ("-" for standard input); false with
// the reason ("<name>: ...").
bool ReadSideFile(QIODevice& device, const QString& name, TSideFile& file, QString& error);

// The catalogue under another database name: a document names the database as its user gave it
// ("back.mdb" rather than the path it was opened at). The objects are shared, not copied, so the
// objects of the one are the objects of the other.
std::shared_ptr<const TCatalogue> CatalogueNamed(const std::shared_ptr<const TCatalogue>& catalogue,
                                                 const QString& database);

// Reads a structure document as a side; false with the reason ("<file>: ...").
bool ReadStructureSnapshot(const QString& file, TComparedSide& side, QString& error);

// The opened database's side: its table list as the report lists it and its model. A failing
// catalogue throws; a model that cannot be had leaves the side's catalogue empty.
TComparedSide OpenedComparedSide(TKorvConnection& connection, TProviderType provider, const QString& database,
                                 const QString& connectionString, const TComparedSelection& selection);

// The side's objects that take part, in catalogue order. An opened database's are those of its
// table list that are not greyed out (or, with system tables, all listed ones).
QList<const TCatalogueObject*> ComparedObjects(const TComparedSide& side,
                                               const TComparedSelection& selection);

// Compares both sides' chosen objects and writes the difference report; the number of differences.
qsizetype WriteSidesComparison(TReportLineSink& sink, const TComparedSide& baseline,
                               const TComparedSide& current, const TComparedSelection& selection,
                               const TComparisonSettings& layout);

// The model of what connection has open. Nothing open throws UI text 570 ("No database is open.").
std::shared_ptr<const TCatalogue> OpenStructureModel(TKorvConnection& connection);

// The structure document (as orvane-report --format json writes it) of the table list's entries
// that are not greyed out, in list order, and, when the list shows tables, every other object
// after them (ObjectsBesideTables; the engine's own with systemObjects), naming an Access database
// by its file's name (the folder it lies in here is nobody else's). An entry the model lacks
// throws: the document would otherwise miss it without a word.
QByteArray TableListStructureJson(const TCatalogue& catalogue, const TTableList& entries, bool views,
                                  bool systemObjects = false);

// Writes bytes to file beside its place and renames it over it at the end; false with the reason,
// and what was there keeps its bytes.
bool SaveDocumentFile(const QString& file, const QByteArray& bytes, QString& error);
