#include "WindowPlacement.h"

#include <QScreen>
#include <QStyle>
#include <QWidget>

QRect InitialWindowGeometry(const QSize& wanted, const QRect& available, const QMargins& frame)
{
    const QSize room = available.size().shrunkBy(frame).expandedTo(QSize(1, 1));
    QRect placed(QPoint(0, 0), wanted.boundedTo(room));
    placed.moveCenter(available.center());
    // Where the frame would stand over an edge of the free area, the window moves in as far.
    const QRect outer(placed.topLeft(), placed.size().grownBy(frame));
    QPoint shift;
    if (outer.left() < available.left())
        shift.rx() = available.left() - outer.left();
    else if (outer.right() > available.right())
        shift.rx() = available.right() - outer.right();
    if (outer.top() < available.top())
        shift.ry() = available.top() - outer.top();
    else if (outer.bottom() > available.bottom())
        shift.ry() = available.bottom() - outer.bottom();
    return placed.translated(shift);
}

void PlaceOnScreen(QWidget& window, const QSize& wanted, const QScreen* screen)
{
    if (!screen)
        screen = window.screen();
    if (!screen) {
        window.resize(wanted);
        return;
    }
    const QStyle* style = window.style();
    const int border = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, &window);
    const QMargins frame(border, style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window) + border,
                         border, border);
    const QRect placed = InitialWindowGeometry(wanted, screen->availableGeometry(), frame);
    window.resize(placed.size());
    window.move(placed.topLeft());
}
