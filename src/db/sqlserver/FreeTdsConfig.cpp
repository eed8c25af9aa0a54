#include "FreeTdsConfig.h"

#include "SqlServerSession.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

std::optional<bool> boolean(const QString& value)
{
    for (const char* yes : {"yes", "on", "true", "1"})
        if (value.compare(QLatin1String(yes), Qt::CaseInsensitive) == 0)
            return true;
    for (const char* no : {"no", "off", "false", "0"})
        if (value.compare(QLatin1String(no), Qt::CaseInsensitive) == 0)
            return false;
    return std::nullopt;
}

void apply(FreeTdsSettings& s, const QString& option, const QString& value)
{
    if (option == u"host")
        s.host = value;
    else if (option == u"port" && value.toInt() > 0 && value.toInt() < 65536)
        s.port = value.toInt();
    else if (option == u"instance")
        s.instance = value;
    else if (option == u"tds version")
        s.tdsVersion = value;
    else if (option == u"encryption")
        s.encryption = value.toLower();
    else if (option == u"ca file")
        s.caFile = value;
    else if (option == u"check certificate hostname")
        s.checkHostName = boolean(value);
    else if (option == u"read-only intent")
        s.readOnlyIntent = boolean(value);
    else if (option == u"use ntlmv2")
        s.useNtlmV2 = boolean(value);
}

} // namespace

QStringList FreeTdsConfigFiles()
{
    QStringList files;
    const QString named = qEnvironmentVariable("FREETDSCONF");
    if (!named.isEmpty())
        files << named;
    files << QDir::homePath() + QStringLiteral("/.freetds.conf")
          << QStringLiteral("/etc/freetds/freetds.conf");
    return files;
}

bool ParseFreeTdsConf(const QString& text, const QString& section, FreeTdsSettings& settings)
{
    // FreeTDS's reading of a line: blanks and comment lines skipped, the option in lower case with
    // runs of blanks made one, the value cut at ';' or '#', its runs of blanks made one.
    const auto collapse = [](const QString& s) { return s.simplified(); };
    FreeTdsSettings global = settings;
    FreeTdsSettings own = settings;
    bool inGlobal = false, inSection = false, found = false;
    for (const QString& raw : text.split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            const QString name = line.mid(1, line.indexOf(u']') < 0 ? -1 : line.indexOf(u']') - 1).trimmed();
            inGlobal = name.compare(QLatin1String("global"), Qt::CaseInsensitive) == 0;
            inSection = !section.isEmpty() && name.compare(section, Qt::CaseInsensitive) == 0;
            found |= inSection;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            continue;
        const QString option = collapse(line.left(equals)).toLower();
        QString value = line.mid(equals + 1);
        const qsizetype cut = value.indexOf(QRegularExpression(QStringLiteral("[;#]")));
        value = collapse(cut < 0 ? value : value.left(cut));
        if (inGlobal)
            apply(global, option, value);
        if (inSection)
            apply(own, option, value);
    }
    // The section's own settings over the global ones, as FreeTDS reads them in that order.
    FreeTdsSettings merged = global;
    const FreeTdsSettings base = settings;
    const auto pick = [](auto& into, const auto& fromOwn, const auto& fromBase) {
        if (fromOwn != fromBase)
            into = fromOwn;
    };
    pick(merged.host, own.host, base.host);
    pick(merged.port, own.port, base.port);
    pick(merged.instance, own.instance, base.instance);
    pick(merged.tdsVersion, own.tdsVersion, base.tdsVersion);
    pick(merged.encryption, own.encryption, base.encryption);
    pick(merged.caFile, own.caFile, base.caFile);
    pick(merged.checkHostName, own.checkHostName, base.checkHostName);
    pick(merged.readOnlyIntent, own.readOnlyIntent, base.readOnlyIntent);
    pick(merged.useNtlmV2, own.useNtlmV2, base.useNtlmV2);
    settings = merged;
    return found;
}

FreeTdsSettings ReadFreeTdsSettings(const QString& section)
{
    FreeTdsSettings settings;
    for (const QString& name : FreeTdsConfigFiles()) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        if (ParseFreeTdsConf(QString::fromUtf8(file.readAll()), section, settings))
            break;
    }
    return settings;
}

SqlServerLogin WithFreeTdsSettings(const SqlServerLogin& login)
{
    SqlServerLogin out = login;
    QString name = login.server.trimmed();
    if (name.startsWith(QLatin1String("tcp:"), Qt::CaseInsensitive))
        name = name.mid(4).trimmed();
    const bool portNamed = name.contains(u',');
    const QString host = name.section(u',', 0, 0).section(u'\\', 0, 0).trimmed();
    const bool instanceNamed = name.section(u',', 0, 0).contains(u'\\');
    if (host.isEmpty())
        return out;
    const FreeTdsSettings s = ReadFreeTdsSettings(host);
    // The server's name: an alias gives its host; the port, or else the instance, of the file
    // where the name gives neither.
    QString server =
        s.host.isEmpty()
            ? name.section(u',', 0, 0).trimmed()
            : s.host + (instanceNamed ? u'\\' + name.section(u'\\', 1).section(u',', 0, 0) : QString());
    if (portNamed)
        server += u',' + name.section(u',', 1);
    else if (!instanceNamed && s.port > 0)
        server += u',' + QString::number(s.port);
    else if (!instanceNamed && !s.instance.isEmpty())
        server += u'\\' + s.instance;
    out.server = server;
    // 7.1 to 7.4 as written; "auto" (the Debian file's) and older versions leave the program's.
    for (const char* version : {"7.1", "7.2", "7.3", "7.4"})
        if (s.tdsVersion == QLatin1String(version))
            out.tdsVersion = s.tdsVersion;
    if (s.encryption == u"require")
        out.requireEncryption = true;
    else if (s.encryption == u"off" && !out.requireEncryption && !out.verifyCertificate)
        out.encryptionOff = true;
    if (!s.caFile.isEmpty() && !out.verifyCertificate) {
        out.verifyCertificate = true;
        out.certificateAuthority = s.caFile == u"system" ? QString() : s.caFile;
    }
    if (s.checkHostName == false)
        out.checkHostName = false;
    if (s.readOnlyIntent == true)
        out.readOnlyIntent = true;
    out.useNtlmV2 = s.useNtlmV2;
    return out;
}
