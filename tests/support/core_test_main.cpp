// Entry point of the core test suites: a QCoreApplication with a pinned locale.
#include <QCoreApplication>
#include <QLocale>
#include <gtest/gtest.h>

#include "JetCatalogReader.h"
#include "Providers.h"

int main(int argc, char** argv)
{
    qputenv("LC_ALL", "C.UTF-8");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCoreApplication app(argc, argv);
    RegisterBuiltInProviders();
    // The suites live in their own folders; the reader is where the build puts it.
    SetJetReaderProgram(QStringLiteral(ORVANE_BINARY_DIR "/src/orvane-jet-reader"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
