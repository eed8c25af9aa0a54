// The Output run over the real facade and back ends, reading structure models served as the
// engines' catalogues.
#include "CatalogueSamples.h"
#include "KorvConnection.h"
#include "ModelProvider.h"
#include "StructureReport.h"
#include "UIText.h"
#include "VersionInfo.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

namespace {

const QDateTime kFixedTime(QDate(2026, 3, 14), QTime(9, 5, 7));

QString Line(const QString& text)
{
    return QString(6, QLatin1Char(' ')) + text;
}

QString Frame(QChar d = QLatin1Char('*'))
{
    return Line(QString(70, d));
}

QString Title(const QString& name, QChar d = QLatin1Char('*'))
{
    return Line(QString(3, d) + QLatin1Char(' ') + name + QLatin1Char(' ') + QString(65 - name.size(), d));
}

QString Column(int n, const QString& name, const QString& type, int length, const QString& mark)
{
    return QString(10, QLatin1Char(' ')) + QString::number(n).rightJustified(3) + QLatin1Char(' ') +
           name.leftJustified(30) + QLatin1Char(' ') + type.leftJustified(20) + QLatin1Char(' ') +
           QString::number(length).rightJustified(5) + QStringLiteral("  ") + mark.leftJustified(1);
}

QStringList Header(const QString& provider, const QString& server, const QString& database,
                   const QString& version, QChar d = QLatin1Char('*'))
{
    QStringList lines{Frame(d),
                      Line(QString(3, d) + QStringLiteral(" Orvane ") + OwnVersionInfoString(2)),
                      Line(QString(3, d) + QLatin1Char(' ') + QString::fromUtf8(kProgramCopyright)),
                      Frame(d),
                      Line(QString(3, d) + QStringLiteral(" Date:      14.03.26 09:05:07")),
                      Line(QString(3, d) + QStringLiteral(" Provider:  ") + provider)};
    if (!server.isEmpty())
        lines << Line(QString(3, d) + QStringLiteral(" Server:    ") + server);
    lines << Line(QString(3, d) + QStringLiteral(" Database:  ") + database);
    if (!version.isEmpty())
        lines << Line(QString(3, d) + QStringLiteral(" Version:   ") + version);
    lines << Frame(d);
    return lines;
}

// Records what the window would see of a run; cancels before the entry with the given number of
// checked entries already written.
class RecordingHooks : public TReportRunHooks
{
public:
    int cancelAfterChecked = -1;
    const QList<TReportEntry>* entries = nullptr;
    int polled = 0;
    int waitDepth = 0;
    int waitBegun = 0;
    int progressMax = -1;
    int progress = -1;
    int processed = 0;

    bool CancelRequested() override
    {
        int checkedSoFar = 0;
        for (int i = 0; i < polled; ++i)
            checkedSoFar += entries && entries->at(i).checked ? 1 : 0;
        ++polled;
        return cancelAfterChecked >= 0 && checkedSoFar >= cancelAfterChecked;
    }
    void BeginWait() override
    {
        ++waitDepth;
        ++waitBegun;
    }
    void EndWait() override { --waitDepth; }
    void SetProgressRange(int minimum, int maximum) override
    {
        EXPECT_EQ(minimum, 0);
        progressMax = maximum;
        progress = 0;
    }
    void StepProgress() override { ++progress; }
    void SetProgressPosition(int position) override { progress = position; }
    void ProcessEvents() override { ++processed; }
};

class StructureReportTest : public ::testing::Test
{
protected:
    void SetUp() override { CurrentLanguage = 2; }
    void TearDown() override { CurrentLanguage = 0; }

    TReportSettings AccessSettings(const QString& database)
    {
        TReportSettings s;
        s.provider = ptAccess;
        s.database = database;
        s.clock = [] { return kFixedTime; };
        s.locale = QLocale(QLocale::German, QLocale::Germany);
        return s;
    }

    void OpenJet(const TCatalogue& model)
    {
        m_provider = std::make_unique<TModelProvider>(ptAccess, model);
        m_connection.SetConnectionType(ctADOX);
        m_connection.Open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb"));
    }

    void OpenServer(const TCatalogue& model)
    {
        m_provider = std::make_unique<TModelProvider>(ptSQLServer, model);
        m_connection.SetConnectionType(ctDMO);
        m_connection.Open(QStringLiteral("Provider=SQLOLEDB;Password=pw;User ID=sa;Data Source=DBHOST;"
                                         "Initial Catalog=Sales"));
        m_connection.SetDatabase(m_connection.DatabaseByName(model.database));
    }

