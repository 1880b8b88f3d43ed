#pragma once

#include "model/CLanguage.h"

#include <QDialog>

class TWorkspace;
class QLineEdit;
class QListWidget;
class QPushButton;

// The Language dialog: the translation of each fixed word of the generated pages. A
// translation goes into the record with every keystroke; OK saves the project, Cancel (the
// button, Esc or the close box) puts the table back as it was when the dialog was shown.
class TFormLanguage : public QDialog {
    Q_OBJECT

  public:
    explicit TFormLanguage(TWorkspace& workspace, QWidget* parent = nullptr);

    // Shows the dialog modally; true when the user confirmed and the project was saved.
    bool Execute();

    void FormShow();
    void ListBoxLanguageClick();
    void EditTranslationChange();
    void ButtonOKClick();
    // Cancel: the table as it was shown, then the dialog closes with Cancel.
    void reject() override;

    QListWidget* ListBoxLanguage;
    QLineEdit* EditTranslation;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // The selected line of ListBoxLanguage; -1 when none is selected.
    int SelectedLine() const;

    TWorkspace& Workspace;
    // The table as it was when the dialog was shown.
    TDLanguage FShown;
};
