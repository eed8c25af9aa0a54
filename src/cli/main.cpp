// orvane-report: the structure report on the command line.
#include "Providers.h"
#include "ReportCommand.h"
#include "Settings.h"
#include "TerminalPrompter.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    // Qt Core only: PDF pages are laid out by a program of its own (orvane-pdf-writer), so no
    // run loads Qt Gui.
    QCoreApplication app(argc, argv);
    // The same name as the window, so both find the same settings in the configuration folder.
    QCoreApplication::setApplicationName(QStringLiteral("Orvane"));
    RegisterBuiltInProviders();
    SetSettingsFileName(ReportCommandSettingsFile(QCoreApplication::applicationDirPath()));
    TTerminalPrompter prompter;
    return RunReportCommand(QCoreApplication::arguments().mid(1), prompter, stdin, stdout, stderr);
}
