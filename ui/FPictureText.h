#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// Asks the text that stands for a picture put into a formatted text, for those who cannot
// see it (caption "Picture"). Made for one use by the editor, over its dialog.
class TFormPictureText : public QDialog {
    Q_OBJECT

  public:
    TFormPictureText(const QString& text, QWidget* parent);

    QString Text() const;

    QLineEdit* EditText;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;
};