    std::unique_ptr<TModelProvider> m_provider;
    TKorvConnection m_connection;
};

TCatalogue ShopCatalog()
{
    TCatalogue c;
    c.objects = {
        ModelObject(QStringLiteral("Customers"), {JetModelColumn(1, QStringLiteral("CustomerID"), 3, 4),
                                                  JetModelColumn(2, QStringLiteral("Name"), 202, 50)}),
        ModelObject(QStringLiteral("MSysObjects"), {JetModelColumn(1, QStringLiteral("Id"), 3, 4)},
                    TObjectKind::SystemTable),
        ModelObject(QStringLiteral("Orders"), {JetModelColumn(1, QStringLiteral("OrderID"), 3, 4),
                                               JetModelColumn(2, QStringLiteral("Placed"), 7, 8),
                                               JetModelColumn(3, QStringLiteral("Odd"), 17, 1)})};
    return c;
}

TEST_F(StructureReportTest, AccessReportMatchesExpectedText)
{
    OpenJet(ShopCatalog());
    TReportSettings s = AccessSettings(QStringLiteral("/data/shop.mdb"));
    s.versionText = QStringLiteral("2.1 beta");
    const QList<TReportEntry> entries{{QStringLiteral("Customers"), true},
                                      {QStringLiteral("MSysObjects"), false},
                                      {QStringLiteral("Orders"), true}};
    TStringLineSink sink;
    RecordingHooks hooks;
    EXPECT_EQ(RunStructureReport(m_connection, s, entries, sink, hooks), TReportOutcome::Completed);

    QStringList expected = Header(QStringLiteral("Access"), QString(), QStringLiteral("/data/shop.mdb"),
                                  QStringLiteral("2.1 beta"));
    expected << Title(QStringLiteral("Customers"))
             << Column(1, QStringLiteral("CustomerID"), QStringLiteral("Integer"), 4, {})
             << Column(2, QStringLiteral("Name"), QStringLiteral("VarWChar"), 50, {})
             << Title(QStringLiteral("Orders"))
             << Column(1, QStringLiteral("OrderID"), QStringLiteral("Integer"), 4, {})
             << Column(2, QStringLiteral("Placed"), QStringLiteral("Date"), 8, {})
             << Column(3, QStringLiteral("Odd"), QStringLiteral("unknown"), 1, {}) << Frame();
    EXPECT_EQ(sink.lines(), expected);
    EXPECT_EQ(hooks.waitBegun, 1);
    EXPECT_EQ(hooks.waitDepth, 0);
    EXPECT_EQ(hooks.progressMax, 3);
    EXPECT_EQ(hooks.progress, 0);
    EXPECT_EQ(hooks.processed, 3);
}

TEST_F(StructureReportTest, SqlServerTablesCarryNullMarkAndServerLine)
{
    TCatalogue c;
    c.database = QStringLiteral("Sales");
    c.objects = {
        ModelObject(QStringLiteral("Customer"),
                    {ModelColumn(1, QStringLiteral("Customer_ID"), QStringLiteral("int"), 4, false),
                     ModelColumn(2, QStringLiteral("Remark"), QStringLiteral("varchar"), 200, true)})};
    OpenServer(c);
    TReportSettings s = AccessSettings(QStringLiteral("Sales"));
    s.provider = ptSQLServer;
    s.server = QStringLiteral("DBHOST");
    TStringLineSink sink;
    RecordingHooks hooks;
    RunStructureReport(m_connection, s, {{QStringLiteral("Customer"), true}}, sink, hooks);

    QStringList expected =
        Header(QStringLiteral("SQLServer"), QStringLiteral("DBHOST"), QStringLiteral("Sales"), {});
    expected << Title(QStringLiteral("Customer"))
             << Column(1, QStringLiteral("Customer_ID"), QStringLiteral("int"), 4, QStringLiteral("+"))
             << Column(2, QStringLiteral("Remark"), QStringLiteral("varchar"), 200, QStringLiteral(" "))
             << Frame();
    EXPECT_EQ(sink.lines(), expected);
    EXPECT_EQ(sink.lines().at(expected.size() - 3).size(), 74);
}

TEST_F(StructureReportTest, ViewBlocksEndInBlankAndAskForTheColumnListAnew)
{
    TCatalogue c;
    c.database = QStringLiteral("Sales");
    c.objects = {ModelObject(QStringLiteral("vOpenOrders"),
                             {ModelColumn(1, QStringLiteral("OrderID"), QStringLiteral("int"), 4, false),
                              ModelColumn(2, QStringLiteral("Total"), QStringLiteral("money"), 8, false)},
                             TObjectKind::View)};
    OpenServer(c);
    TReportSettings s = AccessSettings(QStringLiteral("Sales"));
    s.provider = ptSQLServer;
    s.views = true;
    TStringLineSink sink;
    RecordingHooks hooks;
    RunStructureReport(m_connection, s, {{QStringLiteral("vOpenOrders"), true}}, sink, hooks);

    const QStringList lines = sink.lines();
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines.at(lines.size() - 4), Title(QStringLiteral("vOpenOrders")));
    EXPECT_EQ(lines.at(lines.size() - 3), Column(1, QStringLiteral("OrderID"), QStringLiteral("int"), 4, {}));
    EXPECT_EQ(lines.at(lines.size() - 2), Column(2, QStringLiteral("Total"), QStringLiteral("money"), 8, {}));
    EXPECT_TRUE(lines.at(lines.size() - 2).endsWith(QLatin1Char(' ')));
    // One request for the count, then four per column.
    EXPECT_EQ(m_provider->Calls(QStringLiteral("vOpenOrders"), QStringLiteral("ListColumns")), 1 + 4 * 2);
}

