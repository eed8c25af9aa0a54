// The main window: layout, commands, creation sequence, page switch and the default error handler.
#include "Main.h"

#include "AppResources.h"
#include "KorvADOXConnection.h"
#include "Language.h"
#include "OpenDatabase.h"
#include "ReportPrinter.h"
#include "Settings.h"
#include "StructureReport.h"
#include "UIText.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <exception>

namespace {

QIcon glyph(const char* name)
{
    return QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(name)));
}

QAction* makeAction(QObject* owner, const char* name, const char* icon, const QKeySequence& shortcut = {})
{
    auto* action = new QAction(owner);
    action->setObjectName(QLatin1String(name));
    if (icon)
        action->setIcon(glyph(icon));
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    return action;
}

template <class W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

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

    resize(842, 543);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

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
// Layout

void TfrmMain::buildActions()
{
    actExit = makeAction(this, "actExit", "exit");
    actOpenDatabase = makeAction(this, "actOpenDatabase", "open");
    actRefresh = makeAction(this, "actRefresh", "refresh", QKeySequence(Qt::Key_F5));
    actMarkAll = makeAction(this, "actMarkAll", "markall", QKeySequence(Qt::CTRL | Qt::Key_A));
    actMarkNo = makeAction(this, "actMarkNo", "markno", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_A));
    actPrint = makeAction(this, "actPrint", "print", QKeySequence(Qt::CTRL | Qt::Key_P));
    actSaveListbox = makeAction(this, "actSaveListbox", "save");
    actSaveClipboard =
        makeAction(this, "actSaveClipboard", "clipboard", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_C));
    actFindText = makeAction(this, "actFindText", "find", QKeySequence(Qt::Key_F3));
    actBreak = makeAction(this, "actBreak", "cancel", QKeySequence(Qt::CTRL | Qt::Key_Q));
    actOutput = makeAction(this, "actOutput", "output");
    actEnableSys = makeAction(this, "actEnableSys", nullptr, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S));
    actSetLanguage =
        makeAction(this, "actSetLanguage", "globe", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_L));
    actSetDelimiter =
        makeAction(this, "actSetDelimiter", "star", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_D));
    actSetProfil = makeAction(this, "actSetProfil", "save");
    actDeleteProfile = makeAction(this, "actDeleteProfile", "cancel");
    actInfoUeber = makeAction(this, "actInfoUeber", "info");
    actSaveClipboardSelected =
        makeAction(this, "actSaveClipboardSelected", nullptr, QKeySequence(Qt::CTRL | Qt::Key_C));

    // The menu's check item: choosing it toggles its mark, then runs the command, which only reads
    // the mark. It is a separate object so that running the command (from the toolbar of a test or
    // a script) does not toggle anything by itself.
    tbiSysTables = new QAction(this);
    tbiSysTables->setObjectName(QStringLiteral("tbiSysTables"));
    tbiSysTables->setCheckable(true);
    tbiSysTables->setChecked(false);
    // The shortcut behaves like choosing the menu item: it toggles the mark too, otherwise pressing
    // it would only apply the unchanged setting again. The window's application-wide event filter
    // (installed below) sees the action's shortcut event.

    const QList<QAction*> all{actExit,          actOpenDatabase,  actRefresh,
                              actMarkAll,       actMarkNo,        actPrint,
                              actSaveListbox,   actSaveClipboard, actFindText,
                              actBreak,         actOutput,        actEnableSys,
                              actSetLanguage,   actSetDelimiter,  actSetProfil,
                              actDeleteProfile, actInfoUeber,     actSaveClipboardSelected};
    // Added to the window itself so every shortcut works wherever the focus is.
    addActions(all);
    for (QAction* action : all)
        if (!action->shortcut().isEmpty())
            m_shortcuts.append(action->shortcut());

    attach(actExit, &TfrmMain::actExitExecute);
    attach(actOpenDatabase, &TfrmMain::actOpenDatabaseExecute);
    attach(actRefresh, &TfrmMain::actRefreshExecute);
    attach(actMarkAll, &TfrmMain::actMarkAllExecute);
    attach(actMarkNo, &TfrmMain::actMarkNoExecute);
    attach(actPrint, &TfrmMain::actPrintExecute);
    attach(actSaveListbox, &TfrmMain::actSaveListboxExecute);
    attach(actSaveClipboard, &TfrmMain::actSaveClipboardExecute);
    attach(actFindText, &TfrmMain::actFindTextExecute);
    attach(actBreak, &TfrmMain::actBreakExecute);
    attach(actOutput, &TfrmMain::actOutputExecute);
    attach(actEnableSys, &TfrmMain::actEnableSysExecute);
    attach(actSetLanguage, &TfrmMain::actSetLanguageExecute);
    attach(actSetDelimiter, &TfrmMain::actSetDelimiterExecute);
    attach(actSetProfil, &TfrmMain::actSetProfilExecute);
    attach(actDeleteProfile, &TfrmMain::actDeleteProfileExecute);
    attach(actInfoUeber, &TfrmMain::actInfoUeberExecute);
    attach(actSaveClipboardSelected, &TfrmMain::actSaveClipboardSelectedExecute);

    connect(tbiSysTables, &QAction::triggered, this, [this](bool checked) {
        // A refused command must not leave the mark changed, or the mark and the greyed entries
        // would disagree until the command runs again.
        if (m_reportRunning) {
            tbiSysTables->setChecked(!checked);
            QApplication::beep();
            return;
        }
        actEnableSys->trigger();
    });
}

