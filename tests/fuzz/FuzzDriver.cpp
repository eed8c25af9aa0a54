#include "FuzzDriver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <sanitizer/common_interface_defs.h>

#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

// The input being run, written out when a sanitizer ends the process, so a finding can be
// replayed and turned into a regular test.
const QByteArray* g_current = nullptr;
const char* g_name = "fuzz";

void saveCurrentInput()
{
    if (!g_current)
        return;
    const QByteArray fileName = QByteArray(g_name) + ".crash";
    if (std::FILE* f = std::fopen(fileName.constData(), "wb")) {
        std::fwrite(g_current->constData(), 1, size_t(g_current->size()), f);
        std::fclose(f);
        std::fprintf(stderr, "fuzz: the input is in %s\n", fileName.constData());
    }
}

QByteArray mutate(QByteArray data, const FuzzTarget& target, std::mt19937_64& random)
{
    const auto below = [&random](qsizetype n) {
        return n <= 0 ? qsizetype(0) : qsizetype(random() % quint64(n));
    };
    const int steps = 1 + int(below(4));
    for (int s = 0; s < steps; ++s) {
        switch (below(7)) {
        case 0: // flip a bit
            if (!data.isEmpty())
                data[below(data.size())] = char(data[below(data.size())] ^ char(1 << below(8)));
            break;
        case 1: // an interesting byte
            if (!data.isEmpty()) {
                static const char interesting[] = {'\0', '\n', '\r', '=',    ';',    '[',    ']',    '"',
                                                   '\'', '{',  '}',  '\x7F', '\x80', '\xFF', '\xC3', '\xE2'};
                data[below(data.size())] = interesting[below(sizeof interesting)];
            }
            break;
        case 2: // cut a piece
            if (!data.isEmpty()) {
                const qsizetype at = below(data.size());
                data.remove(at, 1 + below(qMin<qsizetype>(64, data.size() - at)));
            }
            break;
        case 3: { // copy a piece elsewhere
            if (data.isEmpty())
                break;
            const qsizetype at = below(data.size());
            const QByteArray piece = data.mid(at, 1 + below(64));
            data.insert(below(data.size() + 1), piece);
            break;
        }
        case 4: // a token of the format
            if (!target.tokens.isEmpty())
                data.insert(below(data.size() + 1), target.tokens.at(below(target.tokens.size())));
            break;
        case 5: { // splice with another seed
            const QByteArray& other = target.seeds.at(below(target.seeds.size()));
            data = data.left(below(data.size() + 1)) + other.mid(below(other.size() + 1));
            break;
        }
        default: // random bytes
            for (qsizetype i = 0, n = 1 + below(8); i < n; ++i)
                data.insert(below(data.size() + 1), char(random()));
            break;
        }
    }
    // Inputs stay small: the parsers' trouble is in their structure, not their size.
    if (data.size() > 1 << 16)
        data.truncate(1 << 16);
    return data;
}

} // namespace

void FuzzCheck(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz: property failed: %s\n", what);
        saveCurrentInput();
        std::abort();
    }
}

int RunFuzzer(int argc, char** argv, const FuzzTarget& target)
{
    QCoreApplication app(argc, argv);
    if (argc > 2) {
        QFile file(QString::fromLocal8Bit(argv[2]));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "%s: cannot read %s\n", target.name, argv[2]);
            return 2;
        }
        target.run(file.readAll());
        return 0;
    }
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    g_name = target.name;
    __sanitizer_set_death_callback(saveCurrentInput);
    // ORVANE_FUZZ_SEED repeats a campaign exactly (CI sets it); the seed is printed either way.
    const QByteArray seedText = qgetenv("ORVANE_FUZZ_SEED");
    const quint64 campaignSeed = seedText.isEmpty() ? std::random_device{}() : seedText.toULongLong();
    std::fprintf(stderr, "%s: seed %llu\n", target.name, static_cast<unsigned long long>(campaignSeed));
    std::mt19937_64 random(campaignSeed);
    for (const QByteArray& seed : target.seeds) {
        g_current = &seed;
        target.run(seed);
    }
    QElapsedTimer clock;
    clock.start();
    quint64 executions = 0;
    while (clock.elapsed() < qint64(seconds * 1000)) {
        const QByteArray input =
            mutate(target.seeds.at(qsizetype(random() % quint64(target.seeds.size()))), target, random);
        g_current = &input;
        target.run(input);
        ++executions;
    }
    g_current = nullptr;
    std::printf("%s: %llu executions in %.0f s, no finding\n", target.name,
                static_cast<unsigned long long>(executions), seconds);
    return 0;
}
