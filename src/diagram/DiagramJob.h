// Laying a diagram out away from the window's thread: the pictures of a plan one after another on
// a thread of its own, each handed over as soon as it is ready, so the window stays responsive
// and shows the first while the rest are laid out. Cancelling stops it before the next picture;
// each is bounded by the diagram limit.
#pragma once

#include "Catalogue.h"
#include "DiagramLayout.h"
#include "TableList.h"

#include <QList>
#include <QMetaType>
#include <QThread>

#include <atomic>
#include <memory>

class TDiagramLayoutJob : public QThread
{
    Q_OBJECT

public:
    // objects belong to model, which the job keeps while it runs. It builds their graph and plan
    // itself, as a database of thousands of tables takes a noticeable time for that too.
    TDiagramLayoutJob(std::shared_ptr<const TCatalogue> model, QList<const TCatalogueObject*> objects,
                      TDiagramOptions options, QObject* parent = nullptr);
    ~TDiagramLayoutJob() override;

    // Both are there once planned() has arrived (or the thread has ended), and stay as they are.
    const TDiagramGraph& graph() const { return m_graph; }
    qsizetype pictureCount() const { return m_panels.size(); }
    // Thread-safe; the picture being laid out is finished first.
    void cancel() { m_cancelled = true; }
    bool cancelled() const { return m_cancelled; }

signals:
    void planned();
    void pictureReady(int index, const TDiagramPicture& picture);
    void failed(const QString& message);

protected:
    void run() override;

private:
    std::shared_ptr<const TCatalogue> m_model;
    const QList<const TCatalogueObject*> m_objects;
    const TDiagramOptions m_options;
    TDiagramGraph m_graph;
    QList<TDiagramPanel> m_panels;
    std::atomic<bool> m_cancelled{false};
};

Q_DECLARE_METATYPE(TDiagramPicture)

// The objects a diagram of the table list shows: the checked entries', or every entry's that is
// not greyed out when none is checked, in list order. Entries the model lacks are left out.
QList<const TCatalogueObject*> DiagramObjects(const TCatalogue& catalogue, const TTableList& entries,
                                              bool views);
