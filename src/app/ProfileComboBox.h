// The profile lists of the two provider pages: a drop-down list whose entry changes only by a
// choice in its drop-down part, and which says when that part closes and whether a choice was made.
#pragma once

#include <QComboBox>

class TProfileComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit TProfileComboBox(QWidget* parent = nullptr);

    void showPopup() override;
    void hidePopup() override;

signals:
    // The drop-down part has closed; select is true when the user chose an entry in it.
    void closedUp(bool select);

protected:
    // Choosing a profile opens a database: a wheel notch or a key on the closed list would open one
    // the user never meant to. Keys open the drop-down part instead; the wheel passes on.
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_open = false;
    bool m_chosen = false;
    bool m_closing = false;
};