void TfrmMain::buildMenus()
{
    tbdMenue = named(new QWidget(this), "tbdMenue");
    tbdMenue->setFixedHeight(23);
    auto* dock = new QHBoxLayout(tbdMenue);
    dock->setContentsMargins(0, 0, 0, 0);
    tbtMenue = named(new QMenuBar(tbdMenue), "tbtMenue");
    tbtMenue->setNativeMenuBar(false);
    dock->addWidget(tbtMenue);

    tbsiDatei = named(tbtMenue->addMenu(QString()), "tbsiDatei");
    tbsiDatei->addAction(actPrint);
    tbsiDatei->addSeparator();
    tbsiDatei->addAction(actExit);

    tbsiBearbeiten = named(tbtMenue->addMenu(QString()), "tbsiBearbeiten");
    tbsiBearbeiten->addAction(actMarkAll);
    tbsiBearbeiten->addAction(actMarkNo);
    tbsiBearbeiten->addSeparator();
    tbsiBearbeiten->addAction(actSaveClipboard);
    tbsiBearbeiten->addAction(actSaveListbox);
    tbsiBearbeiten->addSeparator();
    tbsiBearbeiten->addAction(actFindText);
    tbsiBearbeiten->addAction(actRefresh);

    tbsiOptionen = named(tbtMenue->addMenu(QString()), "tbsiOptionen");
    tbsiOptionen->addAction(actSetLanguage);
    tbsiOptionen->addAction(actSetDelimiter);
    tbsiOptionen->addAction(tbiSysTables);

    tbsiHilfe = named(tbtMenue->addMenu(QString()), "tbsiHilfe");
    tbsiHilfe->addAction(actInfoUeber);

    for (QMenu* menu : {tbsiDatei, tbsiBearbeiten, tbsiOptionen, tbsiHilfe})
        menu->setToolTipsVisible(true);
    setMenuWidget(tbdMenue);
}

void TfrmMain::buildToolbar()
{
    tbdSymbolleiste = named(new QWidget(this), "tbdSymbolleiste");
    tbdSymbolleiste->setFixedHeight(28);
    auto* dock = new QHBoxLayout(tbdSymbolleiste);
    dock->setContentsMargins(0, 0, 0, 0);
    tbtSymbolleiste = named(new QToolBar(tbdSymbolleiste), "tbtSymbolleiste");
    tbtSymbolleiste->setMovable(false);
    tbtSymbolleiste->setFloatable(false);
    tbtSymbolleiste->setIconSize(QSize(16, 16));
    tbtSymbolleiste->setToolButtonStyle(Qt::ToolButtonIconOnly);
    dock->addWidget(tbtSymbolleiste);

    tbtSymbolleiste->addAction(actExit);
    tbtSymbolleiste->addSeparator();
    tbtSymbolleiste->addAction(actOpenDatabase);
    tbtSymbolleiste->addSeparator();
    tbtSymbolleiste->addAction(actRefresh);
    tbtSymbolleiste->addSeparator();
    tbtSymbolleiste->addAction(actMarkAll);
    tbtSymbolleiste->addAction(actMarkNo);
    tbtSymbolleiste->addSeparator();
    tbtSymbolleiste->addAction(actPrint);
    tbtSymbolleiste->addSeparator();
    tbtSymbolleiste->addAction(actSaveListbox);
    tbtSymbolleiste->addAction(actSaveClipboard);
    tbtSymbolleiste->addSeparator();
    tbtSymbolleiste->addAction(actFindText);

    auto* toolWindow = named(new QWidget(tbtSymbolleiste), "TBToolWindow1");
    auto* holder = new QHBoxLayout(toolWindow);
    holder->setContentsMargins(0, 0, 0, 0);
    edtSearch = named(new QLineEdit(toolWindow), "edtSearch");
    edtSearch->setFixedWidth(121);
    edtSearch->setText(QStringLiteral("..."));
    holder->addWidget(edtSearch);
    toolWindow->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    tbtSymbolleiste->addWidget(toolWindow)->setObjectName(QStringLiteral("tbcFindWindow"));

    tbtSymbolleiste->addSeparator();
    tbtSymbolleiste->addAction(actBreak);
}

