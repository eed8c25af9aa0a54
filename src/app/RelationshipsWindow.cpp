#include "RelationshipsWindow.h"

#include "ComparisonSources.h"
#include "DiagramSvg.h"
#include "PrinterSetup.h"
#include "ReportFormats.h"
#include "ReportPrinter.h"
#include "UIText.h"

#include <QAction>
#include <QBuffer>
#include <QFileInfo>
#include <QGraphicsEllipseItem>
#include <QGraphicsPathItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QImage>
#include <QImageWriter>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QWheelEvent>

#include <cmath>
#include <exception>

namespace {

constexpr int kTextRelationships = 503;
constexpr int kTextZoomIn = 506;
constexpr int kTextZoomOut = 507;
constexpr int kTextFit = 511;
constexpr int kTextPrint = 512;
constexpr int kTextSaveAs = 513;
constexpr int kTextSvgImages = 514;
constexpr int kTextPngImages = 515;
constexpr int kTextLayingOut = 516;
constexpr int kTextCounts = 517;
constexpr int kTextStopped = 518;
constexpr int kTextBreak = 519;
constexpr int kTextSaveDiagram = 520;
constexpr int kTextNoTable = 521;

// The box's item keys: which box or line an item belongs to.
constexpr int kBoxKey = 0;

// The PNG is drawn at twice the points, or less where that would pass this many pixels.
constexpr double kPngPixels = 64e6;

const QColor kInk(0x3b, 0x4a, 0x5a);
const QColor kLineInk(0x4a, 0x55, 0x63);
const QColor kTitleFill(0xd7, 0xe3, 0xf0);
const QColor kMarkedFill(0xf3, 0xd3, 0x7a);
const QColor kNeighbourFill(0xfb, 0xec, 0xc4);
const QColor kMarkedLine(0xc0, 0x6a, 0x00);

// The diagram's font and its ascent, made once: a picture has hundreds of texts.
struct TDiagramFont
{
    QFont font;
    double ascent = 0;

    explicit TDiagramFont(bool bold) : font(QStringLiteral("Liberation Mono"))
    {
        font.setStyleHint(QFont::Monospace);
        font.setPixelSize(int(kDiagramFontSize));
        font.setBold(bold);
        ascent = QFontMetricsF(font).ascent();
    }
};

const TDiagramFont& DiagramFont(bool bold)
{
    static const TDiagramFont regular(false);
    static const TDiagramFont strong(true);
    return bold ? strong : regular;
}

QPen LinePen(const TDiagramLine& line, bool marked)
{
    QPen pen(marked ? kMarkedLine : kLineInk, marked ? 2.4 : 1.2);
    if (!line.key->enforced)
        pen.setDashPattern({5 / pen.widthF(), 3 / pen.widthF()});
    return pen;
}

QGraphicsSimpleTextItem* AddText(QGraphicsItem* parent, const QString& text, const QPointF& baseline,
                                 bool bold, const QColor& color = Qt::black)
{
    const TDiagramFont& font = DiagramFont(bold);
    auto* item = new QGraphicsSimpleTextItem(text, parent);
    item->setFont(font.font);
    item->setBrush(color);
    // Placed by its baseline, as the SVG places its text.
    item->setPos(baseline.x(), baseline.y() - font.ascent);
    return item;
}

} // namespace

TDiagramView::TDiagramView(QWidget* parent) : QGraphicsView(parent)
{
    setDragMode(QGraphicsView::ScrollHandDrag);
    setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
    setBackgroundBrush(QColor(0xf4, 0xf6, 0xf8));
}

void TDiagramView::zoomBy(double factor)
{
    // Within reach of the whole and of a readable row: no further.
    const double next = zoom() * factor;
    if (next < 0.02 || next > 8)
        return;
    scale(factor, factor);
}

void TDiagramView::fit()
{
    if (scene() == nullptr || scene()->itemsBoundingRect().isEmpty())
        return;
    fitInView(scene()->itemsBoundingRect(), Qt::KeepAspectRatio);
    // A small diagram is shown at its size, not blown up.
    if (zoom() > 1)
        setTransform(QTransform());
}

