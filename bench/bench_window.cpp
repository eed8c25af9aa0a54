// bench_window FILE: times the window's Refresh, Select all and Output on one Access file,
// offscreen, with the real window and a prompter that only answers the file dialog. During Output
// it also measures the longest time the window goes without handling events, and, in a second
// run, how long a Break typed half-way through takes to end the run.
#include "DataLinkString.h"
#include "Main.h"
#include "Prompter.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>

#include "JetCatalogReader.h"
#include "Providers.h"
#include <QElapsedTimer>
#include <QFileInfo>
#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

class BenchPrompter : public TPrompter
{
public:
    explicit BenchPrompter(QString file, QString dataLink = {})
        : m_file(std::move(file)), m_dataLink(std::move(dataLink))
    {
    }
    bool failed = false;

    QString InputBox(QWidget*, const QString&, const QString&, const QString& preset) override
    {
        return preset;
    }
    int ShowErrorMessage(QWidget*, const QString& message, int) override
    {
        report(message);
        return mrOK;
    }
    void ShowDefaultError(QWidget*, const QString& message) override { report(message); }
    QString OpenFile(QWidget*, const TOpenDialogSettings&) override { return m_file; }
    QString SaveFile(QWidget*, const TSaveDialogSettings&) override { return {}; }
    TLoginUserAnswer AskUserLogin(QWidget*) override { return {}; }
    TLoginDatabaseAnswer AskDatabasePassword(QWidget*) override { return {}; }
    QString PromptDataLink(QWidget*, const QString& initial) override
    {
        return m_dataLink.isEmpty() ? initial : m_dataLink;
    }
    void ShowAbout(QWidget*) override {}

private:
    void report(const QString& message)
    {
        failed = true;
        std::fprintf(stderr, "bench_window: %s\n", qPrintable(message));
    }
    QString m_file;
    QString m_dataLink;
};

// Milliseconds one command takes, including the events it leaves for the window to process.
qint64 timeAction(TfrmMain& window, const char* name)
{
    QAction* action = window.findChild<QAction*>(QLatin1String(name));
    if (!action) {
        std::fprintf(stderr, "bench_window: no action %s\n", name);
        return -1;
    }
    QElapsedTimer timer;
    timer.start();
    action->trigger();
    QCoreApplication::processEvents();
    // A pane may leave part of its layout for later; the user waits for it all the same (scroll
    // range, copying, printing), so it counts.
    if (auto* pane = window.findChild<QTextEdit*>(QStringLiteral("memOutput")))
        pane->document()->documentLayout()->documentSize();
    return timer.elapsed();
}

// The longest gap between two ticks of a 5 ms timer while the command runs: timers, like input,
// are only handled when the run lets the window process events.
struct Stall
{
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
};

qint64 timeActionWatchingStalls(TfrmMain& window, const char* name, qint64& longestStall)
{
    Stall stall;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&stall] {
        const qint64 now = stall.clock.elapsed();
        stall.longest = qMax(stall.longest, now - stall.last);
        stall.last = now;
    });
    stall.clock.start();
    ticker.start();
    const qint64 ms = timeAction(window, name);
    stall.longest = qMax(stall.longest, stall.clock.elapsed() - stall.last);
    longestStall = stall.longest;
    return ms;
}

