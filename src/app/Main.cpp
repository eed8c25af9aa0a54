// The main window: layout, commands, creation sequence, page switch and the default error handler.
#include "Main.h"

#include "AppResources.h"
#include "ComparisonSources.h"
#include "ConnectionProfiles.h"
#include "DataLinkString.h"
#include "EngineTraits.h"
#include "KorvADOXConnection.h"
#include "KorvDMOConnection.h"
#include "Language.h"
#include "OpenDatabase.h"
#include "PrinterSetup.h"
#include "ProfileComboBox.h"
#include "RelationshipsWindow.h"
#include "ReportPane.h"
#include "ReportPrinter.h"
#include "RtfWriter.h"
#include "Settings.h"
#include "StatusHint.h"
#include "StructureReport.h"
#include "UIText.h"
#include "Utils.h"
#include "WindowPlacement.h"
#include "WindowWait.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QProgressBar>
#include <QRadioButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <exception>
#include <stdexcept>
#include <utility>

namespace {

QString StructureDocumentFilter()
{
    return LoadUIText(437) + QStringLiteral(" (*.json)|*.JSON|");
}

// The questions of a baseline's opening: the window's login dialogs, whose answers go to that
// opening alone and leave the window's own connection settings as they are.
class TBaselineCredentials : public TCredentialPrompter
{
public:
    TBaselineCredentials(QWidget* window, TPrompter& prompter) : m_window(window), m_prompter(prompter) {}

    bool AskDatabasePassword(QString& password) override
    {
        const TWindowIdle idle;
        const TLoginDatabaseAnswer answer = m_prompter.AskDatabasePassword(m_window);
        password = answer.Password;
        return answer.OK;
    }

    bool AskUserLogin(QString& user, QString& password, bool) override
    {
        const TWindowIdle idle;
        const TLoginUserAnswer answer = m_prompter.AskUserLogin(m_window);
        user = answer.User;
        password = answer.Password;
        return answer.OK;
    }

private:
    QWidget* m_window;
    TPrompter& m_prompter;
};

} // namespace

TfrmMain::TfrmMain(std::shared_ptr<TPrompter> prompter, const QString& executablePath, QWidget* parent)
    : QMainWindow(parent), m_prompter(std::move(prompter))
{
    InitAppResources();
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Orvane"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setAttribute(Qt::WA_AlwaysShowToolTips);

    buildActions();
    buildMenus();
    buildToolbar();
    buildPages();
    buildWorkArea();
    buildStatusBar();

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("pnlCentral"));
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(tbdSymbolleiste);
    column->addWidget(pgcProvider);
    column->addWidget(Splitter1, 1);
    setCentralWidget(central);

    PlaceOnScreen(*this, QSize(842, 543));

    connectEvents();
    // Shortcuts must win over the line edits and the pane, which claim Ctrl+A and Ctrl+C for
    // themselves; the check happens application-wide because the focus may sit in any child.
    qApp->installEventFilter(this);

    FormCreate(executablePath.isEmpty() ? QCoreApplication::applicationFilePath() : executablePath);
}

TfrmMain::~TfrmMain()
{
    qApp->removeEventFilter(this);
    // The children outlive this part of the window while the base class deletes them; none of
    // their last signals may reach a handler whose members are already gone.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
}

void TfrmMain::setPrompter(std::shared_ptr<TPrompter> prompter)
{
    m_prompter = std::move(prompter);
}

// ---------------------------------------------------------------------------------------------
// Default error handler and shortcut routing

void TfrmMain::runGuarded(const std::function<void()>& work)
{
    try {
        work();
    } catch (const std::exception& e) {
        m_prompter->ShowDefaultError(this, QString::fromUtf8(e.what()));
    } catch (...) {
        m_prompter->ShowDefaultError(this, QStringLiteral("Unbekannter Fehler"));
    }
}

