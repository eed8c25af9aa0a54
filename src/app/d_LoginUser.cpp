#include "d_LoginUser.h"

#include "UIText.h"
#include "d_LoginDatabase.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TdlgLoginUser::TdlgLoginUser(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgLoginUser"));
    PrepareLoginDialog(this, 265, 135);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(8, 8, 249, 81);

    lblLoginUserName = new QLabel(this);
    lblLoginUserName->setObjectName(QStringLiteral("lblLoginUserName"));
    lblLoginUserName->move(24, 24);
    edtLoginUserName = new QLineEdit(this);
    edtLoginUserName->setObjectName(QStringLiteral("edtLoginUserName"));
    edtLoginUserName->setGeometry(88, 20, 153, 21);

    lblLoginUserPassword = new QLabel(this);
    lblLoginUserPassword->setObjectName(QStringLiteral("lblLoginUserPassword"));
    lblLoginUserPassword->move(24, 56);
    edtLoginUserPassword = new QLineEdit(this);
    edtLoginUserPassword->setObjectName(QStringLiteral("edtLoginUserPassword"));
    edtLoginUserPassword->setGeometry(88, 52, 153, 21);
    MakeHashPasswordField(edtLoginUserPassword);

    btnOK = new QPushButton(this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(47, 100, 75, 25);
    btnOK->setDefault(true);
    btnCancel = new QPushButton(this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(135, 100, 75, 25);
    btnCancel->setAutoDefault(false);

    setTabOrder(edtLoginUserName, edtLoginUserPassword);
    setTabOrder(edtLoginUserPassword, btnOK);
    setTabOrder(btnOK, btnCancel);
    connect(btnOK, &QPushButton::clicked, this, &TdlgLoginUser::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    FormCreate();
    edtLoginUserName->setFocus();
}

void TdlgLoginUser::FormCreate()
{
    setWindowTitle(LoadUIText(201));
    lblLoginUserName->setText(LoadUIText(202));
    lblLoginUserName->adjustSize();
    lblLoginUserPassword->setText(LoadUIText(203));
    lblLoginUserPassword->adjustSize();
    btnCancel->setText(LoadUIText(2));
    btnOK->setText(LoadUIText(1));
    OK = false;
    User.clear();
    Password.clear();
}

void TdlgLoginUser::btnOKClick()
{
    User = edtLoginUserName->text();
    Password = edtLoginUserPassword->text();
    OK = true;
    accept();
}
