// A small JSON text writer for the program's documents: keys in the order they are written
// (which QJsonObject, sorting its keys, cannot keep), two blanks of indentation, UTF-8.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

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
        m_out += name;
        m_out += "\": ";
        m_afterKey = true;
    }

    void value(const QString& text)
    {
        separate();
        m_out += '"';
        for (const QChar qc : text) {
            const char16_t c = qc.unicode();
            const char* escape = nullptr;
            switch (c) {
            case u'"':
                escape = "\\\"";
                break;
            case u'\\':
                escape = "\\\\";
                break;
            case u'\n':
                escape = "\\n";
                break;
            case u'\r':
                escape = "\\r";
                break;
            case u'\t':
                escape = "\\t";
                break;
            default:
                break;
            }
            if (!escape && c >= 0x20) {
                // ASCII goes straight out; other characters gather into runs for one conversion.
                if (c < 0x80 && m_pending.isEmpty())
                    m_out += char(c);
                else
                    m_pending += QChar(c);
                continue;
            }
            flushText();
            if (escape)
                m_out += escape;
            else
                m_out += QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0')).toLatin1();
        }
        flushText();
        m_out += '"';
    }
    void value(long long number)
    {
        separate();
        m_out += QByteArray::number(number);
    }
    void value(bool flag)
    {
        separate();
        m_out += flag ? "true" : "false";
    }

    // Short arrays of names stay on one line: a key's columns read as one item.
    void inlineNames(const QStringList& names)
    {
        separate();
        m_out += '[';
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (i > 0)
                m_out += ", ";
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

    // The text written so far, handed over and forgotten, so a long document can go out in parts.
    QByteArray take() { return std::exchange(m_out, QByteArray()); }
    qsizetype size() const { return m_out.size(); }

private:
    void flushText()
    {
        // Runs of ordinary characters go out together; a lone surrogate becomes U+FFFD here.
        if (!m_pending.isEmpty()) {
            m_out += m_pending.toUtf8();
            m_pending.clear();
        }
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
    QString m_pending;
    QList<bool> m_first; // per open bracket: nothing written inside it yet
    bool m_afterKey = false;
};
