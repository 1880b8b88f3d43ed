#pragma once

#include "ui/DialogForm.h"

class TLinkField;
class TMultiLineText;
class TPictureField;
class TWorkspace;
class QComboBox;
class QLineEdit;

// The hotspot column dialog: title, picture, text, link and the order of title and picture.
class TFormHotspot : public TDialogForm {
    Q_OBJECT

  public:
    TFormHotspot(TWorkspace& workspace, IPrompter& prompter, QWidget* parent = nullptr);

    void CheckRecord() const override;
    void FormShow() override;
    void ButtonOKClick() override;

    QLineEdit* EditTitle;
    // CheckBoxHasPicture, ImagePicture, ButtonPicture, ButtonSize.
    TPictureField* PicturePicture;
    QComboBox* ComboBoxPosition;
    TMultiLineText* MemoText;
    // EditLink, ComboBoxKind, EditURL, ButtonFile.
    TLinkField* Link;

  private:
    TWorkspace& Workspace;
};
