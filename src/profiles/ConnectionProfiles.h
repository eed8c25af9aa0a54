// Connection profiles: named connection settings kept in the settings file, one section per
// profile, "PR_SQLServer_" or "PR_Access_" followed by the name, passwords only in encrypted form.
// The window's profile commands and orvane-report --profile share this; reading never writes.
#pragma once

#include "ConnectionSettings.h"
#include "ProviderType.h"

#include <QList>
#include <QString>
#include <QStringList>

// Every profile password is encrypted under this key text, taken as its Windows-1252 bytes, so
// profiles saved by the Windows program load here and the other way round.
extern const QString kProfileKey;

struct TProfileName
{
    TProviderType provider;
    QString name;
};

class TConnectionProfiles
{
public:
    explicit TConnectionProfiles(const QString& settingsFile);

    static QString Prefix(TProviderType provider);
    static QString Section(TProviderType provider, const QString& name);

    // One provider's profile names in file order: the sections beginning with the prefix spelt
    // exactly so, with every occurrence of the prefix, in any letter case, taken out of the name.
    QStringList Names(TProviderType provider) const;
    // Both providers' profiles in file order.
    QList<TProfileName> All() const;

    // Whether the profile's section holds a key; section names match in any letter case.
    bool Exists(TProviderType provider, const QString& name) const;

    // Reads the profile into props key by key, in the order they are saved, decrypting the stored
    // passwords; a key that is absent reads as kNotPresentValue, except the encryption keys, which
    // read as empty (FreeTDS's default). False for a SQL Server profile
    // that keeps no password ("Persist Security Info" not exactly "True"): Password is left alone
    // then, to be asked for. A stored password that cannot be decoded throws TBase64Error, and
    // what was read before it stays in props.
    bool Load(TProviderType provider, const QString& name, TConnectionProperties& props) const;

    // Writes a new profile from props, each value by a write of its own. A name already taken
    // gives false and writes nothing: a profile is never overwritten. A refused write throws
    // SettingsWriteError, and the values written before it stay.
    bool Save(TProviderType provider, const QString& name, const TConnectionProperties& props) const;

    // Removes the profile's section. Throws SettingsWriteError.
    void Erase(TProviderType provider, const QString& name) const;

private:
    QString read(const QString& section, const QString& key) const;
    void write(const QString& section, const QString& key, const QString& value) const;

    QString m_file;
};
