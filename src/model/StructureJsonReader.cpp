#include "StructureJsonReader.h"

#include "EngineTraits.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string_view>

#include <charconv>
#include <cmath>
#include <limits>

// The document is read in one pass straight into the model: a snapshot of a large database is
// tens of megabytes, and a document tree beside the model would hold it twice or three times.
namespace {

// The first thing wrong with the document's meaning, with the place it was found.
struct TFormatError
{
    QString message;
};

// The document is not JSON at all.
struct TSyntaxError
{
    QString what;
    qsizetype offset;
};

// The device failed under the reading.
struct TReadError
{
    QString what;
};

// Where in the document a value is, spelt out only when something there is wrong: building
// the text for every value of a large snapshot would cost more than reading it.
struct TPlace
{
    const TPlace* parent = nullptr;
    const char* key = nullptr; // a member's name, or
    qsizetype index = -1;      // an element's index

    QString Text() const
    {
        QString text = parent ? parent->Text() : QString();
        if (key)
            return text.isEmpty() ? QString::fromLatin1(key) : text + QLatin1Char('.') + QLatin1String(key);
        if (index >= 0)
            return text + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
        return text;
    }
    TPlace Member(const char* name) const { return TPlace{this, name, -1}; }
    TPlace Element(qsizetype at) const { return TPlace{this, nullptr, at}; }
};

const TPlace kTop;

[[noreturn]] void Fail(const TPlace& place, const QString& what)
{
    const QString text = place.Text();
    throw TFormatError{text.isEmpty() ? what : text + QStringLiteral(": ") + what};
}

// Deeper than any structure document goes; bounds the recursion over values nobody reads.
constexpr int kMaxDepth = 128;

// Reads the text through a window of a few kilobytes, so memory does not grow with the file.
class TJsonScanner
{
public:
    explicit TJsonScanner(QIODevice& device) : m_device(device) {}

    // The next significant character, or 0 at the end of the text.
    char Peek()
    {
        for (;;) {
            const int c = Byte();
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
                return c < 0 ? '\0' : char(c);
            ++m_at;
        }
    }

    void Expect(char c)
    {
        if (Peek() != c)
            Syntax(QStringLiteral("'%1' expected").arg(QLatin1Char(c)));
        ++m_at;
    }

    bool Consume(char c)
    {
        if (Peek() != c)
            return false;
        ++m_at;
        return true;
    }

    // Editors on Windows begin a UTF-8 file with the byte order mark EF BB BF; it is no part of
    // the text.
    void SkipByteOrderMark()
    {
        if (Byte() == 0xEF && Byte(1) == 0xBB && Byte(2) == 0xBF)
            m_at += 3;
    }

    void ExpectEnd()
    {
        if (Peek() != '\0')
            Syntax(QStringLiteral("text after the document"));
    }

    [[noreturn]] void Syntax(const QString& what) const { throw TSyntaxError{what, m_base + m_at}; }

    QString ReadString()
    {
        const qsizetype quote = ReadRaw();
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = decoder.decode(m_buffer);
        if (decoder.hasError())
            throw TSyntaxError{QStringLiteral("invalid UTF-8 in a string"), quote};
        return text;
    }

