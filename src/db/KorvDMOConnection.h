// The SQL Server back end of the connection facade: one "SQLDMO.SQLServer" object logged in with the
// server, login and password of an ADO connection string; databases by name, the tables and views of
// the current database and the columns of the current table. Collections count from 1.
#pragma once

#include "Automation.h"

#include <QString>

#include <cstdint>
#include <memory>

class TKorvADOStringProp;

class TKorvDMOConnection
{
public:
    Variant SQLServer;
    Variant CurrentDatabase;
    Variant CurrentTable;
    Variant CurrentColumn;
    std::unique_ptr<TKorvADOStringProp> ConnectionProps;
    Variant CurrentView;

    // Parses the string and logs in; throws (AutomationError or the parser's error) when any step
    // fails, so a back end exists only logged in.
    explicit TKorvDMOConnection(const QString& connectionString);
    ~TKorvDMOConnection();
    TKorvDMOConnection(const TKorvDMOConnection&) = delete;
    TKorvDMOConnection& operator=(const TKorvDMOConnection&) = delete;

    void SetDatabase(const Variant& database);
    void SetTable(const Variant& table);
    void SetColumn(const Variant& column);
    void SetView(const Variant& view);
    Variant DatabaseByName(const QString& name);
    Variant TableByName(const QString& name);
    Variant TableByIndex(std::int32_t index);
    Variant ColumnByIndex(std::int32_t index);
    Variant ViewByIndex(std::int32_t index);
    Variant ViewByName(const QString& name);
    std::int32_t TableCount();
    std::int32_t ColumnCount();
    std::int32_t ViewCount();
};

// The LoginTimeout a back end puts on its server object, in seconds (30 unless changed: the
// command line takes it as an option, tests shorten it).
void SetDMOLoginTimeout(std::int32_t seconds);
std::int32_t DMOLoginTimeout();

// The PEM file of the CAs a checked server certificate must come from; empty (the default): the
// system's store.
void SetDMOCertificateAuthority(const QString& pemFile);
QString DMOCertificateAuthority();
