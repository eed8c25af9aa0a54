// orvane-report: the structure report on the command line.
#include "Providers.h"
#include "ReportArguments.h"
#include "ReportCommand.h"
#include "Settings.h"
#include "TerminalPrompter.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    // PDF pages are laid out with Qt Gui's fonts, which need a platform: the offscreen one, as
    // nothing is shown. Text and RTF keep to Qt Core, which starts faster.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    TReportCommandOptions options;
    QString error;
    std::unique_ptr<QCoreApplication> app;
    if (ParseReportCommandLine(arguments, options, error) && options.format == TReportFormat::Pdf) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Starting, the toolkit remarks on a desktop session it does not need (no runtime
        // folder); a script reading standard error has no use for that.
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        app = std::make_unique<QGuiApplication>(argc, argv);
        qInstallMessageHandler(previous);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // The same name as the window, so both find the same settings in the configuration folder.
    QCoreApplication::setApplicationName(QStringLiteral("Orvane"));
    RegisterBuiltInProviders();
    SetSettingsFileName(ReportCommandSettingsFile(QCoreApplication::applicationDirPath()));
    TTerminalPrompter prompter;
    return RunReportCommand(QCoreApplication::arguments().mid(1), prompter, stdin, stdout, stderr);
}
