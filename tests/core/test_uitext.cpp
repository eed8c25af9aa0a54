// The UI text table and its lookup in each language mode.
#include "UIText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <ostream>

namespace {

class LanguageScope
{
public:
    explicit LanguageScope(int language) : m_saved(CurrentLanguage) { CurrentLanguage = language; }
    ~LanguageScope() { CurrentLanguage = m_saved; }
    LanguageScope(const LanguageScope&) = delete;
    LanguageScope& operator=(const LanguageScope&) = delete;

private:
    int m_saved;
};

constexpr int kAssigned[] = {1,   2,   3,   4,   5,   21,  22,  23,  24,  25,  26,  27,  41,  43,  51,
                             52,  53,  54,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90,  91,  92,
                             93,  94,  95,  96,  97,  98,  99,  100, 101, 102, 103, 104, 105, 106, 107,
                             108, 109, 110, 111, 112, 113, 114, 151, 152, 153, 154, 155, 156, 157, 158,
                             159, 160, 161, 201, 202, 203, 204, 205, 206, 210, 211, 212};

struct TextCase
{
    int language;
    int id;
    QString text;
};

void PrintTo(const TextCase& c, std::ostream* os)
{
    *os << "language " << c.language << " id " << c.id;
}

class UITextTest : public ::testing::TestWithParam<TextCase>
{
};

// Exact texts, including the padding the report header and the about dialog rely on.
TEST_P(UITextTest, GivesText)
{
    LanguageScope scope(GetParam().language);
    EXPECT_EQ(LoadUIText(GetParam().id), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UITextTest,
    ::testing::Values(
        TextCase{1, 5, "Orvane"}, TextCase{2, 5, "Orvane"}, TextCase{1, 2, "Abbrechen"},
        TextCase{2, 2, "Cancel"}, TextCase{1, 51, "&Datei"}, TextCase{2, 52, "&Edit"},
        TextCase{1, 84, "Ausgabe speichern in <TEMP>:\\"}, TextCase{2, 84, "Save Output to file <TEMP>:\\"},
        TextCase{1, 86, "Ausgabe in die Zwischenablage abspreichern"}, TextCase{1, 101, "Aus&gabe"},
        TextCase{1, 104, QStringLiteral(u"Trennzeichen auswählen")},
        TextCase{1, 109, QStringLiteral(u"Profil löschen")},
        TextCase{1, 110, QStringLiteral(u"Profil löschen")}, TextCase{2, 107, "Save Profile"},
        TextCase{2, 108, "Save Profile"}, TextCase{1, 107, "Profil sichern"},
        TextCase{1, 108, "Profil sichern"}, TextCase{1, 112, QStringLiteral(u"Datenbank öffnen")},
        TextCase{1, 114, QStringLiteral(u"Info über ...")}, TextCase{2, 113, "Info about ..."},
        TextCase{2, 154, "Date:      "}, TextCase{1, 154, "Datum:     "}, TextCase{2, 155, "Provider:  "},
        TextCase{1, 155, "Provider:  "}, TextCase{2, 156, "Server:    "}, TextCase{1, 156, "Server:    "},
        TextCase{2, 157, "Database:  "}, TextCase{1, 157, "Datenbank: "}, TextCase{2, 158, "Version:   "},
        TextCase{1, 158, "Version:   "},
        TextCase{1, 160, "Dieser Name existiert bereits. Bitte geben Sie einen anderen Namen ein:"},
        TextCase{1, 202, "Name"}, TextCase{2, 202, "User"}, TextCase{1, 206, QStringLiteral(u"Info über")},
        TextCase{2, 210, "Comment:"}, TextCase{1, 210, "Kommentar: "}, TextCase{2, 212, "E-Mail:"},
        // identifiers the table does not hold
        TextCase{1, 7, "#7"}, TextCase{2, 0, "#0"}, TextCase{1, 213, "#213"}, TextCase{2, -1, "#-1"},
        TextCase{1, 42, "#42"}, TextCase{2, 2147483647, "#2147483647"},
        // identifier display and unknown languages
        TextCase{99, 1, "#1"}, TextCase{99, 51, "#51"}, TextCase{99, -5, "#-5"}, TextCase{0, 1, ""},
        TextCase{3, 1, ""}, TextCase{0, 7, ""}, TextCase{-1, 5, ""}));

TEST(UITextTableTest, HeaderLabelsShareOneWidth)
{
    for (int language : {1, 2}) {
        LanguageScope scope(language);
        for (int id = 154; id <= 158; ++id)
            EXPECT_EQ(LoadUIText(id).size(), 11) << "language " << language << " id " << id;
    }
}

TEST(UITextTableTest, SeventyTwoTextsInEachLanguage)
{
    for (int language : {1, 2}) {
        LanguageScope scope(language);
        int assigned = 0;
        for (int id = -10; id <= 300; ++id) {
            const QString text = LoadUIText(id);
            if (text == QStringLiteral("#") + QString::number(id))
                continue;
            ++assigned;
            EXPECT_FALSE(text.isEmpty()) << id;
            EXPECT_NE(std::find(std::begin(kAssigned), std::end(kAssigned), id), std::end(kAssigned)) << id;
        }
        EXPECT_EQ(assigned, 72) << "language " << language;
    }
}

TEST(UITextTableTest, DisclaimerDiffersByLanguage)
{
    QString german, english;
    {
        LanguageScope scope(1);
        german = LoadUIText(211);
    }
    {
        LanguageScope scope(2);
        english = LoadUIText(211);
    }
    EXPECT_GT(english.size(), 60);
    EXPECT_GT(german.size(), 60);
    EXPECT_NE(german, english);
}

} // namespace
