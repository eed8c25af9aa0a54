#include "DiagramJob.h"

#include <algorithm>

TDiagramLayoutJob::TDiagramLayoutJob(std::shared_ptr<const TCatalogue> model, TDiagramGraph graph,
                                     QList<TDiagramPanel> panels, QObject* parent)
    : QThread(parent), m_model(std::move(model)), m_graph(std::move(graph)), m_panels(std::move(panels))
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
