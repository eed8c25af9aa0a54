// The settings file reader and writer on damaged and hand-edited files: any bytes read without a
// fault, and a value written reads back as written, whatever the file held before.
#include "FuzzDriver.h"
#include "KorvIniFiles.h"

#include <QFile>
#include <QTemporaryDir>

int main(int argc, char** argv)
{
    QTemporaryDir* dir = nullptr;
    QString path;
    FuzzTarget target{
        "fuzz_settings",
        {QByteArray("[Application]\r\nLanguage=2\r\nDelimiter=*\r\n[SQL Server Profile: a]\r\nServer=x\r\n"),
         QByteArray("[Application]\nLanguage=1\n\n; comment\n[Other]\nKey = value \n"),
         QByteArray("\xEF\xBB\xBF[Gr\xC3\xB6\xC3\x9F"
                    "e]\r\nSchl\xFC"
                    "ssel=Wert\r\n[x"),
         QByteArray("\r[a]\rk=v\r[b\nk2=v2\n=\nbare line\n")},
        {"\r\n", "[", "]", "=", "\r", "\n", "\0", "[Application]", "Language=", "\xC3"},
        {}};
    target.run = [&](const QByteArray& input) {
        if (!dir) {
            dir = new QTemporaryDir;
            path = dir->filePath(QStringLiteral("orvane.ini"));
        }
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return;
        file.write(input);
        file.close();
        const QStringList sections = IniSectionNames(path);
        for (const QString& section : sections) {
            IniSectionExists(path, section);
            IniReadString(path, section, QStringLiteral("Language"));
        }
        const QString value = QStringLiteral("Wert ä € %1").arg(input.size());
        IniWriteString(path, QStringLiteral("Application"), QStringLiteral("Fuzz"), value);
        FuzzCheck(IniReadString(path, QStringLiteral("Application"), QStringLiteral("Fuzz")) == value,
                  "a written value reads back");
        if (!sections.isEmpty()) {
            IniEraseSection(path, sections.constFirst());
        }
    };
    const int code = RunFuzzer(argc, argv, target);
    delete dir;
    return code;
}
