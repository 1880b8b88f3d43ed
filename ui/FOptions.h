#pragma once

#include "ui/DialogForm.h"

class TWorkspace;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

// The site options dialog (Style > Site Options...): the design of the pages and the
// language of the site, what the generator adds for today's visitors, each with a line that
// says what it does, and the largest size of published photos.
class TFormOptions : public TDialogForm {
    Q_OBJECT

  public:
    TFormOptions(TWorkspace& workspace, IPrompter& prompter, QWidget* parent = nullptr);

    void CheckRecord() const override;
    void FormShow() override;
    void ButtonOKClick() override;

    // "Modern" or "Classic", each with its line (LabelModern, LabelClassic).
    QRadioButton* RadioButtonModern;
    QRadioButton* RadioButtonClassic;
    QLabel* LabelModern;
    QLabel* LabelClassic;
    // The common languages as "German (de)"; picking one puts its tag into
    // EditSiteLanguage, and typing a tag there selects its language (none when the list lacks
    // it). OK refuses a tag that is not well-formed, naming it.
    QComboBox* ComboBoxSiteLanguage;
    QLineEdit* EditSiteLanguage;
    QLabel* LabelSiteLanguage;
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
    void ComboBoxSiteLanguageChange();
    void EditSiteLanguageChange();
    // The modern pages always fit phones, title every page and give every picture its text:
    // while Modern is chosen those three boxes show ticked and greyed, and the choices made
    // for the classic pages (ClassicChoice, in the boxes' order) come back with Classic and
    // are what OK stores.
    void DesignChange();
    bool ClassicChoice[3] = {};

    TWorkspace& Workspace;
};
