#include "DiagramSvg.h"

#include "EngineTraits.h"

#include <QFileInfo>

namespace {

QString Number(double value)
{
    QString text = QString::number(value, 'f', 1);
    if (text.endsWith(QStringLiteral(".0")))
        text.chop(2);
    return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
}

QString PathData(const QList<QPointF>& path)
{
    QString d = QStringLiteral("M") + Number(path.first().x()) + QLatin1Char(' ') + Number(path.first().y());
    for (qsizetype i = 1; i + 2 < path.size(); i += 3) {
        d += QStringLiteral(" C");
        for (qsizetype j = i; j < i + 3; ++j)
            d += QLatin1Char(' ') + Number(path.at(j).x()) + QLatin1Char(' ') + Number(path.at(j).y());
    }
    return d;
}

class TSvgWriter
{
public:
    TSvgWriter(const TDiagramGraph& graph, const TDiagramSvgOptions& options)
        : m_graph(graph), m_options(options)
    {
    }

    void picture(const TDiagramPicture& picture, const QPointF& at)
    {
        m_out += QStringLiteral("<g class=\"picture\" transform=\"translate(%1 %2)\">\n")
                     .arg(Number(at.x()), Number(at.y()));
        if (!picture.caption.isEmpty())
            m_out += QStringLiteral("<text class=\"caption\" x=\"%1\" y=\"%2\" font-size=\"12\" "
                                    "font-weight=\"bold\">%3</text>\n")
                         .arg(Number(kDiagramMargin), Number(kDiagramMargin + 14), XmlText(picture.caption));
        for (const TPlacedLine& line : picture.lines)
            relationship(line);
        for (const TPlacedBox& box : picture.boxes)
            table(box, box.box == picture.panel.focus);
        m_out += QStringLiteral("</g>\n");
    }

    QString text() const { return m_out; }

private:
    QString id(const QString& kind, int index) const
    {
        return m_options.idPrefix + kind + QString::number(index);
    }

    void table(const TPlacedBox& placed, bool focus)
    {
        const TDiagramBox& box = m_graph.boxes.at(placed.box);
        const TDiagramBoxMetrics m = DiagramBoxMetrics(box);
        const QRectF& r = placed.rect;
        const QString link = m_options.boxLink ? m_options.boxLink(placed.box) : QString();
        if (!link.isEmpty())
            m_out += QStringLiteral("<a href=\"%1\">\n").arg(XmlText(link));
        m_out += QStringLiteral("<g class=\"table\" id=\"%1\"><title>%2</title>\n")
                     .arg(id(QStringLiteral("table-"), placed.box), XmlText(box.name));
        m_out += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"#ffffff\" "
                                "stroke=\"#3b4a5a\"/>\n")
                     .arg(Number(r.x()), Number(r.y()), Number(r.width()), Number(r.height()));
        m_out += QStringLiteral(
                     "<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\" stroke=\"#3b4a5a\"/>\n")
                     .arg(Number(r.x()), Number(r.y()), Number(r.width()), Number(kDiagramTitleHeight),
                          focus ? QStringLiteral("#f3d37a") : QStringLiteral("#d7e3f0"));
        const QPointF title = DiagramRowBaseline(r, -1);
        m_out += QStringLiteral("<text x=\"%1\" y=\"%2\" font-weight=\"bold\">%3</text>\n")
                     .arg(Number(title.x()), Number(title.y()), XmlText(box.name));
        for (qsizetype i = 0; i < box.columns.size(); ++i) {
            const TDiagramColumn& column = box.columns.at(i);
            const QPointF at = DiagramRowBaseline(r, int(i));
            m_out += QStringLiteral("<text y=\"%1\">").arg(Number(at.y()));
            const QString mark = DiagramColumnMark(column);
            if (!mark.isEmpty())
                m_out += QStringLiteral("<tspan x=\"%1\" fill=\"#8a5a00\" font-weight=\"bold\">%2</tspan>")
                             .arg(Number(at.x()), mark);
            m_out +=
                QStringLiteral("<tspan x=\"%1\"%2>%3</tspan>")
                    .arg(Number(at.x() + m.markWidth),
                         column.primaryKey ? QStringLiteral(" text-decoration=\"underline\"") : QString(),
                         XmlText(column.name));
            if (!column.typeName.isEmpty())
                m_out += QStringLiteral("<tspan x=\"%1\" fill=\"#555555\">%2</tspan>")
                             .arg(Number(at.x() + m.markWidth + m.nameWidth), XmlText(column.typeName));
            m_out += QStringLiteral("</text>\n");
        }
        m_out += QStringLiteral("</g>\n");
        if (!link.isEmpty())
            m_out += QStringLiteral("</a>\n");
    }

