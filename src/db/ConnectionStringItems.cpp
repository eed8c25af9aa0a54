#include "ConnectionStringItems.h"

namespace {

const QString kEmptyValueMarker = QStringLiteral("\"\"");

// Reads a quoted value starting at text[pos] (the opening mark). Returns false when the mark is
// never closed, so the caller can fall back to the plain reading.
bool readQuoted(const QString& text, qsizetype pos, QString& value, qsizetype& end)
{
    const QChar mark = text[pos];
    QString out;
    qsizetype i = pos + 1;
    while (i < text.size()) {
        if (text[i] == mark) {
            if (i + 1 < text.size() && text[i + 1] == mark) {
                out += mark;
                i += 2;
                continue;
            }
            // Anything between the closing mark and the next ";" is kept rather than lost.
            qsizetype next = text.indexOf(u';', i + 1);
            if (next < 0)
                next = text.size();
            out += text.mid(i + 1, next - i - 1);
            value = out;
            end = next;
            return true;
        }
        out += text[i];
        ++i;
    }
    return false;
}

} // namespace

QList<ConnectionStringItem> SplitConnectionString(const QString& s)
{
    QList<ConnectionStringItem> items;
    qsizetype pos = 0;
    while (pos < s.size()) {
        ConnectionStringItem item;
        qsizetype semi = s.indexOf(u';', pos);
        qsizetype eq = s.indexOf(u'=', pos);
        if (semi < 0)
            semi = s.size();
        if (eq < 0 || eq > semi) {
            item.key = s.mid(pos, semi - pos);
            items.append(item);
            pos = semi + 1;
            continue;
        }
        item.key = s.mid(pos, eq - pos);
        item.hasEquals = true;
        const qsizetype vstart = eq + 1;
        qsizetype end = semi;
        QString quoted;
        if (vstart < s.size() && (s[vstart] == u'"' || s[vstart] == u'\'') &&
            readQuoted(s, vstart, quoted, end)) {
            item.value = quoted;
        } else {
            item.value = s.mid(vstart, semi - vstart);
            end = semi;
        }
        items.append(item);
        pos = end + 1;
    }
    return items;
}

QString QuoteConnectionValue(const QString& value)
{
    if (value == kEmptyValueMarker)
        return value;
    const bool needs = value.contains(u';') || value.startsWith(u' ') || value.endsWith(u' ') ||
                       value.startsWith(u'"') || value.startsWith(u'\'');
    if (!needs)
        return value;
    QString doubled = value;
    doubled.replace(u'"', QStringLiteral("\"\""));
    return u'"' + doubled + u'"';
}
