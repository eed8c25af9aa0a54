#include "d_LoginDatabase.h"

#include "UIText.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>

namespace {

// The platform style would draw bullets; the login fields mask with "#".
class HashMaskStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == QStyle::SH_LineEdit_PasswordCharacter)
            return u'#';
        if (hint == QStyle::SH_LineEdit_PasswordMaskDelay)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

void MakeHashPasswordField(QLineEdit* field)
{
    auto* style = new HashMaskStyle;
    style->setParent(field);
    field->setStyle(style);
    field->setEchoMode(QLineEdit::Password);
}

void PrepareLoginDialog(QDialog* dialog, int width, int height)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
    dialog->setFixedSize(width, height);
    dialog->setModal(true);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        dialog->move(screen->availableGeometry().center() - dialog->rect().center());
}

TdlgLoginDatabase::TdlgLoginDatabase(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgLoginDatabase"));
    PrepareLoginDialog(this, 265, 103);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(8, 8, 249, 49);

    lblLoginDatabasePassword = new QLabel(this);
    lblLoginDatabasePassword->setObjectName(QStringLiteral("lblLoginDatabasePassword"));
    lblLoginDatabasePassword->move(24, 24);
    edtLoginDatabasePassword = new QLineEdit(this);
    edtLoginDatabasePassword->setObjectName(QStringLiteral("edtLoginDatabasePassword"));
    edtLoginDatabasePassword->setGeometry(88, 20, 153, 21);
    MakeHashPasswordField(edtLoginDatabasePassword);

    btnOK = new QPushButton(this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(47, 68, 75, 25);
    btnOK->setDefault(true);
    btnCancel = new QPushButton(this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(135, 68, 75, 25);
    btnCancel->setAutoDefault(false);

    setTabOrder(edtLoginDatabasePassword, btnOK);
    setTabOrder(btnOK, btnCancel);
    connect(btnOK, &QPushButton::clicked, this, &TdlgLoginDatabase::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    FormCreate();
    edtLoginDatabasePassword->setFocus();
}

void TdlgLoginDatabase::FormCreate()
{
    setWindowTitle(LoadUIText(204));
    lblLoginDatabasePassword->setText(LoadUIText(205));
    lblLoginDatabasePassword->adjustSize();
    btnCancel->setText(LoadUIText(2));
    btnOK->setText(LoadUIText(1));
    OK = false;
    Password.clear();
}

void TdlgLoginDatabase::btnOKClick()
{
    Password = edtLoginDatabasePassword->text();
    OK = true;
    accept();
}
