#pragma once

#include "ui/DialogForm.h"

class TWorkspace;
class QCheckBox;
class QComboBox;

// The welcome bar dialog: its three links and the position of the date.
class TFormWelcome : public TDialogForm {
    Q_OBJECT

  public:
    TFormWelcome(TWorkspace& workspace, IPrompter& prompter, QWidget* parent = nullptr);

    void CheckRecord() const override;
    void FormShow() override;
    void ButtonOKClick() override;

    QCheckBox* CheckBoxHasHomePage;
    QCheckBox* CheckBoxHasFavorite;
    QCheckBox* CheckBoxHasContact;
    QComboBox* ComboBoxPosition;

  private:
    TWorkspace& Workspace;
};
