// The dialog that asks for an Access database's password when the file refuses the one given.
// Created for one question; its field starts empty each time.
#pragma once

#include <QDialog>
#include <QString>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class TdlgLoginDatabase : public QDialog
{
    Q_OBJECT

public:
    explicit TdlgLoginDatabase(QWidget* parent = nullptr);

    // Confirmed with OK; Password holds what was typed only then.
    bool OK = false;
    QString Password;

    void btnOKClick();

private:
    void FormCreate();

    QFrame* Bevel1 = nullptr;
    QLabel* lblLoginDatabasePassword = nullptr;
    QLineEdit* edtLoginDatabasePassword = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
};

// Shared by both login dialogs: a password field that shows one "#" per character typed.
void MakeHashPasswordField(QLineEdit* field);
// Shared by both login dialogs: the fixed dialog frame, centred on the screen.
void PrepareLoginDialog(QDialog* dialog, int width, int height);