    // A member name as its UTF-8 bytes, valid until the next string is read.
    const QByteArray& ReadKey()
    {
        const qsizetype quote = ReadRaw();
        for (const char c : std::as_const(m_buffer)) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
                decoder.decode(m_buffer);
                if (decoder.hasError())
                    throw TSyntaxError{QStringLiteral("invalid UTF-8 in a string"), quote};
                break;
            }
        }
        return m_buffer;
    }

    double ReadNumber()
    {
        Peek();
        const qsizetype start = m_base + m_at;
        m_number.clear();
        if (Byte() == '-')
            Take(m_number);
        if (Byte() == '0')
            Take(m_number);
        else if (!TakeDigits())
            Syntax(QStringLiteral("a number expected"));
        if (Byte() == '.') {
            Take(m_number);
            if (!TakeDigits())
                Syntax(QStringLiteral("digits expected after '.'"));
        }
        if (Byte() == 'e' || Byte() == 'E') {
            Take(m_number);
            if (Byte() == '+' || Byte() == '-')
                Take(m_number);
            if (!TakeDigits())
                Syntax(QStringLiteral("digits expected in the exponent"));
        }
        double number = 0;
        const char* first = m_number.constData();
        const char* last = first + m_number.size();
        const auto [end, status] = std::from_chars(first, last, number);
        if (status == std::errc::result_out_of_range)
            number = *first == '-' ? -HUGE_VAL : HUGE_VAL;
        else if (status != std::errc() || end != last)
            throw TSyntaxError{QStringLiteral("a number expected"), start};
        return number;
    }

    bool ReadBool()
    {
        if (ConsumeWord("true"))
            return true;
        if (ConsumeWord("false"))
            return false;
        Syntax(QStringLiteral("true or false expected"));
    }

    void SkipValue(int depth = 0)
    {
        if (depth > kMaxDepth)
            Syntax(QStringLiteral("nested too deeply"));
        switch (Peek()) {
        case '"':
            ReadRaw();
            return;
        case '{':
            ++m_at;
            if (Consume('}'))
                return;
            do {
                ReadRaw();
                Expect(':');
                SkipValue(depth + 1);
            } while (Consume(','));
            Expect('}');
            return;
        case '[':
            ++m_at;
            if (Consume(']'))
                return;
            do
                SkipValue(depth + 1);
            while (Consume(','));
            Expect(']');
            return;
        case 't':
        case 'f':
            ReadBool();
            return;
        case 'n':
            if (!ConsumeWord("null"))
                Syntax(QStringLiteral("a value expected"));
            return;
        default:
            ReadNumber();
            return;
        }
    }

private:
    static constexpr qsizetype kWindow = 64 * 1024;

    // The byte ahead of the reading position, or -1 past the end of the text.
    int Byte(qsizetype ahead = 0)
    {
        if (m_window.size() - m_at <= ahead && !Fill(ahead + 1))
            return -1;
        return static_cast<unsigned char>(m_window.at(m_at + ahead));
    }

    // Makes count bytes from the reading position available where the text has them.
    bool Fill(qsizetype count)
    {
        if (m_at > 0) {
            m_window.remove(0, m_at);
            m_base += m_at;
            m_at = 0;
        }
        while (m_window.size() < count) {
            const qsizetype had = m_window.size();
            m_window.resize(had + kWindow);
            const qint64 got = m_device.read(m_window.data() + had, kWindow);
            m_window.resize(had + std::max<qint64>(got, 0));
            if (got < 0)
                throw TReadError{m_device.errorString()};
            if (got == 0)
                return false;
        }
        return true;
    }

    void Take(QByteArray& into)
    {
        into.append(char(Byte()));
        ++m_at;
    }

    bool TakeDigits()
    {
        bool any = false;
        for (int c = Byte(); c >= '0' && c <= '9'; c = Byte()) {
            Take(m_number);
            any = true;
        }
        return any;
    }

    bool ConsumeWord(const char* word)
    {
        Peek();
        const qsizetype length = qsizetype(std::strlen(word));
        for (qsizetype i = 0; i < length; ++i) {
            if (Byte(i) != static_cast<unsigned char>(word[i]))
                return false;
        }
        m_at += length;
        return true;
    }

    // Reads a string with its escapes resolved into the buffer; returns where it began in the text.
    qsizetype ReadRaw()
    {
        Expect('"');
        const qsizetype quote = m_base + m_at - 1;
        m_buffer.clear();
        for (;;) {
            const int c = Byte();
            if (c < 0)
                Syntax(QStringLiteral("unterminated string"));
            if (c == '"')
                break;
            if (c < 0x20)
                Syntax(QStringLiteral("control character in a string"));
            ++m_at;
            if (c != '\\') {
                m_buffer.append(char(c));
                continue;
            }
            const int escaped = Byte();
            if (escaped < 0)
                Syntax(QStringLiteral("unterminated string"));
            ++m_at;
            switch (escaped) {
            case '"':
                m_buffer.append('"');
                break;
            case '\\':
                m_buffer.append('\\');
                break;
            case '/':
                m_buffer.append('/');
                break;
            case 'b':
                m_buffer.append('\b');
                break;
            case 'f':
                m_buffer.append('\f');
                break;
            case 'n':
                m_buffer.append('\n');
                break;
            case 'r':
                m_buffer.append('\r');
                break;
            case 't':
                m_buffer.append('\t');
                break;
            case 'u':
                AppendEscapedCodePoint();
                break;
            default:
                --m_at;
                Syntax(QStringLiteral("invalid escape"));
            }
        }
        ++m_at;
        return quote;
    }

    char32_t ReadHex4()
    {
        char32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const int c = Byte(i);
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0)
                Syntax(QStringLiteral("invalid escape"));
            value = value * 16 + char32_t(digit);
        }
        m_at += 4;
        return value;
    }

    void AppendEscapedCodePoint()
    {
        char32_t code = ReadHex4();
        if (code >= 0xDC00 && code <= 0xDFFF)
            Syntax(QStringLiteral("invalid escape: a lone surrogate"));
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (Byte() != '\\' || Byte(1) != 'u')
                Syntax(QStringLiteral("invalid escape: a lone surrogate"));
            m_at += 2;
            const char32_t low = ReadHex4();
            if (low < 0xDC00 || low > 0xDFFF)
                Syntax(QStringLiteral("invalid escape: a lone surrogate"));
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        m_buffer.append(QString::fromUcs4(&code, 1).toUtf8());
    }

    QIODevice& m_device;
    QByteArray m_window; // the text from m_base on
    qsizetype m_base = 0;
    qsizetype m_at = 0; // the reading position in the window
    QByteArray m_buffer;
    QByteArray m_number;
};

