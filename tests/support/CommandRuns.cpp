#include "CommandRuns.h"

QByteArray ReadStreamFromStart(std::FILE* f)
{
    std::fflush(f);
    std::rewind(f);
    QByteArray bytes;
    char piece[65536];
    size_t n;
    while ((n = std::fread(piece, 1, sizeof piece, f)) > 0)
        bytes.append(piece, static_cast<qsizetype>(n));
    return bytes;
}
