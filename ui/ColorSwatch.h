#pragma once

#include "model/Values.h"

#include <QLabel>
#include <QWidget>

// A colour as Qt draws it (the low three bytes; a top byte is ignored).
QColor ToQColor(TColor color);

// A rectangle filled with a colour, or, when hatched, with silver crossed by diagonal
// lines; with or without a thin black outline. Any mouse button pressed on it is told by
// MouseDown. A choosable swatch also takes the focus with Tab, shows it with a dashed frame,
// and tells Chosen for a mouse button and for Space or Enter.
class TColorShape : public QWidget {
    Q_OBJECT

  public:
    TColorShape(QWidget* parent, const char* name, bool outline);

    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    bool Hatched() const { return FHatched; }
    void SetHatched(bool hatched);
    // The colour and the fill style at once.
    void SetFill(TColor color, bool hatched);
    // Reached by Tab and chosen with Space or Enter as well as with the mouse.
    void SetChoosable();

  signals:
    void MouseDown();
    void Chosen();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void Changed();

    TColor FColor = clWhite;
    bool FHatched = false;
    bool FOutline;
};

// A transparent label whose text shows a colour; any mouse button pressed on it is told
// by MouseDown.
class TColorLabel : public QLabel {
    Q_OBJECT

  public:
    TColorLabel(QWidget* parent, const char* name, const QString& text);

    TColor Color() const { return FColor; }
    void SetColor(TColor color);

  signals:
    void MouseDown();

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    TColor FColor = clBlack;
};
