#pragma once

#include "ui/StyleControls.h"

#include <QDialog>

#include <array>

class TWorkspace;
class QPushButton;
class QRadioButton;

// The Size dialog: the page width for a screen size, and the heights and widths of the
// page's parts, each on a slider.
class TFormSize : public QDialog {
    Q_OBJECT

  public:
    explicit TFormSize(TWorkspace& workspace, QWidget* parent = nullptr);

    // Shows the dialog modally; true when the user confirmed and the project was saved.
    bool Execute();

    void FormShow();
    void ButtonOKClick();

    QRadioButton* RadioButton640;
    QRadioButton* RadioButton800;
    QRadioButton* RadioButtonAuto;
    // The seven sliders, in the order of the record's fields.
    TTrackBarField WelcomeHeight;
    TTrackBarField TopicHeight;
    TTrackBarField MenuHeight;
    TTrackBarField TextHeight;
    TTrackBarField FootHeight;
    TTrackBarField MenuWidth;
    TTrackBarField HotspotWidth;
    // The drawing of the page's regions: decoration, each region with its tool tip.
    QWidget* ImagePage;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    TWorkspace& Workspace;
};
