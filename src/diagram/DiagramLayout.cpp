#include "DiagramLayout.h"

#include "ReportLines.h"

#include <QHash>
#include <QMutex>
#include <QMutexLocker>

#include <dlfcn.h>
#include <graphviz/gvc.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

namespace {

constexpr double kPiecesGap = 24;
constexpr double kPicturesGap = 32;
constexpr double kBottomPadding = 3;
constexpr double kTypeGap = 2; // characters between a name and its type
constexpr double kMinimumBoxWidth = 60;

// Text for an HTML-like label: markup characters as entities, control characters as blanks.
QString LabelText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'&')
            out += QStringLiteral("&amp;");
        else if (c == u'<')
            out += QStringLiteral("&lt;");
        else if (c == u'>')
            out += QStringLiteral("&gt;");
        else if (c == u'"')
            out += QStringLiteral("&quot;");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += QLatin1Char(' ');
        else
            out += c;
    }
    return out;
}

// A quoted DOT string. Graphviz reads "\N" and the like in some attributes as its own escapes;
// a doubled backslash stays one.
QString Quoted(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\')
            out += QLatin1Char('\\');
        out += c.unicode() < 0x20 ? QChar(u' ') : c;
    }
    return out + QLatin1Char('"');
}

QString Padded(const QString& text, double width)
{
    const int blanks = int(std::lround(width / kDiagramCharWidth)) - int(DisplayWidth(text));
    return LabelText(text) + QStringLiteral("&#160;").repeated(std::max(blanks, 0));
}

QString NodeLabel(const TDiagramBox& box, const TDiagramBoxMetrics& m)
{
    const int width = int(m.width);
    QString label =
        QStringLiteral("<<TABLE BORDER=\"0\" CELLBORDER=\"0\" CELLSPACING=\"0\" CELLPADDING=\"0\">");
    label +=
        QStringLiteral("<TR><TD PORT=\"t\" WIDTH=\"%1\" HEIGHT=\"%2\" FIXEDSIZE=\"TRUE\"><B>%3</B></TD></TR>")
            .arg(width)
            .arg(int(kDiagramTitleHeight))
            .arg(LabelText(box.name));
    for (qsizetype i = 0; i < box.columns.size(); ++i) {
        const TDiagramColumn& column = box.columns.at(i);
        QString text;
        if (m.markWidth > 0)
            text += Padded(DiagramColumnMark(column), m.markWidth);
        text += m.typeWidth > 0 ? Padded(column.name, m.nameWidth) + LabelText(column.typeName)
                                : LabelText(column.name);
        label += QStringLiteral("<TR><TD PORT=\"r%1\" WIDTH=\"%2\" HEIGHT=\"%3\" FIXEDSIZE=\"TRUE\" "
                                "ALIGN=\"LEFT\">%4</TD></TR>")
                     .arg(i)
                     .arg(width)
                     .arg(int(kDiagramRowHeight))
                     .arg(text);
    }
    if (!box.columns.isEmpty())
        label += QStringLiteral("<TR><TD WIDTH=\"%1\" HEIGHT=\"%2\" FIXEDSIZE=\"TRUE\"></TD></TR>")
                     .arg(width)
                     .arg(int(kBottomPadding));
    return label + QStringLiteral("</TABLE>>");
}

// A table that refers to itself gets its loop on the right, where no line from another table
// comes in (those arrive on the left, from the tables it refers to).
QString Port(int box, int row, bool loop)
{
    return QStringLiteral("b%1:%2%3")
        .arg(box)
        .arg(row < 0 ? QStringLiteral("t") : QStringLiteral("r%1").arg(row),
             loop ? QStringLiteral(":e") : QString());
}

struct TPiece
{
    QByteArray source;
    bool grid = false;
};

