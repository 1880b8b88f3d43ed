#pragma once

#include "ui/DialogForm.h"
#include "ui/SitePages.h"

#include <QDate>

#include <string>

class TDPage;
class TLinkField;
class TMarkdownEditor;
class TMultiLineText;
class TPictureField;
class TWorkspace;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;

// The page dialog: edits the page CurrentColumn->CurrentPage of the column document in use:
// its title, author, date, picture, text and link. OK rewrites the column document. A text
// typed as it is (FORMAT empty) is edited in the plain memo, with "Convert to formatted text"
// below it; a formatted one (FORMAT "Markdown") in the formatted text editor. Converting
// shows the result in the editor at once; OK keeps it, Cancel forgets it.
class TFormPage : public TDialogForm {
    Q_OBJECT

  public:
    TFormPage(TWorkspace& workspace, IPrompter& prompter, QWidget* parent = nullptr);

    void CheckRecord() const override;
    void FormShow() override;
    void ButtonOKClick() override;

    QLineEdit* EditTitle;
    QLineEdit* EditAuthor;
    QDateEdit* DateTimePicker;
    // CheckBoxHasPicture, ImagePicture, ButtonPicture, ButtonSize.
    TPictureField* PicturePicture;
    TMultiLineText* MemoText;
    TMarkdownEditor* EditorText;
    QPushButton* ButtonConvert;
    // EditLink, ComboBoxKind, EditURL, ButtonFile.
    TLinkField* Link;

    void ButtonConvertClick();

  private:
    TDPage& Page() const;
    void ShowFormat(bool markdown);
    TSitePages ReadSite() const;

    TWorkspace& Workspace;
    QLabel* LabelText;
    // Whether the text is edited as a formatted one (stored, or converted in this showing).
    bool FMarkdown = false;
};

// The picker's display format for a short date pattern in strftime notation (%d, %e, %m, %y
// and %Y; a year always shows four digits).
QString QtDateFormat(const std::string& pattern);
// The day a stored date names in the short date form; today when it names none.
QDate PageDate(const std::string& stored);
// A day written in the short date form.
std::string StoredPageDate(const QDate& day);
