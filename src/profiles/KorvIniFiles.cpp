#include "KorvIniFiles.h"

#include "TextCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <vector>

// The settings file is edited by hand, carried over from Windows and shared with older copies of
// the program, so an update rewrites only the one line it is about and copies every other byte
// through unchanged. Duplicate sections of one name are treated as one section in file order;
// within it the first key of a name wins, for reading as for writing.

SettingsWriteError::SettingsWriteError(const QString& fileName)
    : std::runtime_error(
          QStringLiteral("nach %1 kann nicht geschrieben werden").arg(fileName).toUtf8().toStdString())
{
}

namespace {

enum class LineKind
{
    Other,
    Blank,
    Comment,
    Section,
    Key
};

struct Line
{
    QByteArray raw; // the line's bytes without its line end
    QByteArray eol; // "\n", "\r\n" or "" for a last line without one
    LineKind kind = LineKind::Other;
    QString name;  // section or key name, trimmed
    QString value; // key value, trimmed
};

struct IniFile
{
    std::vector<Line> lines;
    QByteArray eol = "\n"; // style for lines we add; new files get Unix line ends
};

// Windows trims these around names and values; a line end never reaches here.
bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f';
}

QString trimBlanks(const QString& s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && isBlank(s[begin]))
        ++begin;
    while (end > begin && isBlank(s[end - 1]))
        --end;
    return s.mid(begin, end - begin);
}

void classify(Line& line, bool firstLine)
{
    QByteArray bytes = line.raw;
    // A byte-order mark from an editor would otherwise hide the first section header.
    if (firstLine && bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    // Decided line by line: a file from the Windows program gains UTF-8 lines once this one writes.
    const QString text = trimBlanks(FromAnsiBytes(bytes));
    if (text.isEmpty()) {
        line.kind = LineKind::Blank;
    } else if (text.front() == u';') {
        line.kind = LineKind::Comment;
    } else if (text.front() == u'[') {
        // The last bracket closes the name, so a profile name holding "]" survives a round trip.
        const qsizetype close = text.lastIndexOf(u']');
        line.kind = LineKind::Section;
        line.name = trimBlanks(close > 0 ? text.mid(1, close - 1) : text.mid(1));
    } else if (const qsizetype eq = text.indexOf(u'='); eq >= 0) {
        line.kind = LineKind::Key;
        line.name = trimBlanks(text.left(eq));
        line.value = trimBlanks(text.mid(eq + 1));
    } else {
        line.kind = LineKind::Other;
    }
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

IniFile parse(const QByteArray& data)
{
    IniFile file;
    bool styleKnown = false;
    qsizetype pos = 0;
    while (pos < data.size()) {
        const qsizetype nl = data.indexOf('\n', pos);
        Line line;
        if (nl < 0) {
            line.raw = data.mid(pos);
            pos = data.size();
        } else {
            line.raw = data.mid(pos, nl - pos);
            line.eol = "\n";
            if (line.raw.endsWith('\r')) {
                line.raw.chop(1);
                line.eol = "\r\n";
            }
            pos = nl + 1;
            if (!styleKnown) {
                file.eol = line.eol;
                styleKnown = true;
            }
        }
        classify(line, file.lines.empty());
        file.lines.push_back(std::move(line));
    }
    return file;
}

// Reads the whole file; a missing or unreadable file (or a directory) reads as empty.
bool readFile(const QString& fileName, QByteArray& data)
{
    QFile f(fileName);
    if (!QFileInfo(fileName).isFile() || !f.open(QIODevice::ReadOnly))
        return false;
    data = f.readAll();
    return f.error() == QFileDevice::NoError;
}

// For an update the old content must be known exactly: replacing a file we could not read would
// throw away everything it holds.
IniFile loadForUpdate(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (!info.exists() && !info.isSymLink())
        return IniFile{};
    QByteArray data;
    if (!readFile(fileName, data))
        throw SettingsWriteError(fileName);
    return parse(data);
}

void save(const QString& fileName, const IniFile& file)
{
    QSaveFile out(fileName);
    if (!out.open(QIODevice::WriteOnly))
        throw SettingsWriteError(fileName);
    for (const Line& line : file.lines) {
        if (out.write(line.raw) != line.raw.size() || out.write(line.eol) != line.eol.size()) {
            out.cancelWriting();
            throw SettingsWriteError(fileName);
        }
    }
    if (!out.commit())
        throw SettingsWriteError(fileName);
}

// Line ranges [header, end) of every occurrence of a section, end being one past the section's
// last line that is neither blank nor a comment: new keys go there, and erasing stops there so a
// comment introducing the next section stays with it.
struct SectionRange
{
    size_t header;
    size_t end;
};

std::vector<SectionRange> findSections(const IniFile& file, const QString& section)
{
    std::vector<SectionRange> found;
    const QString wanted = trimBlanks(section);
    for (size_t i = 0; i < file.lines.size(); ++i) {
        if (file.lines[i].kind != LineKind::Section || !sameName(file.lines[i].name, wanted))
            continue;
        SectionRange range{i, i + 1};
        size_t j = i + 1;
        for (; j < file.lines.size() && file.lines[j].kind != LineKind::Section; ++j) {
            if (file.lines[j].kind != LineKind::Blank && file.lines[j].kind != LineKind::Comment)
                range.end = j + 1;
        }
        found.push_back(range);
        i = j - 1;
    }
    return found;
}

const Line* findKey(const IniFile& file, const std::vector<SectionRange>& sections, const QString& key,
                    size_t* index = nullptr)
{
    const QString wanted = trimBlanks(key);
    for (const SectionRange& range : sections) {
        for (size_t i = range.header + 1; i < range.end; ++i) {
            const Line& line = file.lines[i];
            if (line.kind == LineKind::Key && sameName(line.name, wanted)) {
                if (index)
                    *index = i;
                return &line;
            }
        }
    }
    return nullptr;
}

bool hasLineBreak(const QString& s)
{
    return s.contains(u'\n') || s.contains(u'\r');
}

// Names and values that would read back as different lines (or as a header) are refused rather
// than written: an entry typed by the user must never be able to forge other settings.
void checkWritable(const QString& fileName, const QString& section, const QString& key, const QString& value)
{
    const QString k = trimBlanks(key);
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value) || k.contains(u'=') ||
        k.startsWith(u'[') || k.startsWith(u';'))
        throw SettingsWriteError(fileName);
}

