// Where a diagram's boxes and lines go: the Graphviz source of a picture (dot for related tables,
// a packed grid by osage for the others), laid out by Graphviz's library, and the geometry every
// drawing of it shares (box rows, line ends, pictures side by side). Coordinates are points with
// y growing downwards; the text is Liberation Mono, whose advance is 0.6 of its size, so widths
// are known without a font.
#pragma once

#include "Diagram.h"

#include <QByteArray>
#include <QLineF>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <stdexcept>

constexpr double kDiagramFontSize = 10;
constexpr double kDiagramCharWidth = 6; // Liberation Mono at 10 points
constexpr double kDiagramTitleHeight = 20;
constexpr double kDiagramRowHeight = 15;
constexpr double kDiagramPadding = 6;
constexpr double kDiagramCaptionHeight = 24; // a picture's caption above it
constexpr double kDiagramMargin = 8;

// The widths of a box's parts: the title, then per row the mark, the name and the type columns.
struct TDiagramBoxMetrics
{
    double width = 0;
    double height = 0;
    double markWidth = 0; // 0 when no row has a mark; else with the blank after it
    double nameWidth = 0; // with the gap before the type when there is one
    double typeWidth = 0; // 0 when no type is listed
};

TDiagramBoxMetrics DiagramBoxMetrics(const TDiagramBox& box);
// Where a text starts that is drawn in the given row (-1: the title) of box placed at rect: its
// baseline's left end.
QPointF DiagramRowBaseline(const QRectF& rect, int row);
// The width of text in the diagram's font.
double DiagramTextWidth(const QString& text);

struct TPlacedBox
{
    int box = 0;
    QRectF rect;
};

struct TPlacedLine
{
    int line = 0;
    // A cubic Bézier path from the referring end to the referenced one: start, then three points
    // per piece (two control points and the piece's end).
    QList<QPointF> path;
};

// A laid-out panel. Its caption, when it has one, is drawn in the band of kDiagramCaptionHeight
// at its top.
struct TDiagramPicture
{
    TDiagramPanel panel;
    QString caption;
    QSizeF size;
    QList<TPlacedBox> boxes;
    QList<TPlacedLine> lines;
};

class TDiagramLayoutError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The Graphviz source of the panel: one graph for its related tables (dot) and one for its
// unrelated ones (osage's packed grid), as many as it has. The same source is laid out here and
// written by --format dot, so restyling it keeps the picture.
QList<QByteArray> DiagramDotGraphs(const TDiagramGraph& graph, const TDiagramPanel& panel);

// Lays the panel out with Graphviz. The same graph and panel give the same picture. Throws
// TDiagramLayoutError when Graphviz cannot be loaded or fails. One layout runs at a time in the
// process (Graphviz keeps global state); others wait.
TDiagramPicture LayOutDiagram(const TDiagramGraph& graph, const TDiagramPanel& panel);
// Each panel laid out, in their order.
QList<TDiagramPicture> LayOutDiagrams(const TDiagramGraph& graph, const QList<TDiagramPanel>& panels);

constexpr double kDiagramRowWidth = 1600;

// Places pictures one after another, left to right in rows no wider than rowWidth (or the
// picture, when it is wider), as they come: a window adds them while they are laid out.
class TPictureArranger
{
public:
    explicit TPictureArranger(double rowWidth = kDiagramRowWidth) : m_rowWidth(rowWidth) {}
    QPointF place(const QSizeF& size);
    QSizeF size() const { return m_size; }

private:
    double m_rowWidth;
    double m_x = 0;
    double m_y = 0;
    double m_rowHeight = 0;
    QSizeF m_size;
};

// Where each picture goes when several are shown together: as TPictureArranger places them, in
// rows no wider than the widest picture or rowWidth, whichever is more; size is the whole.
QList<QPointF> ArrangePictures(const QList<QSizeF>& sizes, double rowWidth, QSizeF& size);

// A line end's mark in crow's foot notation: strokes across or beside the line and a circle for
// "zero", at the start (the referring end) or the end of path.
struct TDiagramEndMark
{
    QList<QLineF> strokes;
    QList<QPointF> circles; // centres
};
constexpr double kDiagramCircleRadius = 3;
TDiagramEndMark DiagramEndMark(const QList<QPointF>& path, bool atStart, TDiagramEnd end);
