#include "DiagramJob.h"

#include <algorithm>

TDiagramLayoutJob::TDiagramLayoutJob(std::shared_ptr<const TCatalogue> model,
                                     QList<const TCatalogueObject*> objects, TDiagramOptions options,
                                     QObject* parent)
    : QThread(parent), m_model(std::move(model)), m_objects(std::move(objects)), m_options(options)
{
}

TDiagramLayoutJob::~TDiagramLayoutJob()
{
    cancel();
    wait();
}

void TDiagramLayoutJob::run()
{
    try {
        m_graph = BuildDiagramGraph(m_objects, m_options);
        m_panels = PlanDiagrams(m_graph, m_options.limit);
        emit planned();
        for (qsizetype i = 0; i < m_panels.size() && !m_cancelled; ++i)
            emit pictureReady(int(i), LayOutDiagram(m_graph, m_panels.at(i)));
    } catch (const std::exception& e) {
        emit failed(QString::fromUtf8(e.what()));
    }
}

QList<const TCatalogueObject*> DiagramObjects(const TCatalogue& catalogue, const TTableList& entries,
                                              bool views)
{
    const bool anyChecked =
        std::any_of(entries.begin(), entries.end(), [](const TTableEntry& e) { return e.checked; });
    const TCatalogueLookup lookup(catalogue);
    QList<const TCatalogueObject*> objects;
    for (const TTableEntry& entry : entries) {
        if (anyChecked ? !entry.checked : !entry.enabled)
            continue;
        if (const TCatalogueObject* object = lookup.find(entry.text, views))
            objects.append(object);
    }
    return objects;
}
