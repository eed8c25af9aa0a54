#include "CommandRuns.h"

#include "Settings.h"

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

CommandRun RunCommandInProcess(const QStringList& arguments, const QByteArray& input)
{
    SetSettingsFileName(QString());
    TNoAnswers prompter;
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    CommandRun run;
    if (in && out && err) {
        std::fwrite(input.constData(), 1, size_t(input.size()), in);
        std::rewind(in);
        run.exitCode = RunReportCommand(arguments, prompter, in, out, err);
        run.out = ReadStreamFromStart(out);
        run.err = ReadStreamFromStart(err);
    }
    for (std::FILE* f : {in, out, err}) {
        if (f)
            std::fclose(f);
    }
    return run;
}