void TDiagramView::wheelEvent(QWheelEvent* event)
{
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0)
        zoomBy(std::pow(1.2, steps));
    event->accept();
}

void TDiagramView::mousePressEvent(QMouseEvent* event)
{
    m_pressedAt = event->position().toPoint();
    QGraphicsView::mousePressEvent(event);
}

void TDiagramView::mouseReleaseEvent(QMouseEvent* event)
{
    QGraphicsView::mouseReleaseEvent(event);
    // A drag pans; only a click without moving marks a table.
    if (event->button() != Qt::LeftButton ||
        (event->position().toPoint() - m_pressedAt).manhattanLength() > 4)
        return;
    int box = -1;
    for (QGraphicsItem* item : items(event->position().toPoint())) {
        for (QGraphicsItem* up = item; up != nullptr && box < 0; up = up->parentItem()) {
            if (up->data(kBoxKey).isValid())
                box = up->data(kBoxKey).toInt();
        }
        if (box >= 0)
            break;
    }
    emit boxClicked(box);
}

TfrmRelationships::TfrmRelationships(std::shared_ptr<TPrompter> prompter,
                                     std::shared_ptr<const TCatalogue> model,
                                     const QList<const TCatalogueObject*>& objects,
                                     const QString& printTarget, QWidget* parent)
    : QMainWindow(parent), m_prompter(std::move(prompter)), m_printTarget(printTarget)
{
    setObjectName(QStringLiteral("frmRelationships"));
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    m_database = model->database;
    setWindowTitle(LoadUIText(kTextRelationships) + QStringLiteral(" - ") + DocumentTitle(*model));
    resize(1000, 700);

    m_scene = new QGraphicsScene(this);
    viewDiagram = new TDiagramView(this);
    viewDiagram->setObjectName(QStringLiteral("viewDiagram"));
    viewDiagram->setScene(m_scene);
    setCentralWidget(viewDiagram);

    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("tbtRelationships"));
    bar->setMovable(false);
    bar->setFloatable(false);
    addToolBar(bar);
    const auto action = [&](const char* name, int text, const QKeySequence& key = {}) {
        auto* a = bar->addAction(LoadUIText(text));
        a->setObjectName(QLatin1String(name));
        a->setToolTip(LoadUIText(text));
        if (!key.isEmpty())
            a->setShortcut(key);
        return a;
    };
    actZoomIn = action("actZoomIn", kTextZoomIn, QKeySequence(Qt::Key_Plus));
    actZoomIn->setShortcuts({QKeySequence(Qt::Key_Plus), QKeySequence(QKeySequence::ZoomIn)});
    actZoomOut = action("actZoomOut", kTextZoomOut, QKeySequence(Qt::Key_Minus));
    actZoomOut->setShortcuts({QKeySequence(Qt::Key_Minus), QKeySequence(QKeySequence::ZoomOut)});
    actZoomFit = action("actZoomFit", kTextFit, QKeySequence(Qt::Key_0));
    bar->addSeparator();
    actPrintDiagram = action("actPrintDiagram", kTextPrint, QKeySequence(Qt::CTRL | Qt::Key_P));
    actSaveDiagram = action("actSaveDiagram", kTextSaveAs, QKeySequence(Qt::CTRL | Qt::Key_S));
    bar->addSeparator();
    actBreakLayout = action("actBreakLayout", kTextBreak, QKeySequence(Qt::CTRL | Qt::Key_Q));

    lblDiagramStatus = new QLabel(this);
    lblDiagramStatus->setObjectName(QStringLiteral("lblDiagramStatus"));
    statusBar()->addWidget(lblDiagramStatus, 1);

    connect(actZoomIn, &QAction::triggered, viewDiagram, [this] { viewDiagram->zoomBy(1.25); });
    connect(actZoomOut, &QAction::triggered, viewDiagram, [this] { viewDiagram->zoomBy(0.8); });
    connect(actZoomFit, &QAction::triggered, viewDiagram, &TDiagramView::fit);
    connect(actPrintDiagram, &QAction::triggered, this,
            [this] { guarded(&TfrmRelationships::actPrintDiagramExecute); });
    connect(actSaveDiagram, &QAction::triggered, this,
            [this] { guarded(&TfrmRelationships::actSaveDiagramExecute); });
    connect(actBreakLayout, &QAction::triggered, this, &TfrmRelationships::actBreakLayoutExecute);
    connect(viewDiagram, &TDiagramView::boxClicked, this, &TfrmRelationships::highlight);

    m_job = std::make_unique<TDiagramLayoutJob>(std::move(model), objects, TDiagramOptions());
    connect(m_job.get(), &TDiagramLayoutJob::planned, this, [this] {
        m_planned = true;
        showStatus();
    });
    connect(m_job.get(), &TDiagramLayoutJob::pictureReady, this, &TfrmRelationships::queuePicture);
    connect(m_job.get(), &TDiagramLayoutJob::failed, this,
            [this](const QString& message) { m_failure = message; });
    connect(m_job.get(), &QThread::finished, this, [this] {
        m_jobEnded = true;
        layoutEnded();
    });
    showStatus();
    m_job->start(QThread::LowPriority);
}

