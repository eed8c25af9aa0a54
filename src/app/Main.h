// The program's main window: its controls, commands, menus and toolbar, the connection state it
// keeps (the published properties and the facade), its creation sequence and the page switch.
// Command handlers only wire controls to core logic; every modal thing goes through the prompter.
#pragma once

#include "ConnectionSettings.h"
#include "KorvConnection.h"
#include "Prompter.h"
#include "ProviderType.h"
#include "TableList.h"

#include <QDateTime>
#include <QKeySequence>
#include <QList>
#include <QMainWindow>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTextEdit;
class QToolBar;
class QToolButton;
class QWidget;
class TProfileComboBox;
class TStatusHint;

class TfrmMain : public QMainWindow
{
    Q_OBJECT
    Q_PROPERTY(QString Server READ Server WRITE SetServer)
    Q_PROPERTY(QString Database READ Database WRITE SetDatabase)
    Q_PROPERTY(QString User READ User WRITE SetUser)
    Q_PROPERTY(QString Password READ Password WRITE SetPassword)
    Q_PROPERTY(QString UserPassword READ UserPassword WRITE SetUserPassword)
    Q_PROPERTY(QString SystemDatabase READ SystemDatabase WRITE SetSystemDatabase)
    Q_PROPERTY(QString SavePW READ SavePW WRITE SetSavePW)
    Q_PROPERTY(int Provider READ ProviderValue)

public:
    // executablePath decides where the settings file lives (empty: the running program's own
    // path); tests point it into a temporary folder.
    explicit TfrmMain(std::shared_ptr<TPrompter> prompter, const QString& executablePath = {},
                      QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Connection state beyond the controls.
    std::unique_ptr<TKorvConnection> Connection;
    QString AccessConnectionString;
    QString SQLServerConnectionString;
    bool ShowSystemTables = false;
    std::int32_t SearchPosition = 0;
    bool CancelRequested = false;

    // Published properties. Server and Database show on the pages; the others are plain values.
    QString Server() const { return m_server; }
    void SetServer(const QString& value);
    QString Database() const { return m_database; }
    void SetDatabase(const QString& value);
    QString User() const { return m_user; }
    void SetUser(const QString& value) { m_user = value; }
    QString Password() const { return m_password; }
    void SetPassword(const QString& value) { m_password = value; }
    QString UserPassword() const { return m_userPassword; }
    void SetUserPassword(const QString& value) { m_userPassword = value; }
    QString SystemDatabase() const { return m_systemDatabase; }
    void SetSystemDatabase(const QString& value) { m_systemDatabase = value; }
    QString SavePW() const { return m_savePW; }
    void SetSavePW(const QString& value) { m_savePW = value; }
    TProviderType Provider() const { return m_provider; }
    int ProviderValue() const { return m_provider; }

    // The report delimiter read at creation and changed by the delimiter command.
    QChar DelimiterChar() const { return m_delimiterChar; }

    TPrompter& prompter() { return *m_prompter; }
    void setPrompter(std::shared_ptr<TPrompter> prompter);

    void ResetConnectionState();
    void ApplyLanguage();
    // The filter, start folder and options the Access file dialog is shown with.
    const TOpenDialogSettings& openDialogSettings() const { return m_openDialog; }

    // Prints into this PDF file instead of the default printer (tests, and a print preview).
    void setPrintTarget(const QString& pdfFile) { m_printTarget = pdfFile; }

    // The date the report header shows; tests fix it.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    bool reportRunning() const { return m_reportRunning; }
    // How often, at most, a running report appends its new lines to the pane (milliseconds).
    void setPaneInterval(int milliseconds) { m_paneIntervalMs = milliseconds; }

    // Connection strings from the published properties.
    QString BuildSQLServerConnectionString() const;
    QString BuildAccessConnectionString() const;
    // The data link dialog; sets SQLServerConnectionString (empty when cancelled) and the properties.
    void PromptSQLServerConnection();
    // Reads Server, Database, User, Password and SavePW back out of SQLServerConnectionString.
    void ApplySQLServerConnectionString();
    // Builds the Access string, opens it and, while the file refuses the login or the password,
    // asks for it and tries again; any other failure is shown once.
    void OpenAccessDatabase();
    // Logs in with SQLServerConnectionString; a login that fails throws its reason.
    void OpenSQLServerDatabase();

    // The pane's lines as written, however the pane wraps them; no empty last line.
    QStringList paneLines() const;

    // Runs work under the default error handler: a failure is shown in the handler's box and the
    // window stays usable. Public so every entry into the window's logic can share it.
    void runGuarded(const std::function<void()>& work);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    friend class TWindowCredentials;
    void FormCreate(const QString& executablePath);
    void FormClose();
    void buildActions();
    void buildMenus();
    void buildToolbar();
    void buildPages();
    QWidget* buildSQLServerPage();
    QWidget* buildAccessPage();
    void buildWorkArea();
    void buildStatusBar();
    void connectEvents();
    void syncSysTablesItem();
    // Sizes the pages' labels and radio buttons to their texts in the current language.
    void fitPageTexts();

    // Command handlers.
    void actExitExecute();
    void actOpenDatabaseExecute();
    void actRefreshExecute();
    void actMarkAllExecute();
    void actMarkNoExecute();
    void actPrintExecute();
    void actSaveListboxExecute();
    void actSaveClipboardExecute();
    void actFindTextExecute();
    void actBreakExecute();
    void actOutputExecute();
    void actEnableSysExecute();
    // The Options menu's check item: Output writes the extended report while it is marked; the
    // mark is kept in the settings file.
    void actExtendedReportExecute();
    void actSetLanguageExecute();
    void actSetDelimiterExecute();
    void actSetProfilExecute();
    void actDeleteProfileExecute();
    void actInfoUeberExecute();
    void actSaveClipboardSelectedExecute();
    // The File menu's structure commands: the open database's structure document written to a
    // chosen file, and the differences from a chosen baseline (a structure document or an Access
    // file) shown in the pane.
    void actSaveStructureExecute();
    void actCompareWithExecute();
    // View > Relationships: the diagram of the checked tables (all when none is) in a window of its own.
    void actRelationshipsExecute();

    // Control events.
    void pgcProviderChange();
    void edtAccessDBChange();
    void edtSearchChange();
    // select: the user chose an entry in the drop-down part that has just closed.
    void cboSQLServerProfileCloseUp(bool select);
    void cboAccessProfileCloseUp(bool select);

    TTableList tableEntries() const;
    // Whether the list shows (or is to show) views: only where the engine lists them apart.
    bool viewsChosen() const;
    // The page's choice of views (SQL Server) or queries (Access).
    QRadioButton* viewsButton() const;
    void showTableEntries(const TTableList& entries);
    void updateTableEntries(const TTableList& entries);
    TConnectionProperties connectionProperties() const;

    void FindNextInOutput();

    void FillProfileLists();
    void LoadProfile(const QString& profileName);
    // The profile list of the page shown. A list's modified mark is set by every change of its
    // entry and cleared when the program sets the entry and at every close-up.
    QComboBox* profileList() const;
    // Makes name the entry of a profile list (none when it is not listed) without setting its mark.
    void setProfileText(QComboBox* list, const QString& name);
    void profileCloseUp(QComboBox* list, bool& modified, bool select);
    void setConnectionProperties(const TConnectionProperties& props);

    // Connects an action to its handler through the default error handler; while a report runs,
    // only the Break command gets through.
    void attach(QAction* action, void (TfrmMain::*handler)());

    std::shared_ptr<TPrompter> m_prompter;

    QString m_server;
    QString m_database;
    QString m_user;
    QString m_password;
    QString m_userPassword;
    QString m_systemDatabase;
    QString m_savePW;
    // The encryption choices of the data link dialog or the profile ("True", "False" or empty).
    QString m_useEncryption;
    QString m_trustServerCertificate;
    QString m_generalTimeout;
    QString m_applicationIntent;
    TProviderType m_provider = ptSQLServer;
    QChar m_delimiterChar = u'*';
    bool m_reportRunning = false;
    int m_paneIntervalMs = 200;
    bool m_closeRequested = false;
    bool m_searchMarked = false;
    QString m_printTarget;
    std::function<QDateTime()> m_clock;
    bool m_settingPage = false;
    bool m_sqlServerProfileModified = false;
    bool m_accessProfileModified = false;
    // The opening of the current connection has shown why it failed, or the user declined its
    // login question; the refresh right after it then asks nothing more. Read once.
    bool m_openFailureShown = false;
    TOpenDialogSettings m_openDialog;
    QList<QKeySequence> m_shortcuts;

    // Commands.
    QAction* actExit = nullptr;
    QAction* actOpenDatabase = nullptr;
    QAction* actRefresh = nullptr;
    QAction* actMarkAll = nullptr;
    QAction* actMarkNo = nullptr;
    QAction* actPrint = nullptr;
    QAction* actSaveListbox = nullptr;
    QAction* actSaveClipboard = nullptr;
    QAction* actFindText = nullptr;
    QAction* actBreak = nullptr;
    QAction* actOutput = nullptr;
    QAction* actEnableSys = nullptr;
    QAction* actExtendedReport = nullptr;
    QAction* actSetLanguage = nullptr;
    QAction* actSetDelimiter = nullptr;
    QAction* actSetProfil = nullptr;
    QAction* actDeleteProfile = nullptr;
    QAction* actInfoUeber = nullptr;
    QAction* actSaveClipboardSelected = nullptr;
    QAction* actSaveStructure = nullptr;
    QAction* actCompareWith = nullptr;
    QAction* actRelationships = nullptr;
    QAction* tbiSysTables = nullptr;

    // Bars.
    QWidget* tbdMenue = nullptr;
    QMenuBar* tbtMenue = nullptr;
    QMenu* tbsiDatei = nullptr;
    QMenu* tbsiBearbeiten = nullptr;
    QMenu* tbsiOptionen = nullptr;
    QMenu* tbsiAnsicht = nullptr;
    QMenu* tbsiHilfe = nullptr;
    QWidget* tbdSymbolleiste = nullptr;
    QToolBar* tbtSymbolleiste = nullptr;
    QLineEdit* edtSearch = nullptr;
    QStatusBar* fcStatusBar1 = nullptr;
    QProgressBar* pbrAufbau = nullptr;
    TStatusHint* lblHint = nullptr;

    // Provider pages.
    QTabWidget* pgcProvider = nullptr;
    QWidget* tshSQLServer = nullptr;
    QWidget* tshAccess = nullptr;
    QLabel* lblSQLServerServer = nullptr;
    QLineEdit* edtSQLServer = nullptr;
    QLabel* lblSQLServerDatenbank = nullptr;
    QLineEdit* edtSQLDatabase = nullptr;
    QLabel* lblSQLServerVersion = nullptr;
    QLineEdit* edtSQLServerVersion = nullptr;
    QLabel* lblSQLServerProfil = nullptr;
    TProfileComboBox* cboSQLServerProfile = nullptr;
    QWidget* pnlSQLServer3 = nullptr;
    QLabel* lblSQLServerSelect = nullptr;
    QRadioButton* rbTables = nullptr;
    QRadioButton* rbViews = nullptr;
    QLabel* lblAccessDatenbank = nullptr;
    QLineEdit* edtAccessDB = nullptr;
    QToolButton* btnOpenDatabase = nullptr;
    QLabel* lblAccessVersion = nullptr;
    QLineEdit* edtAccessVersion = nullptr;
    QLabel* lblAccessProfil = nullptr;
    TProfileComboBox* cboAccessProfile = nullptr;
    QWidget* pnlAccess2 = nullptr;
    QLabel* lblAccessSelect = nullptr;
    QRadioButton* rbAccessTables = nullptr;
    QRadioButton* rbAccessQueries = nullptr;

    // Working area.
    QSplitter* Splitter1 = nullptr;
    QListWidget* chkTables = nullptr;
    QWidget* pnlOutput = nullptr;
    QToolButton* btnOutput = nullptr;
    QTextEdit* memOutput = nullptr;
};
