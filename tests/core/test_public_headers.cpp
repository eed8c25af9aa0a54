// The public headers docs/DEVELOPING.md lists against what the window, the printing and the
// command line include: of src/db's headers they reach only the listed ones (the rest are the
// core library's own, which the build cannot hide since they share a folder).
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <set>

namespace {

QString ReadText(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromUtf8(file.readAll());
}

// The headers the "Public headers" section names.
std::set<QString> ListedHeaders()
{
    const QString page = ReadText(QStringLiteral(ORVANE_SOURCE_DIR "/docs/DEVELOPING.md"));
    const qsizetype start = page.indexOf(QLatin1String("## Public headers"));
    EXPECT_GE(start, 0);
    const qsizetype end = page.indexOf(QLatin1String("\n## "), start + 1);
    const QString section = page.mid(start, end < 0 ? -1 : end - start);
    std::set<QString> headers;
    static const QRegularExpression header(QStringLiteral("`([A-Za-z]+\\.h)`"));
    for (auto it = header.globalMatch(section); it.hasNext();)
        headers.insert(it.next().captured(1));
    return headers;
}

class PublicHeaders : public ::testing::TestWithParam<const char*>
{
};

TEST_P(PublicHeaders, AreTheOnlyOnesOfTheDatabaseFolderIncluded)
{
    const std::set<QString> listed = ListedHeaders();
    ASSERT_TRUE(listed.count(QStringLiteral("KorvConnection.h")));
    const QDir db(QStringLiteral(ORVANE_SOURCE_DIR "/src/db"));
    const QStringList own = db.entryList({QStringLiteral("*.h")}, QDir::Files);
    ASSERT_FALSE(own.isEmpty());
    // A header the list names and the folder no longer has is a stale list.
    for (const QString& name : listed)
        EXPECT_TRUE(own.contains(name)) << name.toStdString() << " is listed but not in src/db";

    static const QRegularExpression include(QStringLiteral("^#include \"([^\"/]+\\.h)\""),
                                            QRegularExpression::MultilineOption);
    QDirIterator files(QStringLiteral(ORVANE_SOURCE_DIR "/src/") + QString::fromLatin1(GetParam()),
                       {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files);
    int seen = 0;
    while (files.hasNext()) {
        const QString file = files.next();
        ++seen;
        for (auto it = include.globalMatch(ReadText(file)); it.hasNext();) {
            const QString name = it.next().captured(1);
            if (own.contains(name)) {
                EXPECT_TRUE(listed.count(name)) << file.toStdString() << " includes " << name.toStdString()
                                                << ", which docs/DEVELOPING.md does not list as public";
            }
        }
    }
    EXPECT_GT(seen, 0);
}

INSTANTIATE_TEST_SUITE_P(Consumers, PublicHeaders, ::testing::Values("app", "cli", "print", "pdfwriter"));

} // namespace
