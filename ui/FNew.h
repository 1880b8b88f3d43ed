#pragma once

#include <QDialog>

class IPrompter;
class TWorkspace;
class QComboBox;
class QLineEdit;
class QPushButton;

// The New dialog: names a new project, shows where its folder and its built site will be,
// offers the templates, makes the project folder and opens the new project.
class TFormNew : public QDialog {
    Q_OBJECT

  public:
    TFormNew(TWorkspace& workspace, IPrompter& prompter, QWidget* parent = nullptr);

    // Shows the dialog modally; true when a project was made and is now the open project.
    bool Execute();

    void FormShow();
    void EditNameChange();
    void ButtonCreateClick();

    QLineEdit* EditName;
    QComboBox* ComboBoxTemp;
    QLineEdit* EditPath;
    QLineEdit* EditHTML;
    QPushButton* ButtonCreate;
    QPushButton* ButtonCancel;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    TWorkspace& Workspace;
    IPrompter& Prompter;
};
