// The "Data Link Properties" dialog of the SQL Server page: server, log-in, whether the password
// may be kept, and the database, which the user can pick from the server's list. It composes the
// initialisation string the open command reads its settings from.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

struct TDataLinkFields
{
    QString Server;
    QString User;
    QString Password;
    bool SavePassword = false;
    QString Database;
};

class TdlgDataLink : public QDialog
{
    Q_OBJECT

public:
    // Logs in with a connection string and lists the server's databases; throws on failure.
    using DatabaseLister = std::function<QStringList(const QString& connectionString)>;

    explicit TdlgDataLink(const QString& initial, QWidget* parent = nullptr, DatabaseLister lister = {});

    // The settings of an initialisation string; keys are matched as the provider does, without
    // regard to case.
    static TDataLinkFields Parse(const QString& connectionString);
    // "Provider=SQLOLEDB.1;Password=...;Persist Security Info=...;User ID=...;Initial Catalog=...;
    // Data Source=...", values quoted where they need it. The password is always included.
    static QString Compose(const TDataLinkFields& fields);

    TDataLinkFields fields() const;
    // The composed string once confirmed; the initial string otherwise.
    QString result() const { return m_result; }

    void btnRefreshClick();
    void btnTestClick();

private:
    DatabaseLister m_lister;
    QString m_result;
    QLineEdit* edtServer = nullptr;
    QLineEdit* edtUser = nullptr;
    QLineEdit* edtPassword = nullptr;
    QCheckBox* chkSavePassword = nullptr;
    QComboBox* cboDatabase = nullptr;
    QPushButton* btnRefresh = nullptr;
    QPushButton* btnTest = nullptr;
    QLabel* lblStatus = nullptr;
};

// The real lister: logs in through the SQL Server back end and reads its database names.
QStringList ListServerDatabases(const QString& connectionString);
