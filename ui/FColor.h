#pragma once

#include "model/CColor.h"
#include "model/Values.h"

#include <QDialog>

#include <array>

class TColorPicker;
class TColorShape;
class TColorLabel;
class TWorkspace;
class QComboBox;
class QFrame;
class QLabel;
class QListWidget;
class QPushButton;
class QSlider;

// The Color dialog: the fourteen colours and six transparency flags of the colour scheme,
// shown on a miniature page. The user picks a part of the page (an item) and clicks a
// swatch to give it that colour; sixteen swatches are derived from one base colour. A whole
// scheme comes at once from the list of ready-made ones or from the base colour, and a line
// under the page tells the contrast of the current item's text on its background.
class TFormColor : public QDialog {
    Q_OBJECT

  public:
    TFormColor(TWorkspace& workspace, TColorPicker& picker, QWidget* parent = nullptr);

    // Shows the dialog modally; true when the user confirmed and the project was saved.
    bool Execute();

    // The items of ComboBoxItem, in order.
    static constexpr int ItemCount = 14;
    static const char* const ItemNames[ItemCount];

    void FormShow();
    void ButtonOKClick();
    void ButtonBaseClick();
    void TrackBarChange(int position);
    void ButtonColorClick();
    void ComboBoxItemChange();
    // A click on a part of the miniature page selects its item.
    void SelectItem(int item);
    // A click on a swatch (or a colour picked with Other Color) applies it to the item.
    void ApplySwatch(const TColorShape* swatch);
    // Every part of the page takes its colour from scheme (solid), the base colour too; the
    // current item stays.
    void ApplyScheme(const TDColor& scheme);
    // The ready-made scheme of the list's current row, applied.
    void ListSchemesChoose();
    // The scheme made from the base colour, applied.
    void ButtonMakeSchemeClick();
    // The scheme as the dialog shows it: what OK stores.
    TDColor ShownScheme() const;

    QLabel* Label1;
    TColorShape* ShapeBase;
    QPushButton* ButtonBase;
    QSlider* TrackBar;
    // Shape1 to Shape16: element 0 is Shape1.
    std::array<TColorShape*, 16> Shape;
    TColorShape* ShapeWhite;
    TColorShape* ShapeSilver;
    TColorShape* ShapeGray;
    TColorShape* ShapeBlack;
    TColorShape* ShapeEmpty;
    QPushButton* ButtonColor;
    TColorShape* ShapeOther;
    QFrame* Panel3;
    QLabel* Label2;
    QComboBox* ComboBoxItem;
    TColorShape* ShapeColor;
    QLabel* LabelContrast;
    QLabel* LabelSchemes;
    QListWidget* ListSchemes;
    QPushButton* ButtonMakeScheme;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;

    // The miniature page.
    TColorShape* ShapeBg;
    TColorShape* ShapeText;
    TColorShape* ShapeTopic;
    TColorShape* ShapeMenu;
    TColorShape* ShapeFoot;
    TColorShape* ShapeHotspot;
    TColorLabel* LabelTopic;
    TColorLabel* LabelMenu;
    TColorLabel* LabelTitle;
    TColorLabel* LabelText;
    TColorLabel* LabelHotspot;
    TColorLabel* LabelFoot;
    TColorShape* ShapeWelcome;
    TColorLabel* LabelWelcome;

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The part of the miniature page that an item names: a background shape or a sample
    // text.
    struct TItemPart {
        TColorShape* Shape = nullptr;
        TColorLabel* Label = nullptr;
    };
    void DeriveSwatches();
    // The base colour and every part of the page from scheme, as FormShow loads them.
    void ShowScheme(const TDColor& scheme);
    void UpdateContrast();
    // The swatch of the grid (the sixteen, the fixed row, the transparent one) at row and
    // column, or null; the arrow keys go through it.
    static constexpr int GridRows = 6;
    static constexpr int GridColumns = 4;
    TColorShape* GridSwatch(int row, int column) const;
    bool MoveInGrid(QObject* from, int key);

    TWorkspace& Workspace;
    TColorPicker& Picker;
    std::array<TItemPart, ItemCount> Parts;
};
