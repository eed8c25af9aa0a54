// The main window's hand-made layout (actions, menus, toolbar, provider pages, work area, status
// bar) and the texts it shows in the current language.
#include "Main.h"

#include "EngineTraits.h"
#include "ProfileComboBox.h"
#include "ReportPrinter.h"
#include "Settings.h"
#include "StatusHint.h"
#include "UIText.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QRadioButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

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
    actOutput = makeAction(this, "actOutput", "output", QKeySequence(Qt::Key_F9));
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
    actSaveStructure = makeAction(this, "actSaveStructure", nullptr);
    actCompareWith = makeAction(this, "actCompareWith", nullptr);
    actRelationships = makeAction(this, "actRelationships", nullptr);

    // The menu's check item: choosing it toggles its mark, then runs the command, which only reads
    // the mark. It is a separate object so that running the command (from the toolbar of a test or
    // a script) does not toggle anything by itself.
    tbiSysTables = new QAction(this);
    tbiSysTables->setObjectName(QStringLiteral("tbiSysTables"));
    tbiSysTables->setCheckable(true);
    tbiSysTables->setChecked(false);

    actExtendedReport = makeAction(this, "actExtendedReport", nullptr);
    actExtendedReport->setCheckable(true);
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
    attach(actExtendedReport, &TfrmMain::actExtendedReportExecute);
    attach(actSetLanguage, &TfrmMain::actSetLanguageExecute);
    attach(actSetDelimiter, &TfrmMain::actSetDelimiterExecute);
    attach(actSetProfil, &TfrmMain::actSetProfilExecute);
    attach(actDeleteProfile, &TfrmMain::actDeleteProfileExecute);
    attach(actInfoUeber, &TfrmMain::actInfoUeberExecute);
    attach(actSaveClipboardSelected, &TfrmMain::actSaveClipboardSelectedExecute);
    attach(actSaveStructure, &TfrmMain::actSaveStructureExecute);
    attach(actCompareWith, &TfrmMain::actCompareWithExecute);
    attach(actRelationships, &TfrmMain::actRelationshipsExecute);

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
    tbsiDatei->addSeparator();
    tbsiDatei->addAction(actSaveStructure);
    tbsiDatei->addAction(actCompareWith);

    tbsiBearbeiten = named(tbtMenue->addMenu(QString()), "tbsiBearbeiten");
    tbsiBearbeiten->addAction(actMarkAll);
    tbsiBearbeiten->addAction(actMarkNo);
    tbsiBearbeiten->addSeparator();
    tbsiBearbeiten->addAction(actSaveClipboard);
    tbsiBearbeiten->addAction(actSaveListbox);
    tbsiBearbeiten->addSeparator();
    tbsiBearbeiten->addAction(actFindText);
    tbsiBearbeiten->addAction(actRefresh);

    tbsiAnsicht = named(tbtMenue->addMenu(QString()), "tbsiAnsicht");
    tbsiAnsicht->addAction(actRelationships);

    tbsiOptionen = named(tbtMenue->addMenu(QString()), "tbsiOptionen");
    tbsiOptionen->addAction(actSetLanguage);
    tbsiOptionen->addAction(actSetDelimiter);
    tbsiOptionen->addAction(tbiSysTables);
    tbsiOptionen->addAction(actExtendedReport);

    tbsiHilfe = named(tbtMenue->addMenu(QString()), "tbsiHilfe");
    tbsiHilfe->addAction(actInfoUeber);

    for (QMenu* menu : {tbsiDatei, tbsiBearbeiten, tbsiAnsicht, tbsiOptionen, tbsiHilfe})
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

TProfileComboBox* profileBox(QWidget* parent, const char* name)
{
    auto* box = named(new TProfileComboBox(parent), name);
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
    pnlSQLServer3 = third;
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

    // The list shows the tables (as it always did, and by default) or the saved queries.
    QWidget* third = column(page, row, "pnlAccess2", 0);
    pnlAccess2 = third;
    lblAccessSelect = label(third, "lblAccessSelect", 8, 8);
    rbAccessTables = named(new QRadioButton(third), "rbAccessTables");
    rbAccessTables->move(8, 28);
    rbAccessTables->setMinimumWidth(120);
    rbAccessTables->setChecked(true);
    rbAccessQueries = named(new QRadioButton(third), "rbAccessQueries");
    rbAccessQueries->move(8, 50);
    rbAccessQueries->setMinimumWidth(120);
    return page;
}

QRadioButton* TfrmMain::viewsButton() const
{
    return m_provider == ptSQLServer ? rbViews : rbAccessQueries;
}