TfrmRelationships::~TfrmRelationships()
{
    // The job finishes the picture at hand before it ends; the window waits for no more than that.
    m_job->cancel();
    m_job->wait();
}

void TfrmRelationships::queuePicture(int index, const TDiagramPicture& picture)
{
    Q_UNUSED(index);
    m_queued.append(picture);
    if (m_queued.size() == 1)
        QTimer::singleShot(0, this, &TfrmRelationships::addQueuedPicture);
}

void TfrmRelationships::addQueuedPicture()
{
    if (m_queued.isEmpty())
        return;
    addPicture(m_queued.takeFirst());
    if (!m_queued.isEmpty())
        QTimer::singleShot(0, this, &TfrmRelationships::addQueuedPicture);
    else if (m_jobEnded)
        layoutEnded();
}

void TfrmRelationships::addPicture(const TDiagramPicture& picture)
{
    const TDiagramGraph& g = graph();
    const QPointF at = m_arranger.place(picture.size);
    m_pictures.append(picture);
    m_places.append(at);

    auto* frame =
        m_scene->addRect(QRectF(at, picture.size), QPen(QColor(0xd5, 0xdb, 0xe3)), QBrush(Qt::white));
    frame->setZValue(-1);
    if (!picture.caption.isEmpty())
        AddText(frame, picture.caption, at + QPointF(kDiagramMargin, kDiagramMargin + 14), true);

    for (const TPlacedLine& placed : picture.lines) {
        const TDiagramLine& line = g.lines.at(placed.line);
        if (placed.path.size() < 2)
            continue;
        QPainterPath path(placed.path.first() + at);
        for (qsizetype i = 1; i + 2 < placed.path.size(); i += 3)
            path.cubicTo(placed.path.at(i) + at, placed.path.at(i + 1) + at, placed.path.at(i + 2) + at);
        auto* item = m_scene->addPath(path, LinePen(line, false));
        item->setToolTip(line.title);
        m_lineItems[placed.line].append(item);
        for (const TDiagramEndMark& mark : {DiagramEndMark(placed.path, true, line.fromEnd),
                                            DiagramEndMark(placed.path, false, line.toEnd)}) {
            QPainterPath strokes;
            for (const QLineF& stroke : mark.strokes) {
                strokes.moveTo(stroke.p1() + at);
                strokes.lineTo(stroke.p2() + at);
            }
            auto* marks = m_scene->addPath(strokes, LinePen(line, false));
            m_lineItems[placed.line].append(marks);
            for (const QPointF& centre : mark.circles) {
                const QPointF c = centre + at;
                auto* circle = m_scene->addEllipse(c.x() - kDiagramCircleRadius, c.y() - kDiagramCircleRadius,
                                                   2 * kDiagramCircleRadius, 2 * kDiagramCircleRadius,
                                                   LinePen(line, false), QBrush(Qt::white));
                m_lineItems[placed.line].append(circle);
            }
        }
    }

    for (const TPlacedBox& placed : picture.boxes) {
        const TDiagramBox& box = g.boxes.at(placed.box);
        const TDiagramBoxMetrics m = DiagramBoxMetrics(box);
        const QRectF r = placed.rect.translated(at);
        auto* body = m_scene->addRect(r, QPen(kInk), QBrush(Qt::white));
        body->setData(kBoxKey, placed.box);
        body->setToolTip(box.name);
        auto* title =
            new QGraphicsRectItem(QRectF(r.topLeft(), QSizeF(r.width(), kDiagramTitleHeight)), body);
        title->setPen(QPen(kInk));
        title->setBrush(placed.box == picture.panel.focus ? kMarkedFill : kTitleFill);
        m_titles[placed.box].append(title);
        AddText(body, box.name, DiagramRowBaseline(r, -1), true);
        for (qsizetype i = 0; i < box.columns.size(); ++i) {
            const TDiagramColumn& column = box.columns.at(i);
            const QPointF baseline = DiagramRowBaseline(r, int(i));
            const QString mark = DiagramColumnMark(column);
            if (!mark.isEmpty())
                AddText(body, mark, baseline, true, QColor(0x8a, 0x5a, 0x00));
            AddText(body, column.name, baseline + QPointF(m.markWidth, 0), false);
            if (!column.typeName.isEmpty())
                AddText(body, column.typeName, baseline + QPointF(m.markWidth + m.nameWidth, 0), false,
                        QColor(0x55, 0x55, 0x55));
        }
    }
    m_scene->setSceneRect(QRectF(QPointF(0, 0), m_arranger.size()).adjusted(-16, -16, 16, 16));
    // The first picture is shown whole; later ones do not move what the user looks at.
    if (m_pictures.size() == 1)
        viewDiagram->fit();
    showStatus();
}

