#pragma once

#include "model/Values.h"

class QWidget;

// The platform's colour picker as the colour dialog uses it: preset Color, Execute, and
// read Color back when the user confirmed. Color keeps its value between uses (also when
// the user cancels), so a picker opened without a preset starts from the last colour it
// held; black before any use.
class TColorPicker {
  public:
    virtual ~TColorPicker() = default;
    // Shows the picker modally in front of parent; true (and Color set to the picked
    // colour) when the user confirms.
    virtual bool Execute(QWidget* parent) = 0;

    TColor Color = clBlack;
};

// The running program's picker: Qt's colour dialog.
class TQtColorPicker : public TColorPicker {
  public:
    bool Execute(QWidget* parent) override;
};
