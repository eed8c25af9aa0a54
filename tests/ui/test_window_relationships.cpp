// View > Relationships against a real Access file: the window of its own shows the diagram of the
// checked tables (of all when none is), a click marks a table and its neighbours, zoom, Save as
// SVG (the command line's picture) and PNG, and Print on the report's printer path.
#include "WindowFixture.h"

#include "CommandRuns.h"
#include "JetWriter.h"
#include "RelationshipsWindow.h"

#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QSignalSpy>
#include <QTabWidget>
#include <QXmlStreamReader>

namespace {

QStringList SvgTables(const QByteArray& svg)
{
    QXmlStreamReader xml(svg);
    QStringList tables;
    QString group;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("g"))
            group = xml.attributes().value(QStringLiteral("class")).toString();
        else if (xml.name() == QLatin1String("title") && group == QLatin1String("table"))
            tables.append(xml.readElementText());
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return tables;
}

} // namespace

class WindowRelationshipsTest : public WindowFixture
{
protected:
    void openRich()
    {
        start();
        child<QTabWidget>("pgcProvider")->setCurrentWidget(child<QWidget>("tshAccess"));
        rich = folder.filePath(QStringLiteral("rich.mdb"));
        jet::writeFile(rich, jet::richDatabase());
        prompter->openAnswers.enqueue(rich);
        action("actOpenDatabase")->trigger();
        if (child<QListWidget>("chkTables")->count() == 0)
            action("actRefresh")->trigger();
        // The seven tables and the greyed system tables.
        ASSERT_GT(child<QListWidget>("chkTables")->count(), 7);
        prompter->shown.clear();
    }

    // Runs View > Relationships and waits until its window has laid out every picture.
    TfrmRelationships* showRelationships()
    {
        const QList<TfrmRelationships*> before = window->findChildren<TfrmRelationships*>();
        action("actRelationships")->trigger();
        TfrmRelationships* shown = nullptr;
        for (TfrmRelationships* candidate : window->findChildren<TfrmRelationships*>())
            if (!before.contains(candidate))
                shown = candidate;
        EXPECT_NE(shown, nullptr);
        if (shown == nullptr)
            return nullptr;
        EXPECT_EQ(shown->objectName(), QStringLiteral("frmRelationships"));
        EXPECT_TRUE(shown->isWindow());
        if (shown->layoutRunning() || shown->pictures().isEmpty()) {
            QSignalSpy finished(shown, &TfrmRelationships::layoutFinished);
            EXPECT_TRUE(finished.wait(60000));
        }
        return shown;
    }

    void check(const QString& table)
    {
        auto* list = child<QListWidget>("chkTables");
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->text() == table)
                list->item(i)->setCheckState(Qt::Checked);
    }

    QString rich;
};

TEST_F(WindowRelationshipsTest, ShowsEveryTableWhenNoneIsCheckedAndOnlyTheCheckedOnesOtherwise)
{
    openRich();
    // In the View menu, in the UI language.
    ASSERT_TRUE(child<QMenu>("tbsiAnsicht")->actions().contains(action("actRelationships")));
    EXPECT_EQ(child<QMenu>("tbsiAnsicht")->title(), QStringLiteral("&Ansicht"));
    EXPECT_EQ(action("actRelationships")->text(), QStringLiteral("&Beziehungen"));

    TfrmRelationships* all = showRelationships();
    ASSERT_NE(all, nullptr);
    ASSERT_EQ(all->pictures().size(), 1);
    EXPECT_EQ(all->pictures()[0].boxes.size(), 7);
    EXPECT_EQ(all->pictures()[0].lines.size(), 8);
    EXPECT_EQ(all->findChild<QLabel*>(QStringLiteral("lblDiagramStatus"))->text(),
              QStringLiteral("7 Tabellen, 8 Beziehungen"));

    check(QStringLiteral("Orders"));
    check(QStringLiteral("Customers"));
    TfrmRelationships* two = showRelationships();
    ASSERT_NE(two, nullptr);
    ASSERT_EQ(two->graph().boxes.size(), 2);
    EXPECT_EQ(two->graph().boxes[0].name, QStringLiteral("Customers"));
    EXPECT_EQ(two->graph().lines.size(), 1);
    // The main window goes on: its own commands still run.
    action("actMarkNo")->trigger();
    EXPECT_EQ(child<QListWidget>("chkTables")->item(0)->checkState(), Qt::Unchecked);
}