bool TfrmMain::viewsChosen() const
{
    return EngineTraits(m_provider).hasViews && viewsButton()->isChecked();
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
    QFont courier = ReportFont();
    // Report lines are plain fixed-pitch text that needs no shaping (no ligatures, no kerning);
    // skipping it makes laying out a long report several times cheaper.
    courier.setStyleStrategy(QFont::PreferNoShaping);
    memOutput->setFont(courier);
    memOutput->setCurrentFont(courier);
    memOutput->setLineWrapMode(QTextEdit::WidgetWidth);
    memOutput->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memOutput->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memOutput->setTextInteractionFlags(Qt::TextEditorInteraction);
    // A report has no use for a typed tab; the key takes the focus on, as everywhere else.
    memOutput->setTabChangesFocus(true);
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
    // The hints of commands and controls show beside the progress bar, never instead of it.
    lblHint = named(new TStatusHint(fcStatusBar1), "lblHint");
    fcStatusBar1->addPermanentWidget(lblHint, 1);
    fcStatusBar1->addPermanentWidget(pbrAufbau, 1);
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
    // A file name typed by hand is no longer the profile's.
    connect(edtAccessDB, &QLineEdit::textEdited, this,
            [this] { setProfileText(cboAccessProfile, QString()); });
    connect(btnOpenDatabase, &QToolButton::clicked, actOpenDatabase, &QAction::trigger);
    connect(edtSearch, &QLineEdit::textChanged, this, [this] { runGuarded([this] { edtSearchChange(); }); });
    connect(cboSQLServerProfile, &QComboBox::currentIndexChanged, this,
            [this] { m_sqlServerProfileModified = true; });
    connect(cboAccessProfile, &QComboBox::currentIndexChanged, this,
            [this] { m_accessProfileModified = true; });
    // Choosing a profile opens its database: not while a report reads the current one.
    connect(cboSQLServerProfile, &TProfileComboBox::closedUp, this, [this](bool select) {
        if (m_reportRunning)
            QApplication::beep();
        else
            runGuarded([this, select] { cboSQLServerProfileCloseUp(select); });
    });
    connect(cboAccessProfile, &TProfileComboBox::closedUp, this, [this](bool select) {
        if (m_reportRunning)
            QApplication::beep();
        else
            runGuarded([this, select] { cboAccessProfileCloseUp(select); });
    });
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
    tbsiAnsicht->setTitle(LoadUIText(502));
    tbsiOptionen->setTitle(LoadUIText(53));
    tbsiHilfe->setTitle(LoadUIText(54));
    command(actBreak, 89);
    command(actEnableSys, 81);
    command(actExtendedReport, 349);
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
    command(actSaveStructure, 433);
    command(actCompareWith, 435);
    command(actRelationships, 500);

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
    lblAccessSelect->setText(LoadUIText(25));
    rbAccessTables->setText(LoadUIText(26));
    rbAccessQueries->setText(LoadUIText(EngineTraits(ptAccess).viewsText));

    btnOpenDatabase->setToolTip(LoadUIText(112));
    // Access files of both formats under one entry: the provider reads .accdb files as well, and
    // a second entry of the same name would hide one of them. Any other file may be tried. "All
    // files" is the toolkit's text, German like its other texts.
    m_openDialog.Filter = LoadUIText(43) + QStringLiteral(" (*.mdb;*.accdb)|*.MDB;*.ACCDB|") +
                          QCoreApplication::translate("QFileDialog", "All Files (*)") + QStringLiteral("|*");
    fitPageTexts();
    syncSysTablesItem();
}

void TfrmMain::fitPageTexts()
{
    // The pages place their controls by hand, so no layout sizes them to a new language's texts.
    const QList<QWidget*> texts{lblSQLServerServer,
                                lblSQLServerDatenbank,
                                lblSQLServerVersion,
                                lblSQLServerProfil,
                                lblSQLServerSelect,
                                rbTables,
                                rbViews,
                                lblAccessDatenbank,
                                lblAccessProfil,
                                lblAccessVersion,
                                lblAccessSelect,
                                rbAccessTables,
                                rbAccessQueries};
    for (QWidget* text : texts)
        text->resize(text->sizeHint().expandedTo(text->minimumSize()));
    // The Tables/Views choice is never cut: the window stops shrinking before its column would.
    int needed = 0;
    for (QWidget* text : {static_cast<QWidget*>(lblSQLServerSelect), static_cast<QWidget*>(rbTables),
                          static_cast<QWidget*>(rbViews)})
        needed = std::max(needed, text->geometry().right() + 1);
    pnlSQLServer3->setMinimumWidth(needed + 8);
    needed = 0;
    for (QWidget* text : {static_cast<QWidget*>(lblAccessSelect), static_cast<QWidget*>(rbAccessTables),
                          static_cast<QWidget*>(rbAccessQueries)})
        needed = std::max(needed, text->geometry().right() + 1);
    pnlAccess2->setMinimumWidth(needed + 8);
}
