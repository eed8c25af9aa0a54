// Program entry of the Orvane window.
#include "Main.h"
#include "AppResources.h"
#include "Prompter.h"
#include "Providers.h"

#include <QApplication>

#include <memory>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Orvane"));

    RegisterBuiltInProviders();
    // A missing translation only leaves the toolkit's texts in English.
    InstallToolkitTexts();

    TfrmMain window(std::make_shared<TQtPrompter>(), QApplication::applicationFilePath());
    window.show();
    return app.exec();
}
