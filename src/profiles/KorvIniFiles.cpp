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
//
// Lines are read the way Windows' profile functions read them, since that is what people who edit
// the file by hand have tested against: CR, LF and CR LF each end a line; "[" starts a section only
// when a "]" follows on the line; any other line that is not a comment is a key, also without "=";
// a NUL byte ends a name or a value.

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
    QByteArray eol; // "\n", "\r\n", "\r" or "" for a last line without one
    LineKind kind = LineKind::Other;
    QString name;          // section or key name, trimmed
    QString value;         // key value, trimmed
    bool hasValue = false; // a key line holding "="
};

struct IniFile
{
    std::vector<Line> lines;
    // Style for the lines we add: the file's own, and for a new file that of the Windows program.
    QByteArray eol = "\r\n";
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

QString cutAtNul(const QString& s)
{
    const qsizetype nul = s.indexOf(QChar(0));
    return nul < 0 ? s : s.left(nul);
}

void classify(Line& line, bool firstLine)
{
    QByteArray bytes = line.raw;
    // A byte-order mark from an editor would otherwise hide the first section header.
    if (firstLine && bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    // Decided line by line: a file from the Windows program gains UTF-8 lines once this one writes.
    const QString text = trimBlanks(FromAnsiBytes(bytes));
    // The last bracket closes the name, so a profile name holding "]" survives a round trip.
    const qsizetype close = text.startsWith(u'[') ? text.lastIndexOf(u']') : -1;
    if (text.isEmpty()) {
        line.kind = LineKind::Blank;
    } else if (text.front() == u';') {
        line.kind = LineKind::Comment;
    } else if (close > 0) {
        line.kind = LineKind::Section;
        line.name = trimBlanks(cutAtNul(text.mid(1, close - 1)));
    } else {
        // Also "[Name" without its bracket: a line of the section above, as Windows reads it.
        const qsizetype eq = text.indexOf(u'=');
        line.name = trimBlanks(cutAtNul(eq < 0 ? text : text.left(eq)));
        line.hasValue = eq >= 0;
        if (line.hasValue)
            line.value = trimBlanks(cutAtNul(text.mid(eq + 1)));
        line.kind = line.name.isEmpty() ? LineKind::Other : LineKind::Key;
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
        qsizetype end = pos;
        while (end < data.size() && data[end] != '\n' && data[end] != '\r')
            ++end;
        Line line;
        line.raw = data.mid(pos, end - pos);
        if (end < data.size()) {
            const bool crlf = data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n';
            line.eol = crlf ? QByteArray("\r\n") : data.mid(end, 1);
            if (!styleKnown) {
                file.eol = line.eol;
                styleKnown = true;
            }
        }
        pos = end + line.eol.size();
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
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value) || section.contains(QChar(0)) ||
        key.contains(QChar(0)) || k.contains(u'=') || k.startsWith(u'[') || k.startsWith(u';'))
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
    // A key without "=" has no value to give: the caller's default, as from Windows.
    return line && line->hasValue ? line->value : kNotPresentValue;
}

void IniWriteString(const QString& fileName, const QString& section, const QString& key,
                    const QString& givenValue)
{
    // The Windows functions take the value as a C string: it ends at a NUL, as it reads back.
    const QString value = cutAtNul(givenValue);
    checkWritable(fileName, section, key, value);
    IniFile file = loadForUpdate(fileName);
    const std::vector<SectionRange> sections = findSections(file, section);
    size_t index = 0;
    if (findKey(file, sections, key, &index)) {
        Line& line = file.lines[index];
        // Keep the key as it is spelt in the file, up to and including its "="; a key standing
        // alone gains one.
        const QByteArray prefix = line.hasValue
                                      ? FromAnsiBytes(line.raw.left(line.raw.indexOf('=') + 1)).toUtf8()
                                      : (line.name + u'=').toUtf8();
        line = makeLine(prefix + value.toUtf8(), line.eol.isEmpty() ? file.eol : line.eol);
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
