#include "DocumentCheckers.h"

#include "HelperProcess.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>

namespace {

QString Run(const QString& program, const QStringList& arguments, const QByteArray& input)
{
    const HelperRunResult run = RunHelperProgram(program, arguments, input, 120000, 64 << 20);
    if (run.status != HelperRunResult::Finished)
        return QStringLiteral("%1 did not finish (status %2)").arg(program).arg(int(run.status));
    return QString::fromUtf8(run.output).trimmed();
}

} // namespace

QString MermaidVerdict(const QByteArray& markdown)
{
    QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    if (node.isEmpty())
        node = QStandardPaths::findExecutable(QStringLiteral("nodejs"));
    if (node.isEmpty())
        return QStringLiteral("no Node.js (scripts/install-deps.sh installs it)");
    return Run(node, {QStringLiteral(ORVANE_SOURCE_DIR "/tests/tools/check_mermaid.mjs")}, markdown);
}

QJsonObject DocumentObjectNamed(const QByteArray& document, const QString& name)
{
    for (const QJsonValue& o :
         QJsonDocument::fromJson(document).object().value(QLatin1String("objects")).toArray()) {
        if (o.toObject().value(QLatin1String("name")).toString() == name)
            return o.toObject();
    }
    return {};
}

QJsonObject HtmlFindings(const QByteArray& html)
{
    // Debian's interpreter, which has the python3-html5lib package the scripts install.
    const QString system = QStringLiteral("/usr/bin/python3");
    const QString python =
        QFileInfo::exists(system) ? system : QStandardPaths::findExecutable(QStringLiteral("python3"));
    const QString output =
        Run(python, {QStringLiteral(ORVANE_SOURCE_DIR "/tests/tools/check_html.py")}, html);
    const QJsonDocument document = QJsonDocument::fromJson(output.toUtf8());
    if (!document.isObject())
        return QJsonObject{{QStringLiteral("errors"), QJsonArray{output}}};
    return document.object();
}