void TfrmMain::buildPages()
{
    pgcProvider = named(new QTabWidget(this), "pgcProvider");
    pgcProvider->setFixedHeight(134);
    tshSQLServer = buildSQLServerPage();
    tshAccess = buildAccessPage();
    pgcProvider->addTab(tshSQLServer, QString());
    pgcProvider->addTab(tshAccess, QString());
}

namespace {

QWidget* column(QWidget* page, QHBoxLayout* row, const char* name, int width)
{
    auto* panel = named(new QWidget(page), name);
    if (width > 0)
        panel->setFixedWidth(width);
    row->addWidget(panel, width > 0 ? 0 : 1);
    return panel;
}

QLineEdit* field(QWidget* parent, const char* name, int x, int y, int width)
{
    auto* edit = named(new QLineEdit(parent), name);
    edit->setGeometry(x, y, width, 21);
    return edit;
}

QLabel* label(QWidget* parent, const char* name, int x, int y)
{
    auto* text = named(new QLabel(parent), name);
    text->move(x, y);
    text->setMinimumWidth(90);
    return text;
}

QComboBox* profileBox(QWidget* parent, const char* name)
{
    auto* box = named(new QComboBox(parent), name);
    box->setGeometry(8, 26, 201, 21);
    box->setEditable(false);
    box->setMaxVisibleItems(8);
    box->setInsertPolicy(QComboBox::InsertAtBottom);
    return box;
}

QToolButton* glyphButton(QWidget* parent, const char* name, QAction* command, int x, int y)
{
    auto* button = named(new QToolButton(parent), name);
    button->setDefaultAction(command);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setGeometry(x, y, 97, 25);
    return button;
}

} // namespace

QWidget* TfrmMain::buildSQLServerPage()
{
    auto* page = named(new QWidget(pgcProvider), "tshSQLServer");
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    QWidget* first = column(page, row, "pnlSQLServer1", 329);
    auto* serverDatabase = named(new QWidget(first), "pnlServerDatabase");
    serverDatabase->setGeometry(0, 0, 329, 58);
    // The two fields only show the current connection; the user reaches them through the
    // open command or a profile.
    serverDatabase->setEnabled(false);
    lblSQLServerServer = label(serverDatabase, "lblSQLServerServer", 8, 10);
    edtSQLServer = field(serverDatabase, "edtSQLServer", 112, 6, 201);
    lblSQLServerDatenbank = label(serverDatabase, "lblSQLServerDatenbank", 8, 38);
    edtSQLDatabase = field(serverDatabase, "edtSQLDatabase", 112, 34, 201);
    lblSQLServerVersion = label(first, "lblSQLServerVersion", 8, 66);
    edtSQLServerVersion = field(first, "edtSQLServerVersion", 112, 62, 201);

    QWidget* second = column(page, row, "pnlSQLServer2", 280);
    lblSQLServerProfil = label(second, "lblSQLServerProfil", 8, 8);
    cboSQLServerProfile = profileBox(second, "cboSQLServerProfile");
    glyphButton(second, "btnSQLServerSaveProfile", actSetProfil, 8, 56);
    glyphButton(second, "btnSQLServerDeleteProfile", actDeleteProfile, 112, 56);

    QWidget* third = column(page, row, "pnlSQLServer3", 0);
    lblSQLServerSelect = label(third, "lblSQLServerSelect", 8, 8);
    rbTables = named(new QRadioButton(third), "rbTables");
    rbTables->move(8, 28);
    rbTables->setMinimumWidth(120);
    rbTables->setChecked(true);
    rbViews = named(new QRadioButton(third), "rbViews");
    rbViews->move(8, 50);
    rbViews->setMinimumWidth(120);
    return page;
}