Line makeLine(const QByteArray& raw, const QByteArray& eol)
{
    Line line;
    line.raw = raw;
    line.eol = eol;
    classify(line, false);
    return line;
}

void insertLines(IniFile& file, size_t at, std::vector<Line> added)
{
    // The line we add after must end in a line break of its own.
    if (at > 0 && file.lines[at - 1].eol.isEmpty())
        file.lines[at - 1].eol = file.eol;
    file.lines.insert(file.lines.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
}

} // namespace

QString IniReadString(const QString& fileName, const QString& section, const QString& key)
{
    QByteArray data;
    if (!readFile(fileName, data))
        return kNotPresentValue;
    const IniFile file = parse(data);
    const Line* line = findKey(file, findSections(file, section), key);
    return line ? line->value : kNotPresentValue;
}

void IniWriteString(const QString& fileName, const QString& section, const QString& key, const QString& value)
{
    checkWritable(fileName, section, key, value);
    IniFile file = loadForUpdate(fileName);
    const std::vector<SectionRange> sections = findSections(file, section);
    size_t index = 0;
    if (findKey(file, sections, key, &index)) {
        Line& line = file.lines[index];
        // Keep the key as it is spelt in the file, up to and including its "=".
        QByteArray prefix = line.raw.left(line.raw.indexOf('=') + 1);
        prefix = FromAnsiBytes(prefix).toUtf8();
        line = makeLine(prefix + value.toUtf8(), line.eol);
    } else if (!sections.empty()) {
        insertLines(file, sections.front().end,
                    {makeLine((key + QStringLiteral("=") + value).toUtf8(), file.eol)});
    } else {
        insertLines(file, file.lines.size(),
                    {makeLine((QStringLiteral("[") + section + QStringLiteral("]")).toUtf8(), file.eol),
                     makeLine((key + QStringLiteral("=") + value).toUtf8(), file.eol)});
    }
    save(fileName, file);
}

QStringList IniSectionNames(const QString& fileName)
{
    QStringList names;
    QByteArray data;
    if (!readFile(fileName, data))
        return names;
    for (const Line& line : parse(data).lines) {
        if (line.kind == LineKind::Section && !names.contains(line.name, Qt::CaseInsensitive))
            names.append(line.name);
    }
    return names;
}

bool IniSectionExists(const QString& fileName, const QString& section)
{
    QByteArray data;
    if (!readFile(fileName, data))
        return false;
    const IniFile file = parse(data);
    for (const SectionRange& range : findSections(file, section)) {
        for (size_t i = range.header + 1; i < range.end; ++i) {
            if (file.lines[i].kind == LineKind::Key)
                return true;
        }
    }
    return false;
}

void IniEraseSection(const QString& fileName, const QString& section)
{
    if (hasLineBreak(section))
        throw SettingsWriteError(fileName);
    IniFile file = loadForUpdate(fileName);
    const std::vector<SectionRange> sections = findSections(file, section);
    if (sections.empty())
        return;
    // Every occurrence goes, or an erased profile would come back from a duplicate further down.
    for (auto it = sections.rbegin(); it != sections.rend(); ++it) {
        file.lines.erase(file.lines.begin() + static_cast<std::ptrdiff_t>(it->header),
                         file.lines.begin() + static_cast<std::ptrdiff_t>(it->end));
    }
    save(fileName, file);
}
