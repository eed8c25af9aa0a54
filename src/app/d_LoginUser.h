// The dialog that asks for a workgroup user's name and password when an Access database refuses
// the login. Created for one question; its fields start empty each time.
#pragma once

#include <QDialog>
#include <QString>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class TdlgLoginUser : public QDialog
{
    Q_OBJECT

public:
    explicit TdlgLoginUser(QWidget* parent = nullptr);

    // Confirmed with OK; User and Password hold what was typed only then.
    bool OK = false;
    QString User;
    QString Password;

    void btnOKClick();

private:
    void FormCreate();

    QFrame* Bevel1 = nullptr;
    QLabel* lblLoginUserName = nullptr;
    QLineEdit* edtLoginUserName = nullptr;
    QLabel* lblLoginUserPassword = nullptr;
    QLineEdit* edtLoginUserPassword = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
};
