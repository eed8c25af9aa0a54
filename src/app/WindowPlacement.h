// Where the main window first stands: at the size it is designed for, unless the screen it opens
// on is smaller (a small screen, or a large one at a scale factor of 2), and in the middle of it.
#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QScreen;
class QWidget;

// Where a window goes: its top left is the frame's (a window's position), its size the inside's,
// which is wanted, shrunk where the free area of the screen less the frame the window system adds
// is smaller. The inside is centred in available; where the frame would then stand over an edge,
// the window moves in as far.
QRect InitialWindowGeometry(const QSize& wanted, const QRect& available, const QMargins& frame);

// Gives a window that is not shown yet that place on screen (its own screen when null). The
// frame is not known before the window is shown; the style's title bar and border stand for it.
void PlaceOnScreen(QWidget& window, const QSize& wanted, const QScreen* screen = nullptr);
