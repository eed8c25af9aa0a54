#include "VersionInfo.h"

#include "TextCodec.h"

#include <QByteArrayMatcher>
#include <QFile>

#include <array>
#include <cstdint>
#include <link.h>
#include <mutex>
#include <optional>

#define ORVANE_COPYRIGHT "Copyright (C) 2026 The Orvane developers"

const char kProgramCopyright[] = ORVANE_COPYRIGHT;
const char kMakerEmail[] = "orvane@example.org";
const char kMakerWebAddress[] = "https://orvane.example.org/";

namespace {

// The version block as it lies in the executable file: the address of its string table
// ("StringFileInfo\" language and code page "\"), a zero byte, then key and value pairs as
// zero-terminated texts, ended by an empty key. Values are Windows-1252 or UTF-8 text.
// It must survive into the linked program, where the reader finds it by scanning the file.
// clang-format off
[[gnu::used]] const char kVersionBlock[] =
    "StringFileInfo\\040704E4\\\0"
    "CompanyName\0" "The Orvane developers\0"
    "FileDescription\0" "Orvane\0"
    "FileVersion\0" "0.7.1.2\0"
    "InternalName\0" "Orvane\0"
    "LegalCopyright\0" ORVANE_COPYRIGHT "\0"
    "LegalTradeMarks\0" "\0"
    "OriginalFilename\0" "orvane\0"
    "ProductName\0" "Orvane\0"
    "ProductVersion\0" "0.7\0"
    "Comments\0" "--- keine ---\0"
    "\0";
// clang-format on

// The search pattern is cut from the block itself, so the program holds the bytes
// "StringFileInfo\" exactly once and a lookup in its own file cannot stop at a stray copy.
constexpr qsizetype kPrefixLength = 15; // "StringFileInfo\"
constexpr qsizetype kLanguageLength = 8;
constexpr char kGermanAnsi[] = "040704E4";
constexpr qsizetype kMaxBlock = 4096;
constexpr qint64 kChunk = 64 * 1024;

constexpr std::array<const char*, 10> kKeys = {
    "CompanyName",     "FileDescription",  "FileVersion", "InternalName",   "LegalCopyright",
    "LegalTradeMarks", "OriginalFilename", "ProductName", "ProductVersion", "Comments"};

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

enum class BlockResult
{
    Invalid,
    OtherLanguage,
    Found
};

// Checks that data (starting at the pattern) holds a complete, well-formed block and, when it is
// the German/1252 one, takes the value of key (empty when the block lacks that key).
BlockResult parseBlock(const QByteArray& data, const char* key, QString& value)
{
    qsizetype pos = kPrefixLength;
    if (data.size() < pos + kLanguageLength + 2)
        return BlockResult::Invalid;
    const QByteArray language = data.mid(pos, kLanguageLength);
    for (char c : language) {
        if (!isHex(c))
            return BlockResult::Invalid;
    }
    pos += kLanguageLength;
    if (data[pos] != '\\' || data[pos + 1] != '\0')
        return BlockResult::Invalid;
    pos += 2;

    QString found;
    bool haveKey = false;
    for (;;) {
        const qsizetype keyEnd = data.indexOf('\0', pos);
        if (keyEnd < 0)
            return BlockResult::Invalid; // truncated
        if (keyEnd == pos)
            break; // the empty key ends the block
        for (qsizetype i = pos; i < keyEnd; ++i) {
            if (data[i] < 0x20 || data[i] > 0x7E)
                return BlockResult::Invalid;
        }
        const qsizetype valueEnd = data.indexOf('\0', keyEnd + 1);
        if (valueEnd < 0)
            return BlockResult::Invalid;
        if (!haveKey && data.mid(pos, keyEnd - pos) == key) {
            found = FromAnsiBytes(data.mid(keyEnd + 1, valueEnd - keyEnd - 1));
            haveKey = true;
        }
        pos = valueEnd + 1;
    }
    if (language.compare(kGermanAnsi, Qt::CaseInsensitive) != 0)
        return BlockResult::OtherLanguage;
    value = found;
    return BlockResult::Found;
}

QByteArray blockPattern()
{
    return QByteArray(kVersionBlock, kPrefixLength);
}

// Where the running program's own block lies in its file: the loaded segment that holds it says
// which file offset its address came from. Negative when the program's segments cannot be told.
qint64 ownBlockOffset()
{
    struct Search
    {
        std::uintptr_t address;
        qint64 offset = -1;
    } search{reinterpret_cast<std::uintptr_t>(kVersionBlock)};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& segment = info->dlpi_phdr[i];
                const std::uintptr_t start = info->dlpi_addr + segment.p_vaddr;
                if (segment.p_type == PT_LOAD && s->address >= start &&
                    s->address < start + segment.p_filesz) {
                    s->offset = qint64(segment.p_offset + (s->address - start));
                    return 1;
                }
            }
            return 0;
        },
        &search);
    return search.offset;
}

