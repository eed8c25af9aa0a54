// The Relationships window: the diagram of the tables chosen in the main window, laid out on a
// thread of its own and shown picture by picture as they come; zoom (wheel, +, -, fit), pan by
// dragging, a click on a table marks its lines and neighbours; Print on the report's printer;
// Save as SVG (the file --format svg writes) or PNG. Break stops the layout after the picture
// at hand.
#pragma once

#include "DiagramJob.h"
#include "Prompter.h"

#include <QGraphicsView>
#include <QHash>
#include <QList>
#include <QMainWindow>

#include <memory>

class QAction;
class QGraphicsItem;
class QGraphicsPathItem;
class QGraphicsRectItem;
class QGraphicsScene;
class QLabel;

// The view: the wheel zooms around the pointer, dragging pans, a click names the table under it.
class TDiagramView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit TDiagramView(QWidget* parent = nullptr);
    void zoomBy(double factor);
    void fit();
    double zoom() const { return transform().m11(); }

signals:
    // -1: a click beside every table.
    void boxClicked(int box);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPoint m_pressedAt;
};

class TfrmRelationships : public QMainWindow
{
    Q_OBJECT

public:
    // objects belong to model. printTarget as TfrmMain's: a PDF file instead of the printer.
    TfrmRelationships(std::shared_ptr<TPrompter> prompter, std::shared_ptr<const TCatalogue> model,
                      const QList<const TCatalogueObject*>& objects, const QString& printTarget,
                      QWidget* parent = nullptr);
    ~TfrmRelationships() override;

    // The pictures laid out so far, in the plan's order.
    const QList<TDiagramPicture>& pictures() const { return m_pictures; }
    // Empty until the job has planned the pictures.
    const TDiagramGraph& graph() const { return m_job->graph(); }
    bool layoutRunning() const { return !m_layoutDone; }
    // The table marked by the last click, or -1.
    int highlighted() const { return m_highlighted; }
    void highlight(int box);

signals:
    // Every picture of the plan is shown, or the layout stopped or failed.
    void layoutFinished();

private:
    // Pictures arrive faster than a scene takes them in; one is added per turn of the event loop,
    // so the window (and the main window) keeps answering between them.
    void queuePicture(int index, const TDiagramPicture& picture);
    void addQueuedPicture();
    void addPicture(const TDiagramPicture& picture);
    void layoutEnded();
    void showStatus();
    void actPrintDiagramExecute();
    void actSaveDiagramExecute();
    void actBreakLayoutExecute();
    // Runs a command, showing what fails in the error box.
    void guarded(void (TfrmRelationships::*command)());

    std::shared_ptr<TPrompter> m_prompter;
    QString m_printTarget;
    QString m_database;
    std::unique_ptr<TDiagramLayoutJob> m_job;
    QList<TDiagramPicture> m_pictures;
    QList<TDiagramPicture> m_queued;
    bool m_planned = false;    // the job's graph and plan may be read
    bool m_jobEnded = false;   // the job has handed over every picture it laid out
    bool m_layoutDone = false; // and they are all in the scene
    QList<QPointF> m_places;
    TPictureArranger m_arranger;
    QString m_failure;
    int m_highlighted = -1;

    QGraphicsScene* m_scene = nullptr;
    TDiagramView* viewDiagram = nullptr;
    QLabel* lblDiagramStatus = nullptr;
    QAction* actZoomIn = nullptr;
    QAction* actZoomOut = nullptr;
    QAction* actZoomFit = nullptr;
    QAction* actPrintDiagram = nullptr;
    QAction* actSaveDiagram = nullptr;
    QAction* actBreakLayout = nullptr;

    // The items that change when a table is marked.
    QHash<int, QList<QGraphicsRectItem*>> m_titles; // per box: its title band (one per picture)
    QHash<int, QList<QGraphicsItem*>> m_lineItems;  // per line: its path and end marks
};