QWidget* TfrmMain::buildAccessPage()
{
    auto* page = named(new QWidget(pgcProvider), "tshAccess");
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    QWidget* first = column(page, row, "pnlAccess1", 329);
    lblAccessDatenbank = label(first, "lblAccessDatenbank", 8, 8);
    edtAccessDB = field(first, "edtAccessDB", 8, 26, 265);
    btnOpenDatabase = named(new QToolButton(first), "btnOpenDatabase");
    btnOpenDatabase->setAutoRaise(true);
    btnOpenDatabase->setIcon(glyph("open"));
    btnOpenDatabase->setGeometry(277, 25, 23, 22);
    lblAccessVersion = label(first, "lblAccessVersion", 8, 62);
    edtAccessVersion = field(first, "edtAccessVersion", 64, 58, 201);

    QWidget* second = column(page, row, "Panel1", 280);
    lblAccessProfil = label(second, "lblAccessProfil", 8, 8);
    cboAccessProfile = profileBox(second, "cboAccessProfile");
    glyphButton(second, "btnAccessSaveProfile", actSetProfil, 8, 56);
    glyphButton(second, "btnAccessDeleteProfile", actDeleteProfile, 112, 56);

    column(page, row, "pnlAccess2", 0);
    return page;
}

void TfrmMain::buildWorkArea()
{
    Splitter1 = named(new QSplitter(Qt::Horizontal, this), "Splitter1");
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);

    chkTables = named(new QListWidget(Splitter1), "chkTables");
    chkTables->setSelectionMode(QAbstractItemView::SingleSelection);

    auto* right = named(new QWidget(Splitter1), "pnlReport");
    auto* row = new QHBoxLayout(right);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    pnlOutput = named(new QWidget(right), "pnlOutput");
    pnlOutput->setFixedWidth(40);
    // Anchored on all four sides: the layout keeps the button filling its panel at every size.
    auto* fill = new QVBoxLayout(pnlOutput);
    fill->setContentsMargins(0, 0, 0, 0);
    btnOutput = named(new QToolButton(pnlOutput), "btnOutput");
    btnOutput->setDefaultAction(actOutput);
    btnOutput->setToolButtonStyle(Qt::ToolButtonIconOnly);
    btnOutput->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    fill->addWidget(btnOutput);
    row->addWidget(pnlOutput);

    memOutput = named(new QTextEdit(right), "memOutput");
    QFont courier(QStringLiteral("Courier New"), 9);
    courier.setStyleHint(QFont::Monospace);
    courier.setFixedPitch(true);
    // Report lines are plain fixed-pitch text that needs no shaping (no ligatures, no kerning);
    // skipping it makes laying out a long report several times cheaper.
    courier.setStyleStrategy(QFont::PreferNoShaping);
    memOutput->setFont(courier);
    memOutput->setCurrentFont(courier);
    memOutput->setLineWrapMode(QTextEdit::WidgetWidth);
    memOutput->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memOutput->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memOutput->setTextInteractionFlags(Qt::TextEditorInteraction);
    row->addWidget(memOutput, 1);

    Splitter1->addWidget(chkTables);
    Splitter1->addWidget(right);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({201, 842 - 201 - 3});
}

void TfrmMain::buildStatusBar()
{
    fcStatusBar1 = named(new QStatusBar(this), "fcStatusBar1");
    fcStatusBar1->setFixedHeight(20);
    fcStatusBar1->setSizeGripEnabled(false);
    pbrAufbau = named(new QProgressBar(fcStatusBar1), "pbrAufbau");
    pbrAufbau->setRange(0, 100);
    pbrAufbau->setValue(0);
    pbrAufbau->setTextVisible(false);
    fcStatusBar1->addWidget(pbrAufbau, 1);
    setStatusBar(fcStatusBar1);
}

