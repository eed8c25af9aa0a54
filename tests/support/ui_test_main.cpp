// Entry point of the window test suites: offscreen platform and pinned locale are set
// before the QApplication exists, so discovery and runs behave the same everywhere.
#include <QApplication>
#include <QLocale>
#include <gtest/gtest.h>

#include "JetCatalogReader.h"
#include "Providers.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LC_ALL", "C.UTF-8");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QApplication app(argc, argv);
    RegisterBuiltInProviders();
    // The suites live in their own folders; the reader is where the build puts it.
    SetJetReaderProgram(QStringLiteral(ORVANE_BINARY_DIR "/src/orvane-jet-reader"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
