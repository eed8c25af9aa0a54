// The automation values and the ProgID registry the catalogue back ends are built on.
#include "Automation.h"

#include <gtest/gtest.h>

namespace {

struct ConversionCase
{
    const char* name;
    Variant value;
    bool convertsToInt;
    int asInt;
    const char* asText; // nullptr: text conversion throws
};

void PrintTo(const ConversionCase& c, std::ostream* os)
{
    *os << c.name;
}

class VariantConversions : public ::testing::TestWithParam<ConversionCase>
{
};

TEST_P(VariantConversions, ToIntAndToText)
{
    const ConversionCase& c = GetParam();
    if (c.convertsToInt)
        EXPECT_EQ(c.value.toInt(), c.asInt);
    else
        EXPECT_THROW(c.value.toInt(), AutomationError);
    if (c.asText)
        EXPECT_EQ(c.value.toText(), QString::fromUtf8(c.asText));
    else
        EXPECT_THROW(c.value.toText(), AutomationError);
}

class Dummy : public Dispatch
{
};

INSTANTIATE_TEST_SUITE_P(
    Kinds, VariantConversions,
    ::testing::Values(ConversionCase{"Empty", Variant(), true, 0, ""},
                      ConversionCase{"True", Variant(true), true, -1, "True"},
                      ConversionCase{"False", Variant(false), true, 0, "False"},
                      ConversionCase{"Negative", Variant(std::int32_t(-42)), true, -42, "-42"},
                      ConversionCase{"NumericText", Variant(" 17 "), true, 17, " 17 "},
                      ConversionCase{"WordText", Variant("abc"), false, 0, "abc"},
                      ConversionCase{"OverflowText", Variant("99999999999"), false, 0, "99999999999"},
                      ConversionCase{"Object", Variant(DispatchPtr(std::make_shared<Dummy>())), false, 0,
                                     nullptr}),
    [](const auto& p) { return std::string(p.param.name); });

struct EqualityCase
{
    const char* name;
    Variant a;
    Variant b;
    int expected; // 1 equal, 0 different, -1 throws
};

void PrintTo(const EqualityCase& c, std::ostream* os)
{
    *os << c.name;
}

class VariantEquality : public ::testing::TestWithParam<EqualityCase>
{
};

TEST_P(VariantEquality, ComparesAsAutomationDoes)
{
    const EqualityCase& c = GetParam();
    if (c.expected < 0) {
        EXPECT_THROW((void)(c.a == c.b), AutomationError);
    } else {
        EXPECT_EQ(c.a == c.b, c.expected == 1);
        EXPECT_EQ(c.b == c.a, c.expected == 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, VariantEquality,
    ::testing::Values(EqualityCase{"TrueTrue", Variant(true), Variant(true), 1},
                      EqualityCase{"TrueFalse", Variant(true), Variant(false), 0},
                      EqualityCase{"TrueMinusOne", Variant(true), Variant(std::int32_t(-1)), 1},
                      EqualityCase{"TrueOne", Variant(true), Variant(std::int32_t(1)), 0},
                      EqualityCase{"TrueText", Variant(true), Variant("True"), 1},
                      EqualityCase{"TrueLowerText", Variant(true), Variant("true"), 1},
                      EqualityCase{"TrueWordText", Variant(true), Variant("yes"), -1},
                      EqualityCase{"TrueEmpty", Variant(true), Variant(), 0},
                      EqualityCase{"EmptyEmpty", Variant(), Variant(), 1},
                      EqualityCase{"TextCase", Variant("a"), Variant("A"), 0},
                      EqualityCase{"NumberText", Variant(std::int32_t(5)), Variant("5"), 1}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Variant, CopiesShareTheObjectAndOverwritingReleasesIt)
{
    auto object = std::make_shared<Dummy>();
    std::weak_ptr<Dummy> watch = object;
    Variant a{DispatchPtr(object)};
    object.reset();
    Variant b = a;
    EXPECT_TRUE(a == b);
    a = Variant(std::int32_t(1));
    EXPECT_FALSE(watch.expired());
    b.clear();
    EXPECT_TRUE(watch.expired());
    EXPECT_TRUE(b.isEmpty());
    EXPECT_TRUE(Variant(DispatchPtr()).isEmpty());
}

TEST(Variant, MembersOfNoObjectOrUnknownMembersThrow)
{
    EXPECT_THROW(Variant().get(QStringLiteral("Name")), AutomationError);
    EXPECT_THROW(Variant("x").invoke(QStringLiteral("Item")), AutomationError);
    const Variant dummy{DispatchPtr(std::make_shared<Dummy>())};
    EXPECT_THROW(dummy.get(QStringLiteral("Name")), AutomationError);
    EXPECT_THROW(dummy.put(QStringLiteral("Name"), Variant("x")), AutomationError);
}

TEST(AutomationError, CarriesHelpContextAndUtf8Message)
{
    const AutomationError e(5003031, QStringLiteral("Kennwort ungültig."));
    EXPECT_EQ(e.helpContext(), 5003031);
    EXPECT_STREQ(e.what(), "Kennwort ungültig.");
}

TEST(OleRegistry, UnregisteredProgIdsFailAndRegistrationIsCaseBlind)
{
    try {
        CreateOleObject(QStringLiteral("No.Such.Thing"));
        ADD_FAILURE() << "created an unregistered object";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.helpContext(), 0);
        EXPECT_EQ(e.description(), "Invalid class string");
    }
    int made = 0;
    RegisterOleProvider(QStringLiteral("Test.Thing"), [&made] {
        ++made;
        return std::make_shared<Dummy>();
    });
    EXPECT_TRUE(CreateOleObject(QStringLiteral("test.THING")).isObject());
    EXPECT_EQ(made, 1);
    UnregisterOleProvider(QStringLiteral("TEST.thing"));
    EXPECT_THROW(CreateOleObject(QStringLiteral("Test.Thing")), AutomationError);
    // A factory that makes nothing is a failure too, not an empty object.
    RegisterOleProvider(QStringLiteral("Test.Null"), [] { return DispatchPtr(); });
    EXPECT_THROW(CreateOleObject(QStringLiteral("Test.Null")), AutomationError);
    UnregisterOleProvider(QStringLiteral("Test.Null"));
}

// The suites' start-up registers the built-in providers as the programs do.
TEST(OleRegistry, TheBuiltInProvidersAreRegistered)
{
    EXPECT_TRUE(CreateOleObject(QStringLiteral("ADOX.Catalog")).isObject());
    EXPECT_TRUE(CreateOleObject(QStringLiteral("SQLDMO.SQLServer")).isObject());
    EXPECT_THROW(CreateOleObject(QStringLiteral("ADODB.Connection")), AutomationError);
}

} // namespace
