#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The About box: the program's icon, name, version and legal notice.
class TFormAbout : public QDialog {
    Q_OBJECT

  public:
    explicit TFormAbout(QWidget* parent = nullptr);

    // Shows the box modally; it changes nothing and always closes with Cancel (false).
    bool Execute();

    QLabel* Image1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QPushButton* ButtonClose;

  protected:
    void showEvent(QShowEvent* event) override;
};