QList<TPiece> Pieces(const TDiagramGraph& graph, const TDiagramPanel& panel)
{
    QList<bool> related(graph.boxes.size(), false);
    for (int line : panel.lines) {
        related[graph.lines.at(line).from] = true;
        related[graph.lines.at(line).to] = true;
    }
    const QString nodeDefaults =
        QStringLiteral("  node [shape=plain, fontname=\"Liberation Mono\", fontsize=%1];\n")
            .arg(kDiagramFontSize);
    QString dot;
    QString grid;
    int sort = 0;
    for (int b : panel.boxes) {
        const TDiagramBox& box = graph.boxes.at(b);
        const QString node = QStringLiteral("  b%1 [label=%2, tooltip=%3")
                                 .arg(b)
                                 .arg(NodeLabel(box, DiagramBoxMetrics(box)), Quoted(box.name));
        if (related.at(b))
            dot += node + QStringLiteral("];\n");
        else
            grid += node + QStringLiteral(", sortv=%1];\n").arg(sort++);
    }
    for (int l : panel.lines) {
        const TDiagramLine& line = graph.lines.at(l);
        // The referenced table first, so dot ranks it to the left of the tables that refer to it.
        dot +=
            QStringLiteral("  %1 -> %2 [id=\"l%3\", tooltip=%4%5];\n")
                .arg(Port(line.to, line.toRow, line.to == line.from),
                     Port(line.from, line.fromRow, line.to == line.from))
                .arg(l)
                .arg(Quoted(line.title), line.key->enforced ? QString() : QStringLiteral(", style=dashed"));
    }
    QList<TPiece> pieces;
    if (!dot.isEmpty())
        pieces.append(
            TPiece{(QStringLiteral("digraph relationships {\n"
                                   "  graph [layout=dot, rankdir=LR, pack=true, nodesep=0.3, "
                                   "ranksep=0.9];\n") +
                    nodeDefaults + QStringLiteral("  edge [dir=none];\n") + dot + QStringLiteral("}\n"))
                       .toUtf8(),
                   false});
    if (!grid.isEmpty())
        pieces.append(TPiece{(QStringLiteral("graph unrelated {\n"
                                             "  graph [layout=osage, pack=16, packmode=\"array_u\"];\n") +
                              nodeDefaults + grid + QStringLiteral("}\n"))
                                 .toUtf8(),
                             true});
    return pieces;
}

// Graphviz's state is global: one context for the process, used by one layout at a time.
QMutex g_graphvizMutex;
QString g_graphvizMessages;

int CollectGraphvizMessage(char* message)
{
    g_graphvizMessages += QString::fromUtf8(message);
    return 0;
}

// The library is opened at the first layout, not linked: most runs draw no diagram, and its six
// libraries cost every start of the program a millisecond and a half of loading.
struct TGraphviz
{
    decltype(&gvContextPlugins) contextPlugins = nullptr;
    decltype(&gvFreeContext) freeContext = nullptr;
    decltype(&gvAddLibrary) addLibrary = nullptr;
    decltype(&gvLayout) layout = nullptr;
    decltype(&gvFreeLayout) freeLayout = nullptr;
    decltype(&agseterr) setErrorLevel = nullptr;
    decltype(&agseterrf) setErrorHandler = nullptr;
    decltype(&agmemread) memRead = nullptr;
    decltype(&agclose) close = nullptr;
    decltype(&agfstnode) firstNode = nullptr;
    decltype(&agnxtnode) nextNode = nullptr;
    decltype(&agnameof) nameOf = nullptr;
    decltype(&agfstout) firstOut = nullptr;
    decltype(&agnxtout) nextOut = nullptr;
    decltype(&agget) get = nullptr;
};

// The library's own name, or its development link where the versioned one is not there.
void* OpenGraphvizLibrary()
{
    for (const char* name : {ORVANE_GRAPHVIZ_LIBRARY, "libgvc.so"}) {
        const QByteArray path = QByteArray(ORVANE_GRAPHVIZ_LIBDIR "/") + name;
        if (void* handle = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL))
            return handle;
    }
    return nullptr;
}

template <typename F> bool Resolve(void* library, const char* symbol, F& function)
{
    function = reinterpret_cast<F>(dlsym(library, symbol));
    return function != nullptr;
}

