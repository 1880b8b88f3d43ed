#pragma once

#include "ui/DialogForm.h"

class TWorkspace;
class QComboBox;
class QLineEdit;

// The foot dialog: copyright, address, telephone, fax, e-mail and the foot's position.
class TFormFoot : public TDialogForm {
    Q_OBJECT

  public:
    TFormFoot(TWorkspace& workspace, IPrompter& prompter, QWidget* parent = nullptr);

    void CheckRecord() const override;
    void FormShow() override;
    void ButtonOKClick() override;

    QLineEdit* EditCopyright;
    QLineEdit* EditAddress;
    QLineEdit* EditTel;
    QLineEdit* EditFax;
    QLineEdit* EditEmail;
    QComboBox* ComboBoxPosition;

  private:
    TWorkspace& Workspace;
};
