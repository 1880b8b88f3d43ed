#pragma once

#include <QDialog>
#include <QImage>

#include <array>

class IPrompter;
class TPictureField;
class TWorkspace;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

// A small drawing of frame layout index (0 to 5, in the order of FrameLayouts): the topic,
// the menu, the text area and the foot where the layout puts them.
QImage FrameLayoutDrawing(int index);

// The Frame dialog: the page layout (one of six), the welcome bar, margin, hotspot column
// and page position, the background picture and the homepage's name.
class TFormFrame : public QDialog {
    Q_OBJECT

  public:
    TFormFrame(TWorkspace& workspace, IPrompter& prompter, QWidget* parent = nullptr);

    // Shows the dialog modally; true when the user confirmed and the project was saved.
    bool Execute();

    void FormShow();
    void ButtonOKClick();

    // RadioButton1 to RadioButton6: element 0 is RadioButton1.
    std::array<QRadioButton*, 6> RadioButton;
    // The drawings beside them; a click on one selects its button.
    std::array<QLabel*, 6> ImageFrame;
    QCheckBox* CheckBoxWelcome;
    QCheckBox* CheckBoxNoMargin;
    QCheckBox* CheckBoxHotspot;
    QCheckBox* CheckBoxOnLeft;
    TPictureField* PictureBackground;
    QComboBox* ComboBoxHomepage;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    TWorkspace& Workspace;
};
