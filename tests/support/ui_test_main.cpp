// Entry point of the window test suites: offscreen platform (with its screens) and pinned locale
// are set before the QApplication exists, so discovery and runs behave the same everywhere.
#include <QApplication>
#include <QLocale>
#include <gtest/gtest.h>

#include "JetCatalogReader.h"
#include "Providers.h"

int main(int argc, char** argv)
{
    // The offscreen screens of a field test: Full HD, and Full HD at a scale factor of 2 beside
    // it (960 x 540 in the window's pixels), instead of the platform's one 800 x 800 screen.
    qputenv("QT_QPA_PLATFORM",
            "offscreen:configfile=" ORVANE_SOURCE_DIR "/tests/support/offscreen-screens.json");
    qputenv("LC_ALL", "C.UTF-8");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QApplication app(argc, argv);
    RegisterBuiltInProviders();
    // The suites live in their own folders; the reader is where the build puts it.
    SetJetReaderProgram(QStringLiteral(ORVANE_BINARY_DIR "/src/orvane-jet-reader"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
