#pragma once

#include <QDialog>

class IPrompter;
class TWorkspace;
class QListWidget;
class QPushButton;

// The Open dialog: lists the project folders in Projects and opens the chosen one.
class TFormOpen : public QDialog {
    Q_OBJECT

  public:
    TFormOpen(TWorkspace& workspace, IPrompter& prompter, QWidget* parent = nullptr);

    // Shows the dialog modally; true when a project was opened and is now the open project.
    bool Execute();

    void FormShow();
    void ButtonOpenClick();

    QListWidget* ListView;
    QPushButton* ButtonOpen;
    QPushButton* ButtonCancel;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    TWorkspace& Workspace;
    IPrompter& Prompter;
};
