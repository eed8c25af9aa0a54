// The options table of orvane-report against its man page, and the parser's handling of the
// table's two kinds of option.
#include "ReportArguments.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <ostream>
#include <set>

namespace {

// The words of a roff request line; a quoted word keeps its spaces.
QStringList RoffWords(const QString& line)
{
    QStringList words;
    QString word;
    bool quoted = false;
    bool inWord = false;
    for (const QChar c : line) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            inWord = true;
        } else if (c == QLatin1Char(' ') && !quoted) {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

// What a tag line of a .TP paragraph reads as, its font changes and escapes removed.
QString TagText(const QString& line)
{
    QStringList words = RoffWords(line);
    if (words.isEmpty())
        return {};
    const QString macro = words.takeFirst();
    // .B and .I join their words with spaces; the alternating ones (.BI, .BR, ...) run them together.
    QString text = words.join(macro.size() == 2 ? QStringLiteral(" ") : QString());
    static const QRegularExpression fontChange(QStringLiteral(R"(\\f[BIRP])"));
    text.remove(fontChange);
    text.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    text.replace(QStringLiteral("\\e"), QStringLiteral("\\"));
    return text;
}

// The tags of the .TP paragraphs of the man page's section, those that start with prefix.
std::set<QString> ManPageTags(const QString& section, const QString& prefix);

// The tags of the man page's OPTIONS section that name an option.
std::set<QString> ManPageOptionTags()
{
    return ManPageTags(QStringLiteral("OPTIONS"), QStringLiteral("-"));
}

std::set<QString> ManPageTags(const QString& section, const QString& prefix)
{
    QFile page(QStringLiteral(ORVANE_SOURCE_DIR "/packaging/man/orvane-report.1"));
    EXPECT_TRUE(page.open(QIODevice::ReadOnly)) << page.fileName().toStdString();
    const QStringList lines = QString::fromUtf8(page.readAll()).split(QLatin1Char('\n'));
    std::set<QString> tags;
    bool inOptions = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines.at(i).startsWith(QLatin1String(".SH"))) {
            inOptions = lines.at(i).trimmed() == QStringLiteral(".SH ") + section;
        } else if (inOptions && lines.at(i).trimmed() == QLatin1String(".TP") && i + 1 < lines.size()) {
            const QString tag = TagText(lines.at(i + 1));
            if (tag.startsWith(prefix))
                tags.insert(tag);
        }
    }
    return tags;
}

// A table row as the man page spells its tag: the option, its value's name, its other spelling.
QString TableTag(const TReportOption& option)
{
    QString tag = QString::fromLatin1(option.name);
    if (option.argument != nullptr)
        tag += QLatin1Char(' ') + QString::fromLatin1(option.argument);
    if (option.alias != nullptr)
        tag += QStringLiteral(", ") + QString::fromLatin1(option.alias);
    return tag;
}

} // namespace

TEST(ReportOptionsTest, ManPageDocumentsExactlyTheTableOptions)
{
    const std::set<QString> documented = ManPageOptionTags();
    ASSERT_FALSE(documented.empty());
    std::set<QString> table;
    for (const TReportOption& option : ReportOptions())
        table.insert(TableTag(option));
    for (const QString& tag : table)
        EXPECT_TRUE(documented.count(tag) == 1) << "not in the man page's OPTIONS: " << tag.toStdString();
    for (const QString& tag : documented)
        EXPECT_TRUE(table.count(tag) == 1) << "in the man page but not in the table: " << tag.toStdString();
}

TEST(ReportOptionsTest, ManPageDocumentsExactlyTheTableFormats)
{
    std::set<QString> table;
    for (const TReportFormatInfo& format : ReportFormats())
        table.insert(QString::fromLatin1(format.name));
    EXPECT_EQ(ManPageTags(QStringLiteral("FORMATS"), QString()), table);
}

TEST(ReportOptionsTest, UsageListsEveryOptionOnce)
{
    const QString usage = ReportCommandUsage();
    for (const TReportOption& option : ReportOptions()) {
        const QRegularExpression line(QStringLiteral("^  %1( |,|\\n|$)")
                                          .arg(QRegularExpression::escape(QString::fromLatin1(option.name))),
                                      QRegularExpression::MultilineOption);
        qsizetype count = 0;
        for (auto it = line.globalMatch(usage); it.hasNext(); it.next())
            ++count;
        EXPECT_EQ(count, 1) << option.name;
    }
}

void PrintTo(const TReportOption& option, std::ostream* os)
{
    *os << option.name;
}

class ReportOptionRowTest : public ::testing::TestWithParam<TReportOption>
{
};

// A value-taking option at the end of the line lacks its value; a switch refuses one. Either is
// a usage error that names the option as the table spells it.
TEST_P(ReportOptionRowTest, MisusedValueIsAUsageError)
{
    const TReportOption& option = GetParam();
    const QString name = QString::fromLatin1(option.name);
    TReportCommandOptions parsed;
    QString error;
    if (option.argument != nullptr) {
        EXPECT_FALSE(ParseReportCommandLine({QStringLiteral("x.mdb"), name}, parsed, error));
        EXPECT_EQ(error, QStringLiteral("option %1 needs a value").arg(name));
    } else {
        EXPECT_FALSE(
            ParseReportCommandLine({QStringLiteral("x.mdb"), name + QStringLiteral("=1")}, parsed, error));
        EXPECT_EQ(error, QStringLiteral("option %1 takes no value").arg(name));
    }
    // An option's name with more letters after it is another (unknown) option, never this one.
    EXPECT_FALSE(
        ParseReportCommandLine({QStringLiteral("x.mdb"), name + QStringLiteral("x")}, parsed, error));
    EXPECT_EQ(error, QStringLiteral("unknown option %1x").arg(name));
}

