// The status bar's line of text. It carries a standing message (a comparison's count, the warning
// that goes with the list) and the hints of the commands and controls the mouse or the keyboard
// crosses. A hint shows over the standing message while it lasts; when the hint goes, the message
// is back. The toolkit withdraws a hint whenever the pointer leaves a button or a menu closes,
// which it does after the command the menu ran: a plain label would lose the message there.
#pragma once

#include <QLabel>
#include <QString>

class TStatusHint : public QLabel
{
public:
    explicit TStatusHint(QWidget* parent = nullptr);

    void setStanding(const QString& text);
    QString standing() const { return m_standing; }
    // An empty hint withdraws the one shown.
    void showHint(const QString& hint);
    // Neither a standing message nor a hint is left.
    void clear();

private:
    QString m_standing;
};