TEST_F(StructureReportTest, FailingViewEndsOnlyItsOwnBlock)
{
    TCatalogue c;
    c.database = QStringLiteral("Sales");
    c.objects = {ModelObject(QStringLiteral("vBroken"), {}, TObjectKind::View),
                 ModelObject(QStringLiteral("vGood"),
                             {ModelColumn(1, QStringLiteral("A"), QStringLiteral("int"), 4)},
                             TObjectKind::View)};
    OpenServer(c);
    m_provider->Fail(QStringLiteral("vBroken"), QStringLiteral("ListColumns"));
    TReportSettings s = AccessSettings(QStringLiteral("Sales"));
    s.provider = ptSQLServer;
    s.views = true;
    TStringLineSink sink;
    RecordingHooks hooks;
    EXPECT_EQ(RunStructureReport(m_connection, s,
                                 {{QStringLiteral("vBroken"), true}, {QStringLiteral("vGood"), true}}, sink,
                                 hooks),
              TReportOutcome::Completed);
    const QStringList lines = sink.lines();
    const QStringList tail = lines.mid(lines.size() - 4);
    EXPECT_EQ(tail, (QStringList{Title(QStringLiteral("vBroken")), Title(QStringLiteral("vGood")),
                                 Column(1, QStringLiteral("A"), QStringLiteral("int"), 4, {}), Frame()}));
}

TEST_F(StructureReportTest, TableMissingFromCatalogueShowsOnlyItsTitle)
{
    OpenJet(ShopCatalog());
    TStringLineSink sink;
    RecordingHooks hooks;
    RunStructureReport(m_connection, AccessSettings(QStringLiteral("x.mdb")),
                       {{QStringLiteral("Gone"), true}}, sink, hooks);
    const QStringList lines = sink.lines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.at(lines.size() - 2), Title(QStringLiteral("Gone")));
    EXPECT_EQ(lines.last(), Frame());
}

TEST_F(StructureReportTest, NoEntryCheckedGivesHeaderAndOneFrame)
{
    OpenJet(ShopCatalog());
    TReportSettings s = AccessSettings(QStringLiteral("x.mdb"));
    s.delimiter = QLatin1Char('=');
    TStringLineSink sink;
    RecordingHooks hooks;
    RunStructureReport(m_connection, s,
                       {{QStringLiteral("Customers"), false}, {QStringLiteral("Orders"), false}}, sink,
                       hooks);
    QStringList expected =
        Header(QStringLiteral("Access"), {}, QStringLiteral("x.mdb"), {}, QLatin1Char('='));
    expected << Frame(QLatin1Char('='));
    EXPECT_EQ(sink.lines(), expected);
    EXPECT_EQ(hooks.progressMax, 2);
    EXPECT_EQ(hooks.progress, 0);
}

TEST_F(StructureReportTest, EmptyListWritesNothingAndLeavesCursorAndBarAlone)
{
    TStringLineSink sink;
    RecordingHooks hooks;
    EXPECT_EQ(RunStructureReport(m_connection, AccessSettings({}), {}, sink, hooks),
              TReportOutcome::EmptyList);
    EXPECT_TRUE(sink.lines().isEmpty());
    EXPECT_EQ(hooks.waitBegun, 0);
    EXPECT_EQ(hooks.progressMax, -1);
}

TEST_F(StructureReportTest, HeaderInGermanKeepsValuesAtColumnTwentyTwo)
{
    CurrentLanguage = 1;
    TStringLineSink sink;
    TReportWriter writer(sink, QLatin1Char('*'));
    WriteReportHeader(writer, AccessSettings(QStringLiteral("C:/db/x.mdb")));
    ASSERT_EQ(sink.lines().size(), 8);
    EXPECT_EQ(sink.lines().at(4), Line(QStringLiteral("*** Datum:     14.03.26 09:05:07")));
    EXPECT_EQ(sink.lines().at(6), Line(QStringLiteral("*** Datenbank: C:/db/x.mdb")));
    EXPECT_EQ(sink.lines().at(6).indexOf(QStringLiteral("C:/")) + 1, 22);
}

