#include "CommandRuns.h"

#include <QProcess>

#include <unistd.h>

#include "Settings.h"

bool TScriptedAnswers::AskDatabasePassword(QString& password)
{
    questions << QStringLiteral("password");
    if (m_answers.isEmpty())
        return false;
    password = m_answers.takeFirst();
    return true;
}

bool TScriptedAnswers::AskUserLogin(QString& user, QString& password, bool askUser)
{
    questions << (askUser ? QStringLiteral("user and password") : QStringLiteral("password of ") + user);
    if (m_answers.isEmpty())
        return false;
    const QString answer = m_answers.takeFirst();
    if (askUser)
        user = answer.section(QLatin1Char('/'), 0, 0);
    password = answer.section(QLatin1Char('/'), 1);
    return true;
}

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

QString ReportProgramPath()
{
    return QStringLiteral(ORVANE_BINARY_DIR "/src/orvane-report");
}

ProgramRun RunProgram(const QStringList& arguments, const QByteArray& input, const QString& program,
                      const QString& workingDirectory)
{
    QProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.setChildProcessModifier([] { ::setsid(); });
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return {};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    ProgramRun run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}
