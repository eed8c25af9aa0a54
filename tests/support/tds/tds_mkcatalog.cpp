// tds-mkcatalog DIR: writes the standard catalogue fixtures (sample, big, we]ird';db) that
// tds-testserver serves, for running the server by hand.
#include "CatalogFixture.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tds-mkcatalog DIR\n");
        return 2;
    }
    try {
        tdsfixture::writeStandardFixtures(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tds-mkcatalog: %s\n", e.what());
        return 1;
    }
    return 0;
}
