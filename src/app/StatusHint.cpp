#include "StatusHint.h"

TStatusHint::TStatusHint(QWidget* parent) : QLabel(parent) {}

void TStatusHint::setStanding(const QString& text)
{
    m_standing = text;
    setText(text);
}

void TStatusHint::showHint(const QString& hint)
{
    setText(hint.isEmpty() ? m_standing : hint);
}

void TStatusHint::clear()
{
    m_standing.clear();
    QLabel::clear();
}
