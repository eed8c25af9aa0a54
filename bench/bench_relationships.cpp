// bench_relationships FILE.mdb | --server HOST,PORT DATABASE USER (password on standard input):
// opens the database in the real window, offscreen, and times View > Relationships with no table
// checked (so every table): until its window stands, until it first paints a picture, until every
// picture is laid out, and the longest time the main window goes without handling events
// meanwhile; then, in a second window, how soon Break after the first picture ends the layout.
#include "DataLinkString.h"
#include "JetCatalogReader.h"
#include "Main.h"
#include "Prompter.h"
#include "Providers.h"
#include "RelationshipsWindow.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

class BenchPrompter : public TPrompter
{
public:
    explicit BenchPrompter(QString file, QString dataLink)
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
        std::fprintf(stderr, "bench_relationships: %s\n", qPrintable(message));
    }
    QString m_file;
    QString m_dataLink;
};

// Notes when the diagram's view first paints with a picture in it.
class TFirstPaint : public QObject
{
public:
    TFirstPaint(TfrmRelationships* window, QElapsedTimer& clock) : m_window(window), m_clock(clock) {}
    qint64 at = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && at < 0 && !m_window->pictures().isEmpty())
            at = m_clock.elapsed();
        return QObject::eventFilter(watched, event);
    }

private:
    TfrmRelationships* m_window;
    QElapsedTimer& m_clock;
};

TfrmRelationships* OpenRelationships(TfrmMain& window)
{
    const QList<TfrmRelationships*> before = window.findChildren<TfrmRelationships*>();
    window.findChild<QAction*>(QStringLiteral("actRelationships"))->trigger();
    for (TfrmRelationships* candidate : window.findChildren<TfrmRelationships*>())
        if (!before.contains(candidate))
            return candidate;
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RegisterBuiltInProviders();
    SetJetReaderProgram(QStringLiteral(ORVANE_BINARY_DIR "/src/orvane-jet-reader"));
    const bool sqlServer = argc == 5 && QByteArray(argv[1]) == "--server";
    if (argc != 2 && !sqlServer) {
        std::fprintf(
            stderr,
            "usage: bench_relationships FILE.mdb | bench_relationships --server HOST,PORT DATABASE USER\n");
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

    QTemporaryDir settingsDir;
    auto prompter = std::make_shared<BenchPrompter>(file, dataLink);
    TfrmMain window(prompter, settingsDir.filePath(QStringLiteral("orvane")));
    window.show();
    QCoreApplication::processEvents();
    window.findChild<QTabWidget*>(QStringLiteral("pgcProvider"))->setCurrentIndex(sqlServer ? 0 : 1);
    QCoreApplication::processEvents();
    window.findChild<QAction*>(QStringLiteral("actOpenDatabase"))->trigger();
    QCoreApplication::processEvents();
    if (window.findChild<QListWidget*>(QStringLiteral("chkTables"))->count() == 0)
        window.findChild<QAction*>(QStringLiteral("actRefresh"))->trigger();

    // The main window's longest stretch without handling a 5 ms timer, from the command on.
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longestStall = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestStall = qMax(longestStall, clock.elapsed() - last);
        last = clock.elapsed();
    });

    clock.start();
    ticker.start();
    TfrmRelationships* diagram = OpenRelationships(window);
    const qint64 opened = clock.elapsed();
    longestStall = qMax(longestStall, opened);
    last = opened;
    if (diagram == nullptr || prompter->failed) {
        std::fprintf(stderr, "bench_relationships: no Relationships window\n");
        return 1;
    }
    TFirstPaint firstPaint(diagram, clock);
    diagram->findChild<TDiagramView*>(QStringLiteral("viewDiagram"))
        ->viewport()
        ->installEventFilter(&firstPaint);
    qint64 done = -1;
    QObject::connect(diagram, &TfrmRelationships::layoutFinished, [&] { done = clock.elapsed(); });
    while (done < 0 || firstPaint.at < 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (clock.elapsed() > 600000)
            break;
    }
    ticker.stop();
    const qsizetype pictures = diagram->pictures().size();
    const qsizetype tables = diagram->graph().boxes.size();
    const qsizetype lines = diagram->graph().lines.size();

    // Break once the first picture is there.
    TfrmRelationships* second = OpenRelationships(window);
    while (second->pictures().isEmpty() && second->layoutRunning())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QElapsedTimer breakClock;
    breakClock.start();
    second->findChild<QAction*>(QStringLiteral("actBreakLayout"))->trigger();
    bool stopped = !second->layoutRunning();
    QObject::connect(second, &TfrmRelationships::layoutFinished, [&] { stopped = true; });
    while (!stopped)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const qint64 breakMs = breakClock.elapsed();
    const qsizetype picturesAtBreak = second->pictures().size();

    std::printf("%-48s %10s\n", "View > Relationships", "wall [ms]");
    std::printf("%-48s %10lld\n", "window stands (command returns)", static_cast<long long>(opened));
    std::printf("%-48s %10lld\n", "first paint of a picture", static_cast<long long>(firstPaint.at));
    std::printf("%-48s %10lld  (%lld tables, %lld relationships, %lld pictures)\n", "every picture laid out",
                static_cast<long long>(done), static_cast<long long>(tables), static_cast<long long>(lines),
                static_cast<long long>(pictures));
    std::printf("%-48s %10lld  < 100 ms: %s\n", "main window: longest stretch without events",
                static_cast<long long>(longestStall), longestStall < 100 ? "ok" : "MISSED");
    std::printf("%-48s %10lld  (%lld of %lld pictures)\n", "Break after the first picture: to the end",
                static_cast<long long>(breakMs), static_cast<long long>(picturesAtBreak),
                static_cast<long long>(pictures));
    return prompter->failed ? 1 : 0;
}
