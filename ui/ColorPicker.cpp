#include "ui/ColorPicker.h"

#include "model/ColorScheme.h"

#include <QColorDialog>

bool TQtColorPicker::Execute(QWidget* parent) {
    QColorDialog dialog(QColor(RedOf(Color), GreenOf(Color), BlueOf(Color)), parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QColor picked = dialog.selectedColor();
    Color = RGBColor(picked.red(), picked.green(), picked.blue());
    return true;
}
