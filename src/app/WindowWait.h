// The window's side of a step that blocks it (a log-in, a catalogue read): the wait cursor, and
// the window holding still while it waits. Input given to the window meanwhile is refused with a
// beep, not saved up: a tab clicked during a log-in would otherwise switch the page in the middle
// of the command, whose answer would then land on the wrong page or not at all.
#pragma once

#include <QObject>

class QWidget;

class TWindowWait : public QObject
{
public:
    // A dialog that has just closed is taken off the screen first: a slow server would otherwise
    // leave its picture standing over the window for the whole login timeout.
    explicit TWindowWait(QWidget& window);
    // Input that came during the wait is taken in and dropped before the window listens again.
    ~TWindowWait() override;
    TWindowWait(const TWindowWait&) = delete;
    TWindowWait& operator=(const TWindowWait&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
    bool m_beeped = false;
};

// The normal cursor again while a question waits for the user in the middle of a blocking step.
class TWindowIdle
{
public:
    TWindowIdle();
    ~TWindowIdle();
    TWindowIdle(const TWindowIdle&) = delete;
    TWindowIdle& operator=(const TWindowIdle&) = delete;
};
