#pragma once

#include "ui/DialogForm.h"

class TDMenuItem;
class TWorkspace;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

// The column dialog: edits the menu item TDProject::CurrentItem, a column (title, listing
// style, what the page titles show, picture borders) or a link (title and URL).
class TFormColumn : public TDialogForm {
    Q_OBJECT

  public:
    TFormColumn(TWorkspace& workspace, IPrompter& prompter, QWidget* parent = nullptr);

    void CheckRecord() const override;
    void FormShow() override;
    void ButtonOKClick() override;

    QLineEdit* EditTitle;
    QLabel* LabelStyle;
    QComboBox* ComboBoxStyle;
    // In the place of the style list, shown instead of it for a link.
    QLabel* LabelURL;
    QLineEdit* EditURL;
    QCheckBox* CheckBoxShowAuthor;
    QCheckBox* CheckBoxShowDate;
    QCheckBox* CheckBoxHasBorder;

  private:
    TDMenuItem& Item() const;

    TWorkspace& Workspace;
};
