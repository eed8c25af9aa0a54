#include "ComparisonSources.h"

#include "Automation.h"
#include "EngineTraits.h"
#include "KorvConnection.h"
#include "StructureJson.h"
#include "StructureJsonReader.h"
#include "StructureReport.h"
#include "UIText.h"
#include "VersionInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <algorithm>
#include <stdexcept>

namespace {

QString ProgramText()
{
    return QStringLiteral("Orvane ") + OwnVersionInfoString(kReportVersionKey);
}

} // namespace

bool IsStructureDocumentFile(const QString& file)
{
    QFile device(file);
    if (!device.open(QIODevice::ReadOnly))
        return false;
    return LooksLikeJsonDocument(device.read(4096));
}

namespace {

bool ReadSnapshotFrom(QIODevice& device, const QString& name, TComparedSide& side, QString& error)
{
    TStructureDocument document;
    QString reason;
    if (!ReadStructureJson(device, document, reason)) {
        error = QStringLiteral("%1: %2").arg(name, reason);
        return false;
    }
    side = TComparedSide();
    side.catalogue = std::make_shared<const TCatalogue>(std::move(document.catalogue));
    side.snapshot = name;
    side.documentVersion = document.version;
    return true;
}

} // namespace

bool ReadStructureSnapshot(const QString& file, TComparedSide& side, QString& error)
{
    QFile device(file);
    if (!device.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(file, device.errorString());
        return false;
    }
    return ReadSnapshotFrom(device, file, side, error);
}

bool ReadSideFile(QIODevice& device, const QString& name, TSideFile& file, QString& error)
{
    file = TSideFile();
    // Looking ahead keeps the bytes for the reading that follows, in a stream too.
    if (LooksLikeJsonDocument(device.peek(4096))) {
        file.document = true;
        return ReadSnapshotFrom(device, name, file.side, error);
    }
    // A name such as /dev/stdin would mean another file in the reader's own process: the file it
    // stands for here is opened instead.
    const bool processOwn =
        name.startsWith(QLatin1String("/dev/")) || name.startsWith(QLatin1String("/proc/"));
    const QString real = processOwn ? QFileInfo(name).canonicalFilePath() : name;
    if (!device.isSequential() && name != QLatin1String("-") && QFileInfo(real).isFile()) {
        file.databaseFile = real;
        return true;
    }
    // The Access reader opens a file by its name, and a stream cannot be opened twice.
    auto copy = std::make_shared<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/orvane-side-XXXXXX"));
    if (!copy->open()) {
        error = QStringLiteral("%1: cannot keep a copy: %2").arg(name, copy->errorString());
        return false;
    }
    char piece[65536];
    for (;;) {
        const qint64 got = device.read(piece, sizeof piece);
        if (got < 0) {
            error = QStringLiteral("cannot read %1: %2").arg(name, device.errorString());
            return false;
        }
        if (got == 0)
            break;
        if (copy->write(piece, got) != got) {
            error = QStringLiteral("%1: cannot keep a copy: %2").arg(name, copy->errorString());
            return false;
        }
    }
    if (!copy->flush()) {
        error = QStringLiteral("%1: cannot keep a copy: %2").arg(name, copy->errorString());
        return false;
    }
    file.databaseFile = copy->fileName();
    file.copy = std::move(copy);
    return true;
}

std::shared_ptr<const TCatalogue> CatalogueNamed(const std::shared_ptr<const TCatalogue>& catalogue,
                                                 const QString& database)
{
    if (!catalogue || catalogue->database == database)
        return catalogue;
    // Copying shares the object list (Qt's implicit sharing); nothing writes to either after.
    auto named = std::make_shared<TCatalogue>(*catalogue);
    named->database = database;
    return named;
}

TComparedSide OpenedComparedSide(TKorvConnection& connection, TProviderType provider, const QString& database,
                                 const QString& connectionString, const TComparedSelection& selection)
{
    TComparedSide side;
    ListCatalogueObjects(connection, provider, database, selection.views, side.entries);
    ApplySystemTableRule(side.entries, selection.systemTables, provider, connectionString);
    side.catalogue = connection.StructureModel();
    return side;
}

