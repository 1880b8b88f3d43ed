#include "ui/ColorSwatch.h"

#include "model/ColorScheme.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

QColor ToQColor(TColor color) {
    return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

TColorShape::TColorShape(QWidget* parent, const char* name, bool outline)
    : QWidget(parent), FOutline(outline) {
    setObjectName(QString::fromLatin1(name));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TColorShape::SetColor(TColor color) {
    FColor = color;
    Changed();
}

void TColorShape::SetHatched(bool hatched) {
    FHatched = hatched;
    Changed();
}

void TColorShape::SetFill(TColor color, bool hatched) {
    FColor = color;
    FHatched = hatched;
    Changed();
}

void TColorShape::SetChoosable() {
    setFocusPolicy(Qt::StrongFocus);
}

void TColorShape::Changed() {
    // A screen reader tells the colour; the name (set by the dialog) tells what it is for.
    setAccessibleDescription(FHatched ? QStringLiteral("Transparent")
                                      : ToQColor(FColor).name(QColor::HexRgb));
    update();
}

void TColorShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect();
    painter.fillRect(area, ToQColor(FColor));
    if (FHatched)
        painter.fillRect(area, QBrush(QColor(96, 96, 96), Qt::BDiagPattern));
    if (FOutline) {
        painter.setPen(Qt::black);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(area.adjusted(0, 0, -1, -1));
    }
    if (hasFocus()) {
        // Black dashes over white: seen on every colour.
        const QRect frame = area.adjusted(3, 3, -4, -4);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(frame);
        painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
        painter.drawRect(frame);
    }
}

void TColorShape::mousePressEvent(QMouseEvent* event) {
    event->accept();
    emit MouseDown();
    emit Chosen();
}

void TColorShape::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (focusPolicy() != Qt::NoFocus &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
        (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        // Not the dialog's default button: Enter chooses the swatch.
        event->accept();
        emit Chosen();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TColorShape::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TColorShape::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

TColorLabel::TColorLabel(QWidget* parent, const char* name, const QString& text)
    : QLabel(text, parent) {
    setObjectName(QString::fromLatin1(name));
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    SetColor(clBlack);
}

void TColorLabel::SetColor(TColor color) {
    FColor = color;
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, ToQColor(color));
    setPalette(palette);
}

void TColorLabel::mousePressEvent(QMouseEvent* event) {
    event->accept();
    emit MouseDown();
}
