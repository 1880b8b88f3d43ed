#pragma once

#include "ui/DialogForm.h"

#include <QDate>

#include <string>

class TDPage;
class TLinkField;
class TMultiLineText;
class TPictureField;
class TWorkspace;
class QDateEdit;
class QLineEdit;

// The page dialog: edits the page CurrentColumn->CurrentPage of the column document in use:
// its title, author, date, picture, text and link. OK rewrites the column document.
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
    // EditLink, ComboBoxKind, EditURL, ButtonFile.
    TLinkField* Link;

  private:
    TDPage& Page() const;

    TWorkspace& Workspace;
};

// The picker's display format for a short date pattern in strftime notation (%d, %e, %m, %y
// and %Y; a year always shows four digits).
QString QtDateFormat(const std::string& pattern);
// The day a stored date names in the short date form; today when it names none.
QDate PageDate(const std::string& stored);
// A day written in the short date form.
std::string StoredPageDate(const QDate& day);