void TfrmRelationships::layoutEnded()
{
    // The last pictures may still wait for their turn; the layout has ended when they are in.
    if (!m_queued.isEmpty() || m_layoutDone)
        return;
    m_layoutDone = true;
    showStatus();
    if (!m_failure.isEmpty())
        m_prompter->ShowErrorMessage(this, m_failure, 0);
    emit layoutFinished();
}

void TfrmRelationships::showStatus()
{
    if (!m_planned && !m_jobEnded) {
        lblDiagramStatus->setText(LoadUIText(kTextLayingOut).arg(1).arg(QStringLiteral("…")));
        return;
    }
    const qsizetype total = m_job->pictureCount();
    QString text;
    if (graph().boxes.isEmpty())
        text = LoadUIText(kTextNoTable);
    else if (!m_layoutDone)
        text = LoadUIText(kTextLayingOut).arg(std::min(m_pictures.size() + 1, total)).arg(total);
    else if (m_pictures.size() < total)
        text = LoadUIText(kTextStopped).arg(m_pictures.size()).arg(total);
    else
        text = LoadUIText(kTextCounts).arg(graph().boxes.size()).arg(graph().lines.size());
    lblDiagramStatus->setText(text);
}

void TfrmRelationships::highlight(int box)
{
    if (!m_planned)
        return;
    const TDiagramGraph& g = graph();
    m_highlighted = box;
    QSet<int> neighbours;
    for (qsizetype l = 0; l < g.lines.size(); ++l) {
        const TDiagramLine& line = g.lines.at(l);
        const bool marked = box >= 0 && (line.from == box || line.to == box);
        if (marked)
            neighbours << line.from << line.to;
        for (QGraphicsItem* item : m_lineItems.value(int(l))) {
            auto* shape = static_cast<QAbstractGraphicsShapeItem*>(item);
            shape->setPen(LinePen(line, marked));
            item->setZValue(marked ? 1 : 0);
        }
    }
    for (auto it = m_titles.cbegin(); it != m_titles.cend(); ++it) {
        const QColor fill = it.key() == box                 ? kMarkedFill
                            : neighbours.contains(it.key()) ? kNeighbourFill
                                                            : kTitleFill;
        for (QGraphicsRectItem* title : it.value())
            title->setBrush(fill);
    }
}

