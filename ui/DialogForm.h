#pragma once

// What the dialogs that edit one record share: the caption, OK (the default button) and
// Cancel (the cancel button; Esc and the close box cancel too), loading the controls each
// time the dialog is shown, and the application's error report around OK.

#include <QDialog>

class IPrompter;
class TDProject;
class TWorkspace;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

// The open project; TError when none is open.
TDProject& OpenProjectOf(const TWorkspace& workspace);

class TDialogForm : public QDialog {
    Q_OBJECT

  public:
    // name is the dialog's object name ("FormTopic"), caption its title.
    TDialogForm(const char* name, const char* caption, IPrompter& prompter, QWidget* parent);

    // Shows the dialog modally; true when it was closed with OK. Throws TError, showing
    // nothing, when there is no record to edit.
    bool Execute();

    // Throws TError when the record the dialog edits does not exist.
    virtual void CheckRecord() const = 0;
    // Loads the controls from the record and gives the first control the focus.
    virtual void FormShow() = 0;
    // Writes the controls back into the record, saves the document that holds it and closes
    // with OK.
    virtual void ButtonOKClick() = 0;

    // Made by Finish.
    QPushButton* ButtonOK = nullptr;
    QPushButton* ButtonCancel = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;

    // Makes OK and Cancel and lays out the controls in grid above them; the dialog takes the
    // size it needs and cannot be resized. Called last by each dialog's constructor.
    void Finish(QGridLayout* grid);
    // A one-line edit named name that takes at most limit typed characters.
    QLineEdit* MakeEdit(const char* name, int limit);
    // Puts a label and its control into a row of grid (a drop-down list or a date picker keeps
    // its own width at the left).
    QLabel* AddRow(QGridLayout* grid, int row, const char* label, QWidget* control);

    IPrompter& Prompter;
};
