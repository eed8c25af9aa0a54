// Printing the pane: line breaking at blanks, the job's lines, title and pages (into a PDF through
// the same code as the printer), and the failure without a default printer.
#include "ReportPrinter.h"
#include "WindowFixture.h"

#include <QPrinterInfo>
#include <QProcess>
#include <QTextEdit>

#include <ostream>

struct BreakCase
{
    const char* text;
    int width; // characters that fit
    QStringList pieces;
};

void PrintTo(const BreakCase& c, std::ostream* os)
{
    *os << '"' << c.text << "\" in " << c.width;
}

class BreakPrint : public ::testing::TestWithParam<BreakCase>
{
};

TEST_P(BreakPrint, BreaksAtTheLastBlankThatFitsAndIndentsTheRest)
{
    const BreakCase& c = GetParam();
    const auto fits = [&](const QString& piece) { return piece.size() <= c.width; };
    EXPECT_EQ(BreakPrintLine(QString::fromUtf8(c.text), fits), c.pieces);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, BreakPrint,
    ::testing::Values(
        BreakCase{"abc", 4, {"abc"}}, BreakCase{"", 4, {""}}, BreakCase{" ", 4, {" "}},
        // A foreign key's rule: words stay whole, the rest goes on under the line's
        // own indentation and four blanks more.
        BreakCase{"      on delete set null", 16, {"      on delete", "          set", "          null"}},
        BreakCase{"  on update cascade", 13, {"  on update", "      cascade"}},
        // The blank right after what fits is the break; a run of blanks goes with it.
        BreakCase{"ab   cd", 2, {"ab", "cd"}},
        // A line's own indentation is no place to break.
        BreakCase{"      abcdefghij", 10, {"      abcd", "efghij"}},
        // No blank to break at: the last character that fits; paper too narrow for
        // the indentation: the rest goes on unindented.
        BreakCase{"abcdef", 4, {"abcd", "ef"}}, BreakCase{"abcdefghij", 3, {"abc", "def", "ghi", "j"}},
        // Nothing fits: one character a line, never stuck.
        BreakCase{"xyz", 0, {"x", "y", "z"}}));

namespace {

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000))
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class PrintCommand : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            GTEST_SKIP() << "pdftotext/pdfinfo not installed (Debian package poppler-utils)";
    }
    QString pdf() const { return folder.filePath(QStringLiteral("job.pdf")); }
    int pages() const
    {
        const QString info = run(QStringLiteral("pdfinfo"), {pdf()});
        for (const QString& line : info.split(u'\n'))
            if (line.startsWith(QStringLiteral("Pages:")))
                return line.mid(6).trimmed().toInt();
        return -1;
    }
    // The visible lines of one page (0: of every page), without their blanks at either end.
    QStringList printed(int page = 0) const
    {
        QStringList arguments{QStringLiteral("-raw"), pdf(), QStringLiteral("-")};
        if (page > 0)
            arguments << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l")
                      << QString::number(page);
        QStringList lines;
        for (const QString& line : run(QStringLiteral("pdftotext"), arguments).split(u'\n')) {
            const QString trimmed = line.trimmed().remove(u'\f');
            if (!trimmed.isEmpty())
                lines << trimmed;
        }
        return lines;
    }
    // Prints a pane of count numbered report lines into the PDF.
    QStringList printReport(int count)
    {
        QStringList report;
        for (int i = 1; i <= count; ++i)
            report << QStringLiteral("      line %1 of the report").arg(i, 4, 10, QLatin1Char('0'));
        child<QTextEdit>("memOutput")->setPlainText(report.join(u'\n'));
        QFile::remove(pdf());
        action("actPrint")->trigger();
        for (QString& line : report)
            line = line.trimmed();
        return report;
    }
};

TEST_F(PrintCommand, PrintsEveryLineThenOneBlankUnderTheJobTitle)
{
    start();
    window->setPrintTarget(pdf());
    window->SetDatabase(QStringLiteral("/data/shop.mdb"));
    const QStringList report = printReport(100);
    ASSERT_TRUE(prompter->shown.isEmpty());
    EXPECT_EQ(printed(), report);
    EXPECT_EQ(pages(), 2);
    EXPECT_TRUE(run(QStringLiteral("pdfinfo"), {pdf()}).contains(QStringLiteral("Orvane /data/shop.mdb")));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // The 101st line holds a blank, which shows only by the room it takes: a report that fills
    // the first page exactly puts it on a page of its own; one line less leaves it on the first.
    const int perPage = int(printed(1).size());
    ASSERT_GT(perPage, 20);
    printReport(perPage);
    EXPECT_EQ(pages(), 2);
    EXPECT_TRUE(printed(2).isEmpty());
    printReport(perPage - 1);
    EXPECT_EQ(pages(), 1);
}

TEST_F(PrintCommand, EmptyPaneGivesOnePageWithOnlyTheBlankLine)
{
    start();
    window->setPrintTarget(pdf());
    action("actPrint")->trigger();
    EXPECT_EQ(pages(), 1);
    EXPECT_TRUE(printed().isEmpty());
}

TEST_F(PrintCommand, LongReportBreaksIntoPagesWithoutLosingALine)
{
    start();
    window->setPrintTarget(pdf());
    const QStringList report = printReport(5000);
    EXPECT_EQ(printed(), report);
    const int perPage = int(printed(1).size());
    ASSERT_GT(perPage, 0);
    EXPECT_EQ(pages(), (5000 + 1 + perPage - 1) / perPage);
}

// The print breaks a long line by the paper's width, at a blank: not where the pane wraps it, and
// never inside a word.
TEST_F(PrintCommand, LongLineBreaksAtABlankByThePapersWidthAlone)
{
    start();
    window->setPrintTarget(pdf());
    QString line = QStringLiteral("          Fremdschlüssel FK_Orders_Customers (Customer_ID) -> Customers");
    while (line.size() < 150)
        line += QStringLiteral(" bei Löschung auf NULL setzen");
    child<QTextEdit>("memOutput")->setPlainText(line);
    window->resize(420, 400);
    action("actPrint")->trigger();
    const QStringList lines = printed();
    ASSERT_EQ(lines.size(), 2) << lines.join(u'|').toStdString();
    EXPECT_EQ(lines.join(u' '), line.simplified());
    const QStringList words = line.split(u' ', Qt::SkipEmptyParts);
    for (const QString& printedLine : lines)
        for (const QString& word : printedLine.split(u' '))
            EXPECT_TRUE(words.contains(word)) << word.toStdString();
}

TEST_F(PrintCommand, NoDefaultPrinterIsReportedAndNothingElseHappens)
{
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "this machine has a default printer; the test would print on it";
    start();
    child<QTextEdit>("memOutput")->setPlainText(QStringLiteral("report"));
    action("actPrint")->trigger();
    const auto errors = prompter->ofKind("default-error");
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].text, "Es ist kein Standarddrucker eingerichtet.");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(child<QTextEdit>("memOutput")->toPlainText(), "report");
}
