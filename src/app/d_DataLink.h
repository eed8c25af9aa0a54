// The "Data Link Properties" dialog of the SQL Server page: server, log-in, whether the password
// may be kept, and the database, which the user can pick from the server's list. It composes the
// initialisation string the open command reads its settings from.
#pragma once

#include "DataLinkString.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

class TdlgDataLink : public QDialog
{
    Q_OBJECT

public:
    // Logs in with a connection string and lists the server's databases; throws on failure.
    using DatabaseLister = std::function<QStringList(const QString& connectionString)>;

    explicit TdlgDataLink(const QString& initial, QWidget* parent = nullptr, DatabaseLister lister = {});

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
    QCheckBox* chkBlankPassword = nullptr;
    QCheckBox* chkSavePassword = nullptr;
    QCheckBox* chkEncrypt = nullptr;
    QCheckBox* chkTrustCertificate = nullptr;
    QCheckBox* chkReadOnlyIntent = nullptr;
    QSpinBox* spnQueryTimeout = nullptr;
    TDataLinkFields m_start;
    QComboBox* cboDatabase = nullptr;
    QPushButton* btnRefresh = nullptr;
    QPushButton* btnTest = nullptr;
    QLabel* lblStatus = nullptr;
};