void TfrmMain::attach(QAction* action, void (TfrmMain::*handler)())
{
    connect(action, &QAction::triggered, this, [this, action, handler] {
        // A report run processes events between its entries; nothing but Break may change the
        // state it works on meanwhile.
        if (m_reportRunning && action != actBreak) {
            QApplication::beep();
            return;
        }
        // After closing, the facade is gone and nothing is left to command.
        if (!Connection)
            return;
        runGuarded([this, handler] { (this->*handler)(); });
    });
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == actEnableSys && event->type() == QEvent::Shortcut) {
        // While a report runs the command is refused; so is the toggle.
        if (!m_reportRunning)
            tbiSysTables->toggle();
        return false;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const QKeySequence pressed(key->keyCombination());
            // Leaving the override unaccepted lets the window's action take the key.
            if (m_shortcuts.contains(pressed))
                return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TfrmMain::event(QEvent* event)
{
    // Hints go to the status bar's own label: the bar's message would hide the progress bar,
    // and a hint shows whenever the mouse crosses the toolbar, also while a report runs.
    if (event->type() == QEvent::StatusTip && lblHint) {
        lblHint->showHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

// ---------------------------------------------------------------------------------------------
// Creation, closing, state

void TfrmMain::FormCreate(const QString& executablePath)
{
    Connection = std::make_unique<TKorvConnection>();
    Connection->setBeep([] { QApplication::beep(); });
    ResetConnectionState();
    runGuarded([&] { SetSettingsFileName(DetermineSettingsFileName(executablePath)); });
    // A settings folder that cannot be written must not keep the window from starting: the
    // failure is reported and the defaults below apply.
    runGuarded([] {
        if (!QFileInfo::exists(SettingsFileName()))
            CreateDefaultSettings();
    });
    CurrentLanguage = DetermineLanguage();
    const QString delimiter = ReadSetting(QStringLiteral("Application"), QStringLiteral("Delimiter"));
    // An empty value has no first character; the default file's delimiter stands in.
    m_delimiterChar = delimiter.isEmpty() ? QChar(u'*') : delimiter.at(0);
    actExtendedReport->setChecked(
        ReadSetting(QStringLiteral("Application"), QStringLiteral("ExtendedReport")) == QLatin1String("1"));

    m_settingPage = true;
    pgcProvider->setCurrentWidget(tshSQLServer);
    m_settingPage = false;
    Connection->SetConnectionType(ctDMO);
    m_provider = ptSQLServer;

    // The filter is composed with the other texts of the language (ApplyLanguage).
    m_openDialog.InitialDir = QDir::homePath();
    m_openDialog.HideReadOnly = true;
    m_openDialog.NoChangeDir = true;
    m_openDialog.FileMustExist = true;

    btnOutput->setGeometry(0, 0, pnlOutput->width(), pnlOutput->height());
    ApplyLanguage();
    FillProfileLists();
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    // Closing while a report runs would destroy the facade under the run: the run is broken off
    // at its next entry and the window closes as soon as it has stopped.
    if (m_reportRunning) {
        CancelRequested = true;
        m_closeRequested = true;
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TfrmMain::FormClose()
{
    Connection.reset();
}

void TfrmMain::SetServer(const QString& value)
{
    m_server = value;
    edtSQLServer->setText(value);
}

void TfrmMain::SetDatabase(const QString& value)
{
    m_database = value;
    edtSQLDatabase->setText(value);
    // Setting the same text again emits no change, so the change handler's write-back ends here.
    edtAccessDB->setText(value);
}

void TfrmMain::ResetConnectionState()
{
    SetServer(QString());
    SetDatabase(QString());
    SetUser(QString());
    SetPassword(QString());
    m_savePW.clear();
    m_useEncryption.clear();
    m_trustServerCertificate.clear();
    m_generalTimeout.clear();
    m_applicationIntent.clear();
    m_userPassword.clear();
    m_systemDatabase.clear();
    edtAccessVersion->clear();
    edtSQLServerVersion->clear();
    chkTables->clear();
    memOutput->clear();
    lblHint->clear();
    m_openFailureShown = false;
    // What the window no longer shows cannot be compared, saved or reported either.
    if (Connection)
        Connection->Close();
}

void TfrmMain::pgcProviderChange()
{
    ResetConnectionState();
    if (pgcProvider->currentWidget() == tshSQLServer) {
        m_provider = ptSQLServer;
        if (Connection)
            Connection->SetConnectionType(ctDMO);
        LoadProfile(cboSQLServerProfile->currentText());
    } else if (pgcProvider->currentWidget() == tshAccess) {
        m_provider = ptAccess;
        if (Connection)
            Connection->SetConnectionType(ctADOX);
        LoadProfile(cboAccessProfile->currentText());
    }
}

void TfrmMain::edtAccessDBChange()
{
    chkTables->clear();
    SetDatabase(edtAccessDB->text());
    // The file named now is not the one that was open.
    if (Connection)
        Connection->Close();
}

// ---------------------------------------------------------------------------------------------
// Connection profiles

QComboBox* TfrmMain::profileList() const
{
    return m_provider == ptSQLServer ? cboSQLServerProfile : cboAccessProfile;
}

void TfrmMain::setProfileText(QComboBox* list, const QString& name)
{
    list->setCurrentIndex(list->findText(name));
    (list == cboSQLServerProfile ? m_sqlServerProfileModified : m_accessProfileModified) = false;
}

void TfrmMain::FillProfileLists()
{
    const TConnectionProfiles profiles(SettingsFileName());
    for (const auto& [list, provider] :
         {std::pair{cboSQLServerProfile, ptSQLServer}, std::pair{cboAccessProfile, ptAccess}}) {
        // The other page's current profile stays current while it is still listed.
        const QString current = list->currentText();
        list->clear();
        list->addItem(QString());
        list->addItems(profiles.Names(provider));
        setProfileText(list, current);
    }
}

void TfrmMain::setConnectionProperties(const TConnectionProperties& props)
{
    SetServer(props.Server);
    SetDatabase(props.Database);
    SetUser(props.User);
    SetPassword(props.Password);
    SetUserPassword(props.UserPassword);
    SetSystemDatabase(props.SystemDatabase);
    SetSavePW(props.SavePW);
    m_useEncryption = props.UseEncryption;
    m_trustServerCertificate = props.TrustServerCertificate;
    m_generalTimeout = props.GeneralTimeout;
    m_applicationIntent = props.ApplicationIntent;
}

void TfrmMain::LoadProfile(const QString& profileName)
{
    ResetConnectionState();
    if (profileName.isEmpty())
        return;
    TConnectionProperties props;
    bool passwordStored = false;
    try {
        passwordStored = TConnectionProfiles(SettingsFileName()).Load(m_provider, profileName, props);
    } catch (...) {
        // A stored password that cannot be read ends the load; what was read before it shows.
        setConnectionProperties(props);
        throw;
    }
    setConnectionProperties(props);
    if (m_provider == ptSQLServer) {
        if (!passwordStored) {
            // The same words in both languages; cancelling leaves the password empty.
            QString password;
            if (!m_prompter->InputQuery(this, QStringLiteral("Passwort"),
                                        QStringLiteral("Geben Sie ein Passwort ein:"), password, true)) {
                password.clear();
                // Declining the question is the user's own choice; the refresh does not log in
                // with an empty password only to report that it was refused.
                m_openFailureShown = true;
            }
            SetPassword(password);
        }
        SQLServerConnectionString = BuildSQLServerConnectionString();
        if (!SQLServerConnectionString.isEmpty() && !m_password.isEmpty())
            OpenSQLServerDatabase();
    } else {
        OpenAccessDatabase();
    }
    actRefreshExecute();
}

void TfrmMain::actSetProfilExecute()
{
    const TConnectionProfiles profiles(SettingsFileName());
    // A taken name is asked for again in a loop, not by the command calling itself: however often
    // the user is refused, the stack stays as it is.
    for (;;) {
        QString name = m_database;
        if (!m_prompter->InputQuery(this, LoadUIText(151), LoadUIText(159), name, false))
            return;
        // Blanks around a name would not survive the settings file's reading.
        name = name.trimmed();
        if (name.isEmpty())
            return;
        if (profiles.Save(m_provider, name, connectionProperties())) {
            FillProfileLists();
            setProfileText(profileList(), name);
            return;
        }
        m_prompter->ShowErrorMessage(this, LoadUIText(160), 0);
    }
}

void TfrmMain::actDeleteProfileExecute()
{
    QComboBox* list = profileList();
    if (!list->currentText().isEmpty()) {
        TConnectionProfiles(SettingsFileName()).Erase(m_provider, list->currentText());
        setProfileText(list, QString());
    }
    FillProfileLists();
    LoadProfile(QString());
}

void TfrmMain::profileCloseUp(QComboBox* list, bool& modified, bool select)
{
    // Closing the list again without a new choice loads nothing.
    const bool chosen = select && modified;
    modified = false;
    if (chosen)
        LoadProfile(list->currentText());
}

void TfrmMain::cboSQLServerProfileCloseUp(bool select)
{
    profileCloseUp(cboSQLServerProfile, m_sqlServerProfileModified, select);
}

void TfrmMain::cboAccessProfileCloseUp(bool select)
{
    profileCloseUp(cboAccessProfile, m_accessProfileModified, select);
}

// ---------------------------------------------------------------------------------------------
// Language

void TfrmMain::actSetLanguageExecute()
{
    const QString answer =
        m_prompter->InputBox(this, LoadUIText(151), LoadUIText(152), QString::number(CurrentLanguage));
    // A refused write ends the command here, so the language in use stays as it was.
    WriteSetting(QStringLiteral("Application"), QStringLiteral("Language"), answer);
    CurrentLanguage = DetermineLanguage();
    ApplyLanguage();
}

// ---------------------------------------------------------------------------------------------
// Commands

void TfrmMain::actExitExecute()
{
    close();
}

void TfrmMain::actInfoUeberExecute()
{
    m_prompter->ShowAbout(this);
}

void TfrmMain::actBreakExecute()
{
    CancelRequested = true;
}

void TfrmMain::actSaveListboxExecute()
{
    // A missing key reads as the settings reader's marker "_$$$_", which then names the file.
    const QString fileName =
        TempFolder() + ReadSetting(QStringLiteral("Application"), QStringLiteral("Filename"));
    const QFont font = memOutput->font();
    SaveRtfFile(fileName, font.family(), font.pointSizeF(),
                [this](TRtfWriter& rtf) { WritePaneRtf(*memOutput->document(), rtf); });
}

// ---------------------------------------------------------------------------------------------
// Structure document and comparison

void TfrmMain::actSaveStructureExecute()
{
    // Nothing open ends the command before any question, saying so.
    const std::shared_ptr<const TCatalogue> model = OpenStructureModel(*Connection);
    const bool views = viewsChosen();
    QByteArray document;
    {
        const TWindowWait wait(*this);
        document = TableListStructureJson(*model, tableEntries(), views, ShowSystemTables);
    }
    const QFileInfo database(m_database);
    TSaveDialogSettings dialog;
    dialog.Title = LoadUIText(438);
    dialog.Filter = StructureDocumentFilter() + QCoreApplication::translate("QFileDialog", "All Files (*)") +
                    QStringLiteral("|*");
    dialog.DefaultSuffix = QStringLiteral("json");
    dialog.InitialFile =
        (m_provider == ptAccess ? database.absolutePath() + u'/' + database.completeBaseName() : m_database) +
        QStringLiteral(".json");
    const QString file = m_prompter->SaveFile(this, dialog);
    if (file.isEmpty())
        return;
    QString error;
    if (!SaveDocumentFile(file, document, error))
        m_prompter->ShowErrorMessage(this, error, 0);
}

void TfrmMain::actRelationshipsExecute()
{
    // Nothing open ends the command with the error a closed catalogue gives.
    const std::shared_ptr<const TCatalogue> model = OpenStructureModel(*Connection);
    auto* window = new TfrmRelationships(
        m_prompter, model, DiagramObjects(*model, tableEntries(), viewsChosen()), m_printTarget, this);
    window->show();
}

void TfrmMain::actCompareWithExecute()
{
    TComparedSide current;
    current.catalogue = OpenStructureModel(*Connection);
    current.entries = tableEntries();
    TComparedSelection selection;
    selection.views = viewsChosen();
    selection.systemTables = ShowSystemTables;

    // A baseline is a structure document or an Access file, the latter as the open command offers it.
    TOpenDialogSettings dialog = m_openDialog;
    dialog.Filter = StructureDocumentFilter() + m_openDialog.Filter;
    const QString file = m_prompter->OpenFile(this, dialog);
    if (file.isEmpty())
        return;

    // Whatever fails with the baseline is told once, and the pane keeps what it showed.
    TComparedSide baseline;
    QString error;
    if (IsStructureDocumentFile(file)) {
        if (!ReadStructureSnapshot(file, baseline, error)) {
            m_prompter->ShowErrorMessage(this, error, 0);
            return;
        }
    } else {
        TKorvConnection baselineConnection;
        baselineConnection.SetConnectionType(ctADOX);
        TConnectionProperties props;
        props.Database = QFileInfo(file).absoluteFilePath();
        TBaselineCredentials credentials(this, *m_prompter);
        TOpenResult result;
        {
            const TWindowWait wait(*this);
            result = OpenAccessWithRetry(baselineConnection, props, credentials);
        }
        WipeSecret(props.Password);
        WipeSecret(props.UserPassword);
        // A question the user cancelled is no failure to tell.
        if (result.outcome == TOpenResult::Declined)
            return;
        if (!result.opened()) {
            m_prompter->ShowErrorMessage(this, result.message(), 0);
            return;
        }
        try {
            const TWindowWait wait(*this);
            baseline = OpenedComparedSide(baselineConnection, ptAccess, props.Database,
                                          result.connectionString, selection);
        } catch (const std::exception& e) {
            m_prompter->ShowErrorMessage(this, QString::fromUtf8(e.what()), 0);
            return;
        }
        if (!baseline.catalogue) {
            m_prompter->ShowErrorMessage(this, LoadUIText(570), 0);
            return;
        }
    }

    TComparisonSettings layout;
    layout.delimiter = m_delimiterChar;
    layout.locale = QLocale();
    if (m_clock)
        layout.when = m_clock();
    TStringLineSink lines;
    const qsizetype count = WriteSidesComparison(lines, baseline, current, selection, layout);

    memOutput->clear();
    memOutput->document()->setUndoRedoEnabled(false);
    {
        TPaneLineSink sink(memOutput, 0);
        for (const QString& line : lines.lines())
            sink.AddLine(line);
        sink.Publish();
    }
    memOutput->document()->setUndoRedoEnabled(true);
    lblHint->setStanding(ComparisonCountText(count));
}

// ---------------------------------------------------------------------------------------------
// Connection settings and opening

TConnectionProperties TfrmMain::connectionProperties() const
{
    TConnectionProperties props;
    props.Server = m_server;
    props.Database = m_database;
    props.User = m_user;
    props.Password = m_password;
    props.UserPassword = m_userPassword;
    props.SystemDatabase = m_systemDatabase;
    props.SavePW = m_savePW;
    props.UseEncryption = m_useEncryption;
    props.TrustServerCertificate = m_trustServerCertificate;
    props.GeneralTimeout = m_generalTimeout;
    props.ApplicationIntent = m_applicationIntent;
    return props;
}

QString TfrmMain::BuildSQLServerConnectionString() const
{
    return ::BuildSQLServerConnectionString(connectionProperties());
}

QString TfrmMain::BuildAccessConnectionString() const
{
    return ::BuildAccessConnectionString(connectionProperties());
}

void TfrmMain::ApplySQLServerConnectionString()
{
    TConnectionProperties read = connectionProperties();
    ::ApplySQLServerConnectionString(SQLServerConnectionString, read);
    SetServer(read.Server);
    SetDatabase(read.Database);
    SetUser(read.User);
    SetPassword(read.Password);
    SetSavePW(read.SavePW);
    m_useEncryption = read.UseEncryption;
    m_trustServerCertificate = read.TrustServerCertificate;
    m_generalTimeout = read.GeneralTimeout;
    m_applicationIntent = read.ApplicationIntent;
}

void TfrmMain::PromptSQLServerConnection()
{
    const QString initial = BuildSQLServerConnectionString();
    SQLServerConnectionString = m_prompter->PromptDataLink(this, initial);
    ApplySQLServerConnectionString();
    // The dialog gives the initial string back when cancelled: nothing is to be opened then.
    if (SQLServerConnectionString == initial)
        SQLServerConnectionString.clear();
}

// The window's questions for the opening flow: its two login dialogs, whose answers (or, when
// cancelled, the emptied fields) land in the window's properties.
class TWindowCredentials : public TCredentialPrompter
{
public:
    TWindowCredentials(TfrmMain& window, TPrompter& prompter) : m_window(window), m_prompter(prompter) {}

    bool AskDatabasePassword(QString& password) override
    {
        const TWindowIdle idle;
        const TLoginDatabaseAnswer answer = m_prompter.AskDatabasePassword(&m_window);
        m_window.SetPassword(answer.OK ? answer.Password : QString());
        if (!answer.OK)
            m_window.edtAccessDB->setText(QString());
        password = answer.Password;
        return answer.OK;
    }

    bool AskUserLogin(QString& user, QString& password, bool) override
    {
        const TWindowIdle idle;
        const TLoginUserAnswer answer = m_prompter.AskUserLogin(&m_window);
        m_window.SetUser(answer.OK ? answer.User : QString());
        m_window.SetUserPassword(answer.OK ? answer.Password : QString());
        if (!answer.OK)
            m_window.edtAccessDB->setText(QString());
        user = answer.User;
        password = answer.Password;
        return answer.OK;
    }

private:
    TfrmMain& m_window;
    TPrompter& m_prompter;
};

void TfrmMain::OpenAccessDatabase()
{
    TConnectionProperties props = connectionProperties();
    TWindowCredentials credentials(*this, *m_prompter);
    TOpenResult result;
    {
        const TWindowWait wait(*this);
        result = OpenAccessWithRetry(*Connection, props, credentials);
    }
    AccessConnectionString = result.connectionString;
    // The user has been told why the file did not open, or declined to answer its question: the
    // system-table query of the refresh that follows would only say the same again.
    if (result.outcome == TOpenResult::Declined)
        m_openFailureShown = true;
    if (result.outcome == TOpenResult::Failed && result.number != 0) {
        m_openFailureShown = true;
        m_prompter->ShowErrorMessage(this, result.message(), 0);
    }
}

void TfrmMain::OpenSQLServerDatabase()
{
    TOpenResult result;
    {
        const TWindowWait wait(*this);
        result = OpenSQLServer(*Connection, SQLServerConnectionString);
    }
    // Told here, once: the system-table query would only log in a second time to say the same,
    // which for a server that does not answer is a second login timeout.
    if (!result.opened())
        throw std::runtime_error(ServerFailureText(m_server, result.text).toStdString());
}

void TfrmMain::actOpenDatabaseExecute()
{
    ResetConnectionState();
    // Whatever comes of it, the window no longer shows the profile it showed.
    setProfileText(profileList(), QString());
    if (m_provider == ptSQLServer) {
        SQLServerConnectionString.clear();
        PromptSQLServerConnection();
        if (!SQLServerConnectionString.isEmpty()) {
            OpenSQLServerDatabase();
            actRefreshExecute();
        }
    } else {
        const QString file = m_prompter->OpenFile(this, m_openDialog);
        if (file.isEmpty())
            return;
        SetDatabase(file);
        OpenAccessDatabase();
        if (!AccessConnectionString.isEmpty())
            actRefreshExecute();
    }
}

// ---------------------------------------------------------------------------------------------
// Table list

TTableList TfrmMain::tableEntries() const
{
    TTableList entries;
    entries.reserve(chkTables->count());
    for (int i = 0; i < chkTables->count(); ++i) {
        const QListWidgetItem* item = chkTables->item(i);
        entries.append({item->text(), item->checkState() == Qt::Checked,
                        (item->flags() & Qt::ItemIsEnabled) != 0, item->data(Qt::UserRole).toBool()});
    }
    return entries;
}

void TfrmMain::updateTableEntries(const TTableList& entries)
{
    const int count = std::min<int>(entries.size(), chkTables->count());
    for (int i = 0; i < count; ++i) {
        QListWidgetItem* item = chkTables->item(i);
        const TTableEntry& entry = entries.at(i);
        Qt::ItemFlags flags = Qt::ItemIsUserCheckable | Qt::ItemIsSelectable;
        if (entry.enabled)
            flags |= Qt::ItemIsEnabled;
        if (item->flags() != flags)
            item->setFlags(flags);
        const Qt::CheckState state = entry.checked ? Qt::Checked : Qt::Unchecked;
        if (item->checkState() != state)
            item->setCheckState(state);
    }
}

void TfrmMain::showTableEntries(const TTableList& entries)
{
    chkTables->setUpdatesEnabled(false);
    for (const TTableEntry& entry : entries) {
        auto* item = new QListWidgetItem(entry.text);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        item->setCheckState(Qt::Unchecked);
        item->setData(Qt::UserRole, entry.systemObject);
        chkTables->addItem(item);
    }
    updateTableEntries(entries);
    chkTables->setUpdatesEnabled(true);
}

void TfrmMain::actRefreshExecute()
{
    // Whatever this refresh finds, the next one asks the database again.
    const bool alreadyTold = std::exchange(m_openFailureShown, false);
    chkTables->clear();
    memOutput->clear();
    lblHint->clear();
    TTableList entries;
    const bool views = viewsChosen();
    {
        const TWindowWait wait(*this);
        try {
            ListCatalogueObjects(*Connection, m_provider, m_database, views, entries);
        } catch (...) {
            // The entries read before the failure stay; the system-table step does not run.
            showTableEntries(entries);
            throw;
        }
    }
    showTableEntries(entries);
    // A login that may not see every object would get a complete-looking list; the warning goes
    // with the list it was given for.
    const auto model = m_provider == ptSQLServer ? Connection->StructureModel() : nullptr;
    const QString partial = model && model->partialView ? LoadUIText(602).arg(model->database) : QString();
    if (!partial.isEmpty() || lblHint->standing().endsWith(LoadUIText(602).section(QLatin1String("%1"), -1)))
        lblHint->setStanding(partial);
    // The system-table query is what reports a refused login or a database that cannot be
    // reached, except where the opening has just told the user itself.
    if (entries.isEmpty() && alreadyTold)
        return;
    actEnableSysExecute();
}

void TfrmMain::actEnableSysExecute()
{
    ShowSystemTables = tbiSysTables->isChecked();
    TTableList entries = tableEntries();
    const QString connectionString =
        m_provider == ptSQLServer ? SQLServerConnectionString : AccessConnectionString;
    {
        const TWindowWait wait(*this);
        try {
            ApplySystemTableRule(entries, ShowSystemTables, m_provider, connectionString);
        } catch (const std::exception& e) {
            // The driver's words for a server that cannot be reached name no server.
            const QString driver = QString::fromUtf8(e.what());
            const QString told = m_provider == ptSQLServer ? ServerFailureText(m_server, driver) : driver;
            if (told == driver)
                throw;
            throw std::runtime_error(told.toStdString());
        }
    }
    updateTableEntries(entries);
    chkTables->viewport()->update();
}

void TfrmMain::actMarkAllExecute()
{
    TTableList entries = tableEntries();
    SelectAll(entries);
    updateTableEntries(entries);
}

void TfrmMain::actMarkNoExecute()
{
    TTableList entries = tableEntries();
    UnselectAll(entries);
    updateTableEntries(entries);
}

// ---------------------------------------------------------------------------------------------
// Report

void TfrmMain::actOutputExecute()
{
    CancelRequested = false;
    memOutput->clear();
    lblHint->clear();
    if (chkTables->count() == 0)
        return;

    TReportSettings settings;
    settings.provider = m_provider;
    settings.server = m_server;
    settings.database = m_database;
    settings.versionText = m_provider == ptSQLServer ? edtSQLServerVersion->text() : edtAccessVersion->text();
    settings.delimiter = m_delimiterChar;
    settings.views = viewsChosen();
    if (m_clock)
        settings.clock = m_clock;
    settings.locale = QLocale();
    // Read before the first line, so a structure that cannot be read is reported instead of a
    // report that silently lacks its detail.
    if (actExtendedReport->isChecked())
        settings.structure = Connection->StructureModel();

    QList<TReportEntry> entries;
    entries.reserve(chkTables->count());
    for (int i = 0; i < chkTables->count(); ++i)
        entries.append({chkTables->item(i)->text(), chkTables->item(i)->checkState() == Qt::Checked});

    // A generated report keeps no undo history: undoing it line by line would be of no use and
    // recording sixty thousand lines costs time and memory.
    memOutput->document()->setUndoRedoEnabled(false);
    TPaneLineSink sink(memOutput, m_paneIntervalMs);
    m_reportRunning = true;
    struct RunEnd
    {
        TfrmMain* window;
        TPaneLineSink& sink;
        ~RunEnd()
        {
            // Whichever way the run ends (completed, broken off, failed), what was written shows.
            sink.Publish();
            window->memOutput->document()->setUndoRedoEnabled(true);
            window->m_reportRunning = false;
            if (window->m_closeRequested)
                QTimer::singleShot(0, window, &QWidget::close);
        }
    } runEnd{this, sink};
    TWindowRunHooks hooks(*this, pbrAufbau, viewsButton());
    RunStructureReport(*Connection, settings, entries, sink, hooks);
}

void TfrmMain::actExtendedReportExecute()
{
    WriteSetting(QStringLiteral("Application"), QStringLiteral("ExtendedReport"),
                 actExtendedReport->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void TfrmMain::actSetDelimiterExecute()
{
    const QString answer =
        m_prompter->InputBox(this, LoadUIText(151), LoadUIText(153), QString(m_delimiterChar));
    // An empty answer has no first character: the delimiter stays as it was.
    if (!answer.isEmpty())
        m_delimiterChar = answer.at(0);
    WriteSetting(QStringLiteral("Application"), QStringLiteral("Delimiter"), QString(m_delimiterChar));
}

// ---------------------------------------------------------------------------------------------
// Copying and searching the report

QStringList TfrmMain::paneLines() const
{
    // As written, not as wrapped: where the pane breaks a long line depends on its width alone.
    // A line break typed inside a paragraph is a line end of its own.
    QStringList lines;
    const QTextDocument* document = memOutput->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        lines << block.text().split(QChar::LineSeparator);
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

void TfrmMain::actSaveClipboardExecute()
{
    QString text;
    for (const QString& line : paneLines())
        text += line + QStringLiteral("\r\n");
    QApplication::clipboard()->setText(text);
}

void TfrmMain::actSaveClipboardSelectedExecute()
{
    QApplication::clipboard()->setText(memOutput->textCursor().selection().toPlainText());
}

void TfrmMain::edtSearchChange()
{
    SearchPosition = 0;
    // The report is written in the default colour; only hits have been coloured since.
    if (m_searchMarked) {
        QTextCursor all(memOutput->document());
        all.select(QTextCursor::Document);
        QTextCharFormat black;
        black.setForeground(Qt::black);
        all.mergeCharFormat(black);
        m_searchMarked = false;
    }
    memOutput->setTextCursor(QTextCursor(memOutput->document()));
}

void TfrmMain::actFindTextExecute()
{
    FindNextInOutput();
}

void TfrmMain::FindNextInOutput()
{
    memOutput->setUpdatesEnabled(false);
    const QTextCursor current = memOutput->textCursor();
    if (current.hasSelection())
        SearchPosition = current.selectionStart() + (current.selectionEnd() - current.selectionStart());
    QTextDocument* document = memOutput->document();
    const int length = document->characterCount() - 1;
    memOutput->setTextCursor(QTextCursor(document));

    const QString wanted = edtSearch->text();
    QTextCursor hit;
    if (!wanted.isEmpty() && SearchPosition >= 0 && SearchPosition < length)
        hit = document->find(wanted, SearchPosition);
    if (!hit.isNull()) {
        memOutput->setFocus();
        memOutput->setTextCursor(hit);
        QTextCharFormat red;
        red.setForeground(Qt::red);
        hit.mergeCharFormat(red);
        m_searchMarked = true;
        SearchPosition = hit.selectionStart() + 1;
    } else {
        SearchPosition = 0;
    }
    memOutput->setUpdatesEnabled(true);
}

// ---------------------------------------------------------------------------------------------
// Printing

void TfrmMain::actPrintExecute()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restore
    {
        ~Restore() { QApplication::restoreOverrideCursor(); }
    } restore;

    // A printer set up for this job alone: nothing carries over from one job to the next.
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer, m_printTarget);
    const QString title = LoadUIText(5) + u' ' + m_database;
    printer.setDocName(title);
    printer.setFullPage(false);
    PrintReportLines(printer, title, memOutput->font(), paneLines());
}