// The value of key from the block at offset of file, when a well-formed German block lies there.
std::optional<QString> blockAt(const QString& filePath, qint64 offset, const char* key)
{
    QFile file(filePath);
    if (offset < 0 || !file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return std::nullopt;
    const QByteArray data = file.read(kMaxBlock);
    QString value;
    if (!data.startsWith(QByteArray(kVersionBlock, kPrefixLength)) ||
        parseBlock(data, key, value) != BlockResult::Found)
        return std::nullopt;
    return value;
}

} // namespace

QString VersionInfoString(const QString& filePath, int index)
{
    if (index < 0 || index >= static_cast<int>(kKeys.size()))
        return QString();
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return QString();

    // Executables can be large; read them in pieces and keep only the overlap a match could span.
    const QByteArray pattern = blockPattern();
    const QByteArrayMatcher matcher(pattern);
    QByteArray carry;
    qint64 base = 0; // file offset of buffer[0]
    for (;;) {
        const QByteArray chunk = file.read(kChunk);
        if (chunk.isEmpty())
            break;
        const QByteArray buffer = carry + chunk;
        for (qsizetype hit = matcher.indexIn(buffer); hit >= 0; hit = matcher.indexIn(buffer, hit + 1)) {
            const qint64 resume = file.pos();
            if (!file.seek(base + hit))
                return QString();
            const QByteArray block = file.read(kMaxBlock);
            if (!file.seek(resume))
                return QString();
            QString value;
            if (parseBlock(block, kKeys[static_cast<size_t>(index)], value) == BlockResult::Found)
                return value;
        }
        const qsizetype keep = std::min<qsizetype>(buffer.size(), pattern.size() - 1);
        carry = buffer.right(keep);
        base += buffer.size() - keep;
    }
    return QString();
}

QString OwnVersionInfoString(int index)
{
    if (index < 0 || index >= static_cast<int>(kKeys.size()))
        return QString();
    // Finding the block means reading through the executable, which a report would otherwise do
    // twice per run. The answer cannot change while the program runs (/proc/self/exe stays the
    // file it was started from, even when that is replaced), so each value is read once; a second
    // caller waits for the first instead of reading as well.
    static std::mutex mutex;
    static std::array<std::optional<QString>, kKeys.size()> known;
    const std::lock_guard<std::mutex> lock(mutex);
    std::optional<QString>& value = known[static_cast<size_t>(index)];
    if (!value) {
        QFile self(QStringLiteral("/proc/self/exe"));
        if (self.exists()) {
            // The block is read where the running program's own bytes came from; only when that
            // place does not hold it is the whole file searched.
            value = blockAt(self.fileName(), ownBlockOffset(), kKeys[static_cast<size_t>(index)]);
            if (!value)
                value = VersionInfoString(self.fileName(), index);
        } else {
            // Without /proc the block can still be answered from memory.
            QString fromMemory;
            parseBlock(QByteArray(kVersionBlock, sizeof kVersionBlock), kKeys[static_cast<size_t>(index)],
                       fromMemory);
            value = fromMemory;
        }
    }
    return *value;
}
