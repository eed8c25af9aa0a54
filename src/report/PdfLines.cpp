#include "PdfLines.h"

#include <cstdint>
#include <cstring>

QByteArray EncodePdfLines(const QStringList& lines)
{
    QByteArray data;
    for (const QString& line : lines) {
        const QByteArray utf8 = line.toUtf8();
        const auto size = std::uint32_t(utf8.size());
        data.append(reinterpret_cast<const char*>(&size), sizeof size);
        data += utf8;
    }
    return data;
}

bool DecodePdfLines(const QByteArray& data, QStringList& lines)
{
    qsizetype at = 0;
    while (at < data.size()) {
        std::uint32_t size = 0;
        if (data.size() - at < qsizetype(sizeof size))
            return false;
        std::memcpy(&size, data.constData() + at, sizeof size);
        at += qsizetype(sizeof size);
        if (qint64(size) > data.size() - at)
            return false;
        lines.append(QString::fromUtf8(data.constData() + at, qsizetype(size)));
        at += qsizetype(size);
    }
    return true;
}
