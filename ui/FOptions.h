#pragma once

#include "ui/DialogForm.h"

class TWorkspace;
class QCheckBox;
class QComboBox;
class QLabel;

// The site options dialog (Style > Site Options...): what the generator adds for today's
// visitors, each with a line that says what it does, and the largest size of published
// photos.
class TFormOptions : public TDialogForm {
    Q_OBJECT

  public:
    TFormOptions(TWorkspace& workspace, IPrompter& prompter, QWidget* parent = nullptr);

    void CheckRecord() const override;
    void FormShow() override;
    void ButtonOKClick() override;

    QCheckBox* CheckBoxMobile;
    QCheckBox* CheckBoxPageTitles;
    QCheckBox* CheckBoxSitemap;
    QCheckBox* CheckBoxFeeds;
    QCheckBox* CheckBoxAltTexts;
    // "Off", then the sizes of PictureSizes; a stored size not among them is added after
    // them while the dialog shows it, so that OK keeps it.
    QComboBox* ComboBoxPictureSize;
    // The line under each check box and under the list, in that order.
    QLabel* LabelExplanation[6];

  private:
    TWorkspace& Workspace;
};