QList<const TCatalogueObject*> ComparedObjects(const TComparedSide& side, const TComparedSelection& selection)
{
    QList<const TCatalogueObject*> objects;
    for (const TCatalogueObject& object : side.catalogue->objects) {
        const bool inList = selection.views ? IsViewKind(object.kind) : IsTableKind(object.kind);
        // Beside the tables, the rest of the database; a version 1 document holds none of it.
        if (!inList && (selection.views || selection.versionOne))
            continue;
        if ((object.kind == TObjectKind::SystemTable || object.systemObject) && !selection.systemTables)
            continue;
        if (inList && side.snapshot.isEmpty()) {
            const auto listed =
                std::find_if(side.entries.begin(), side.entries.end(), [&](const TTableEntry& e) {
                    return e.text == object.listName() && (e.enabled || selection.systemTables);
                });
            if (listed == side.entries.end())
                continue;
        }
        if (!selection.tables.isEmpty() &&
            !selection.tables.contains(object.listName(), Qt::CaseInsensitive) &&
            !selection.tables.contains(object.name, Qt::CaseInsensitive))
            continue;
        objects.append(&object);
    }
    return objects;
}

TComparedSelection ComparedScope(const TComparedSelection& selection, const TComparedSide& baseline,
                                 const TComparedSide& current)
{
    TComparedSelection scope = selection;
    scope.versionOne = selection.versionOne || baseline.documentVersion == 1 || current.documentVersion == 1;
    return scope;
}

TStructureComparison CompareSides(const TComparedSide& baseline, const TComparedSide& current,
                                  const TComparedSelection& selection)
{
    const TComparedSelection scope = ComparedScope(selection, baseline, current);
    TCompareOptions options;
    options.versionOne = scope.versionOne;
    return CompareStructures(*baseline.catalogue, ComparedObjects(baseline, scope), *current.catalogue,
                             ComparedObjects(current, scope), options);
}

qsizetype WriteSidesComparison(TReportLineSink& sink, const TComparedSide& baseline,
                               const TComparedSide& current, const TComparedSelection& selection,
                               const TComparisonSettings& layout)
{
    const TStructureComparison comparison = CompareSides(baseline, current, selection);
    TComparisonSettings settings = layout;
    settings.baseline = TComparisonSide{baseline.catalogue.get(), baseline.snapshot};
    settings.current = TComparisonSide{current.catalogue.get(), current.snapshot};
    WriteComparisonReport(sink, settings, comparison);
    return comparison.differences.size();
}

std::shared_ptr<const TCatalogue> OpenStructureModel(TKorvConnection& connection)
{
    std::shared_ptr<const TCatalogue> model = connection.StructureModel();
    if (!model)
        throw AutomationError(0, LoadUIText(570));
    return model;
}

QByteArray TableListStructureJson(const TCatalogue& catalogue, const TTableList& entries, bool views,
                                  bool systemObjects)
{
    QStringList names;
    for (const TTableEntry& entry : entries) {
        if (entry.enabled)
            names.append(entry.text);
    }
    QString missing;
    QList<const TCatalogueObject*> objects = TCatalogueLookup(catalogue).findAll(names, views, missing);
    if (objects.size() != names.size())
        throw std::runtime_error(
            QStringLiteral("The structure of '%1' could not be read.").arg(missing).toStdString());
    if (!views)
        objects += ObjectsBesideTables(catalogue, systemObjects);
    if (EngineTraitsOfWord(catalogue.provider).choosesDatabase)
        return StructureJson(catalogue, objects, ProgramText());
    TCatalogue named = catalogue;
    named.database = QFileInfo(catalogue.database).fileName();
    return StructureJson(named, objects, ProgramText());
}

bool SaveDocumentFile(const QString& file, const QByteArray& bytes, QString& error)
{
    QSaveFile device(file);
    if (!device.open(QIODevice::WriteOnly) || device.write(bytes) != bytes.size() || !device.commit()) {
        error = QStringLiteral("cannot write %1: %2").arg(file, device.errorString());
        return false;
    }
    return true;
}