const TGraphviz& Graphviz()
{
    static TGraphviz gv;
    static bool loaded = false;
    if (loaded)
        return gv;
    void* library = OpenGraphvizLibrary();
    // Symbols of libcgraph come through libgvc's handle, which searches what it depends on.
    const bool complete =
        library != nullptr && Resolve(library, "gvContextPlugins", gv.contextPlugins) &&
        Resolve(library, "gvFreeContext", gv.freeContext) &&
        Resolve(library, "gvAddLibrary", gv.addLibrary) && Resolve(library, "gvLayout", gv.layout) &&
        Resolve(library, "gvFreeLayout", gv.freeLayout) && Resolve(library, "agseterr", gv.setErrorLevel) &&
        Resolve(library, "agseterrf", gv.setErrorHandler) && Resolve(library, "agmemread", gv.memRead) &&
        Resolve(library, "agclose", gv.close) && Resolve(library, "agfstnode", gv.firstNode) &&
        Resolve(library, "agnxtnode", gv.nextNode) && Resolve(library, "agnameof", gv.nameOf) &&
        Resolve(library, "agfstout", gv.firstOut) && Resolve(library, "agnxtout", gv.nextOut) &&
        Resolve(library, "agget", gv.get);
    if (!complete)
        throw TDiagramLayoutError(std::string("Graphviz cannot be loaded from " ORVANE_GRAPHVIZ_LIBDIR ": ") +
                                  (library == nullptr ? dlerror() : "a function is missing"));
    loaded = true;
    return gv;
}

GVC_t* GraphvizContext()
{
    static GVC_t* context = nullptr;
    static QString failure;
    if (context != nullptr)
        return context;
    if (!failure.isEmpty())
        throw TDiagramLayoutError(failure.toStdString());
    const TGraphviz& gv = Graphviz();
    // Only the layout plugins: the library's own loader would also start its text layout (and so
    // fontconfig), which costs seconds and makes nothing here better, as every size is fixed.
    GVC_t* made = gv.contextPlugins(nullptr, 0);
    for (const char* name : {"dot_layout", "neato_layout"}) {
        void* handle = nullptr;
        for (const char* suffix : {".so.6", ".so"}) {
            const QByteArray path =
                QByteArray(ORVANE_GRAPHVIZ_PLUGINS "/libgvplugin_") + name + QByteArray(suffix);
            handle = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
            if (handle != nullptr)
                break;
        }
        auto* library = handle == nullptr
                            ? nullptr
                            : static_cast<gvplugin_library_t*>(dlsym(
                                  handle, (QByteArray("gvplugin_") + name + "_LTX_library").constData()));
        if (library == nullptr) {
            failure = QStringLiteral("Graphviz's %1 plugin cannot be loaded from %2")
                          .arg(QLatin1String(name), QLatin1String(ORVANE_GRAPHVIZ_PLUGINS));
            gv.freeContext(made);
            throw TDiagramLayoutError(failure.toStdString());
        }
        gv.addLibrary(made, library);
    }
    gv.setErrorLevel(AGERR);
    gv.setErrorHandler(CollectGraphvizMessage);
    context = made;
    return context;
}

struct TLaidPiece
{
    QSizeF size;
    QList<TPlacedBox> boxes;
    QList<TPlacedLine> lines;
};

