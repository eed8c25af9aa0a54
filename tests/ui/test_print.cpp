// Printing the pane: line breaking, the job's lines, title and pages (into a PDF through the same
// code as the printer), and the failure without a default printer.
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

TEST_P(BreakPrint, BreaksAtTheLastCharacterThatFits)
{
    const BreakCase& c = GetParam();
    const auto fits = [&](const QString& piece) { return piece.size() <= c.width; };
    EXPECT_EQ(BreakPrintLine(QString::fromUtf8(c.text), fits), c.pieces);
}

INSTANTIATE_TEST_SUITE_P(Widths, BreakPrint,
                         ::testing::Values(BreakCase{"abcdef", 4, {"abcd", "ef"}},
                                           BreakCase{"abcdefgh", 4, {"abcd", "efgh"}},
                                           BreakCase{"abc", 4, {"abc"}}, BreakCase{"", 4, {""}},
                                           BreakCase{" ", 4, {" "}},
                                           // Nothing fits: one character a line, never stuck.
                                           BreakCase{"xyz", 0, {"x", "y", "z"}},
                                           BreakCase{"abcdefghij", 3, {"abc", "def", "ghi", "j"}}));

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
    QString pdf() const { return folder.filePath(QStringLiteral("job.pdf")); }
    bool havePoppler() const
    {
        return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
    }
    int pages() const
    {
        const QString info = run(QStringLiteral("pdfinfo"), {pdf()});
        for (const QString& line : info.split(u'\n'))
            if (line.startsWith(QStringLiteral("Pages:")))
                return line.mid(6).trimmed().toInt();
        return -1;
    }
};

TEST_F(PrintCommand, PrintsEveryLineThenOneBlankUnderTheJobTitle)
{
    if (!havePoppler())
        GTEST_SKIP() << "pdftotext/pdfinfo not installed";
    start();
    window->setPrintTarget(pdf());
    window->SetDatabase(QStringLiteral("/data/shop.mdb"));
    QStringList report;
    for (int i = 1; i <= 100; ++i)
        report << QStringLiteral("      line %1 of the report").arg(i, 3, 10, QLatin1Char('0'));
    child<QTextEdit>("memOutput")->setPlainText(report.join(u'\n'));

    action("actPrint")->trigger();

    ASSERT_TRUE(prompter->shown.isEmpty());
    const QString text =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), pdf(), QStringLiteral("-")});
    QStringList printed;
    for (const QString& line : text.split(u'\n')) {
        const QString trimmed = line.trimmed().remove(u'\f');
        if (!trimmed.isEmpty())
            printed << trimmed;
    }
    QStringList expected;
    for (const QString& line : report)
        expected << line.trimmed();
    EXPECT_EQ(printed, expected);
    EXPECT_GE(pages(), 2);
    EXPECT_TRUE(run(QStringLiteral("pdfinfo"), {pdf()}).contains(QStringLiteral("Orvane /data/shop.mdb")));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(PrintCommand, EmptyPaneGivesOnePage)
{
    if (!havePoppler())
        GTEST_SKIP() << "pdfinfo not installed";
    start();
    window->setPrintTarget(pdf());
    action("actPrint")->trigger();
    EXPECT_EQ(pages(), 1);
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
