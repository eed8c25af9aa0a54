#include "PdfWriterProcess.h"

#include "HelperProcess.h"
#include "PdfLines.h"

namespace {

QString& programOverride()
{
    static QString path;
    return path;
}

// A long report takes seconds to lay out; a writer that takes minutes is stuck.
constexpr int kTimeoutMs = 300000;
constexpr qint64 kMaxDocument = 2LL * 1024 * 1024 * 1024;

} // namespace

void SetPdfWriterProgram(const QString& path)
{
    programOverride() = path;
}

QString PdfWriterProgram()
{
    if (!programOverride().isEmpty())
        return programOverride();
    return HelperProgramPath(QStringLiteral("orvane-pdf-writer"));
}

QString WriteReportPdf(QIODevice& device, const QString& title, const QStringList& lines)
{
    const QString program = PdfWriterProgram();
    const HelperRunResult r =
        RunHelperProgram(program, {title}, EncodePdfLines(lines), kTimeoutMs, kMaxDocument);
    switch (r.status) {
    case HelperRunResult::StartFailed:
        return QStringLiteral("cannot start the PDF writer '%1'").arg(program);
    case HelperRunResult::TimedOut:
        return QStringLiteral("the PDF writer took too long");
    case HelperRunResult::TooMuchData:
        return QStringLiteral("the PDF document grew beyond 2 GiB");
    case HelperRunResult::Crashed:
        return QStringLiteral("the PDF writer crashed");
    case HelperRunResult::Finished:
        break;
    }
    if (r.exitCode == 3)
        return QStringLiteral("the PDF document could not be started");
    if (r.exitCode != 0)
        return QStringLiteral("the PDF writer failed (status %1)").arg(r.exitCode);
    if (device.write(r.output) != r.output.size())
        return device.errorString();
    return QString();
}
