// A small JSON text writer for the program's documents: keys in the order they are written
// (which QJsonObject, sorting its keys, cannot keep), two blanks of indentation, UTF-8.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringEncoder>
#include <QStringList>
#include <QStringView>

#include <charconv>
#include <iterator>

#include <utility>

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
        m_out += '"';
        m_out.append(name);
        m_out.append("\": ", 3);
        m_afterKey = true;
    }

    void value(const QString& text)
    {
        separate();
        m_out += '"';
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
        m_out += '"';
    }
    void value(long long number)
    {
        separate();
        char digits[24];
        const auto result = std::to_chars(std::begin(digits), std::end(digits), number);
        m_out.append(digits, result.ptr - digits);
    }
    void value(bool flag)
    {
        separate();
        if (flag)
            m_out.append("true", 4);
        else
            m_out.append("false", 5);
    }

    // Short arrays of names stay on one line: a key's columns read as one item.
    void inlineNames(const QStringList& names)
    {
        separate();
        m_out += '[';
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (i > 0)
                m_out.append(", ", 2);
            m_afterKey = true;
            value(names.at(i));
        }
        m_out += ']';
    }

    QByteArray finish()
    {
        m_out += '\n';
        return m_out;
    }

    // The text written so far; dropText() forgets it and keeps the room, so that a long document
    // goes out in parts through one buffer.
    const QByteArray& text() const { return m_out; }
    void dropText() { m_out.resize(0); }
    void reserve(qsizetype size) { m_out.reserve(size); }
    qsizetype size() const { return m_out.size(); }

private:
    void appendText(const char16_t* chars, qsizetype size)
    {
        if (size == 0)
            return;
        const qsizetype at = m_out.size();
        m_out.resize(at + m_utf8.requiredSpace(size));
        char* end = m_utf8.appendToBuffer(m_out.data() + at, QStringView(chars, size));
        m_out.resize(end - m_out.constData());
    }

    void appendEscape(char16_t c)
    {
        switch (c) {
        case u'"':
            m_out.append("\\\"", 2);
            return;
        case u'\\':
            m_out.append("\\\\", 2);
            return;
        case u'\n':
            m_out.append("\\n", 2);
            return;
        case u'\r':
            m_out.append("\\r", 2);
            return;
        case u'\t':
            m_out.append("\\t", 2);
            return;
        default:
            break;
        }
        constexpr char hex[] = "0123456789abcdef";
        const char escaped[] = {'\\', 'u', '0', '0', hex[(c >> 4) & 0xf], hex[c & 0xf]};
        m_out.append(escaped, sizeof escaped);
    }

    void separate()
    {
        if (m_afterKey) {
            m_afterKey = false;
            return;
        }
        if (!m_first.isEmpty()) {
            if (!m_first.back())
                m_out += ',';
            m_first.back() = false;
            newline();
        }
    }

    void open(char bracket)
    {
        separate();
        m_out += bracket;
        m_first.push_back(true);
    }

    void close(char bracket)
    {
        const bool empty = m_first.back();
        m_first.pop_back();
        if (!empty)
            newline();
        m_out += bracket;
    }

    void newline()
    {
        m_out += '\n';
        m_out.append(2 * m_first.size(), ' ');
    }

    QByteArray m_out;
    // Stateless: every string is encoded on its own, so no half pair joins the next one.
    QStringEncoder m_utf8{QStringEncoder::Utf8, QStringConverter::Flag::Stateless};
    QList<bool> m_first; // per open bracket: nothing written inside it yet
    bool m_afterKey = false;
};
