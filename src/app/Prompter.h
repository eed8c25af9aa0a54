// The one seam through which the main window shows anything modal: the input box, the error boxes,
// the file-open and file-save dialogs, the login dialogs, the data link dialog and the about dialog. The
// window never opens a dialog itself, so tests install a scripted prompter and drive every command without a
// human at the keyboard.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The button that closed an error box, as a modal result.
enum TModalResult : int
{
    mrOK = 1,
    mrCancel = 2,
    mrYes = 6,
    mrNo = 7
};

// What the Access file dialog is prepared with at window creation.
struct TOpenDialogSettings
{
    // Pairs of description and pattern, all separated by "|", as the window composes them.
    QString Filter;
    QString InitialDir;
    bool HideReadOnly = true;
    bool NoChangeDir = true;
    bool FileMustExist = true;
};

// What a save dialog is prepared with.
struct TSaveDialogSettings
{
    QString Title;
    // Pairs of description and pattern, all separated by "|", as the open dialog's.
    QString Filter;
    // Given to a name typed without one ("json").
    QString DefaultSuffix;
    // The name proposed, with or without a folder.
    QString InitialFile;
};

struct TLoginUserAnswer
{
    bool OK = false;
    QString User;
    QString Password;
};

struct TLoginDatabaseAnswer
{
    bool OK = false;
    QString Password;
};

class TPrompter
{
public:
    virtual ~TPrompter() = default;

    // Title, prompt and preset answer; cancelling gives back the preset.
    virtual QString InputBox(QWidget* parent, const QString& title, const QString& prompt,
                             const QString& preset) = 0;

    // The input box for questions whose Cancel must not count as the preset: value comes preset
    // and takes the answer; false when cancelled (value unchanged). A secret answer is not shown
    // as it is typed. Prompters that cannot tell a cancel report every answer as given.
    virtual bool InputQuery(QWidget* parent, const QString& title, const QString& prompt, QString& value,
                            bool secret)
    {
        (void)secret;
        value = InputBox(parent, title, prompt, value);
        return true;
    }

    // The program's own error box: error icon, title "Fehler", buttons by kind
    // (2 Yes/No, 3 Yes/No/Cancel, 4 Yes/Cancel, anything else OK). Returns a TModalResult.
    virtual int ShowErrorMessage(QWidget* parent, const QString& message, int kind) = 0;

    // The box of the default error handler: error icon, caption "Orvane", OK.
    virtual void ShowDefaultError(QWidget* parent, const QString& message) = 0;

    // The chosen file's full path, or the empty text when the user cancels.
    virtual QString OpenFile(QWidget* parent, const TOpenDialogSettings& settings) = 0;
    // The file to write (its folder existing, replacing it confirmed), or the empty text when the
    // user cancels.
    virtual QString SaveFile(QWidget* parent, const TSaveDialogSettings& settings) = 0;

    virtual TLoginUserAnswer AskUserLogin(QWidget* parent) = 0;
    virtual TLoginDatabaseAnswer AskDatabasePassword(QWidget* parent) = 0;

    // The SQL Server data link dialog: the composed initialisation string when confirmed,
    // the initial string unchanged when cancelled.
    virtual QString PromptDataLink(QWidget* parent, const QString& initial) = 0;

    virtual void ShowAbout(QWidget* parent) = 0;
};

// The real thing: Qt dialogs.
class TQtPrompter : public TPrompter
{
public:
    QString InputBox(QWidget* parent, const QString& title, const QString& prompt,
                     const QString& preset) override;
    bool InputQuery(QWidget* parent, const QString& title, const QString& prompt, QString& value,
                    bool secret) override;
    int ShowErrorMessage(QWidget* parent, const QString& message, int kind) override;
    void ShowDefaultError(QWidget* parent, const QString& message) override;
    QString OpenFile(QWidget* parent, const TOpenDialogSettings& settings) override;
    QString SaveFile(QWidget* parent, const TSaveDialogSettings& settings) override;
    TLoginUserAnswer AskUserLogin(QWidget* parent) override;
    TLoginDatabaseAnswer AskDatabasePassword(QWidget* parent) override;
    QString PromptDataLink(QWidget* parent, const QString& initial) override;
    void ShowAbout(QWidget* parent) override;
};

// Turns the window's "description|pattern|..." filter into Qt name filters, one a pair, whose
// patterns match in any letter case: file names are case-sensitive here, and "*.MDB" alone
// would hide x.mdb. A description without a pattern matches every file.
QStringList QtNameFilters(const QString& filter);