// Reads the members of one object in whatever order they come; the handler reads the value of
// each member it knows (its name and place given) and returns false for the others, which are
// skipped. No structure document's own member name is longer than the buffer, so a longer name
// is one nobody reads.
template <typename Handler> void ReadMembers(TJsonScanner& json, const TPlace& place, Handler&& handler)
{
    if (json.Peek() != '{')
        Fail(place, QStringLiteral("an object expected"));
    json.Expect('{');
    if (json.Consume('}'))
        return;
    do {
        const QByteArray& key = json.ReadKey();
        std::array<char, 32> name{};
        const bool known = key.size() < qsizetype(name.size());
        if (known)
            std::memcpy(name.data(), key.constData(), size_t(key.size()));
        json.Expect(':');
        if (!known || !handler(std::string_view(name.data()), place.Member(name.data())))
            json.SkipValue();
    } while (json.Consume(','));
    json.Expect('}');
}

template <typename Element> void ReadElements(TJsonScanner& json, const TPlace& place, Element&& element)
{
    if (json.Peek() != '[')
        Fail(place, QStringLiteral("an array expected"));
    json.Expect('[');
    if (json.Consume(']'))
        return;
    qsizetype index = 0;
    do
        element(place.Element(index++));
    while (json.Consume(','));
    json.Expect(']');
}

QString ReadText(TJsonScanner& json, const TPlace& place)
{
    if (json.Peek() != '"')
        Fail(place, QStringLiteral("a text expected"));
    return json.ReadString();
}

bool ReadFlag(TJsonScanner& json, const TPlace& place)
{
    const char c = json.Peek();
    if (c != 't' && c != 'f')
        Fail(place, QStringLiteral("true or false expected"));
    return json.ReadBool();
}

// JSON numbers are doubles to most writers: only whole numbers in the 32-bit range are the model's.
std::int32_t ReadWholeNumber(TJsonScanner& json, const TPlace& place)
{
    const char c = json.Peek();
    if (c != '-' && (c < '0' || c > '9'))
        Fail(place, QStringLiteral("a whole number expected"));
    const double number = json.ReadNumber();
    if (!std::isfinite(number) || std::floor(number) != number ||
        number < double(std::numeric_limits<std::int32_t>::min()) ||
        number > double(std::numeric_limits<std::int32_t>::max()))
        Fail(place, QStringLiteral("a whole number expected"));
    return static_cast<std::int32_t>(number);
}

QStringList ReadNames(TJsonScanner& json, const TPlace& place)
{
    QStringList names;
    ReadElements(json, place, [&](const TPlace& at) { names.append(ReadText(json, at)); });
    return names;
}

