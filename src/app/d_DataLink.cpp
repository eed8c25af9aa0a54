#include "d_DataLink.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <exception>
#include <stdexcept>

TdlgDataLink::TdlgDataLink(const QString& initial, QWidget* parent, DatabaseLister lister)
    : QDialog(parent), m_lister(std::move(lister)), m_result(initial)
{
    if (!m_lister)
        m_lister = ListServerDatabases;
    setObjectName(QStringLiteral("dlgDataLink"));
    setWindowTitle(QStringLiteral("Data Link Properties"));

    const TDataLinkFields start = ParseDataLinkString(initial);
    auto* form = new QFormLayout;
    // The one provider this dialog composes strings for.
    auto* provider = new QLabel(QStringLiteral("Microsoft OLE DB Provider for SQL Server"), this);
    provider->setObjectName(QStringLiteral("lblProvider"));
    form->addRow(QStringLiteral("Provider:"), provider);
    edtServer = new QLineEdit(start.Server, this);
    edtServer->setObjectName(QStringLiteral("edtServer"));
    form->addRow(QStringLiteral("Server name:"), edtServer);
    edtUser = new QLineEdit(start.User, this);
    edtUser->setObjectName(QStringLiteral("edtUser"));
    form->addRow(QStringLiteral("User name:"), edtUser);
    edtPassword = new QLineEdit(start.Password, this);
    edtPassword->setObjectName(QStringLiteral("edtPassword"));
    edtPassword->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("Password:"), edtPassword);
    chkBlankPassword = new QCheckBox(QStringLiteral("Blank password"), this);
    chkBlankPassword->setObjectName(QStringLiteral("chkBlankPassword"));
    form->addRow(QString(), chkBlankPassword);
    chkSavePassword = new QCheckBox(QStringLiteral("Allow saving password"), this);
    chkSavePassword->setObjectName(QStringLiteral("chkSavePassword"));
    chkSavePassword->setChecked(start.SavePassword);
    form->addRow(QString(), chkSavePassword);

    auto* databaseRow = new QHBoxLayout;
    cboDatabase = new QComboBox(this);
    cboDatabase->setObjectName(QStringLiteral("cboDatabase"));
    cboDatabase->setEditable(true);
    cboDatabase->setEditText(start.Database);
    cboDatabase->setMinimumWidth(200);
    btnRefresh = new QPushButton(QStringLiteral("Refresh"), this);
    btnRefresh->setObjectName(QStringLiteral("btnRefresh"));
    btnRefresh->setAutoDefault(false);
    databaseRow->addWidget(cboDatabase, 1);
    databaseRow->addWidget(btnRefresh);
    form->addRow(QStringLiteral("Database:"), databaseRow);

    btnTest = new QPushButton(QStringLiteral("Test Connection"), this);
    btnTest->setObjectName(QStringLiteral("btnTest"));
    btnTest->setAutoDefault(false);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addWidget(btnTest, 0, Qt::AlignLeft);
    column->addWidget(lblStatus);
    column->addStretch();
    column->addWidget(buttons);

    // A blank password is a choice of its own: the field is emptied and closed while it stands.
    connect(chkBlankPassword, &QCheckBox::toggled, this, [this](bool blank) {
        if (blank)
            edtPassword->clear();
        edtPassword->setEnabled(!blank);
    });
    connect(btnRefresh, &QPushButton::clicked, this, &TdlgDataLink::btnRefreshClick);
    connect(btnTest, &QPushButton::clicked, this, &TdlgDataLink::btnTestClick);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        m_result = ComposeDataLinkString(fields());
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

TDataLinkFields TdlgDataLink::fields() const
{
    return {edtServer->text(), edtUser->text(), edtPassword->text(), chkSavePassword->isChecked(),
            cboDatabase->currentText()};
}

void TdlgDataLink::btnRefreshClick()
{
    const QString keep = cboDatabase->currentText();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        const QStringList names = m_lister(ComposeDataLinkString(fields()));
        cboDatabase->clear();
        cboDatabase->addItems(names);
        cboDatabase->setEditText(keep);
        lblStatus->clear();
    } catch (const std::exception& e) {
        lblStatus->setText(QString::fromUtf8(e.what()));
    }
    QApplication::restoreOverrideCursor();
}

void TdlgDataLink::btnTestClick()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        const TDataLinkFields chosen = fields();
        const QStringList names = m_lister(ComposeDataLinkString(chosen));
        // Logging in is half of it: the database chosen must be there too.
        if (!chosen.Database.isEmpty() && !names.contains(chosen.Database, Qt::CaseInsensitive))
            throw std::runtime_error(
                QStringLiteral("The server has no database named '%1'.").arg(chosen.Database).toStdString());
        lblStatus->setText(QStringLiteral("Test connection succeeded."));
    } catch (const std::exception& e) {
        lblStatus->setText(QStringLiteral("Test connection failed: ") + QString::fromUtf8(e.what()));
    }
    QApplication::restoreOverrideCursor();
}
