// Program entry of the Orvane window.
#include "Main.h"
#include "Prompter.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Orvane"));

    // The toolkit's own texts (error title, Yes/No/Cancel, key names) are German in every UI
    // language; a missing translation only leaves them in English.
    QTranslator toolkitTexts;
    if (toolkitTexts.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&toolkitTexts);

    TfrmMain window(std::make_shared<TQtPrompter>(), QApplication::applicationFilePath());
    window.show();
    return app.exec();
}