void TfrmRelationships::actBreakLayoutExecute()
{
    // What is laid out but not yet shown goes too: Break stops now, not after a queue of pictures.
    m_job->cancel();
    m_queued.clear();
}

void TfrmRelationships::guarded(void (TfrmRelationships::*command)())
{
    try {
        (this->*command)();
    } catch (const std::exception& e) {
        m_prompter->ShowErrorMessage(this, QString::fromUtf8(e.what()), 0);
    }
}

void TfrmRelationships::actPrintDiagramExecute()
{
    if (m_pictures.isEmpty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer, m_printTarget);
    const QString title = LoadUIText(5) + u' ' + LoadUIText(kTextRelationships) + u' ' + m_database;
    printer.setDocName(title);
    QPainter painter;
    if (!painter.begin(&printer))
        throw PrintError(QStringLiteral("Der Druckauftrag \"%1\" konnte nicht begonnen werden.").arg(title));
    // One picture a page, made as large as the page allows (never larger than it is).
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    for (qsizetype i = 0; i < m_pictures.size(); ++i) {
        if (i > 0)
            printer.newPage();
        const QRectF source(m_places.at(i), m_pictures.at(i).size);
        const double fit = std::min(page.width() / source.width(), page.height() / source.height());
        const double scale = std::min(fit, printer.resolution() / 72.0);
        const QRectF target(0, 0, source.width() * scale, source.height() * scale);
        m_scene->render(&painter, target, source);
    }
    painter.end();
}

void TfrmRelationships::actSaveDiagramExecute()
{
    if (m_pictures.isEmpty())
        return;
    const QString svgSuffix = QString::fromLatin1(ReportFormatInfo(TReportFormat::Svg).extension);
    TSaveDialogSettings dialog;
    dialog.Title = LoadUIText(kTextSaveDiagram);
    dialog.Filter = LoadUIText(kTextSvgImages) +
                    QStringLiteral(" (*.%1)|*.%2|").arg(svgSuffix, svgSuffix.toUpper()) +
                    LoadUIText(kTextPngImages) + QStringLiteral(" (*.png)|*.PNG");
    dialog.DefaultSuffix = svgSuffix;
    const QFileInfo database(m_database);
    dialog.InitialFile =
        (database.isAbsolute() ? database.absolutePath() + u'/' + database.completeBaseName() : m_database) +
        QLatin1Char('.') + svgSuffix;
    const QString file = m_prompter->SaveFile(this, dialog);
    if (file.isEmpty())
        return;
    QString error;
    if (QFileInfo(file).suffix().compare(QLatin1String("png"), Qt::CaseInsensitive) == 0) {
        const QRectF source = m_scene->itemsBoundingRect();
        const double scale = std::min(2.0, std::sqrt(kPngPixels / (source.width() * source.height())));
        QImage image(QSize(int(std::ceil(source.width() * scale)), int(std::ceil(source.height() * scale))),
                     QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
            m_scene->render(&painter, QRectF(image.rect()), source);
        }
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        if (!writer.write(image)) {
            m_prompter->ShowErrorMessage(this, file + QStringLiteral(": ") + writer.errorString(), 0);
            return;
        }
        if (!SaveDocumentFile(file, bytes, error))
            m_prompter->ShowErrorMessage(this, error, 0);
        return;
    }
    TDiagramSvgOptions svg;
    svg.title = database.isAbsolute() ? database.fileName() : m_database;
    if (!SaveDocumentFile(file, DiagramSvg(graph(), m_pictures, svg), error))
        m_prompter->ShowErrorMessage(this, error, 0);
}
