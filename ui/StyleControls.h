#pragma once

// Pieces the style dialogs share: a slider with the label above it that shows its value,
// and the OK and Cancel buttons at the foot of a dialog.

#include <QString>

class QBoxLayout;
class QDialog;
class QLabel;
class QPushButton;
class QSlider;
class QWidget;

// A horizontal slider from minimum to maximum, moved by 1 with the arrow keys and by
// pageStep with Page Up and Page Down, with a tick every pageStep. Its label reads
// prefix + the value in decimal + ")" whenever the value changes.
struct TTrackBarField {
    TTrackBarField(QWidget* parent, const char* trackBarName, const char* labelName,
                   const char* prefix, int minimum, int maximum, int pageStep);

    // Sets the value, brought into the slider's range.
    void SetValue(int value);
    int Value() const;
    // The label from the slider's value (the show's last step).
    void UpdateLabel();

    QLabel* Label;
    QSlider* TrackBar;
    QString Prefix;
};

// ButtonOK ("OK", the default button) and ButtonCancel ("Cancel", Esc), right-aligned in a
// row at the end of layout; Cancel rejects the dialog, OK runs what the dialog connects.
struct TOKCancel {
    TOKCancel(QDialog* dialog, QBoxLayout* layout);

    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;
};
