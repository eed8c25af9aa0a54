#include "Utils.h"

#include <QDir>

int LastPos(const QString& text, const QString& sub)
{
    if (sub.isEmpty() || sub.size() > text.size())
        return 0;
    return int(text.lastIndexOf(sub)) + 1;
}

void SplitAtChar(const QString& text, QChar separator, QString& head, QString& tail)
{
    const qsizetype p = text.indexOf(separator);
    if (p < 0) {
        head = text;
        tail.clear();
        return;
    }
    head = text.left(p);
    tail = text.mid(p + 1);
}

void SplitToList(const QString& text, QChar separator, QStringList& list)
{
    list.clear();
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype p = text.indexOf(separator, start);
        if (p < 0)
            p = text.size();
        list.append(text.mid(start, p - start));
        start = p + 1;
    }
}

QString ReplaceAllNoCase(const QString& text, const QString& oldText, const QString& newText)
{
    if (oldText.isEmpty())
        return text;
    QString result;
    qsizetype from = 0;
    for (;;) {
        const qsizetype p = text.indexOf(oldText, from, Qt::CaseInsensitive);
        if (p < 0)
            break;
        result += text.mid(from, p - from);
        result += newText;
        from = p + oldText.size();
    }
    result += text.mid(from);
    return result;
}

static bool isSeparator(QChar c)
{
    return c == u'\\' || c == u'/';
}

QString FileFolder(const QString& path)
{
    qsizetype last = -1;
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (isSeparator(path[i]) || path[i] == u':') {
            last = i;
            break;
        }
    }
    if (last < 0)
        return QString();
    QString folder = path.left(last + 1);
    // Keep the separator of a root ("C:\", "/") or of a doubled separator, drop any other.
    if (isSeparator(folder.back()) && folder.size() > 1) {
        const QChar before = folder[folder.size() - 2];
        if (before != u':' && !isSeparator(before))
            folder.chop(1);
    }
    return folder;
}

QString FileBaseName(const QString& path)
{
    qsizetype b = -1;
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (isSeparator(path[i])) {
            b = i;
            break;
        }
    }
    const QString name = path.mid(b + 1);
    const qsizetype d = name.lastIndexOf(u'.');
    if (d < 0)
        return name;
    return name.left(d);
}

QString TempFolder()
{
    QString t = QDir::tempPath();
    if (!t.endsWith(u'/'))
        t += u'/';
    return t;
}
