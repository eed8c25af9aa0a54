// The generic adapter over the structure model, once per engine's traits: what each engine's
// objects answer, where its collections start counting, and what a miss does.
#include "CatalogueAutomation.h"
#include "CatalogueSamples.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

struct EngineCase
{
    const char* label;
    const TCatalogueAutomationTraits* traits;
    TCatalogue (*sample)();
    // A member each column answers only on this engine, and its value for the first column.
    const char* ownColumnMember;
    const char* otherColumnMember;
};

void PrintTo(const EngineCase& c, std::ostream* os)
{
    *os << c.label;
}

Variant firstColumnValue(const TCatalogue& model, const char* member)
{
    const TCatalogueColumn& c = model.objects.first().columns.first();
    const QString m = QString::fromLatin1(member);
    if (m == QLatin1String("Type"))
        return Variant(c.typeCode.value_or(0));
    if (m == QLatin1String("DataType"))
        return Variant(c.typeName);
    return Variant();
}

class CatalogueAdapter : public ::testing::TestWithParam<EngineCase>
{
protected:
    void SetUp() override
    {
        TCatalogue model = GetParam().sample();
        // A view beside the tables: only an engine with a Views collection shows it.
        TCatalogueObject view;
        view.name = QStringLiteral("OrderTotals");
        view.kind = TObjectKind::View;
        view.columns = {ModelColumn(1, QStringLiteral("Total"), QStringLiteral("money"), 8)};
        model.objects.append(view);
        // A Decimal column: the one whose digits are told.
        TCatalogueColumn amount = ModelColumn(9, QStringLiteral("Amount"), QStringLiteral("Numeric"), 19);
        amount.precision = 18;
        amount.scale = 4;
        model.objects.first().columns.append(amount);
        m_model = std::make_shared<const TCatalogue>(model);
        m_database = std::make_unique<TCatalogueAutomation>(*GetParam().traits, [this] { return m_model; });
    }

    Variant collection(const char* name)
    {
        Variant result;
        if (!m_database->get(QString::fromLatin1(name), {}, result))
            throw AutomationError(0, QStringLiteral("no such collection"));
        return result;
    }
    Variant item(const Variant& items, const Variant& key)
    {
        return items.get(QStringLiteral("Item"), {key});
    }
    std::int32_t base() const { return GetParam().traits->indexBase; }

    std::shared_ptr<const TCatalogue> m_model;
    std::unique_ptr<TCatalogueAutomation> m_database;
};

TEST_P(CatalogueAdapter, CountsFromTheEnginesBaseAndFindsNamesInAnyCase)
{
    const Variant tables = collection("Tables");
    const std::int32_t count = tables.get(QStringLiteral("Count")).toInt();
    ASSERT_EQ(count, m_model->objects.size() - 1); // the view is no table
    const TCatalogueObject& first = m_model->objects.first();
    EXPECT_EQ(item(tables, Variant(base())).get(QStringLiteral("Name")).toText(), first.listName());
    const Variant last = item(tables, Variant(base() + count - 1));
    EXPECT_EQ(last.get(QStringLiteral("Name")).toText(), m_model->objects.at(count - 1).listName());
    EXPECT_THROW(item(tables, Variant(base() - 1)), AutomationError);
    EXPECT_THROW(item(tables, Variant(base() + count)), AutomationError);
    EXPECT_THROW(item(tables, Variant(QStringLiteral("Nope"))), AutomationError);
    EXPECT_THROW(item(tables, Variant(true)), AutomationError);
    EXPECT_THROW(tables.get(QStringLiteral("Item")), AutomationError);
    // The same object each time, however it is named.
    const Variant byName = item(tables, Variant(first.listName().toUpper()));
    EXPECT_EQ(byName, item(tables, Variant(base())));
    EXPECT_EQ(byName.get(QStringLiteral("columns")).get(QStringLiteral("COUNT")).toInt(),
              first.columns.size());
}

TEST_P(CatalogueAdapter, ColumnsAnswerTheirEnginesMembersOnly)
{
    const Variant table = item(collection("Tables"), Variant(base()));
    const Variant columns = table.get(QStringLiteral("Columns"));
    const Variant column = item(columns, Variant(base()));
    EXPECT_EQ(column.get(QStringLiteral("Name")).toText(), m_model->objects.first().columns.first().name);
    const Variant own = column.get(QString::fromLatin1(GetParam().ownColumnMember));
    EXPECT_EQ(own, firstColumnValue(*m_model, GetParam().ownColumnMember));
    EXPECT_THROW(column.get(QString::fromLatin1(GetParam().otherColumnMember)), AutomationError);
    // A column outlives the objects it was reached through.
    m_database.reset();
    EXPECT_EQ(column.get(QStringLiteral("nAME")).toText(), m_model->objects.first().columns.first().name);
}

TEST_P(CatalogueAdapter, DigitsAreToldForDecimalsAndZeroElsewhere)
{
    const Variant columns = item(collection("Tables"), Variant(base())).get(QStringLiteral("Columns"));
    const bool told = (GetParam().traits->column >> unsigned(TAutomationMember::Precision)) & 1u;
    const Variant amount = item(columns, Variant(QStringLiteral("amount")));
    if (!told) {
        // A member the engine's columns do not have is refused, not answered with a made-up 0.
        EXPECT_THROW(amount.get(QStringLiteral("Precision")), AutomationError);
        return;
    }
    EXPECT_EQ(amount.get(QStringLiteral("Precision")).toInt(), 18);
    EXPECT_EQ(amount.get(QStringLiteral("NumericScale")).toInt(), 4);
    EXPECT_EQ(item(columns, Variant(base())).get(QStringLiteral("Precision")).toInt(), 0);
}

TEST_P(CatalogueAdapter, ViewsAreACollectionOnlyWhereTheEngineHasOne)
{
    Variant views;
    const bool has = m_database->get(QStringLiteral("Views"), {}, views);
    EXPECT_EQ(has, ((GetParam().traits->database >> unsigned(TAutomationMember::Views)) & 1u) != 0);
    if (!has)
        return;
    ASSERT_EQ(views.get(QStringLiteral("Count")).toInt(), 1);
    const Variant view = item(views, Variant(base()));
    EXPECT_EQ(view.get(QStringLiteral("Name")).toText(), QStringLiteral("OrderTotals"));
    EXPECT_EQ(view.get(QStringLiteral("ListColumns")).get(QStringLiteral("Count")).toInt(), 1);
    EXPECT_THROW(view.get(QStringLiteral("Columns")), AutomationError);
}

TEST_P(CatalogueAdapter, AModelThatCannotBeReadFailsEveryCollectionButNothingElse)
{
    TCatalogueAutomation failing(*GetParam().traits, []() -> std::shared_ptr<const TCatalogue> {
        throw AutomationError(0, QStringLiteral("Operation is not allowed when the object is closed."));
    });
    Variant result;
    EXPECT_THROW(failing.get(QStringLiteral("Tables"), {}, result), AutomationError);
    EXPECT_FALSE(failing.get(QStringLiteral("Name"), {}, result));
}

INSTANTIATE_TEST_SUITE_P(Engines, CatalogueAdapter,
                         ::testing::Values(EngineCase{"Access", &kJetCatalogueAutomation,
                                                      &SampleAccessCatalogue, "Type", "DataType"},
                                           EngineCase{"SqlServer", &kSqlServerCatalogueAutomation,
                                                      &SampleSqlServerCatalogue, "DataType", "Type"}),
                         [](const ::testing::TestParamInfo<EngineCase>& p) {
                             return std::string(p.param.label);
                         });

} // namespace
