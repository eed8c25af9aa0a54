#include "ConnectionProfiles.h"

#include "EngineTraits.h"
#include "KorvIniFiles.h"
#include "KorvUserManagerCrypt.h"
#include "Utils.h"

#include <utility>

const QString kProfileKey = QStringLiteral(u"p#4!Wö=t°Q");

namespace {

const QString kServer = QStringLiteral("Server");
const QString kDatabase = QStringLiteral("Database");
const QString kUser = QStringLiteral("User");
const QString kPersist = QStringLiteral("Persist Security Info");
const QString kPassword = QStringLiteral("Password");
const QString kDatabasePassword = QStringLiteral("Database Password");
const QString kSystemDatabase = QStringLiteral("System database");
const QString kTrue = QStringLiteral("True");
// Written only when the profile asks for more than FreeTDS's default, so that a profile that does
// not is the same section the Windows program writes and reads.
const QString kUseEncryption = QStringLiteral("Use Encryption for Data");
const QString kTrustCertificate = QStringLiteral("Trust Server Certificate");
const QString kGeneralTimeout = QStringLiteral("General Timeout");
const QString kApplicationIntent = QStringLiteral("Application Intent");

} // namespace

TConnectionProfiles::TConnectionProfiles(const QString& settingsFile) : m_file(settingsFile) {}

QString TConnectionProfiles::Prefix(TProviderType provider)
{
    return QString::fromLatin1(EngineTraits(provider).profilePrefix);
}

QString TConnectionProfiles::Section(TProviderType provider, const QString& name)
{
    return Prefix(provider) + name;
}

QString TConnectionProfiles::read(const QString& section, const QString& key) const
{
    return IniReadString(m_file, section, key);
}

void TConnectionProfiles::write(const QString& section, const QString& key, const QString& value) const
{
    IniWriteString(m_file, section, key, value);
}

QList<TProfileName> TConnectionProfiles::All() const
{
    QList<TProfileName> profiles;
    for (const QString& section : IniSectionNames(m_file)) {
        for (TProviderType provider : {ptSQLServer, ptAccess}) {
            // The prefix is recognised only as the program writes it, but taken out in any letter
            // case and wherever it stands, as the Windows program lists its profiles.
            if (section.startsWith(Prefix(provider), Qt::CaseSensitive))
                profiles.append({provider, ReplaceAllNoCase(section, Prefix(provider), QString())});
        }
    }
    return profiles;
}

QStringList TConnectionProfiles::Names(TProviderType provider) const
{
    QStringList names;
    for (const TProfileName& profile : All()) {
        if (profile.provider == provider)
            names.append(profile.name);
    }
    return names;
}

bool TConnectionProfiles::Exists(TProviderType provider, const QString& name) const
{
    return IniSectionExists(m_file, Section(provider, name));
}

bool TConnectionProfiles::Load(TProviderType provider, const QString& name,
                               TConnectionProperties& props) const
{
    const QString section = Section(provider, name);
    if (provider == ptSQLServer) {
        props.Server = read(section, kServer);
        props.Database = read(section, kDatabase);
        props.User = read(section, kUser);
        props.SavePW = read(section, kPersist);
        for (const auto& [key, field] :
             {std::pair{&kUseEncryption, &TConnectionProperties::UseEncryption},
              std::pair{&kTrustCertificate, &TConnectionProperties::TrustServerCertificate},
              std::pair{&kGeneralTimeout, &TConnectionProperties::GeneralTimeout},
              std::pair{&kApplicationIntent, &TConnectionProperties::ApplicationIntent}}) {
            const QString value = read(section, *key);
            props.*field = value == kNotPresentValue ? QString() : value;
        }
        if (props.SavePW != kTrue)
            return false;
        props.Password = DecryptText(kProfileKey, read(section, kPassword));
        return true;
    }
    props.Database = read(section, kDatabase);
    props.Password = DecryptText(kProfileKey, read(section, kDatabasePassword));
    props.User = read(section, kUser);
    props.UserPassword = DecryptText(kProfileKey, read(section, kPassword));
    props.SystemDatabase = read(section, kSystemDatabase);
    return true;
}

bool TConnectionProfiles::Save(TProviderType provider, const QString& name,
                               const TConnectionProperties& props) const
{
    if (Exists(provider, name))
        return false;
    const QString section = Section(provider, name);
    if (provider == ptSQLServer) {
        write(section, kServer, props.Server);
        write(section, kDatabase, props.Database);
        write(section, kUser, props.User);
        write(section, kPersist, props.SavePW);
        write(section, kPassword,
              props.SavePW == kTrue ? EncryptText(kProfileKey, props.Password) : QString());
        if (!props.UseEncryption.isEmpty())
            write(section, kUseEncryption, props.UseEncryption);
        if (!props.TrustServerCertificate.isEmpty())
            write(section, kTrustCertificate, props.TrustServerCertificate);
        if (!props.GeneralTimeout.isEmpty())
            write(section, kGeneralTimeout, props.GeneralTimeout);
        if (!props.ApplicationIntent.isEmpty())
            write(section, kApplicationIntent, props.ApplicationIntent);
        return true;
    }
    write(section, kDatabase, props.Database);
    write(section, kDatabasePassword, EncryptText(kProfileKey, props.Password));
    write(section, kUser, props.User);
    write(section, kPassword, EncryptText(kProfileKey, props.UserPassword));
    write(section, kSystemDatabase, props.SystemDatabase);
    return true;
}

void TConnectionProfiles::Erase(TProviderType provider, const QString& name) const
{
    IniEraseSection(m_file, Section(provider, name));
}