TLaidPiece LayOutPiece(GVC_t* context, const TPiece& piece)
{
    const TGraphviz& gv = Graphviz();
    g_graphvizMessages.clear();
    std::unique_ptr<Agraph_t, int (*)(Agraph_t*)> g(gv.memRead(piece.source.constData()), gv.close);
    if (!g)
        throw TDiagramLayoutError("Graphviz cannot read the diagram: " + g_graphvizMessages.toStdString());
    if (gv.layout(context, g.get(), piece.grid ? "osage" : "dot") != 0)
        throw TDiagramLayoutError("Graphviz cannot lay out the diagram: " + g_graphvizMessages.toStdString());
    struct TFree
    {
        const TGraphviz& gv;
        GVC_t* context;
        Agraph_t* graph;
        ~TFree() { gv.freeLayout(context, graph); }
    } freeLayout{gv, context, g.get()};

    const boxf bb = GD_bb(g.get());
    const auto place = [&bb](pointf p) { return QPointF(p.x - bb.LL.x, bb.UR.y - p.y); };
    TLaidPiece out;
    out.size = QSizeF(bb.UR.x - bb.LL.x, bb.UR.y - bb.LL.y);
    for (Agnode_t* node = gv.firstNode(g.get()); node != nullptr; node = gv.nextNode(g.get(), node)) {
        const QPointF centre = place(ND_coord(node));
        const double width = ND_width(node) * 72;
        const double height = ND_height(node) * 72;
        TPlacedBox box;
        box.box = QByteArray(gv.nameOf(node)).mid(1).toInt();
        box.rect = QRectF(centre.x() - width / 2, centre.y() - height / 2, width, height);
        out.boxes.append(box);
        for (Agedge_t* edge = gv.firstOut(g.get(), node); edge != nullptr; edge = gv.nextOut(g.get(), edge)) {
            TPlacedLine line;
            line.line = QByteArray(gv.get(edge, const_cast<char*>("id"))).mid(1).toInt();
            const splines* spl = ED_spl(edge);
            if (spl != nullptr) {
                for (int b = 0; b < spl->size; ++b) {
                    const bezier& piecewise = spl->list[b];
                    for (int p = 0; p < piecewise.size; ++p) {
                        // A second piece starts where the first ended.
                        if (b > 0 && p == 0)
                            continue;
                        line.path.append(place(piecewise.list[p]));
                    }
                }
            }
            // Graphviz draws from the referenced table (the edge's tail); the path runs from the
            // referring end.
            std::reverse(line.path.begin(), line.path.end());
            out.lines.append(line);
        }
    }
    return out;
}

} // namespace

double DiagramTextWidth(const QString& text)
{
    return double(DisplayWidth(text)) * kDiagramCharWidth;
}

TDiagramBoxMetrics DiagramBoxMetrics(const TDiagramBox& box)
{
    TDiagramBoxMetrics m;
    double mark = 0;
    double name = 0;
    double type = 0;
    for (const TDiagramColumn& column : box.columns) {
        mark = std::max(mark, DiagramTextWidth(DiagramColumnMark(column)));
        name = std::max(name, DiagramTextWidth(column.name));
        type = std::max(type, DiagramTextWidth(column.typeName));
    }
    m.markWidth = mark > 0 ? mark + kDiagramCharWidth : 0;
    m.typeWidth = type;
    m.nameWidth = name + (type > 0 ? kTypeGap * kDiagramCharWidth : 0);
    const double rows = m.markWidth + m.nameWidth + m.typeWidth;
    m.width = std::ceil(std::max({kMinimumBoxWidth, rows, DiagramTextWidth(box.name)}) + 2 * kDiagramPadding);
    m.height = kDiagramTitleHeight + double(box.columns.size()) * kDiagramRowHeight +
               (box.columns.isEmpty() ? 0 : kBottomPadding);
    return m;
}

QPointF DiagramRowBaseline(const QRectF& rect, int row)
{
    // Text sits a little above the row's middle line, as the font's ascent is larger than its descent.
    if (row < 0)
        return QPointF(rect.left() + kDiagramPadding,
                       rect.top() + kDiagramTitleHeight / 2 + kDiagramFontSize * 0.35);
    return QPointF(rect.left() + kDiagramPadding, rect.top() + kDiagramTitleHeight + row * kDiagramRowHeight +
                                                      kDiagramRowHeight / 2 + kDiagramFontSize * 0.35);
}

QList<QByteArray> DiagramDotGraphs(const TDiagramGraph& graph, const TDiagramPanel& panel)
{
    QList<QByteArray> out;
    for (const TPiece& piece : Pieces(graph, panel))
        out.append(piece.source);
    return out;
}

