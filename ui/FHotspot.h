#pragma once

#include "ui/DialogForm.h"

class TLinkField;
class TMarkdownEditor;
class TMultiLineText;
class TPictureField;
class TWorkspace;
class QComboBox;
class QLabel;
class QLineEdit;

// The hotspot column dialog: title, picture, text, link and the order of title and picture.
// A formatted text (FORMAT "Markdown") is edited in the formatted text editor instead of the
// plain memo.
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
    TMarkdownEditor* EditorText;
    // EditLink, ComboBoxKind, EditURL, ButtonFile.
    TLinkField* Link;

  private:
    TWorkspace& Workspace;
    QLabel* LabelText;
};
