#include "ui/FSplash.h"

#include "ui/Pictures.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>

TFormSplash::TFormSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("FormSplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    const QPixmap picture = SplashPicture();
    setFixedSize(picture.size());
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(picture);
    Image1->setGeometry(rect());
    Label1 = new QLabel(QString::fromUtf8(LegalNotice1), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAttribute(Qt::WA_TranslucentBackground);
    Label1->setStyleSheet(QStringLiteral("color: #d0dcee; background: transparent"));
    Label1->setGeometry(12, height() - 26, width() - 24, 20);
    // Takes no mouse or keyboard input.
    setEnabled(false);

    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(1000);
    connect(Timer, &QTimer::timeout, this, &TFormSplash::TimerTimer);
    Timer->start();
}

void TFormSplash::ShowAtOnce() {
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    show();
    raise();
    repaint();
    // Let the window system map and draw it before the long work of start-up begins.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TFormSplash::TimerTimer() {
    Timer->stop();
    // Closing releases the window (deleted once the events queued for it are handled).
    close();
}
