#include "AppResources.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initIcons()
{
    Q_INIT_RESOURCE(icons);
}

void InitAppResources()
{
    static const bool done = (initIcons(), true);
    Q_UNUSED(done);
}

void SetApplicationNames()
{
    QCoreApplication::setApplicationName(QStringLiteral("Orvane"));
}

bool InstallToolkitTexts()
{
    // Lives as long as the program: the application keeps only a pointer to it.
    static QTranslator toolkitTexts;
    static const bool installed =
        toolkitTexts.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(&toolkitTexts);
    return installed;
}