// Nothing for a kind a later version added: such an object is left out, as its keys are.
std::optional<TObjectKind> KindFrom(const QString& text)
{
    for (const TObjectKind kind : {TObjectKind::Table, TObjectKind::View, TObjectKind::SystemTable,
                                   TObjectKind::LinkedTable, TObjectKind::Query, TObjectKind::Procedure,
                                   TObjectKind::Function, TObjectKind::Sequence, TObjectKind::Synonym}) {
        if (text == ObjectKindName(kind))
            return kind;
    }
    if (text.isEmpty())
        return TObjectKind::Table;
    return std::nullopt;
}

TQueryType QueryTypeFrom(const QString& text, const TPlace& place)
{
    for (const TQueryType type : {TQueryType::Select, TQueryType::Crosstab, TQueryType::MakeTable,
                                  TQueryType::Append, TQueryType::Update, TQueryType::Delete,
                                  TQueryType::Union, TQueryType::PassThrough, TQueryType::DataDefinition}) {
        if (text == QueryTypeName(type))
            return type;
    }
    Fail(place, QStringLiteral("'%1' is not a query type").arg(text));
}

TTriggerTiming TimingFrom(const QString& text, const TPlace& place)
{
    for (const TTriggerTiming timing : {TTriggerTiming::After, TTriggerTiming::InsteadOf}) {
        if (text == TriggerTimingName(timing))
            return timing;
    }
    Fail(place, QStringLiteral("'%1' is not a trigger timing").arg(text));
}

TReferentialAction ActionFrom(const QString& text, const TPlace& place)
{
    for (const TReferentialAction action : {TReferentialAction::NoAction, TReferentialAction::Cascade,
                                            TReferentialAction::SetNull, TReferentialAction::SetDefault}) {
        if (text == ReferentialActionName(action))
            return action;
    }
    if (text.isEmpty())
        return TReferentialAction::NoAction;
    Fail(place, QStringLiteral("'%1' is not a referential action").arg(text));
}

// Type names repeat across thousands of columns; one shared copy of each keeps a large
// snapshot's model small.
class TTextPool
{
public:
    QString Shared(const QString& text)
    {
        const auto found = m_texts.constFind(text);
        if (found != m_texts.constEnd())
            return *found;
        if (m_texts.size() < 4096)
            m_texts.insert(text);
        return text;
    }

private:
    QSet<QString> m_texts;
};

class TDocumentReader
{
public:
    explicit TDocumentReader(QIODevice& device) : m_json(device) {}

