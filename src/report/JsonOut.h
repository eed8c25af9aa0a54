// A small JSON text writer for the program's documents: keys in the order they are written
// (which QJsonObject, sorting its keys, cannot keep), two blanks of indentation, UTF-8.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringEncoder>
#include <QStringList>
#include <QStringView>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

// Appends JSON text in the order it is told, which QJsonObject (sorted keys) cannot keep.
class JsonOut
{
public:
    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }

    // The key of the next value inside an object.
    void key(const char* name)
    {
        separate();
        const qsizetype length = qsizetype(std::strlen(name));
        char* at = room(length + 4);
        *at++ = '"';
        std::memcpy(at, name, std::size_t(length));
        at += length;
        std::memcpy(at, "\": ", 3);
        m_afterKey = true;
    }

    void value(const QString& text)
    {
        separate();
        put('"');
        // Runs between the characters to escape go out through the toolkit's encoder, which
        // takes ASCII many characters at a time; a lone surrogate becomes U+FFFD.
        const auto* chars = reinterpret_cast<const char16_t*>(text.constData());
        const qsizetype size = text.size();
        qsizetype run = 0;
        for (qsizetype i = 0; i < size; ++i) {
            const char16_t c = chars[i];
            if (c >= 0x20 && c != u'"' && c != u'\\')
                continue;
            appendText(chars + run, i - run);
            appendEscape(c);
            run = i + 1;
        }
        appendText(chars + run, size - run);
        put('"');
    }
    void value(long long number)
    {
        separate();
        char digits[24];
        const auto result = std::to_chars(std::begin(digits), std::end(digits), number);
        put(digits, result.ptr - digits);
    }
    void value(bool flag)
    {
        separate();
        if (flag)
            put("true", 4);
        else
            put("false", 5);
    }

    // Short arrays of names stay on one line: a key's columns read as one item.
    void inlineNames(const QStringList& names)
    {
        separate();
        put('[');
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (i > 0)
                put(", ", 2);
            m_afterKey = true;
            value(names.at(i));
        }
        put(']');
    }

    // The whole text with its final line end; the writer is spent.
    QByteArray finish()
    {
        put('\n');
        m_out.resize(m_size);
        return std::move(m_out);
    }

    // The text written so far; dropText() forgets it and keeps the room, so that a long document
    // goes out in parts through one buffer.
    QByteArrayView text() const { return QByteArrayView(m_data, m_size); }
    void dropText() { m_size = 0; }
    void reserve(qsizetype size)
    {
        if (size > m_out.size())
            grow(size);
    }
    qsizetype size() const { return m_size; }

private:
    // Room for n more bytes at the end, and where they go. The text is m_size bytes long; the
    // array beyond it is room. A document is millions of small pieces, and the array's own append
    // checks sharing and room and moves its terminator on every one of them.
    char* room(qsizetype n)
    {
        if (m_size + n > m_out.size())
            grow(std::max(m_size + n, 2 * m_out.size()));
        char* at = m_data + m_size;
        m_size += n;
        return at;
    }
    void grow(qsizetype size)
    {
        m_out.resize(size);
        m_data = m_out.data();
    }
    void put(char c) { *room(1) = c; }
    void put(const char* bytes, qsizetype n) { std::memcpy(room(n), bytes, std::size_t(n)); }

    void appendText(const char16_t* chars, qsizetype size)
    {
        if (size == 0)
            return;
        char* at = room(m_utf8.requiredSpace(size));
        char* end = m_utf8.appendToBuffer(at, QStringView(chars, size));
        m_size = end - m_data;
    }

    void appendEscape(char16_t c)
    {
        switch (c) {
        case u'"':
            put("\\\"", 2);
            return;
        case u'\\':
            put("\\\\", 2);
            return;
        case u'\n':
            put("\\n", 2);
            return;
        case u'\r':
            put("\\r", 2);
            return;
        case u'\t':
            put("\\t", 2);
            return;
        default:
            break;
        }
        constexpr char hex[] = "0123456789abcdef";
        const char escaped[] = {'\\', 'u', '0', '0', hex[(c >> 4) & 0xf], hex[c & 0xf]};
        put(escaped, sizeof escaped);
    }

    void separate()
    {
        if (m_afterKey) {
            m_afterKey = false;
            return;
        }
        if (!m_first.empty()) {
            if (!m_first.back())
                put(',');
            m_first.back() = false;
            newline();
        }
    }

    void open(char bracket)
    {
        separate();
        put(bracket);
        m_first.push_back(true);
    }

    void close(char bracket)
    {
        const bool empty = m_first.back();
        m_first.pop_back();
        if (!empty)
            newline();
        put(bracket);
    }

    void newline()
    {
        const qsizetype blanks = 2 * qsizetype(m_first.size());
        char* at = room(1 + blanks);
        *at = '\n';
        std::memset(at + 1, ' ', std::size_t(blanks));
    }

    QByteArray m_out;
    char* m_data = nullptr;
    qsizetype m_size = 0;
    // Stateless: every string is encoded on its own, so no half pair joins the next one.
    QStringEncoder m_utf8{QStringEncoder::Utf8, QStringConverter::Flag::Stateless};
    std::vector<bool> m_first; // per open bracket: nothing written inside it yet
    bool m_afterKey = false;
};
