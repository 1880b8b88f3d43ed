#pragma once

#include "ui/DialogForm.h"

#include <cstdint>

class TPictureField;
class TWorkspace;
class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;

// The menu dialog: the separator, the button picture, the space between the entries and
// the bar's position.
class TFormMenu : public TDialogForm {
    Q_OBJECT

  public:
    TFormMenu(TWorkspace& workspace, IPrompter& prompter, QWidget* parent = nullptr);

    void CheckRecord() const override;
    void FormShow() override;
    void ButtonOKClick() override;
    void TrackBarSpaceChange();

    static constexpr int SpaceMax = 50;

    QCheckBox* CheckBoxHasSeparator;
    // CheckBoxHasButton, ImageButton, ButtonPicture, ButtonSize.
    TPictureField* PictureButton;
    QLabel* LabelSpace;
    QSlider* TrackBarSpace;
    QComboBox* ComboBoxPosition;

  private:
    TWorkspace& Workspace;
};

// The slider's position for a stored space: brought into 0 to 50.
int SpaceOnSlider(std::int32_t space);
// "Space: (" + value + ")".
QString SpaceCaption(int value);