    void relationship(const TPlacedLine& placed)
    {
        const TDiagramLine& line = m_graph.lines.at(placed.line);
        m_out += QStringLiteral("<g class=\"relationship\" id=\"%1\"><title>%2</title>\n")
                     .arg(id(QStringLiteral("relationship-"), placed.line), XmlText(line.title));
        if (placed.path.size() >= 2) {
            const QString d = PathData(placed.path);
            m_out +=
                QStringLiteral("<path d=\"%1\" fill=\"none\" stroke=\"#4a5563\" stroke-width=\"1.2\"%2/>\n")
                    .arg(d, line.key->enforced ? QString() : QStringLiteral(" stroke-dasharray=\"5 3\""));
            // A wider, invisible twin makes the line easy to point at for its tooltip.
            m_out += QStringLiteral("<path d=\"%1\" fill=\"none\" stroke=\"#000000\" stroke-opacity=\"0\" "
                                    "stroke-width=\"8\"/>\n")
                         .arg(d);
            end(DiagramEndMark(placed.path, true, line.fromEnd));
            end(DiagramEndMark(placed.path, false, line.toEnd));
        }
        m_out += QStringLiteral("</g>\n");
    }

    void end(const TDiagramEndMark& mark)
    {
        if (!mark.strokes.isEmpty()) {
            QString d;
            for (const QLineF& stroke : mark.strokes)
                d += QStringLiteral("M%1 %2 L%3 %4 ")
                         .arg(Number(stroke.x1()), Number(stroke.y1()), Number(stroke.x2()),
                              Number(stroke.y2()));
            d.chop(1);
            m_out +=
                QStringLiteral("<path d=\"%1\" fill=\"none\" stroke=\"#4a5563\" stroke-width=\"1.2\"/>\n")
                    .arg(d);
        }
        for (const QPointF& centre : mark.circles)
            m_out +=
                QStringLiteral("<circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"#ffffff\" stroke=\"#4a5563\" "
                               "stroke-width=\"1.2\"/>\n")
                    .arg(Number(centre.x()), Number(centre.y()), Number(kDiagramCircleRadius));
    }

    const TDiagramGraph& m_graph;
    const TDiagramSvgOptions& m_options;
    QString m_out;
};

} // namespace

QString DocumentTitle(const TCatalogue& catalogue)
{
    // A file's database is named by the file; the folder it lies in says nothing of the picture.
    return EngineTraitsOfWord(catalogue.provider).choosesDatabase ? catalogue.database
                                                                  : QFileInfo(catalogue.database).fileName();
}

QString XmlText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'&')
            out += QStringLiteral("&amp;");
        else if (u == u'<')
            out += QStringLiteral("&lt;");
        else if (u == u'>')
            out += QStringLiteral("&gt;");
        else if (u == u'"')
            out += QStringLiteral("&quot;");
        else if ((u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0xfffe || u == 0xffff)
            out += QChar(0xfffd);
        else
            out += c;
    }
    return out;
}

QByteArray DiagramSvg(const TDiagramGraph& graph, const QList<TDiagramPicture>& pictures,
                      const TDiagramSvgOptions& options)
{
    QList<QSizeF> sizes;
    for (const TDiagramPicture& picture : pictures)
        sizes.append(picture.size);
    QSizeF size;
    const QList<QPointF> places = ArrangePictures(sizes, kDiagramRowWidth, size);
    TSvgWriter writer(graph, options);
    for (qsizetype i = 0; i < pictures.size(); ++i)
        writer.picture(pictures.at(i), places.at(i));

    QString out;
    if (options.standalone)
        out += QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                              "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" ");
    else
        out += QStringLiteral("<svg class=\"diagram\" role=\"img\" ");
    const QString width = Number(std::max(size.width(), 1.0));
    const QString height = Number(std::max(size.height(), 1.0));
    out +=
        QStringLiteral("width=\"%1\" height=\"%2\" viewBox=\"0 0 %1 %2\" "
                       "font-family=\"'Liberation Mono', 'DejaVu Sans Mono', monospace\" font-size=\"%3\">\n")
            .arg(width, height, Number(kDiagramFontSize));
    if (!options.title.isEmpty())
        out += QStringLiteral("<title>%1</title>\n").arg(XmlText(options.title));
    out += writer.text();
    out += QStringLiteral("</svg>\n");
    return out.toUtf8();
}

QByteArray StructureDiagramSvg(const TCatalogue& catalogue, const QList<const TCatalogueObject*>& objects,
                               const TDiagramOptions& options)
{
    const TDiagramGraph graph = BuildDiagramGraph(objects, options);
    const QList<TDiagramPicture> pictures = LayOutDiagrams(graph, PlanDiagrams(graph, options.limit));
    TDiagramSvgOptions svg;
    svg.title = DocumentTitle(catalogue);
    return DiagramSvg(graph, pictures, svg);
}

QByteArray StructureDiagramDot(const TCatalogue& catalogue, const QList<const TCatalogueObject*>& objects,
                               const TDiagramOptions& options)
{
    const TDiagramGraph graph = BuildDiagramGraph(objects, options);
    QByteArray out = "// " + DocumentTitle(catalogue).toUtf8().replace('\n', ' ').replace('\r', ' ') + "\n";
    for (const TDiagramPanel& panel : PlanDiagrams(graph, options.limit)) {
        const QString caption = DiagramPanelTitle(graph, panel);
        if (!caption.isEmpty())
            out += "// " + caption.toUtf8().replace('\n', ' ').replace('\r', ' ') + "\n";
        for (const QByteArray& source : DiagramDotGraphs(graph, panel))
            out += source;
    }
    return out;
}
