// How report lines travel to orvane-pdf-writer: each as a 32-bit length in host order and that
// many bytes of UTF-8. A name may hold a line end, so the lines are counted out, not split.
#pragma once

#include <QByteArray>
#include <QStringList>

QByteArray EncodePdfLines(const QStringList& lines);
// False, with lines as far as they came, for input that stops inside a line.
bool DecodePdfLines(const QByteArray& data, QStringList& lines);
