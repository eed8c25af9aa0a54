// orvane-pdf-writer: lays report lines out on PDF pages, as the window's print command prints
// them. orvane-report starts it for --format pdf only, so that its other runs need not load Qt
// Gui and its fonts at all.
//
//   orvane-pdf-writer TITLE
//
// Standard input holds the lines, each as a 32-bit length (host order) and that many bytes of
// UTF-8; the document goes to standard output. Exit status: 0 written, 2 usage or torn input,
// 3 the document could not start, 4 it could not be written out.
#include "PdfLines.h"
#include "ReportPrinter.h"

#include <QFile>
#include <QGuiApplication>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace {

QByteArray readAll(int fd)
{
    QByteArray data;
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return data;
        data.append(chunk, n);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: orvane-pdf-writer TITLE  (lines on standard input)\n", stderr);
        return 2;
    }
    // Fonts need a platform; nothing is shown, and the toolkit's remarks on a missing desktop
    // session are of no use to anyone.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QGuiApplication app(argc, argv);

    QStringList lines;
    if (!DecodePdfLines(readAll(STDIN_FILENO), lines))
        return 2;
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly))
        return 4;
    try {
        PrintReportPdf(out, QString::fromUtf8(argv[1]), ReportFont(), lines);
    } catch (const PrintError&) {
        return 3;
    }
    return out.flush() && out.error() == QFileDevice::NoError ? 0 : 4;
}