INSTANTIATE_TEST_SUITE_P(Table, ReportOptionRowTest,
                         ::testing::ValuesIn(ReportOptions().begin(), ReportOptions().end()),
                         [](const ::testing::TestParamInfo<TReportOption>& p) {
                             QString name = QString::fromLatin1(p.param.name).mid(2);
                             name.remove(QLatin1Char('-'));
                             return name.toStdString();
                         });

TEST(ReportOptionsTest, ValuesAfterAnEqualsSignAndTheShortHelp)
{
    TReportCommandOptions parsed;
    QString error;
    ASSERT_TRUE(ParseReportCommandLine({QStringLiteral("--table=A=B"), QStringLiteral("--table"),
                                        QStringLiteral("--views"), QStringLiteral("--format=json"),
                                        QStringLiteral("x.mdb")},
                                       parsed, error))
        << error.toStdString();
    EXPECT_EQ(parsed.tables, (QStringList{QStringLiteral("A=B"), QStringLiteral("--views")}));
    EXPECT_FALSE(parsed.views);
    EXPECT_EQ(parsed.format, TReportFormat::Json);
    ASSERT_TRUE(ParseReportCommandLine({QStringLiteral("-h")}, parsed, error));
    EXPECT_TRUE(parsed.help);
}

// The bash completion made from the table, run by bash itself: what it offers after each word.
struct TCompletion
{
    const char* label;
    QStringList words; // the command line, the word being completed last
    QStringList offered;
};

class BashCompletionTest : public ::testing::TestWithParam<TCompletion>
{
};

TEST_P(BashCompletionTest, OffersWhatTheOptionTakes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile script(dir.filePath(QStringLiteral("orvane-report")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(ReportCommandBashCompletion().toUtf8());
    script.close();
    for (const char* name : {"back.mdb", "before.json"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    QProcess bash;
    bash.setWorkingDirectory(dir.path());
    bash.start(
        QStringLiteral("/bin/bash"),
        QStringList{QStringLiteral("-c"),
                    QStringLiteral("source \"$1\"; shift; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); "
                                   "_orvane_report; printf '%s\\n' \"${COMPREPLY[@]}\""),
                    QStringLiteral("_"), script.fileName()} +
            GetParam().words);
    ASSERT_TRUE(bash.waitForFinished(30000));
    EXPECT_EQ(bash.exitCode(), 0) << bash.readAllStandardError().toStdString();
    QStringList offered = QString::fromUtf8(bash.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    offered.sort();
    EXPECT_EQ(offered, GetParam().offered);
}

QStringList EveryOption()
{
    QStringList all;
    for (const TReportOption& option : ReportOptions()) {
        all.append(QString::fromLatin1(option.name));
        if (option.alias != nullptr)
            all.append(QString::fromLatin1(option.alias));
    }
    all.sort();
    return all;
}

INSTANTIATE_TEST_SUITE_P(
    Words, BashCompletionTest,
    ::testing::Values(
        TCompletion{
            "FilesFirst",
            {QStringLiteral("orvane-report"), QString()},
            {QStringLiteral("back.mdb"), QStringLiteral("before.json"), QStringLiteral("orvane-report")}},
        TCompletion{"Options", {QStringLiteral("orvane-report"), QStringLiteral("-")}, EveryOption()},
        TCompletion{"OptionPrefix",
                    {QStringLiteral("orvane-report"), QStringLiteral("--pass")},
                    {QStringLiteral("--password-stdin")}},
        TCompletion{"Formats",
                    {QStringLiteral("orvane-report"), QStringLiteral("--format"), QString()},
                    {QStringLiteral("dot"), QStringLiteral("html"), QStringLiteral("json"),
                     QStringLiteral("markdown"), QStringLiteral("pdf"), QStringLiteral("rtf"),
                     QStringLiteral("svg"), QStringLiteral("text")}},
        TCompletion{"Languages",
                    {QStringLiteral("orvane-report"), QStringLiteral("--language"), QStringLiteral("d")},
                    {QStringLiteral("de")}},
        TCompletion{"BaselineFile",
                    {QStringLiteral("orvane-report"), QStringLiteral("--compare"), QStringLiteral("be")},
                    {QStringLiteral("before.json")}},
        TCompletion{"DatabaseFile",
                    {QStringLiteral("orvane-report"), QStringLiteral("--detail"), QStringLiteral("ba")},
                    {QStringLiteral("back.mdb")}},
        TCompletion{"NoFilesForAServer",
                    {QStringLiteral("orvane-report"), QStringLiteral("--server"), QStringLiteral("b")},
                    {}}),
    [](const ::testing::TestParamInfo<TCompletion>& p) { return std::string(p.param.label); });