void TfrmMain::connectEvents()
{
    connect(pgcProvider, &QTabWidget::currentChanged, this, [this] {
        if (m_settingPage)
            return;
        // A running report reads through the facade of the page it started on; the page stays
        // until the run has ended.
        if (m_reportRunning) {
            QApplication::beep();
            m_settingPage = true;
            pgcProvider->setCurrentIndex(m_provider == ptSQLServer ? pgcProvider->indexOf(tshSQLServer)
                                                                   : pgcProvider->indexOf(tshAccess));
            m_settingPage = false;
            return;
        }
        runGuarded([this] { pgcProviderChange(); });
    });
    connect(edtAccessDB, &QLineEdit::textChanged, this,
            [this] { runGuarded([this] { edtAccessDBChange(); }); });
    connect(btnOpenDatabase, &QToolButton::clicked, actOpenDatabase, &QAction::trigger);
    connect(edtSearch, &QLineEdit::textChanged, this, [this] { runGuarded([this] { edtSearchChange(); }); });
    // Choosing a profile opens its database: not while a report reads the current one.
    connect(cboSQLServerProfile, &QComboBox::activated, this, [this] {
        if (m_reportRunning)
            QApplication::beep();
        else
            runGuarded([this] { cboSQLServerProfileCloseUp(); });
    });
    connect(cboAccessProfile, &QComboBox::activated, this, [this] {
        if (m_reportRunning)
            QApplication::beep();
        else
            runGuarded([this] { cboAccessProfileCloseUp(); });
    });
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

    m_settingPage = true;
    pgcProvider->setCurrentWidget(tshSQLServer);
    m_settingPage = false;
    Connection->SetConnectionType(ctDMO);
    m_provider = ptSQLServer;

    m_openDialog.Filter = LoadUIText(43) + QStringLiteral(" (*.mdb)|*.MDB");
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
    m_userPassword.clear();
    m_systemDatabase.clear();
    edtAccessVersion->clear();
    edtSQLServerVersion->clear();
    chkTables->clear();
    memOutput->clear();
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
}

void TfrmMain::FillProfileLists() {}

void TfrmMain::LoadProfile(const QString& profileName)
{
    if (profileName.isEmpty())
        return;
}

// ---------------------------------------------------------------------------------------------
// Language

void TfrmMain::syncSysTablesItem()
{
    QString text = actEnableSys->text();
    const QString keys = actEnableSys->shortcut().toString(QKeySequence::NativeText);
    if (!keys.isEmpty())
        text += u'\t' + keys;
    tbiSysTables->setText(text);
    tbiSysTables->setToolTip(actEnableSys->toolTip());
    tbiSysTables->setStatusTip(actEnableSys->statusTip());
}

void TfrmMain::ApplyLanguage()
{
    const auto hint = [](QAction* action, const QString& text) {
        action->setToolTip(text);
        action->setStatusTip(text);
    };
    const auto command = [&](QAction* action, int captionId) {
        action->setText(LoadUIText(captionId));
        hint(action, LoadUIText(captionId + 1));
    };

    tbsiDatei->setTitle(LoadUIText(51));
    tbsiBearbeiten->setTitle(LoadUIText(52));
    tbsiOptionen->setTitle(LoadUIText(53));
    tbsiHilfe->setTitle(LoadUIText(54));
    command(actBreak, 89);
    command(actEnableSys, 81);
    command(actExit, 91);
    command(actFindText, 87);
    command(actMarkAll, 95);
    command(actMarkNo, 97);
    actOutput->setText(QString());
    hint(actOutput, LoadUIText(102));
    command(actPrint, 93);
    command(actRefresh, 99);
    command(actSaveClipboard, 85);
    actSaveListbox->setText(LoadUIText(83));
    hint(actSaveListbox,
         LoadUIText(84) + ReadSetting(QStringLiteral("Application"), QStringLiteral("Filename")));
    command(actSetDelimiter, 103);
    command(actSetLanguage, 105);
    command(actSetProfil, 107);
    command(actDeleteProfile, 109);
    command(actOpenDatabase, 111);
    command(actInfoUeber, 113);

    pgcProvider->setTabText(pgcProvider->indexOf(tshSQLServer), LoadUIText(3));
    lblSQLServerServer->setText(LoadUIText(22));
    lblSQLServerDatenbank->setText(LoadUIText(23));
    lblSQLServerVersion->setText(LoadUIText(24));
    lblSQLServerProfil->setText(LoadUIText(21));
    lblSQLServerSelect->setText(LoadUIText(25));
    rbTables->setText(LoadUIText(26));
    rbViews->setText(LoadUIText(27));

    pgcProvider->setTabText(pgcProvider->indexOf(tshAccess), LoadUIText(4));
    lblAccessDatenbank->setText(LoadUIText(41));
    lblAccessProfil->setText(LoadUIText(21));
    lblAccessVersion->setText(LoadUIText(24));

    btnOpenDatabase->setToolTip(LoadUIText(112));
    syncSysTablesItem();
}

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