    TStructureDocument Read()
    {
        TStructureDocument read;
        bool versionSeen = false, providerSeen = false, objectsSeen = false;
        QString format;
        std::optional<double> version;
        // Keys come in any order (tools that sort them put "objects" before "version"): what is
        // known of the head when the objects come is checked then, the rest at the end.
        const auto checkVersion = [&] {
            if (!version)
                Fail(kTop.Member("version"), QStringLiteral("a number expected"));
            // A later version only adds keys and kinds, which are skipped: it reads as this one.
            if (*version < 1.0 || std::floor(*version) != *version)
                Fail(kTop, QStringLiteral("structure document version %1 is not supported (1 and later are)")
                               .arg(QString::number(*version)));
        };
        const auto checkHead = [&] {
            if (format != QLatin1String("orvane-structure"))
                Fail(kTop,
                     QStringLiteral("not a structure document: \"format\" is not \"orvane-structure\""));
            checkVersion();
        };
        m_json.SkipByteOrderMark();
        if (m_json.Peek() != '{') {
            m_json.SkipValue();
            m_json.ExpectEnd();
            Fail(kTop, QStringLiteral("not a structure document: the top level is not an object"));
        }
        ReadMembers(m_json, kTop, [&](std::string_view key, const TPlace& at) {
            if (key == "format") {
                if (m_json.Peek() == '"')
                    format = m_json.ReadString();
                else
                    m_json.SkipValue();
                if (format != QLatin1String("orvane-structure"))
                    checkHead();
            } else if (key == "version") {
                versionSeen = true;
                const char c = m_json.Peek();
                if (c == '-' || (c >= '0' && c <= '9'))
                    version = m_json.ReadNumber();
                else
                    m_json.SkipValue();
            } else if (key == "program") {
                read.program = ReadText(m_json, at);
            } else if (key == "provider") {
                providerSeen = true;
                read.catalogue.provider = ReadText(m_json, at);
            } else if (key == "server") {
                read.catalogue.server = ReadText(m_json, at);
            } else if (key == "database") {
                read.catalogue.database = ReadText(m_json, at);
            } else if (key == "objects") {
                // The objects mean nothing when the head already says another version.
                if (versionSeen)
                    checkVersion();
                objectsSeen = true;
                ReadElements(m_json, at, [&](const TPlace& element) {
                    bool known = true;
                    TCatalogueObject object = ReadObject(element, known);
                    if (known)
                        read.catalogue.objects.append(std::move(object));
                });
            } else {
                return false;
            }
            return true;
        });
        m_json.ExpectEnd();
        checkHead();
        if (!providerSeen)
            Fail(kTop.Member("provider"), QStringLiteral("missing"));
        const TEngineTraits* engine = FindEngineTraits(read.catalogue.provider);
        if (!engine)
            Fail(kTop.Member("provider"),
                 QStringLiteral("'%1' is neither Access nor SQLServer").arg(read.catalogue.provider));
        // The objects may have come before the provider: Access's words for a type mean nothing
        // for a SQL Server type that happens to be named so.
        if (m_accessFlagsSeen && !engine->hasTypeCodes) {
            for (TCatalogueObject& object : read.catalogue.objects) {
                for (TCatalogueColumn& column : object.columns) {
                    column.hyperlink = column.complex = false;
                    if (column.properties->lookup)
                        column.properties.edit().lookup.reset();
                }
            }
        }
        if (!objectsSeen)
            Fail(kTop.Member("objects"), QStringLiteral("an array expected"));
        read.version = int(*version);
        return read;
    }

private:
    TCatalogueObject ReadObject(const TPlace& place, bool& known)
    {
        TCatalogueObject object;
        bool nameSeen = false, columnsSeen = false, indexesSeen = false, keysSeen = false;
        ReadMembers(m_json, place, [&](std::string_view key, const TPlace& at) {
            if (key == "name") {
                nameSeen = true;
                object.name = ReadText(m_json, at);
            } else if (key == "schema") {
                object.schema = ReadText(m_json, at);
            } else if (key == "kind") {
                const std::optional<TObjectKind> kind = KindFrom(ReadText(m_json, at));
                known = kind.has_value();
                object.kind = kind.value_or(TObjectKind::Table);
            } else if (key == "description") {
                object.description = ReadText(m_json, at);
            } else if (key == "link") {
                TCatalogueLink link;
                ReadMembers(m_json, at, [&](std::string_view member, const TPlace& memberAt) {
                    if (member == "file")
                        link.file = ReadText(m_json, memberAt);
                    else if (member == "table")
                        link.table = ReadText(m_json, memberAt);
                    else if (member == "odbc")
                        link.odbc = ReadText(m_json, memberAt);
                    else
                        return false;
                    return true;
                });
                object.link = link;
            } else if (key == "columns") {
                columnsSeen = true;
                ReadElements(m_json, at,
                             [&](const TPlace& element) { object.columns.append(ReadColumn(element)); });
            } else if (key == "primaryKey") {
                TCataloguePrimaryKey primaryKey;
                ReadMembers(m_json, at, [&](std::string_view member, const TPlace& memberAt) {
                    if (member == "name")
                        primaryKey.name = ReadText(m_json, memberAt);
                    else if (member == "columns")
                        primaryKey.columns = ReadNames(m_json, memberAt);
                    else
                        return false;
                    return true;
                });
                object.primaryKey = primaryKey;
            } else if (key == "indexes") {
                indexesSeen = true;
                ReadElements(m_json, at,
                             [&](const TPlace& element) { object.indexes.append(ReadIndex(element)); });
            } else if (key == "foreignKeys") {
                keysSeen = true;
                ReadElements(m_json, at, [&](const TPlace& element) {
                    object.foreignKeys.append(ReadForeignKey(element));
                });
            } else {
                return ReadWholeDatabaseMember(object, key, at);
            }
            return true;
        });
        // An object of a later version's kind need not have this version's members.
        if (!known)
            return object;
        if (!nameSeen)
            Fail(place.Member("name"), QStringLiteral("missing"));
        if (object.name.isEmpty())
            Fail(place.Member("name"), QStringLiteral("empty"));
        if (!columnsSeen)
            Fail(place.Member("columns"), QStringLiteral("an array expected"));
        if (!indexesSeen)
            Fail(place.Member("indexes"), QStringLiteral("an array expected"));
        if (!keysSeen)
            Fail(place.Member("foreignKeys"), QStringLiteral("an array expected"));
        return object;
    }

