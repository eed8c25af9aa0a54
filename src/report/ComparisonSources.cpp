#include "ComparisonSources.h"

#include "Automation.h"
#include "KorvConnection.h"
#include "StructureJson.h"
#include "StructureJsonReader.h"
#include "StructureReport.h"
#include "UIText.h"
#include "VersionInfo.h"

#include <QFile>
#include <QSaveFile>

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

bool ReadStructureSnapshot(const QString& file, TComparedSide& side, QString& error)
{
    QFile device(file);
    if (!device.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(file, device.errorString());
        return false;
    }
    TStructureDocument document;
    QString reason;
    if (!ReadStructureJson(device, document, reason)) {
        error = QStringLiteral("%1: %2").arg(file, reason);
        return false;
    }
    side = TComparedSide();
    side.catalogue = std::make_shared<const TCatalogue>(std::move(document.catalogue));
    side.snapshot = file;
    side.documentVersion = document.version;
    return true;
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
    return StructureJson(catalogue, objects, ProgramText());
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
