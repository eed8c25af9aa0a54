// Which interface language a stored setting selects.
#include "KorvIniFiles.h"
#include "Language.h"
#include "Settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <ostream>

namespace {

struct LanguageCase
{
    QString value;
    int code;
};

void PrintTo(const LanguageCase& c, std::ostream* os)
{
    *os << '"' << c.value.toStdString() << "\" -> " << c.code;
}

class LanguageValueTest : public ::testing::TestWithParam<LanguageCase>
{
};

TEST_P(LanguageValueTest, SelectsCode)
{
    EXPECT_EQ(LanguageCodeFromSetting(GetParam().value), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Values, LanguageValueTest,
    ::testing::Values(LanguageCase{"1", 1}, LanguageCase{"d", 1}, LanguageCase{"DEU", 1},
                      LanguageCase{"deutsch", 1}, LanguageCase{"2", 2}, LanguageCase{"e", 2},
                      LanguageCase{"ENG", 2}, LanguageCase{"english", 2}, LanguageCase{"EnGlIsH", 2},
                      LanguageCase{"99", 99}, LanguageCase{"DEBUG", 99}, LanguageCase{"debug", 99},
                      // whole values only, and no number in another spelling
                      LanguageCase{"Englisch", 1}, LanguageCase{"EN", 1}, LanguageCase{"Engl", 1},
                      LanguageCase{"02", 1}, LanguageCase{"2.0", 1}, LanguageCase{"099", 1},
                      LanguageCase{" 2", 1}, LanguageCase{"Debugging", 1}, LanguageCase{"", 1},
                      LanguageCase{"_$$$_", 1}, LanguageCase{"3", 1},
                      // only A to Z fold; look-alike letters do not
                      LanguageCase{QStringLiteral(u"ＥＮＧ"), 1},
                      LanguageCase{QStringLiteral(u"Engl\u0131sh"), 1}));

struct StoredCase
{
    const char* content; // nullptr: no file
    int code;
};

void PrintTo(const StoredCase& c, std::ostream* os)
{
    *os << (c.content ? c.content : "<no file>");
}

class DetermineLanguageTest : public ::testing::TestWithParam<StoredCase>
{
};

TEST_P(DetermineLanguageTest, ReadsTheSettingsFile)
{
    QTemporaryDir dir;
    const QString saved = SettingsFileName();
    SetSettingsFileName(dir.filePath(QStringLiteral("orvane.ini")));
    if (GetParam().content) {
        QFile f(SettingsFileName());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(GetParam().content);
    }
    const int code = DetermineLanguage();
    SetSettingsFileName(saved);
    EXPECT_EQ(code, GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Files, DetermineLanguageTest,
                         ::testing::Values(StoredCase{nullptr, 1},
                                           StoredCase{"[Application]\nDelimiter=*\n", 1},
                                           StoredCase{"[application]\nlanguage=  English  \n", 2},
                                           StoredCase{"[Application]\r\nLanguage=DEBUG\r\n", 99},
                                           StoredCase{"[Other]\nLanguage=2\n", 1}));

} // namespace