// Types Ctrl+Q (Break) afterMs into an Output run. Like a real key press, it is handled only when
// the run lets the window process events; returns the milliseconds from the moment it was typed
// to the end of the run, and the lines shown then.
qint64 breakDelay(TfrmMain& window, int afterMs, int& linesShown)
{
    QElapsedTimer clock;
    bool typed = false;
    QTimer::singleShot(afterMs, Qt::PreciseTimer, &window, [&] {
        typed = true;
        QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    });
    clock.start();
    window.findChild<QAction*>(QStringLiteral("actOutput"))->trigger();
    const qint64 ended = clock.elapsed();
    const auto* pane = window.findChild<QTextEdit*>(QStringLiteral("memOutput"));
    linesShown = pane ? pane->document()->blockCount() : -1;
    return typed ? ended - afterMs : -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RegisterBuiltInProviders();
    SetJetReaderProgram(QStringLiteral(ORVANE_BINARY_DIR "/src/orvane-jet-reader"));
    // [--extended] FILE.mdb, or [--extended] --server HOST,PORT DATABASE USER (the password on
    // standard input). --extended: Output writes the extended report.
    const bool extended = argc > 1 && QByteArray(argv[1]) == "--extended";
    if (extended) {
        --argc;
        ++argv;
    }
    const bool sqlServer = argc == 5 && QByteArray(argv[1]) == "--server";
    if (argc != 2 && !sqlServer) {
        std::fprintf(
            stderr,
            "usage: bench_window [--extended] FILE.mdb | bench_window [--extended] --server HOST,PORT "
            "DATABASE USER\n");
        return 2;
    }
    const QString file =
        sqlServer ? QString() : QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    QString dataLink;
    if (sqlServer) {
        char password[256] = {};
        if (!std::fgets(password, sizeof password, stdin))
            password[0] = 0;
        TDataLinkFields fields;
        fields.Server = QString::fromLocal8Bit(argv[2]);
        fields.Database = QString::fromLocal8Bit(argv[3]);
        fields.User = QString::fromLocal8Bit(argv[4]);
        fields.Password = QString::fromUtf8(password).trimmed();
        dataLink = ComposeDataLinkString(fields);
    }

    // A settings file of its own, so a run never touches the user's.
    QTemporaryDir settingsDir;
    auto prompter = std::make_shared<BenchPrompter>(file, dataLink);
    TfrmMain window(prompter, settingsDir.filePath(QStringLiteral("orvane")));
    window.show();
    QCoreApplication::processEvents();

    auto* pages = window.findChild<QTabWidget*>(QStringLiteral("pgcProvider"));
    if (!pages) {
        std::fprintf(stderr, "bench_window: no provider pages\n");
        return 1;
    }
    pages->setCurrentIndex(sqlServer ? 0 : 1);
    if (auto* item = window.findChild<QAction*>(QStringLiteral("actExtendedReport")); extended && item)
        item->trigger();
    QCoreApplication::processEvents();
    const qint64 open = timeAction(window, "actOpenDatabase");
    const qint64 refresh = timeAction(window, "actRefresh");
    const qint64 markAll = timeAction(window, "actMarkAll");
    qint64 longestStall = 0;
    const qint64 output = timeActionWatchingStalls(window, "actOutput", longestStall);
    const auto* shown = window.findChild<QTextEdit*>(QStringLiteral("memOutput"));
    const int linesWhole = shown ? shown->document()->blockCount() : -1;
    window.activateWindow();
    QCoreApplication::processEvents();
    int linesAfterBreak = 0;
    const qint64 breakMs = breakDelay(window, qMax<int>(1, int(output / 2)), linesAfterBreak);

    const auto* list = window.findChild<QListWidget*>(QStringLiteral("chkTables"));
    const int entries = list ? list->count() : -1;
    const int lines = linesWhole;
    if (prompter->failed || entries <= 0 || lines <= 1) {
        std::fprintf(stderr, "bench_window: the commands did not produce a report (%d entries, %d lines)\n",
                     entries, lines);
        return 1;
    }
    const qint64 total = refresh + markAll + output;
    std::printf("%-40s %10s\n", extended ? "window command (extended report)" : "window command",
                "wall [ms]");
    std::printf("%-40s %10lld\n", "Open (file dialog, includes a Refresh)", static_cast<long long>(open));
    std::printf("%-40s %10lld\n", qPrintable(QStringLiteral("Refresh (%1 entries)").arg(entries)),
                static_cast<long long>(refresh));
    std::printf("%-40s %10lld\n", "Select all", static_cast<long long>(markAll));
    std::printf("%-40s %10lld\n", qPrintable(QStringLiteral("Output (%1 lines)").arg(lines)),
                static_cast<long long>(output));
    std::printf("%-40s %10lld  < 2000 ms: %s\n", "Refresh + Select all + Output",
                static_cast<long long>(total), total < 2000 ? "ok" : "MISSED");
    std::printf("%-40s %10lld  < 100 ms: %s\n", "Output: longest stretch without events",
                static_cast<long long>(longestStall), longestStall < 100 ? "ok" : "MISSED");
    std::printf("%-40s %10lld  (run broken off with %d of %d lines)\n", "Break half-way: press to end of run",
                static_cast<long long>(breakMs), linesAfterBreak, lines);
    return 0;
}
