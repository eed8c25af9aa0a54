#include "JetLinkedTables.h"

#include "Automation.h"
#include "JetCatalogueModel.h"
#include "JetProvider.h"
#include "JetReaderFormat.h"
#include "OpenDatabase.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <exception>

namespace {

constexpr std::int32_t kHelpBase = 5000000;

// A back-end file as far as it has been read: once read, never again.
struct BackEnd
{
    bool read = false;
    JetFileHeader header;
    JetCatalogue catalogue;
    QString password;       // the one it was read with
    QStringList refused;    // passwords tried in vain
    std::int32_t error = 0; // help context of the failure that kept it unread
    QString errorText;
};

// The value of key in a Connect text such as "MS Access;PWD=x;DATABASE=C:\b.mdb".
bool connectValue(const QString& connect, QLatin1String key, QString& value)
{
    for (const QString& part : connect.split(QLatin1Char(';'))) {
        const qsizetype equals = part.indexOf(QLatin1Char('='));
        if (equals > 0 && part.left(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0) {
            value = part.mid(equals + 1);
            return true;
        }
    }
    return false;
}

// Reads path with password unless it has been read, or failed for a reason another password
// cannot mend: after a refused password only another one is tried.
BackEnd& readBackEnd(QHash<QString, BackEnd>& backEnds, const QString& path, const QString& password)
{
    BackEnd& backEnd = backEnds[QFileInfo(path).canonicalFilePath()];
    if (backEnd.read || (backEnd.error != 0 && backEnd.error != kHelpBase + 3031) ||
        backEnd.refused.contains(password))
        return backEnd;
    JetConnectionSettings settings;
    settings.dataSource = path;
    settings.databasePassword = password;
    try {
        try {
            backEnd.header = CheckJetAccess(settings);
        } catch (const AutomationError& e) {
            // A back-end without a password opens whatever password the link brings, as in Access.
            if (e.helpContext() != kHelpBase + 3031 || password.isEmpty())
                throw;
            settings.databasePassword.clear();
            backEnd.header = CheckJetAccess(settings);
        }
        // A link is to a table: the back-end's saved queries are never asked for.
        backEnd.catalogue = ReadJetCatalogue(path, settings.databasePassword, {}, false);
        backEnd.password = settings.databasePassword;
        backEnd.read = true;
    } catch (const AutomationError& e) {
        backEnd.error = e.helpContext();
        backEnd.errorText = e.description();
        if (backEnd.error == kHelpBase + 3031)
            backEnd.refused.append(password);
    } catch (const std::exception& e) {
        backEnd.error = kHelpBase + jetreader::kJetCannotOpen;
        backEnd.errorText = QString::fromUtf8(e.what());
    }
    WipeSecret(settings.databasePassword);
    return backEnd;
}

void resolve(JetTableInfo& table, const QString& frontEndFolder, const QString& frontEndPassword,
             QHash<QString, QString>& located, QHash<QString, BackEnd>& backEnds)
{
    JetLinkInfo& link = *table.link;
    if (link.type != jetreader::kLinkJet) {
        link.problem = QStringLiteral("ODBC data sources are not read.");
        return;
    }
    // Access keeps the file in Database and, in older files, only in Connect's DATABASE item.
    if (link.database.isEmpty())
        connectValue(link.connect, QLatin1String("DATABASE"), link.database);
    if (!located.contains(link.database))
        located.insert(link.database, LocateJetBackEnd(link.database, frontEndFolder));
    const QString path = located.value(link.database);
    if (path.isEmpty()) {
        link.problem = QStringLiteral("Could not find file '%1'.").arg(link.database);
        return;
    }
    QString password;
    if (!connectValue(link.connect, QLatin1String("PWD"), password))
        password = frontEndPassword;
    const BackEnd& backEnd = readBackEnd(backEnds, path, password);
    // A file has one password, compared exactly; an encrypted .accdb keeps none in its header to
    // compare with, so the one that opened the file is the measure. A file without one takes any.
    const bool refused = backEnd.read && !backEnd.password.isEmpty() && password != backEnd.password;
    WipeSecret(password);
    if (!backEnd.read) {
        link.problem = backEnd.errorText;
        return;
    }
    if (refused) {
        link.problem = QStringLiteral("Not a valid password.");
        return;
    }
    // Only a local table of the back-end: Access links to the source, never to another link.
    for (const JetTableInfo& source : backEnd.catalogue.tables) {
        if (source.isLocal() && source.name.compare(link.foreignName, Qt::CaseInsensitive) == 0) {
            table.columns = source.columns;
            table.indexes = source.indexes;
            link.resolved = true;
            link.backEndVersion = backEnd.header.version;
            return;
        }
    }
    link.problem =
        QStringLiteral("The Microsoft Jet database engine could not find the object '%1'.  Make sure "
                       "the object exists and that you spell its name and the path name correctly.")
            .arg(link.foreignName);
}

} // namespace

QString LocateJetBackEnd(const QString& stored, const QString& frontEndFolder)
{
    QString path = stored;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (path.isEmpty())
        return {};
    const QDir folder(frontEndFolder);
    const bool windowsDrive = path.size() >= 2 && path.at(1) == QLatin1Char(':') && path.at(0).isLetter();
    if (!windowsDrive) {
        const QString direct = QDir::isAbsolutePath(path) ? path : folder.filePath(path);
        if (QFileInfo(direct).isFile())
            return direct;
    }
    const QString name = path.section(QLatin1Char('/'), -1);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return {};
    if (QFileInfo(folder.filePath(name)).isFile())
        return folder.filePath(name);
    // Copied from Windows, a back-end's name often differs from the stored one in case only.
    const QStringList entries = folder.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return folder.filePath(entry);
    }
    return {};
}

void ResolveJetLinks(JetCatalogue& catalogue, const QString& frontEnd, const QString& frontEndPassword)
{
    const QString folder = QFileInfo(frontEnd).absolutePath();
    QHash<QString, QString> located;  // stored back-end name -> the file found, or empty
    QHash<QString, BackEnd> backEnds; // canonical path -> what reading it gave
    for (JetTableInfo& table : catalogue.tables) {
        if (table.isLocal())
            continue;
        resolve(table, folder, frontEndPassword, located, backEnds);
        table.link->connectShown = JetConnectWithoutPassword(table.link->connect);
        WipeSecret(table.link->connect);
    }
    for (BackEnd& backEnd : backEnds) {
        WipeSecret(backEnd.password);
        for (QString& refused : backEnd.refused)
            WipeSecret(refused);
    }
}
