#pragma once

#include "ui/StyleControls.h"

#include <QDialog>

class TWorkspace;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

// The Font dialog: the character set, the font family, four font sizes and the bold and
// underline settings.
class TFormFont : public QDialog {
    Q_OBJECT

  public:
    explicit TFormFont(TWorkspace& workspace, QWidget* parent = nullptr);

    // Shows the dialog modally; true when the user confirmed and the project was saved.
    bool Execute();

    void FormShow();
    void ButtonOKClick();
    // Shows LabelWrittenAsUtf8 when the encoding chosen is written as UTF-8 instead.
    void ComboBoxEncodingChange();

    QComboBox* ComboBoxEncoding;
    // Under the encoding list: "Pages are written as UTF-8: browsers cannot read this
    // encoding.", for MacCE, MacGreek, "Other" and no encoding at all.
    QLabel* LabelWrittenAsUtf8;
    // Under the encoding list while the project's design is Modern: "Modern pages are always
    // UTF-8; the encoding applies to the Classic design."
    QLabel* LabelModernUtf8;
    QComboBox* ComboBoxFont;
    TTrackBarField Topic;
    TTrackBarField Menu;
    TTrackBarField Title;
    TTrackBarField Text;
    QCheckBox* CheckBoxBoldTopic;
    QCheckBox* CheckBoxBoldTitle;
    QCheckBox* CheckBoxBoldLink;
    QCheckBox* CheckBoxUnderlineLink;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    TWorkspace& Workspace;
};
