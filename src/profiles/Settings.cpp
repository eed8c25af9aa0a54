#include "Settings.h"

#include "Language.h"

#include "KorvIniFiles.h"
#include "Utils.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString& settingsFileName()
{
    static QString name;
    return name;
}

QString joinPath(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return name;
    if (folder.endsWith(u'/') || folder.endsWith(u'\\'))
        return folder + name;
    return folder + u'/' + name;
}

} // namespace

QString SettingsFileName()
{
    return settingsFileName();
}

void SetSettingsFileName(const QString& path)
{
    settingsFileName() = path;
}

QString DetermineSettingsFileName(const QString& executablePath)
{
    const QString name = FileBaseName(executablePath) + QStringLiteral(".ini");
    const QString folder = FileFolder(executablePath);
    const QString beside = joinPath(folder, name);
    // An installed program usually lives in a folder the user cannot write to; it must still
    // start and keep its settings, so they move to the user's configuration folder.
    const QFileInfo folderInfo(folder.isEmpty() ? QStringLiteral(".") : folder);
    if (QFileInfo::exists(beside) || (folderInfo.isDir() && folderInfo.isWritable()))
        return beside;
    const QString configFolder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(configFolder);
    return joinPath(configFolder, name);
}

QString ReadSetting(const QString& section, const QString& key)
{
    return IniReadString(SettingsFileName(), section, key);
}

void WriteSetting(const QString& section, const QString& key, const QString& value)
{
    IniWriteString(SettingsFileName(), section, key, value);
}

void CreateDefaultSettings()
{
    WriteSetting(QStringLiteral("Application"), QStringLiteral("Language"), QString::number(1));
    WriteSetting(QStringLiteral("Application"), QStringLiteral("Delimiter"), QStringLiteral("*"));
}

int DetermineLanguage()
{
    return LanguageCodeFromSetting(ReadSetting(QStringLiteral("Application"), QStringLiteral("Language")));
}
