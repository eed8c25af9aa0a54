#include "d_DataLink.h"

#include "ADOStringProp.h"
#include "UIText.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <stdexcept>

TdlgDataLink::TdlgDataLink(const QString& initial, QWidget* parent, DatabaseLister lister)
    : QDialog(parent), m_lister(std::move(lister)), m_result(initial)
{
    if (!m_lister)
        m_lister = ListServerDatabases;
    setObjectName(QStringLiteral("dlgDataLink"));
    setWindowTitle(LoadUIText(301));

    const TDataLinkFields start = ParseDataLinkString(initial);
    m_start = start;
    auto* form = new QFormLayout;
    // The one provider this dialog composes strings for.
    auto* provider = new QLabel(QStringLiteral("Microsoft OLE DB Provider for SQL Server"), this);
    provider->setObjectName(QStringLiteral("lblProvider"));
    form->addRow(LoadUIText(302), provider);
    edtServer = new QLineEdit(start.Server, this);
    edtServer->setObjectName(QStringLiteral("edtServer"));
    form->addRow(LoadUIText(303), edtServer);
    edtUser = new QLineEdit(start.User, this);
    edtUser->setObjectName(QStringLiteral("edtUser"));
    // A backslash makes the driver log in to Windows instead; nothing else in the dialog says so.
    edtUser->setPlaceholderText(LoadUIText(328));
    edtUser->setToolTip(LoadUIText(329));
    form->addRow(LoadUIText(304), edtUser);
    edtPassword = new QLineEdit(start.Password, this);
    edtPassword->setObjectName(QStringLiteral("edtPassword"));
    edtPassword->setEchoMode(QLineEdit::Password);
    form->addRow(LoadUIText(305), edtPassword);
    chkBlankPassword = new QCheckBox(LoadUIText(306), this);
    chkBlankPassword->setObjectName(QStringLiteral("chkBlankPassword"));
    form->addRow(QString(), chkBlankPassword);
    chkSavePassword = new QCheckBox(LoadUIText(307), this);
    chkSavePassword->setObjectName(QStringLiteral("chkSavePassword"));
    chkSavePassword->setChecked(start.SavePassword);
    form->addRow(QString(), chkSavePassword);

    auto* databaseRow = new QHBoxLayout;
    cboDatabase = new QComboBox(this);
    cboDatabase->setObjectName(QStringLiteral("cboDatabase"));
    cboDatabase->setEditable(true);
    cboDatabase->setEditText(start.Database);
    cboDatabase->setMinimumWidth(200);
    btnRefresh = new QPushButton(LoadUIText(309), this);
    btnRefresh->setObjectName(QStringLiteral("btnRefresh"));
    btnRefresh->setAutoDefault(false);
    databaseRow->addWidget(cboDatabase, 1);
    databaseRow->addWidget(btnRefresh);
    form->addRow(LoadUIText(308), databaseRow);

    // OLE DB's meaning: a required encryption checks the certificate unless it is trusted as it is.
    chkEncrypt = new QCheckBox(LoadUIText(315), this);
    chkEncrypt->setObjectName(QStringLiteral("chkEncrypt"));
    chkEncrypt->setChecked(ConnectionFlag(start.UseEncryption).value_or(false));
    form->addRow(QString(), chkEncrypt);
    chkTrustCertificate = new QCheckBox(LoadUIText(316), this);
    chkTrustCertificate->setObjectName(QStringLiteral("chkTrustCertificate"));
    chkTrustCertificate->setChecked(ConnectionFlag(start.TrustServerCertificate).value_or(false));
    form->addRow(QString(), chkTrustCertificate);
    chkReadOnlyIntent = new QCheckBox(LoadUIText(603), this);
    chkReadOnlyIntent->setObjectName(QStringLiteral("chkReadOnlyIntent"));
    chkReadOnlyIntent->setChecked(start.ApplicationIntent.compare(u"ReadOnly", Qt::CaseInsensitive) == 0);
    form->addRow(QString(), chkReadOnlyIntent);
    // 0 stands for the program's default, which the box names.
    spnQueryTimeout = new QSpinBox(this);
    spnQueryTimeout->setObjectName(QStringLiteral("spnQueryTimeout"));
    spnQueryTimeout->setRange(0, 86400);
    spnQueryTimeout->setSpecialValueText(QStringLiteral("60"));
    spnQueryTimeout->setValue(start.GeneralTimeout.toInt());
    form->addRow(LoadUIText(604), spnQueryTimeout);

    btnTest = new QPushButton(LoadUIText(310), this);
    btnTest->setObjectName(QStringLiteral("btnTest"));
    btnTest->setAutoDefault(false);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setWordWrap(true);
    lblStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Room for four lines from the start, and wrapping instead of widening: a message (a server
    // that cannot be reached takes two lines of its own) must not move the rows or the buttons.
    // A longer one scrolls, and so does a word longer than the line, instead of being cut off.
    auto* statusArea = new QScrollArea(this);
    statusArea->setObjectName(QStringLiteral("scrStatus"));
    statusArea->setFrameShape(QFrame::NoFrame);
    statusArea->setWidgetResizable(true);
    statusArea->setWidget(lblStatus);
    statusArea->setFixedHeight(4 * lblStatus->fontMetrics().lineSpacing() + 4);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    // Wide enough for the longest message in four lines.
    setMinimumWidth(lblStatus->fontMetrics().averageCharWidth() * 84);
    auto* column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addWidget(btnTest, 0, Qt::AlignLeft);
    column->addWidget(statusArea);
    column->addStretch();
    column->addWidget(buttons);
    // No narrower than its rows either: a check box's text would be cut off at the right.
    setMinimumWidth(std::max(minimumWidth(), column->minimumSize().width()));

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
    // A box left as it was leaves its property as the string had it, named or not; a string that
    // named neither comes back without them.
    auto flag = [](const QCheckBox* box, const QString& was) {
        if (!box->isChecked() && was.isEmpty())
            return QString();
        return box->isChecked() ? QStringLiteral("True") : QStringLiteral("False");
    };
    TDataLinkFields f;
    f.Server = edtServer->text();
    f.User = edtUser->text();
    f.Password = edtPassword->text();
    f.SavePassword = chkSavePassword->isChecked();
    f.Database = cboDatabase->currentText();
    f.UseEncryption = flag(chkEncrypt, m_start.UseEncryption);
    f.TrustServerCertificate = flag(chkTrustCertificate, m_start.TrustServerCertificate);
    f.ApplicationIntent = chkReadOnlyIntent->isChecked()        ? QStringLiteral("ReadOnly")
                          : m_start.ApplicationIntent.isEmpty() ? QString()
                                                                : QStringLiteral("ReadWrite");
    f.GeneralTimeout = spnQueryTimeout->value() > 0 ? QString::number(spnQueryTimeout->value()) : QString();
    return f;
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
        // A database that could not be opened gave way to the list the login can see.
        if (!keep.isEmpty() && !names.contains(keep, Qt::CaseInsensitive))
            lblStatus->setText(LoadUIText(605).arg(keep));
        else
            lblStatus->clear();
    } catch (const std::exception& e) {
        lblStatus->setText(ServerFailureText(edtServer->text(), QString::fromUtf8(e.what())));
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
            throw std::runtime_error(LoadUIText(313).arg(chosen.Database).toStdString());
        lblStatus->setText(LoadUIText(311));
    } catch (const std::exception& e) {
        lblStatus->setText(LoadUIText(312) +
                           ServerFailureText(edtServer->text(), QString::fromUtf8(e.what())));
    }
    QApplication::restoreOverrideCursor();
}