    // The members version 2 added to an object.
    bool ReadWholeDatabaseMember(TCatalogueObject& object, std::string_view key, const TPlace& at)
    {
        const auto sequence = [&object]() -> TCatalogueSequence& {
            if (!object.sequence)
                object.sequence.emplace();
            return *object.sequence;
        };
        if (key == "hidden") {
            object.hidden = ReadFlag(m_json, at);
        } else if (key == "queryType") {
            object.queryType = QueryTypeFrom(ReadText(m_json, at), at);
        } else if (key == "encrypted") {
            object.encrypted = ReadFlag(m_json, at);
        } else if (key == "parameters") {
            ReadElements(m_json, at,
                         [&](const TPlace& element) { object.parameters.append(ReadParameter(element)); });
        } else if (key == "returns") {
            object.returns = ReadParameter(at);
        } else if (key == "checks") {
            ReadElements(m_json, at,
                         [&](const TPlace& element) { object.checks.append(ReadCheck(element)); });
        } else if (key == "triggers") {
            ReadElements(m_json, at,
                         [&](const TPlace& element) { object.triggers.append(ReadTrigger(element)); });
        } else if (key == "type") {
            sequence().typeName = m_pool.Shared(ReadText(m_json, at));
        } else if (key == "start") {
            sequence().start = ReadText(m_json, at);
        } else if (key == "increment") {
            sequence().increment = ReadText(m_json, at);
        } else if (key == "minimum") {
            sequence().minimum = ReadText(m_json, at);
        } else if (key == "maximum") {
            sequence().maximum = ReadText(m_json, at);
        } else if (key == "cycle") {
            sequence().cycle = ReadFlag(m_json, at);
        } else if (key == "target") {
            object.synonymTarget = ReadText(m_json, at);
        } else if (key == "definition") {
            object.definition = ReadText(m_json, at);
        } else {
            return false;
        }
        return true;
    }

    TCatalogueParameter ReadParameter(const TPlace& place)
    {
        TCatalogueParameter parameter;
        ReadMembers(m_json, place, [&](std::string_view key, const TPlace& at) {
            if (key == "name")
                parameter.name = ReadText(m_json, at);
            else if (key == "type")
                parameter.typeName = m_pool.Shared(ReadText(m_json, at));
            else if (key == "length")
                parameter.length = ReadWholeNumber(m_json, at);
            else if (key == "output")
                parameter.output = ReadFlag(m_json, at);
            else
                return false;
            return true;
        });
        return parameter;
    }

    TCatalogueCheck ReadCheck(const TPlace& place)
    {
        TCatalogueCheck check;
        ReadMembers(m_json, place, [&](std::string_view key, const TPlace& at) {
            if (key == "name")
                check.name = ReadText(m_json, at);
            else if (key == "column")
                check.column = ReadText(m_json, at);
            else if (key == "definition")
                check.definition = ReadText(m_json, at);
            else if (key == "text")
                check.text = ReadText(m_json, at);
            else if (key == "enforced")
                check.enforced = ReadFlag(m_json, at);
            else
                return false;
            return true;
        });
        return check;
    }

    TCatalogueTrigger ReadTrigger(const TPlace& place)
    {
        TCatalogueTrigger trigger;
        ReadMembers(m_json, place, [&](std::string_view key, const TPlace& at) {
            if (key == "name")
                trigger.name = ReadText(m_json, at);
            else if (key == "events")
                trigger.events = ReadNames(m_json, at);
            else if (key == "timing")
                trigger.timing = TimingFrom(ReadText(m_json, at), at);
            else if (key == "enabled")
                trigger.enabled = ReadFlag(m_json, at);
            else if (key == "encrypted")
                trigger.encrypted = ReadFlag(m_json, at);
            else if (key == "definition")
                trigger.definition = ReadText(m_json, at);
            else
                return false;
            return true;
        });
        return trigger;
    }

