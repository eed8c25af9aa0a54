// The Access page's Tables / Queries choice: the list shows the saved queries (the queries behind
// forms greyed out with the system tables), Output writes each checked query's title line, type,
// parameters and SQL, and the extended report adds the rest; the Access list of tables stays the
// default. The catalogue is a whole-database model served as the Access component, over a real
// file for the system-table statement.
#include "WindowFixture.h"

#include "CatalogueSamples.h"
#include "JetWriter.h"
#include "ModelProvider.h"
#include "ReportLines.h"
#include "StructureDetail.h"
#include "UIText.h"

#include <QListWidget>
#include <QRadioButton>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

namespace {

class WindowQueriesTest : public WindowFixture
{
protected:
    void openSample()
    {
        start();
        child<QTabWidget>("pgcProvider")->setCurrentWidget(child<QWidget>("tshAccess"));
        jet::Database db;
        db.tables = {jet::Table{QStringLiteral("Orders"),
                                {jet::makeColumn(QStringLiteral("OrderID"), jet::ColumnType::Long)}}};
        const QString file = folder.filePath(QStringLiteral("nordwind.mdb"));
        jet::writeFile(file, db);
        prompter->openAnswers.enqueue(file);
        action("actOpenDatabase")->trigger();
        ASSERT_EQ(prompter->kinds(), QStringList{"open"});
        prompter->shown.clear();
    }

    QStringList listTexts(bool enabledOnly = false) const
    {
        QStringList texts;
        const auto* list = child<QListWidget>("chkTables");
        for (int i = 0; i < list->count(); ++i) {
            if (!enabledOnly || (list->item(i)->flags() & Qt::ItemIsEnabled))
                texts.append(list->item(i)->text());
        }
        return texts;
    }

    QStringList paneLines() const
    {
        QStringList lines;
        const QTextDocument* doc = child<QTextEdit>("memOutput")->document();
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
            lines << b.text();
        return lines;
    }

    TModelProvider model{ptAccess, SampleAccessDatabase()};
};

TEST_F(WindowQueriesTest, QueriesChoiceListsAndReportsTheSavedQueries)
{
    openSample();
    auto* tables = child<QRadioButton>("rbAccessTables");
    auto* queries = child<QRadioButton>("rbAccessQueries");
    EXPECT_TRUE(tables->isChecked());
    EXPECT_EQ(queries->text(), LoadUIText(488));
    EXPECT_EQ(listTexts(), (QStringList{"Customers", "Orders", "Notes", "Archive"}));

    queries->click();
    action("actRefresh")->trigger();
    EXPECT_EQ(listTexts(), (QStringList{"qryOpenOrders", "qryOrdersBetween", "qryPurge", "qryQtyByCustomer",
                                        "~sq_cOrders"}));
    // Access's own query behind a form is shown only with the system tables.
    EXPECT_EQ(listTexts(true).size(), 4);
    action("tbiSysTables")->trigger();
    EXPECT_EQ(listTexts(true).size(), 5);
    action("tbiSysTables")->trigger();

    action("actMarkAll")->trigger();
    action("actOutput")->trigger();
    const QStringList lines = paneLines();
    const TCatalogue sample = SampleAccessDatabase();
    const TCatalogueObject& between = *sample.find(QStringLiteral("qryOrdersBetween"), true);
    const qsizetype title = lines.indexOf(ReportLine(TitleText(u'*', between.name, true)));
    ASSERT_GE(title, 0) << lines.join(u'\n').toStdString();
    const QStringList block = QueryReportTexts(between);
    ASSERT_EQ(block.size(), 7);
    for (qsizetype i = 0; i < block.size(); ++i)
        EXPECT_EQ(lines.value(title + 1 + i), IndentedLine(block.at(i), 1));
    EXPECT_FALSE(lines.join(u'\n').contains(QLatin1String("~sq_cOrders")));

    // With the extended report, the hidden query says so.
    action("actExtendedReport")->trigger();
    action("actOutput")->trigger();
    EXPECT_TRUE(paneLines().contains(IndentedLine(
        StructureDetailTexts(sample, *sample.find(QStringLiteral("qryPurge"), true)).first(), 1)));

    // Back to the tables, reported as ever, their rules and field properties under them.
    tables->click();
    action("actRefresh")->trigger();
    EXPECT_EQ(listTexts().first(), QStringLiteral("Customers"));
    action("actMarkAll")->trigger();
    action("actOutput")->trigger();
    const QStringList customers = StructureDetailTexts(sample, sample.objects.first());
    ASSERT_FALSE(customers.isEmpty());
    EXPECT_TRUE(paneLines().contains(IndentedLine(customers.last(), 1))) << customers.last().toStdString();
}

} // namespace
