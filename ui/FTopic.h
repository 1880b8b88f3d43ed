#pragma once

#include "ui/DialogForm.h"

class TPictureField;
class TWorkspace;
class QComboBox;
class QLineEdit;

// The topic dialog: the site's caption, domain, meta data, title, logo and the bar's
// position.
class TFormTopic : public TDialogForm {
    Q_OBJECT

  public:
    TFormTopic(TWorkspace& workspace, IPrompter& prompter, QWidget* parent = nullptr);

    void CheckRecord() const override;
    void FormShow() override;
    void ButtonOKClick() override;

    QLineEdit* EditCaption;
    QLineEdit* EditDomain;
    QLineEdit* EditKeywords;
    QLineEdit* EditDescription;
    QLineEdit* EditTitle;
    // CheckBoxHasLogo, ImageLogo, ButtonPicture, ButtonSize.
    TPictureField* PictureLogo;
    QComboBox* ComboBoxPosition;

  private:
    TWorkspace& Workspace;
};
