#include "ReportFormats.h"

#include "DiagramSvg.h"
#include "ReportLines.h"
#include "RtfWriter.h"
#include "StructureHtml.h"
#include "StructureJson.h"
#include "StructureMarkdown.h"
#include "UIText.h"

#include <array>

namespace {

bool WriteAll(QIODevice& device, const QByteArray& bytes)
{
    return device.write(bytes) == bytes.size();
}

// The print command's job title: the program's name and the database.
QString PagesTitle(const TReportOutput& output)
{
    return LoadUIText(5) + u' ' + output.settings.database;
}

bool ReportText(QIODevice& device, const TReportOutput& output)
{
    TDeviceLineSink sink(device);
    TReportRunHooks hooks;
    RunStructureReport(*output.connection, output.settings, output.entries, sink, hooks);
    sink.Finish();
    return sink.ok();
}

bool ReportRtf(QIODevice& device, const TReportOutput& output)
{
    TRtfWriter rtf(device, QString::fromLatin1(kReportFontFamily), kReportFontPointSize);
    TReportRunHooks hooks;
    RunStructureReport(*output.connection, output.settings, output.entries, rtf, hooks);
    return rtf.Finish();
}

bool ReportPdf(QIODevice& device, const TReportOutput& output)
{
    TStringLineSink lines;
    TReportRunHooks hooks;
    RunStructureReport(*output.connection, output.settings, output.entries, lines, hooks);
    return output.pages(device, PagesTitle(output), lines.lines());
}

bool ReportJson(QIODevice& device, const TReportOutput& output)
{
    return WriteStructureJson(device, *output.settings.structure, output.objects, output.program);
}

bool ReportMarkdown(QIODevice& device, const TReportOutput& output)
{
    return WriteAll(device, StructureMarkdown(*output.settings.structure, output.objects, output.program,
                                              output.diagram));
}

bool ReportSvg(QIODevice& device, const TReportOutput& output)
{
    return WriteAll(device, StructureDiagramSvg(*output.settings.structure, output.objects, output.diagram));
}

bool ReportDot(QIODevice& device, const TReportOutput& output)
{
    return WriteAll(device, StructureDiagramDot(*output.settings.structure, output.objects, output.diagram));
}

bool ReportHtml(QIODevice& device, const TReportOutput& output)
{
    return WriteAll(
        device, StructureHtml(*output.settings.structure, output.objects, output.program, output.diagram));
}

bool ComparisonText(QIODevice& device, const TComparisonOutput& output)
{
    TDeviceLineSink sink(device);
    WriteComparisonReport(sink, *output.settings, *output.comparison);
    sink.Finish();
    return sink.ok();
}

bool ComparisonRtf(QIODevice& device, const TComparisonOutput& output)
{
    TRtfWriter rtf(device, QString::fromLatin1(kReportFontFamily), kReportFontPointSize);
    WriteComparisonReport(rtf, *output.settings, *output.comparison);
    return rtf.Finish();
}

bool ComparisonPdf(QIODevice& device, const TComparisonOutput& output)
{
    TStringLineSink lines;
    WriteComparisonReport(lines, *output.settings, *output.comparison);
    return output.pages(device, LoadUIText(5), lines.lines());
}

bool ComparisonJsonDocument(QIODevice& device, const TComparisonOutput& output)
{
    return WriteAll(device, ComparisonJson(*output.settings, *output.comparison, output.program));
}

bool ComparisonMarkdownPage(QIODevice& device, const TComparisonOutput& output)
{
    return WriteAll(device, ComparisonMarkdown(*output.settings, *output.comparison, output.program));
}

const std::array kFormats{
    TReportFormatInfo{"text", TReportFormat::Text, "txt", "the structure report's plain lines (default)",
                      false, false, ReportText, ComparisonText},
    TReportFormatInfo{"rtf", TReportFormat::Rtf, "rtf", "the RTF document the window saves", false, false,
                      ReportRtf, ComparisonRtf},
    TReportFormatInfo{"pdf", TReportFormat::Pdf, "pdf", "the pages the window's print command prints", false,
                      false, ReportPdf, ComparisonPdf},
    TReportFormatInfo{"json", TReportFormat::Json, "json",
                      "the structure with its keys, indexes and relationships as a JSON document", true,
                      false, ReportJson, ComparisonJsonDocument},
    TReportFormatInfo{"markdown", TReportFormat::Markdown, "md",
                      "the same as a Markdown page, with contents, links and a Mermaid diagram", true, true,
                      ReportMarkdown, ComparisonMarkdownPage},
    TReportFormatInfo{"svg", TReportFormat::Svg, "svg", "the relationship diagram as an SVG image", true,
                      true, ReportSvg, nullptr},
    TReportFormatInfo{"dot", TReportFormat::Dot, "dot", "the relationship diagram as Graphviz source", true,
                      true, ReportDot, nullptr},
    TReportFormatInfo{"html", TReportFormat::Html, "html",
                      "documentation in one HTML file: contents, tables, links both ways\n"
                      "and the diagrams",
                      true, true, ReportHtml, nullptr},
};

} // namespace

std::span<const TReportFormatInfo> ReportFormats()
{
    return kFormats;
}

const TReportFormatInfo* FindReportFormat(const QString& name)
{
    for (const TReportFormatInfo& info : kFormats) {
        if (name == QLatin1String(info.name))
            return &info;
    }
    return nullptr;
}

const TReportFormatInfo& ReportFormatInfo(TReportFormat format)
{
    for (const TReportFormatInfo& info : kFormats) {
        if (info.format == format)
            return info;
    }
    return kFormats.front();
}

QString ReportFormatNames(bool (*take)(const TReportFormatInfo&), const QString& lastJoin)
{
    QStringList names;
    for (const TReportFormatInfo& info : kFormats) {
        if (take == nullptr || take(info))
            names.append(QString::fromLatin1(info.name));
    }
    if (names.size() < 2)
        return names.join(QString());
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QLatin1Char(' ') + lastJoin + QLatin1Char(' ') + last;
}