    TColumnLookup ReadLookup(const TPlace& place)
    {
        TColumnLookup lookup;
        ReadMembers(m_json, place, [&](std::string_view key, const TPlace& at) {
            if (key == "displayControl")
                lookup.displayControl = ReadText(m_json, at);
            else if (key == "rowSourceType")
                lookup.rowSourceType = ReadText(m_json, at);
            else if (key == "rowSource")
                lookup.rowSource = ReadText(m_json, at);
            else if (key == "boundColumn")
                lookup.boundColumn = ReadWholeNumber(m_json, at);
            else if (key == "columnCount")
                lookup.columnCount = ReadWholeNumber(m_json, at);
            else if (key == "limitToList")
                lookup.limitToList = ReadFlag(m_json, at);
            else
                return false;
            return true;
        });
        return lookup;
    }

    TCatalogueColumn ReadColumn(const TPlace& place)
    {
        TCatalogueColumn column;
        bool numberSeen = false;
        ReadMembers(m_json, place, [&](std::string_view key, const TPlace& at) {
            if (key == "number") {
                numberSeen = true;
                column.number = ReadWholeNumber(m_json, at);
            } else if (key == "name") {
                column.name = ReadText(m_json, at);
            } else if (key == "type") {
                column.typeName = m_pool.Shared(ReadText(m_json, at));
            } else if (key == "declaredType") {
                TakeDeclaredType(column, ReadText(m_json, at));
            } else if (key == "typeCode") {
                column.typeCode = ReadWholeNumber(m_json, at);
            } else if (key == "baseType") {
                column.baseType = m_pool.Shared(ReadText(m_json, at));
            } else if (key == "length") {
                column.length = ReadWholeNumber(m_json, at);
            } else if (key == "nullable") {
                column.nullable = ReadFlag(m_json, at);
            } else if (key == "autoIncrement") {
                column.autoIncrement = ReadFlag(m_json, at);
            } else if (key == "default") {
                column.defaultValue = ReadText(m_json, at);
            } else if (key == "computed") {
                column.computed = ReadText(m_json, at);
            } else if (key == "description") {
                column.description = ReadText(m_json, at);
            } else if (key == "caption") {
                column.properties.edit().caption = ReadText(m_json, at);
            } else if (key == "format") {
                column.properties.edit().format = ReadText(m_json, at);
            } else if (key == "inputMask") {
                column.properties.edit().inputMask = ReadText(m_json, at);
            } else if (key == "decimalPlaces") {
                column.properties.edit().decimalPlaces = ReadWholeNumber(m_json, at);
            } else if (key == "allowZeroLength") {
                column.properties.edit().allowZeroLength = ReadFlag(m_json, at);
            } else if (key == "lookup") {
                column.properties.edit().lookup = ReadLookup(at);
            } else {
                return false;
            }
            return true;
        });
        if (!numberSeen)
            Fail(place.Member("number"), QStringLiteral("missing"));
        return column;
    }

    TCatalogueIndex ReadIndex(const TPlace& place)
    {
        TCatalogueIndex index;
        ReadMembers(m_json, place, [&](std::string_view key, const TPlace& at) {
            if (key == "name") {
                index.name = ReadText(m_json, at);
            } else if (key == "unique") {
                index.unique = ReadFlag(m_json, at);
            } else if (key == "columns") {
                ReadElements(m_json, at,
                             [&](const TPlace& element) { index.columns.append(ReadIndexColumn(element)); });
            } else if (key == "clustered") {
                index.clustered = ReadFlag(m_json, at);
            } else if (key == "included") {
                index.included = ReadNames(m_json, at);
            } else if (key == "filter") {
                index.filter = ReadText(m_json, at);
            } else {
                return false;
            }
            return true;
        });
        return index;
    }

    TCatalogueIndexColumn ReadIndexColumn(const TPlace& place)
    {
        TCatalogueIndexColumn column;
        bool nameSeen = false;
        ReadMembers(m_json, place, [&](std::string_view key, const TPlace& at) {
            if (key == "name") {
                nameSeen = true;
                column.name = ReadText(m_json, at);
            } else if (key == "descending") {
                column.descending = ReadFlag(m_json, at);
            } else {
                return false;
            }
            return true;
        });
        if (!nameSeen)
            Fail(place.Member("name"), QStringLiteral("missing"));
        return column;
    }

