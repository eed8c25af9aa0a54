// tds-mkcatalog [--views N] [--procedures N] [--triggers N] DIR: writes the standard catalogue
// fixtures (sample, big, we]ird';db) that tds-testserver serves, for running the server by hand
// and for the benchmarks; the options give big that many views, procedures and triggers.
#include "CatalogFixture.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: tds-mkcatalog [--views N] [--procedures N] [--triggers N] DIR\n");
    return 2;
}

bool count(const char* text, int& out)
{
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || n < 0 || n > 100000)
        return false;
    out = static_cast<int>(n);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    tdsfixture::Modules modules;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        int* target = arg == "--views"        ? &modules.views
                      : arg == "--procedures" ? &modules.procedures
                      : arg == "--triggers"   ? &modules.triggers
                                              : nullptr;
        if (target) {
            if (i + 1 >= argc || !count(argv[++i], *target))
                return usage();
        } else if (dir.empty() && !arg.starts_with("-")) {
            dir = arg;
        } else {
            return usage();
        }
    }
    if (dir.empty())
        return usage();
    try {
        tdsfixture::writeStandardFixtures(dir, modules);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tds-mkcatalog: %s\n", e.what());
        return 1;
    }
    return 0;
}