TEST_F(WindowRelationshipsTest, ClickMarksATableAndZoomChangesTheScale)
{
    openRich();
    TfrmRelationships* shown = showRelationships();
    ASSERT_NE(shown, nullptr);
    shown->show();
    QApplication::processEvents();
    auto* view = shown->findChild<TDiagramView*>(QStringLiteral("viewDiagram"));
    ASSERT_NE(view, nullptr);
    int orders = -1;
    for (qsizetype i = 0; i < shown->graph().boxes.size(); ++i)
        if (shown->graph().boxes[i].name == QLatin1String("Orders"))
            orders = int(i);
    ASSERT_GE(orders, 0);
    const QRectF box = shown->pictures()[0].boxes[orders].rect;
    view->centerOn(box.center());
    const QPoint at = view->mapFromScene(box.center() + QPointF(0, 2));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(shown->highlighted(), orders);
    // A click beside every table takes the mark away.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->mapFromScene(QPointF(-10, -10)));
    EXPECT_EQ(shown->highlighted(), -1);

    const double before = view->zoom();
    shown->findChild<QAction*>(QStringLiteral("actZoomIn"))->trigger();
    EXPECT_GT(view->zoom(), before);
    shown->findChild<QAction*>(QStringLiteral("actZoomOut"))->trigger();
    shown->findChild<QAction*>(QStringLiteral("actZoomOut"))->trigger();
    EXPECT_LT(view->zoom(), before);
}

TEST_F(WindowRelationshipsTest, SavesTheCommandLinesSvgAndAPngAndPrintsOnTheReportsPrinter)
{
    openRich();
    const QString pdf = folder.filePath(QStringLiteral("printed.pdf"));
    window->setPrintTarget(pdf);
    TfrmRelationships* shown = showRelationships();
    ASSERT_NE(shown, nullptr);

    const QString svg = folder.filePath(QStringLiteral("diagram.svg"));
    prompter->saveAnswers.enqueue(svg);
    prompter->errorsExpected = false;
    shown->findChild<QAction*>(QStringLiteral("actSaveDiagram"))->trigger();
    ASSERT_EQ(prompter->kinds(), QStringList{"save"});
    // Proposed beside the database, as an SVG image, the format's own extension.
    EXPECT_EQ(prompter->shown[0].text, folder.filePath(QStringLiteral("rich.svg")));
    QFile saved(svg);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    EXPECT_EQ(SvgTables(bytes).size(), 7);
    const ProgramRun cli = RunProgram({QStringLiteral("--format"), QStringLiteral("svg"), rich});
    ASSERT_EQ(cli.exitCode, 0) << cli.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(bytes), cli.out);

    const QString png = folder.filePath(QStringLiteral("diagram.png"));
    prompter->saveAnswers.enqueue(png);
    shown->findChild<QAction*>(QStringLiteral("actSaveDiagram"))->trigger();
    const QImage image(png);
    ASSERT_FALSE(image.isNull());
    EXPECT_NEAR(double(image.width()) / image.height(),
                shown->pictures()[0].size.width() / shown->pictures()[0].size.height(), 0.2);

    shown->findChild<QAction*>(QStringLiteral("actPrintDiagram"))->trigger();
    QFile printed(pdf);
    ASSERT_TRUE(printed.open(QIODevice::ReadOnly));
    EXPECT_TRUE(printed.readAll().startsWith("%PDF-"));
    EXPECT_TRUE(prompter->ofKind(QStringLiteral("error")).isEmpty());
}

TEST_F(WindowRelationshipsTest, NothingOpenIsTheClosedCataloguesError)
{
    start();
    action("actRelationships")->trigger();
    EXPECT_TRUE(window->findChildren<TfrmRelationships*>().isEmpty());
    EXPECT_EQ(prompter->kinds().size(), 1);
}
