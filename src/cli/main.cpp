// orvane-report: the structure report on the command line.
#include "Providers.h"
#include "ReportCommand.h"
#include "Settings.h"
#include "TerminalPrompter.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// The structure of a large file is some fifteen megabytes of small objects made in one go. On
// 4 KiB pages every page costs a fault when first touched, about a third of the time spent taking
// in the Access reader's message and a fifth of the exit. So the heap gets its room up front, in
// one piece the system is asked to back with transparent huge pages (where the system allows
// them at all; elsewhere the request changes nothing).
void GiveTheHeapRoomOnHugePages()
{
    constexpr std::size_t kRoom = std::size_t(64) << 20;
    constexpr std::uintptr_t kHugePage = std::uintptr_t(2) << 20;
    // Blocks up to 1 MiB come from the heap, which grows by kRoom beyond what is asked for and
    // is not given back while the program runs (it runs for one report).
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    mallopt(M_TRIM_THRESHOLD, int(2 * kRoom));
    mallopt(M_TOP_PAD, int(kRoom));
    const auto before = reinterpret_cast<std::uintptr_t>(sbrk(0));
    void* volatile grow = std::malloc(std::size_t(512) << 10);
    std::free(grow);
    const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0));
    // An allocator of its own (a sanitizer's) leaves the break alone.
    if (end < before + kRoom)
        return;
    const std::uintptr_t start = (end - kRoom + kHugePage - 1) & ~(kHugePage - 1);
    madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

} // namespace

int main(int argc, char** argv)
{
    GiveTheHeapRoomOnHugePages();
    // Qt Core only: PDF pages are laid out by a program of its own (orvane-pdf-writer), so no
    // run loads Qt Gui.
    QCoreApplication app(argc, argv);
    // The same name as the window, so both find the same settings in the configuration folder.
    QCoreApplication::setApplicationName(QStringLiteral("Orvane"));
    RegisterBuiltInProviders();
    // One report per process: its structure goes with the process.
    SetReportStructureLeftToExit(true);
    SetSettingsFileName(ReportCommandSettingsFile(QCoreApplication::applicationDirPath()));
    TTerminalPrompter prompter;
    return RunReportCommand(QCoreApplication::arguments().mid(1), prompter, stdin, stdout, stderr);
}
