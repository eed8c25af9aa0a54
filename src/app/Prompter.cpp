#include "Prompter.h"

#include "d_DataLink.h"
#include "d_InfoUeber.h"
#include "d_LoginDatabase.h"
#include "d_LoginUser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

QString TQtPrompter::InputBox(QWidget* parent, const QString& title, const QString& prompt,
                              const QString& preset)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, preset, &ok);
    return ok ? answer : preset;
}

bool TQtPrompter::InputQuery(QWidget* parent, const QString& title, const QString& prompt, QString& value,
                             bool secret)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(
        parent, title, prompt, secret ? QLineEdit::Password : QLineEdit::Normal, value, &ok);
    if (ok)
        value = answer;
    return ok;
}

int TQtPrompter::ShowErrorMessage(QWidget* parent, const QString& message, int kind)
{
    QMessageBox::StandardButtons buttons;
    switch (kind) {
    case 2:
        buttons = QMessageBox::Yes | QMessageBox::No;
        break;
    case 3:
        buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    case 4:
        buttons = QMessageBox::Yes | QMessageBox::Cancel;
        break;
    default:
        buttons = QMessageBox::Ok;
        break;
    }
    // The error title is the toolkit's German word in every UI language.
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Fehler"), message, buttons, parent);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return mrYes;
    case QMessageBox::No:
        return mrNo;
    case QMessageBox::Cancel:
        return mrCancel;
    default:
        return mrOK;
    }
}

void TQtPrompter::ShowDefaultError(QWidget* parent, const QString& message)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Orvane"), message, QMessageBox::Ok, parent);
    box.exec();
}

QStringList QtNameFilters(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString patterns = i + 1 < parts.size() ? parts.at(i + 1) : QStringLiteral("*");
        QStringList anyCase;
        for (const QString& pattern : patterns.split(u';', Qt::SkipEmptyParts)) {
            QString glob;
            for (QChar c : pattern) {
                if (c.isLetter() && c.toLower() != c.toUpper())
                    glob += u'[' + c.toLower() + c.toUpper() + u']';
                else
                    glob += c;
            }
            anyCase << glob;
        }
        filters << parts.at(i) + QStringLiteral(" (") + anyCase.join(u' ') + u')';
    }
    return filters;
}

QString TQtPrompter::OpenFile(QWidget* parent, const TOpenDialogSettings& settings)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(settings.FileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // The native dialog would apply the pattern case-sensitively and show our bracket globs.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setOption(QFileDialog::ReadOnly, settings.HideReadOnly);
    dialog.setNameFilters(QtNameFilters(settings.Filter));
    dialog.setDirectory(settings.InitialDir.isEmpty() ? QDir::homePath() : settings.InitialDir);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString chosen = dialog.selectedFiles().constFirst();
    if (settings.FileMustExist && !QFileInfo(chosen).isFile())
        return QString();
    return QDir::toNativeSeparators(chosen);
}

QString TQtPrompter::SaveFile(QWidget* parent, const TSaveDialogSettings& settings)
{
    QFileDialog dialog(parent, settings.Title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilters(QtNameFilters(settings.Filter));
    dialog.setDefaultSuffix(settings.DefaultSuffix);
    const QFileInfo initial(settings.InitialFile);
    dialog.setDirectory(initial.isAbsolute() ? initial.absolutePath() : QDir::homePath());
    dialog.selectFile(initial.fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

TLoginUserAnswer TQtPrompter::AskUserLogin(QWidget* parent)
{
    TdlgLoginUser dialog(parent);
    dialog.exec();
    return {dialog.OK, dialog.User, dialog.Password};
}

TLoginDatabaseAnswer TQtPrompter::AskDatabasePassword(QWidget* parent)
{
    TdlgLoginDatabase dialog(parent);
    dialog.exec();
    return {dialog.OK, dialog.Password};
}

QString TQtPrompter::PromptDataLink(QWidget* parent, const QString& initial)
{
    TdlgDataLink dialog(initial, parent);
    dialog.exec();
    return dialog.result();
}

void TQtPrompter::ShowAbout(QWidget* parent)
{
    TdlgInfoAbout dialog(parent);
    dialog.exec();
}
