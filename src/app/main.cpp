// Program entry of the Orvane window.
#include "Main.h"
#include "AppResources.h"
#include "Prompter.h"
#include "Providers.h"

#include <QApplication>
#include <QIcon>

#include <memory>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    SetApplicationNames();
    // Ties the window to its menu entry, so desktops show the entry's name and icon for it;
    // run from the build folder, where no theme has the icon, the built-in picture stands in.
    QApplication::setDesktopFileName(QStringLiteral("org.example.orvane.Orvane"));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("orvane"), QIcon(QStringLiteral(":/icons/orvane.png"))));

    RegisterBuiltInProviders();
    // A missing translation only leaves the toolkit's texts in English.
    InstallToolkitTexts();

    TfrmMain window(std::make_shared<TQtPrompter>(), QApplication::applicationFilePath());
    window.show();
    return app.exec();
}