TDiagramPicture LayOutDiagram(const TDiagramGraph& graph, const TDiagramPanel& panel)
{
    TDiagramPicture picture;
    picture.panel = panel;
    picture.caption = DiagramPanelTitle(graph, panel);
    const QList<TPiece> pieces = Pieces(graph, panel);
    QList<TLaidPiece> laid;
    {
        const QMutexLocker lock(&g_graphvizMutex);
        GVC_t* context = GraphvizContext();
        for (const TPiece& piece : pieces)
            laid.append(LayOutPiece(context, piece));
    }
    // The related tables above the grid of the others, under the caption.
    double top = kDiagramMargin + (picture.caption.isEmpty() ? 0 : kDiagramCaptionHeight);
    double width = 0;
    for (const TLaidPiece& piece : laid) {
        const QPointF offset(kDiagramMargin, top);
        for (TPlacedBox box : piece.boxes) {
            box.rect.translate(offset);
            picture.boxes.append(box);
        }
        for (TPlacedLine line : piece.lines) {
            for (QPointF& point : line.path)
                point += offset;
            picture.lines.append(line);
        }
        top += piece.size.height() + kPiecesGap;
        width = std::max(width, piece.size.width());
    }
    if (!laid.isEmpty())
        top -= kPiecesGap;
    if (!picture.caption.isEmpty())
        width = std::max(width, DiagramTextWidth(picture.caption) * 1.2);
    // Graphviz lists nodes and edges in its own order; the picture keeps the graph's.
    std::sort(picture.boxes.begin(), picture.boxes.end(),
              [](const TPlacedBox& a, const TPlacedBox& b) { return a.box < b.box; });
    std::sort(picture.lines.begin(), picture.lines.end(),
              [](const TPlacedLine& a, const TPlacedLine& b) { return a.line < b.line; });
    picture.size = QSizeF(std::ceil(width + 2 * kDiagramMargin), std::ceil(top + kDiagramMargin));
    return picture;
}

QList<TDiagramPicture> LayOutDiagrams(const TDiagramGraph& graph, const QList<TDiagramPanel>& panels)
{
    QList<TDiagramPicture> pictures;
    pictures.reserve(panels.size());
    for (const TDiagramPanel& panel : panels)
        pictures.append(LayOutDiagram(graph, panel));
    return pictures;
}

QPointF TPictureArranger::place(const QSizeF& size)
{
    if (m_x > 0 && m_x + size.width() > m_rowWidth) {
        m_y += m_rowHeight + kPicturesGap;
        m_x = 0;
        m_rowHeight = 0;
    }
    const QPointF at(m_x, m_y);
    m_size =
        QSizeF(std::max(m_size.width(), m_x + size.width()), std::max(m_size.height(), m_y + size.height()));
    m_x += size.width() + kPicturesGap;
    m_rowHeight = std::max(m_rowHeight, size.height());
    return at;
}

QList<QPointF> ArrangePictures(const QList<QSizeF>& sizes, double rowWidth, QSizeF& size)
{
    for (const QSizeF& s : sizes)
        rowWidth = std::max(rowWidth, s.width());
    TPictureArranger arranger(rowWidth);
    QList<QPointF> out;
    for (const QSizeF& s : sizes)
        out.append(arranger.place(s));
    size = arranger.size();
    return out;
}

TDiagramEndMark DiagramEndMark(const QList<QPointF>& path, bool atStart, TDiagramEnd end)
{
    TDiagramEndMark mark;
    if (path.size() < 2)
        return mark;
    const QPointF tip = atStart ? path.first() : path.last();
    // The direction the line leaves the box in: towards the first point that is not the tip.
    QPointF towards = tip;
    for (qsizetype i = 1; i < path.size() && towards == tip; ++i)
        towards = atStart ? path.at(i) : path.at(path.size() - 1 - i);
    QPointF u = towards - tip;
    const double length = std::hypot(u.x(), u.y());
    if (length == 0)
        return mark;
    u /= length;
    const QPointF n(-u.y(), u.x());
    const auto at = [&](double along, double across) { return tip + u * along + n * across; };
    const auto bar = [&](double along) { mark.strokes.append(QLineF(at(along, -5), at(along, 5))); };
    switch (end) {
    case TDiagramEnd::One:
        bar(6);
        bar(10);
        break;
    case TDiagramEnd::ZeroOrOne:
        bar(6);
        mark.circles.append(at(10 + kDiagramCircleRadius, 0));
        break;
    case TDiagramEnd::ZeroOrMany:
        mark.strokes.append(QLineF(at(10, 0), at(0, -6)));
        mark.strokes.append(QLineF(at(10, 0), at(0, 6)));
        mark.circles.append(at(14 + kDiagramCircleRadius, 0));
        break;
    }
    return mark;
}
