#pragma once

#include <QDialog>

class TWorkspace;
class QLabel;
class QLineEdit;
class QPushButton;

// The Build dialog: after a build, sums up the HTML folder (its path, the homepage, the
// number of files and their total size, and the copies that failed).
class TFormBuild : public QDialog {
    Q_OBJECT

  public:
    explicit TFormBuild(TWorkspace& workspace, QWidget* parent = nullptr);

    // Shows the dialog modally. Its answer means nothing: always false.
    bool Execute();

    void FormShow();

    QLineEdit* EditPath;
    QLabel* LabelHome;
    QLabel* LabelCount;
    QLabel* LabelSize;
    // Under the summary, only after a build some of whose pictures or downloads could not
    // be written: how many, and the first with its reason.
    QLabel* LabelCopyFailures;
    QPushButton* ButtonClose;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    TWorkspace& Workspace;
};