void TfrmMain::actSaveListboxExecute() {}
void TfrmMain::actSetProfilExecute() {}
void TfrmMain::actDeleteProfileExecute() {}
void TfrmMain::cboSQLServerProfileCloseUp() {}
void TfrmMain::cboAccessProfileCloseUp() {}

// ---------------------------------------------------------------------------------------------
// Connection settings and opening

TConnectionProperties TfrmMain::connectionProperties() const
{
    return {m_server, m_database, m_user, m_password, m_userPassword, m_systemDatabase, m_savePW};
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
        const TLoginDatabaseAnswer answer = m_prompter.AskDatabasePassword(&m_window);
        m_window.SetPassword(answer.OK ? answer.Password : QString());
        if (!answer.OK)
            m_window.edtAccessDB->setText(QString());
        password = answer.Password;
        return answer.OK;
    }

    bool AskUserLogin(QString& user, QString& password, bool) override
    {
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
    const TOpenResult result = OpenAccessWithRetry(*Connection, props, credentials);
    AccessConnectionString = result.connectionString;
    if (result.outcome == TOpenResult::Failed && result.number != 0)
        m_prompter->ShowErrorMessage(this, result.message(), 0);
}

void TfrmMain::actOpenDatabaseExecute()
{
    ResetConnectionState();
    if (m_provider == ptSQLServer) {
        SQLServerConnectionString.clear();
        PromptSQLServerConnection();
        if (!SQLServerConnectionString.isEmpty()) {
            Connection->Open(SQLServerConnectionString);
            actRefreshExecute();
            cboSQLServerProfile->setCurrentIndex(-1);
        }
    } else {
        const QString file = m_prompter->OpenFile(this, m_openDialog);
        if (file.isEmpty())
            return;
        SetDatabase(file);
        OpenAccessDatabase();
        if (!AccessConnectionString.isEmpty()) {
            actRefreshExecute();
            cboAccessProfile->setCurrentIndex(-1);
        }
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
        entries.append(
            {item->text(), item->checkState() == Qt::Checked, (item->flags() & Qt::ItemIsEnabled) != 0});
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
        chkTables->addItem(item);
    }
    updateTableEntries(entries);
    chkTables->setUpdatesEnabled(true);
}

void TfrmMain::actRefreshExecute()
{
    chkTables->clear();
    memOutput->clear();
    TTableList entries;
    const bool views = m_provider == ptSQLServer && rbViews->isChecked();
    try {
        ListCatalogueObjects(*Connection, m_provider, m_database, views, entries);
    } catch (...) {
        // The entries read before the failure stay; the system-table step does not run.
        showTableEntries(entries);
        throw;
    }
    showTableEntries(entries);
    actEnableSysExecute();
}

