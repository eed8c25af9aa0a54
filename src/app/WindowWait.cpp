#include "WindowWait.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

#include <utility>

namespace {

// What a user does to a window; painting, timers and the window system's other messages go on.
bool IsInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

} // namespace

TWindowWait::TWindowWait(QWidget& window) : m_window(window)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qApp->installEventFilter(this);
    // The round trip to the display lets the closed dialog's picture go and the window repaint;
    // whatever input it brings along is refused by the filter.
    QGuiApplication::sync();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

TWindowWait::~TWindowWait()
{
    QCoreApplication::processEvents();
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
}

bool TWindowWait::eventFilter(QObject* watched, QEvent* event)
{
    if (!IsInput(event->type()))
        return false;
    const auto* widget = qobject_cast<const QWidget*>(watched);
    const bool ours = widget ? widget->window() == &m_window : watched == m_window.windowHandle();
    if (!ours)
        return false;
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Taken by the widget as far as the shortcuts know, so no command of the window fires.
        event->accept();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::KeyPress:
    case QEvent::Close:
        if (!std::exchange(m_beeped, true))
            QApplication::beep();
        event->ignore();
        break;
    default:
        event->ignore();
        break;
    }
    return true;
}

TWindowIdle::TWindowIdle()
{
    QApplication::setOverrideCursor(Qt::ArrowCursor);
}

TWindowIdle::~TWindowIdle()
{
    QApplication::restoreOverrideCursor();
}
