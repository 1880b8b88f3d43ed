#pragma once

#include <QWidget>

class QLabel;
class QTimer;

// The splash window shown while the program starts: the start-up picture with the legal
// notice over its bottom, without border or title bar, above other windows and taking no
// input. Its timer (one second, running from its creation) closes and releases it at the
// first tick that the event loop handles.
class TFormSplash : public QWidget {
    Q_OBJECT

  public:
    explicit TFormSplash(QWidget* parent = nullptr);

    // Shows the window centred on the screen and paints it at once.
    void ShowAtOnce();
    void TimerTimer();

    QLabel* Image1;
    QLabel* Label1;
    QTimer* Timer;
};