void TfrmMain::actEnableSysExecute()
{
    ShowSystemTables = tbiSysTables->isChecked();
    TTableList entries = tableEntries();
    // Without entries there is nothing to grey out; asking the database anyway would only report
    // that no database is open yet, right after the user cancelled or was shown why it failed.
    if (entries.isEmpty())
        return;
    const QString connectionString =
        m_provider == ptSQLServer ? SQLServerConnectionString : AccessConnectionString;
    ApplySystemTableRule(entries, ShowSystemTables, m_provider, connectionString);
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

namespace {

// Shows the report in the pane while it is written. Laying out every line in the visible pane as
// it arrives cost ten times the report itself, so lines are collected and appended in batches, at
// most one batch per interval, each as one edit at the document's end: earlier lines keep their
// layout and only the new ones are laid out.
class TPaneLineSink : public TReportLineSink
{
public:
    TPaneLineSink(QTextEdit* pane, int intervalMs)
        : m_pane(pane), m_intervalMs(intervalMs), m_first(pane->document()->isEmpty())
    {
        // The pane follows the report as it grows; its scroll range learns of new lines only
        // after they were laid out, so the scrolling goes with the range. The user's cursor and
        // selection stay where they are.
        QScrollBar* bar = pane->verticalScrollBar();
        m_follow = QObject::connect(bar, &QScrollBar::rangeChanged, bar,
                                    [bar](int, int maximum) { bar->setValue(maximum); });
    }
    ~TPaneLineSink() override { QObject::disconnect(m_follow); }

    TPaneLineSink(const TPaneLineSink&) = delete;
    TPaneLineSink& operator=(const TPaneLineSink&) = delete;

    void AddLine(const QString& line) override { m_pending.append(line); }

    void Flush() override
    {
        if (m_shown.isValid() && m_shown.elapsed() < m_intervalMs)
            return;
        Publish();
    }

    // Appends whatever is pending now, whatever the interval says.
    void Publish()
    {
        m_shown.start();
        if (m_pending.isEmpty())
            return;
        QString text;
        for (const QString& line : std::as_const(m_pending)) {
            if (!m_first)
                text += QChar::ParagraphSeparator;
            m_first = false;
            text += line;
        }
        m_pending.clear();
        QTextCursor cursor(m_pane->document());
        cursor.movePosition(QTextCursor::End);
        cursor.beginEditBlock();
        cursor.insertText(text);
        cursor.endEditBlock();
        QScrollBar* bar = m_pane->verticalScrollBar();
        bar->setValue(bar->maximum());
    }

private:
    QTextEdit* m_pane;
    int m_intervalMs;
    QStringList m_pending;
    QElapsedTimer m_shown;
    bool m_first;
    QMetaObject::Connection m_follow;
};

class TWindowRunHooks : public TReportRunHooks
{
public:
    TWindowRunHooks(TfrmMain& window, QProgressBar* bar, QRadioButton* views)
        : m_window(window), m_bar(bar), m_views(views)
    {
    }
    ~TWindowRunHooks() override
    {
        if (m_waiting)
            QApplication::restoreOverrideCursor();
    }

    bool CancelRequested() override { return m_window.CancelRequested; }
    void BeginWait() override
    {
        if (!m_waiting)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        m_waiting = true;
    }
    void EndWait() override
    {
        if (m_waiting)
            QApplication::restoreOverrideCursor();
        m_waiting = false;
    }
    void SetProgressRange(int minimum, int maximum) override { m_bar->setRange(minimum, maximum); }
    void StepProgress() override { m_bar->setValue(m_bar->value() + 1); }
    void SetProgressPosition(int position) override { m_bar->setValue(position); }
    void ProcessEvents() override { QCoreApplication::processEvents(); }
    bool ViewsSelectedNow() override { return m_window.Provider() == ptSQLServer && m_views->isChecked(); }

private:
    TfrmMain& m_window;
    QProgressBar* m_bar;
    QRadioButton* m_views;
    bool m_waiting = false;
};

} // namespace

void TfrmMain::actOutputExecute()
{
    CancelRequested = false;
    memOutput->clear();
    if (chkTables->count() == 0)
        return;

    TReportSettings settings;
    settings.provider = m_provider;
    settings.server = m_server;
    settings.database = m_database;
    settings.versionText = m_provider == ptSQLServer ? edtSQLServerVersion->text() : edtAccessVersion->text();
    settings.delimiter = m_delimiterChar;
    settings.views = m_provider == ptSQLServer && rbViews->isChecked();
    if (m_clock)
        settings.clock = m_clock;
    settings.locale = QLocale();

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
    TWindowRunHooks hooks(*this, pbrAufbau, rbViews);
    RunStructureReport(*Connection, settings, entries, sink, hooks);
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
    QTextDocument* document = memOutput->document();
    // Lines are counted as the pane shows them, so the layout has to be complete.
    document->documentLayout()->documentSize();
    QStringList lines;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        const QTextLayout* layout = block.layout();
        if (!layout || layout->lineCount() <= 1) {
            lines << text;
            continue;
        }
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            lines << text.mid(line.textStart(), line.textLength());
        }
    }
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
    if (m_printTarget.isEmpty()) {
        const QPrinterInfo target = QPrinterInfo::defaultPrinter();
        if (target.isNull())
            throw PrintError(QStringLiteral("Es ist kein Standarddrucker eingerichtet."));
        printer.setPrinterName(target.printerName());
    } else {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_printTarget);
    }
    QStringList lines = paneLines();
    lines << QStringLiteral(" ");
    PrintLines(printer, LoadUIText(5) + u' ' + m_database, memOutput->font(), lines);
}
