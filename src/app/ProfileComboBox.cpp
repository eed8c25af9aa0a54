#include "ProfileComboBox.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QTimer>
#include <QWheelEvent>

#include <utility>

TProfileComboBox::TProfileComboBox(QWidget* parent) : QComboBox(parent)
{
    // The toolkit reports a choice in the drop-down part after the part has closed.
    connect(this, &QComboBox::activated, this, [this] {
        if (m_open)
            m_chosen = true;
        else if (std::exchange(m_closing, false))
            emit closedUp(true);
    });
}

void TProfileComboBox::showPopup()
{
    m_open = true;
    m_chosen = false;
    m_closing = false;
    QComboBox::showPopup();
}

void TProfileComboBox::hidePopup()
{
    QComboBox::hidePopup();
    if (!std::exchange(m_open, false))
        return;
    if (std::exchange(m_chosen, false)) {
        emit closedUp(true);
        return;
    }
    // Without a choice the close-up is reported once the toolkit has had its say about one.
    m_closing = true;
    QTimer::singleShot(0, this, [this] {
        if (std::exchange(m_closing, false))
            emit closedUp(false);
    });
}

void TProfileComboBox::wheelEvent(QWheelEvent* event)
{
    event->ignore();
}

void TProfileComboBox::keyPressEvent(QKeyEvent* event)
{
    const bool alt = event->modifiers() & Qt::AltModifier;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        if (alt)
            break;
        showPopup();
        return;
    default:
        break;
    }
    // Typing drops the list down and looks for the typed text among its entries there.
    const QString text = event->text();
    if (!alt && !(event->modifiers() & Qt::ControlModifier) && !text.isEmpty() && text.at(0).isPrint()) {
        showPopup();
        view()->keyboardSearch(text);
        return;
    }
    QComboBox::keyPressEvent(event);
}