struct CancelCase
{
    int entries;
    int checkedEvery; // every n-th entry is checked
    int cancelAfterChecked;
};

void PrintTo(const CancelCase& c, std::ostream* os)
{
    *os << c.entries << " entries, every " << c.checkedEvery << ". checked, break after "
        << c.cancelAfterChecked << " blocks";
}

class CancelTest : public StructureReportTest, public ::testing::WithParamInterface<CancelCase>
{
};

TEST_P(CancelTest, FinishesTheBlockInHandAndStartsNoOther)
{
    const CancelCase& p = GetParam();
    TCatalogue catalog;
    QList<TReportEntry> entries;
    for (int i = 0; i < p.entries; ++i) {
        const QString name = QStringLiteral("T%1").arg(i, 3, 10, QLatin1Char('0'));
        catalog.objects.append(ModelObject(name, {JetModelColumn(1, QStringLiteral("c"), 3, 4)}));
        entries.append({name, i % p.checkedEvery == 0});
    }
    OpenJet(catalog);
    TStringLineSink sink;
    RecordingHooks hooks;
    hooks.entries = &entries;
    hooks.cancelAfterChecked = p.cancelAfterChecked;
    EXPECT_EQ(RunStructureReport(m_connection, AccessSettings(QStringLiteral("x.mdb")), entries, sink, hooks),
              TReportOutcome::Cancelled);

    // The header, then exactly the wanted blocks of two lines each, the last one complete.
    const QStringList lines = sink.lines();
    const qsizetype headerSize = 8; // no server and no version line
    ASSERT_EQ(lines.size(), headerSize + 2 * p.cancelAfterChecked);
    const int lastChecked = (p.cancelAfterChecked - 1) * p.checkedEvery;
    EXPECT_EQ(lines.at(lines.size() - 2),
              Title(QStringLiteral("T%1").arg(lastChecked, 3, 10, QLatin1Char('0'))));
    EXPECT_EQ(lines.last(), Column(1, QStringLiteral("c"), QStringLiteral("Integer"), 4, {}));
    // The bar stays where the run got to; the cursor is back.
    EXPECT_EQ(hooks.progress, lastChecked + 1);
    EXPECT_EQ(hooks.waitDepth, 0);
}

INSTANTIATE_TEST_SUITE_P(Break, CancelTest,
                         ::testing::Values(CancelCase{50, 1, 10}, CancelCase{50, 3, 10}, CancelCase{5, 1, 1},
                                           CancelCase{40, 2, 19}));

TEST_F(StructureReportTest, BreakDuringTheLastEntryLetsTheRunComplete)
{
    OpenJet(ShopCatalog());
    const QList<TReportEntry> entries{{QStringLiteral("Customers"), false}, {QStringLiteral("Orders"), true}};
    TStringLineSink sink;
    RecordingHooks hooks;
    hooks.entries = &entries;
    hooks.cancelAfterChecked = 1; // would stop before an entry after Orders; there is none
    EXPECT_EQ(RunStructureReport(m_connection, AccessSettings(QStringLiteral("x.mdb")), entries, sink, hooks),
              TReportOutcome::Completed);
    EXPECT_EQ(sink.lines().last(), Frame());
}

struct DateCase
{
    const char* label;
    QLocale locale;
    QDateTime when;
    QString expected;
};

void PrintTo(const DateCase& c, std::ostream* os)
{
    *os << c.label;
}

class ReportDateTest : public ::testing::TestWithParam<DateCase>
{
};

TEST_P(ReportDateTest, ShortDateBlankLongTimeWithoutZone)
{
    EXPECT_EQ(ReportDateTimeText(GetParam().when, GetParam().locale), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, ReportDateTest,
    ::testing::Values(DateCase{"German", QLocale(QLocale::German, QLocale::Germany), kFixedTime,
                               QStringLiteral("14.03.26 09:05:07")},
                      DateCase{"GermanMidnight", QLocale(QLocale::German, QLocale::Germany),
                               QDateTime(QDate(2026, 3, 14), QTime(0, 0)), QStringLiteral("14.03.26")},
                      DateCase{"GermanJustAfterMidnight", QLocale(QLocale::German, QLocale::Germany),
                               QDateTime(QDate(2026, 3, 14), QTime(0, 0, 1)),
                               QStringLiteral("14.03.26 00:00:01")},
                      DateCase{"English", QLocale(QLocale::English, QLocale::UnitedStates), kFixedTime,
                               QStringLiteral("3/14/26 9:05:07 AM")}),
    [](const ::testing::TestParamInfo<DateCase>& p) { return std::string(p.param.label); });

} // namespace