    TCatalogueForeignKey ReadForeignKey(const TPlace& place)
    {
        TCatalogueForeignKey key;
        ReadMembers(m_json, place, [&](std::string_view member, const TPlace& at) {
            if (member == "name")
                key.name = ReadText(m_json, at);
            else if (member == "columns")
                key.columns = ReadNames(m_json, at);
            else if (member == "referencedTable")
                key.referencedTable = ReadText(m_json, at);
            else if (member == "referencedSchema")
                key.referencedSchema = ReadText(m_json, at);
            else if (member == "referencedColumns")
                key.referencedColumns = ReadNames(m_json, at);
            else if (member == "enforced")
                key.enforced = ReadFlag(m_json, at);
            else if (member == "onUpdate")
                key.onUpdate = ActionFrom(ReadText(m_json, at), at);
            else if (member == "onDelete")
                key.onDelete = ActionFrom(ReadText(m_json, at), at);
            else
                return false;
            return true;
        });
        return key;
    }

    // What a column's declared type says that the document keeps nowhere else (in its English
    // spelling, docs/STRUCTURE-JSON.md): Access's Hyperlink, attachment and multi-value fields,
    // which its ADO type does not tell apart, and the digits of a decimal or of fractional
    // seconds. The rest of a declared type follows from the other members.
    void TakeDeclaredType(TCatalogueColumn& column, const QString& declared)
    {
        if (declared == QLatin1String("Hyperlink")) {
            column.hyperlink = m_accessFlagsSeen = true;
        } else if (declared == QLatin1String("Attachment")) {
            column.complex = m_accessFlagsSeen = true;
        } else if (declared == QLatin1String("Lookup, multiple values")) {
            column.complex = m_accessFlagsSeen = true;
            // A lookup whose details this document does not give.
            if (!column.properties->lookup)
                column.properties.edit().lookup = TColumnLookup{};
        }
        // Most declared types name no digits; a large snapshot's columns are not all matched.
        static const char* const kWithDigits[] = {"decimal(",   "numeric(",        "time(",
                                                  "datetime2(", "datetimeoffset(", "Number (Decimal "};
        if (!declared.endsWith(QLatin1Char(')')) ||
            std::none_of(std::begin(kWithDigits), std::end(kWithDigits),
                         [&](const char* start) { return declared.startsWith(QLatin1String(start)); }))
            return;
        static const QRegularExpression digits(QStringLiteral(
            R"(^(?:(?:decimal|numeric)\((\d+),(\d+)\)|(?:time|datetime2|datetimeoffset)\((\d+)\)|Number \(Decimal (\d+), (\d+)\))$)"));
        const QRegularExpressionMatch match = digits.match(declared);
        if (!match.hasMatch())
            return;
        const auto number = [&](int group) { return match.captured(group).toInt(); };
        if (match.hasCaptured(1)) {
            column.precision = number(1);
            column.scale = number(2);
        } else if (match.hasCaptured(3)) {
            column.scale = number(3);
        } else {
            column.precision = number(4);
            column.scale = number(5);
        }
    }

    TJsonScanner m_json;
    TTextPool m_pool;
    bool m_accessFlagsSeen = false;
};

} // namespace

bool LooksLikeJsonDocument(const QByteArray& bytes)
{
    const QByteArray text = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        return c == '{';
    }
    return false;
}

bool ReadStructureJson(QIODevice& device, TStructureDocument& document, QString& error)
{
    try {
        TDocumentReader reader(device);
        document = reader.Read();
        return true;
    } catch (const TSyntaxError& e) {
        error = QStringLiteral("not JSON: %1 at byte %2").arg(e.what).arg(e.offset);
    } catch (const TFormatError& e) {
        error = e.message;
    } catch (const TReadError& e) {
        error = QStringLiteral("cannot be read: %1").arg(e.what);
    }
    return false;
}

bool ReadStructureJson(const QByteArray& bytes, TStructureDocument& document, QString& error)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return ReadStructureJson(buffer, document, error);
}
