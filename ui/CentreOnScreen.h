#pragma once

#include <QRect>
#include <QScreen>
#include <QWidget>

// Centres a window on the screen it is shown on, not over its owner. The place is not kept
// as the user's own, so the next showing is centred again.
inline void CentreOnScreen(QWidget& window) {
    const QScreen* shown = window.screen();
    if (!shown)
        return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(shown->availableGeometry().center());
    window.move(frame.topLeft());
    window.setAttribute(Qt::WA_Moved, false);
}
